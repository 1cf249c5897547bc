#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace zarvex {

// Status of the login item, numbered as the preference layer knows them.
enum class LoginItemStatus { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

// Port: the desktop's login-item service. register/unregister throw
// std::runtime_error carrying the user-facing message.
class LoginItemService {
  public:
    virtual ~LoginItemService() = default;
    virtual LoginItemStatus status() const = 0;
    virtual void registerItem() = 0;
    virtual void unregisterItem() = 0;
};

// XDG autostart: the item is `zarvex.desktop` in the autostart folder
// ($XDG_CONFIG_HOME/autostart); enabled while the file exists and is not
// hidden. The entry starts `executable` (the installed or running binary).
class XdgAutostart : public LoginItemService {
  public:
    XdgAutostart(std::filesystem::path folder, std::string executable);
    // The user's autostart folder and this process's binary.
    static std::unique_ptr<XdgAutostart> forCurrentUser();

    const std::filesystem::path& entryPath() const { return entry_; }
    LoginItemStatus status() const override;
    void registerItem() override;
    void unregisterItem() override;

  private:
    std::filesystem::path folder_;
    std::filesystem::path entry_;
    std::string executable_;
};

// "Open Zarvex at login": the login item's status and the error of the last
// change, published for the settings window. Main thread only.
class LaunchAtLogin : public QObject {
    Q_OBJECT
  public:
    explicit LaunchAtLogin(std::unique_ptr<LoginItemService> service, QObject* parent = nullptr);
    // The instance over the user's autostart folder, created on first use.
    static LaunchAtLogin& shared();

    LoginItemStatus status() const { return status_; }
    bool isEnabled() const { return status_ == LoginItemStatus::enabled; }
    const std::optional<QString>& lastErrorMessage() const { return lastErrorMessage_; }

    // Enables or disables the item; a failure becomes lastErrorMessage, and
    // the status is read again either way.
    void set(bool enabled);
    // Reads the status from the service again.
    void refresh();

  signals:
    void changed();

  private:
    std::unique_ptr<LoginItemService> service_;
    LoginItemStatus status_ = LoginItemStatus::notRegistered;
    std::optional<QString> lastErrorMessage_;
};

}  // namespace zarvex
