#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

#include "app/bundle_info.h"
#include "app/update_feed.h"

class QNetworkAccessManager;

namespace zarvex {

class UpdateDialog;

struct UpdateCheckResult {
    enum class Kind { upToDate, available, failed };
    Kind kind = Kind::upToDate;
    std::optional<UpdateItem> item;  // the newer build, when available
    QString message;                 // why the check failed
};

// A notify-only updater: fetches the feed over HTTPS, keeps the items whose
// signature verifies and reports whether a newer build exists. It installs
// nothing. Main thread; the network work is asynchronous.
class UpdateChecker : public QObject {
    Q_OBJECT
  public:
    UpdateChecker(QUrl feed, std::string publicKey, BundleInfo running, QObject* parent = nullptr);
    ~UpdateChecker() override;

    // False while a check runs.
    bool canCheckForUpdates() const { return !checking_; }
    void checkForUpdates();
    const BundleInfo& running() const { return running_; }

  signals:
    void canCheckForUpdatesChanged(bool canCheck);
    void checkStarted();
    void checkFinished(const zarvex::UpdateCheckResult& result);

  private:
    void setChecking(bool checking);

    QUrl feed_;
    std::string publicKey_;
    BundleInfo running_;
    std::unique_ptr<QNetworkAccessManager> network_;
    bool checking_ = false;
};

// Decides once per process whether an updater exists (the configuration test
// of the bundle information) and mirrors its check availability for the
// menu. "Check for Updates…" runs a check and shows its dialog.
class UpdateController : public QObject {
    Q_OBJECT
  public:
    explicit UpdateController(const BundleInfo& info, QObject* parent = nullptr);
    static UpdateController& shared();

    bool hasUpdater() const { return checker_ != nullptr; }
    bool canCheckForUpdates() const { return canCheckForUpdates_; }

    // Activates the application and checks, showing the update dialog; does
    // nothing without an updater.
    void checkForUpdates();

  signals:
    void canCheckForUpdatesChanged(bool canCheck);

  private:
    std::unique_ptr<UpdateChecker> checker_;
    bool canCheckForUpdates_ = false;
    QPointer<UpdateDialog> dialog_;
};

}  // namespace zarvex
