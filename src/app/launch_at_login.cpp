#include "app/launch_at_login.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <stdexcept>
#include <system_error>

namespace zarvex {
namespace {

// The Exec value that runs `path` with no arguments. Built inside out, as a
// reader takes it apart the other way round: the path is one quoted argument
// (" ` $ \ escaped with a backslash) in which "%" is doubled (a lone one
// starts a field code), and that text is escaped as a string value
// (backslash, newline, tab, carriage return). GLib's launcher looks for the
// program before it turns "%%" back into "%", so a path holding "%" is
// started through env, which GLib finds.
std::string execValue(const std::string& path) {
    std::string quoted = path.find('%') == std::string::npos ? "\"" : "env \"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
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
        execValue(executable_) +
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
