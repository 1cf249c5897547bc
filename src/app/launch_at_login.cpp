#include "app/launch_at_login.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <stdexcept>
#include <system_error>

namespace zarvex {
namespace {

// An Exec value as desktop entries want it: quoted, with the
// characters that are special inside quotes escaped.
std::string quotedExec(const std::string& path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

XdgAutostart::XdgAutostart(std::filesystem::path folder, std::string executable)
    : folder_(std::move(folder)),
      entry_(folder_ / "zarvex.desktop"),
      executable_(std::move(executable)) {}

std::unique_ptr<XdgAutostart> XdgAutostart::forCurrentUser() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<XdgAutostart>(std::filesystem::path(config.toStdString()) / "autostart",
                                          QCoreApplication::applicationFilePath().toStdString());
}

LoginItemStatus XdgAutostart::status() const {
    std::error_code error;
    if (!std::filesystem::is_regular_file(entry_, error)) {
        return LoginItemStatus::notRegistered;
    }
    QSettings entry(QString::fromStdString(entry_.string()), QSettings::IniFormat);
    const QString hidden = entry.value(QStringLiteral("Desktop Entry/Hidden")).toString();
    return hidden.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0
               ? LoginItemStatus::notRegistered
               : LoginItemStatus::enabled;
}

void XdgAutostart::registerItem() {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        throw std::runtime_error("Could not create the folder " + folder_.string() + ": " +
                                 error.message());
    }
    QSaveFile file(QString::fromStdString(entry_.string()));
    const std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Zarvex\n"
        "Comment=Record the screen from the tray\n"
        "Exec=" +
        quotedExec(executable_) +
        "\n"
        "Icon=zarvex\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        throw std::runtime_error("Could not write " + entry_.string() + ": " +
                                 file.errorString().toStdString());
    }
}

void XdgAutostart::unregisterItem() {
    std::error_code error;
    if (!std::filesystem::exists(entry_, error)) {
        return;  // nothing to remove, also when the folder is not one
    }
    std::filesystem::remove(entry_, error);
    if (error) {
        throw std::runtime_error("Could not remove " + entry_.string() + ": " + error.message());
    }
}

LaunchAtLogin::LaunchAtLogin(std::unique_ptr<LoginItemService> service, QObject* parent)
    : QObject(parent), service_(std::move(service)) {
    refresh();
}

LaunchAtLogin& LaunchAtLogin::shared() {
    static LaunchAtLogin instance(XdgAutostart::forCurrentUser());
    return instance;
}

void LaunchAtLogin::set(bool enabled) {
    bool failed = false;
    if (!(enabled && status_ == LoginItemStatus::enabled)) {
        try {
            if (enabled) {
                service_->registerItem();
            } else {
                service_->unregisterItem();
            }
        } catch (const std::exception& error) {
            lastErrorMessage_ = QString::fromStdString(error.what());
            failed = true;
        }
    }
    if (!failed) {
        lastErrorMessage_.reset();
    }
    status_ = service_->status();
    emit changed();
}

void LaunchAtLogin::refresh() {
    const LoginItemStatus next = service_->status();
    if (next != status_) {
        status_ = next;
        emit changed();
    }
}

}  // namespace zarvex
