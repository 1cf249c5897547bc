#include "app/wayland/portal_hotkey.h"

#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <atomic>
#include <map>
#include <optional>

#include "capture/wayland/portal_names.h"

namespace zarvex {
namespace {

const QString& kService = kPortalService;
const QString& kObject = kPortalObject;
const QString& kRequestInterface = kPortalRequestInterface;
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kShortcutID = QStringLiteral("toggle-recording");
const QString kDescription = QStringLiteral("Start or stop recording");

// One shortcut as the portal takes it: (id, {description, preferred_trigger}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

std::string keysymName(std::uint32_t keysym) {
    if ((keysym >= 'a' && keysym <= 'z') || (keysym >= '0' && keysym <= '9')) {
        return std::string(1, static_cast<char>(keysym));
    }
    if (keysym >= 0xffbe && keysym <= 0xffe0) {  // F1 … F35
        std::string name = "F";
        name.append(std::to_string(keysym - 0xffbe + 1));
        return name;
    }
    switch (keysym) {
        case 0x20:
            return "space";
        case 0xff08:
            return "BackSpace";
        case 0xff09:
            return "Tab";
        case 0xff0d:
            return "Return";
        case 0xff1b:
            return "Escape";
        case 0xff50:
            return "Home";
        case 0xff51:
            return "Left";
        case 0xff52:
            return "Up";
        case 0xff53:
            return "Right";
        case 0xff54:
            return "Down";
        case 0xff55:
            return "Page_Up";
        case 0xff56:
            return "Page_Down";
        case 0xff57:
            return "End";
        case 0xffff:
            return "Delete";
        default:
            return {};
    }
}

}  // namespace
}  // namespace zarvex

Q_DECLARE_METATYPE(zarvex::PortalShortcut)

namespace zarvex {

std::string preferredTrigger(const KeyCombination& keys) {
    const std::string key = keysymName(keys.keysym);
    if (key.empty()) {
        return {};
    }
    std::string trigger;
    for (const auto& [bit, name] : {std::pair{256u, "CTRL"}, std::pair{2048u, "ALT"},
                                    std::pair{512u, "SHIFT"}, std::pair{4096u, "LOGO"}}) {
        if ((keys.modifiers & bit) != 0) {
            trigger.append(name).append("+");
        }
    }
    trigger.append(key);
    return trigger;
}

// The portal session and its requests. Each request's Response is listened
// for before the call is made (the answer may come before the call's reply).
class PortalHotkey::Session : public QObject, protected QDBusContext {
    Q_OBJECT
  public:
    Session(PortalHotkey& owner, std::function<void(bool)> onAvailable)
        : owner_(owner), onAvailable_(std::move(onAvailable)) {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        QDBusMessage get = QDBusMessage::createMethodCall(
            kService, kObject, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << kInterface << QStringLiteral("version");
        watch(bus_.asyncCall(get), [this](const QDBusMessage& reply) {
            available_ = reply.type() == QDBusMessage::ReplyMessage;
            if (onAvailable_) {
                onAvailable_(*available_);
            }
            if (*available_ && trigger_) {
                createSession();
            }
        });
        bus_.connect(kService, kObject, kInterface, QStringLiteral("Activated"), this,
                     SLOT(onActivated(QDBusMessage)));
    }

    bool grab(const KeyCombination& keys) {
        listening_ = true;
        if (!trigger_) {
            trigger_ = preferredTrigger(keys);
            if (available_.value_or(false)) {
                createSession();
            }
        }
        return available_.value_or(true);
    }

    void release() { listening_ = false; }

  public Q_SLOTS:
    // Activated(o session, s shortcut, t timestamp, a{sv} options).
    void onActivated(const QDBusMessage& signal) {
        const QVariantList arguments = signal.arguments();
        if (arguments.size() < 2) {
            return;
        }
        const QString session = arguments[0].value<QDBusObjectPath>().path();
        const QString id = arguments[1].toString();
        if (session == session_ && id == kShortcutID && listening_ && owner_.onPressed) {
            owner_.onPressed();
        }
    }

    void onResponse(uint response, const QVariantMap& results) {
        const QString path = message().path();
        const auto found = pending_.find(path);
        if (found == pending_.end()) {
            return;
        }
        auto done = std::move(found->second);
        pending_.erase(found);
        bus_.disconnect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                        SLOT(onResponse(uint, QVariantMap)));
        if (response == 0) {
            done(results);
        }
    }

  private:
    void watch(const QDBusPendingCall& call, std::function<void(const QDBusMessage&)> done) {
        auto* watcher = new QDBusPendingCallWatcher(call, this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [watcher, done = std::move(done)] {
                    watcher->deleteLater();
                    done(watcher->reply());
                });
    }

    QString token() {
        static std::atomic<unsigned> counter{0};
        return QStringLiteral("zarvexkeys%1_%2").arg(::getpid()).arg(counter.fetch_add(1));
    }

    // Calls a request method with a handle token; `done` gets the results of
    // a successful Response.
    void request(const QString& method, QVariantList arguments, QVariantMap options,
                 std::function<void(const QVariantMap&)> done) {
        const QString handle = token();
        options.insert(QStringLiteral("handle_token"), handle);
        const QString path = portalRequestPath(bus_, handle);
        pending_[path] = std::move(done);
        bus_.connect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)));
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kObject, kInterface, method);
        arguments << options;
        call.setArguments(arguments);
        watch(bus_.asyncCall(call), [this, path](const QDBusMessage& reply) {
            if (reply.type() != QDBusMessage::ReplyMessage) {
                pending_.erase(path);  // the desktop refused: no shortcut, the menu still works
            }
        });
    }

    void createSession() {
        if (started_) {
            return;
        }
        started_ = true;
        request(QStringLiteral("CreateSession"), {},
                {{QStringLiteral("session_handle_token"), token()}},
                [this](const QVariantMap& results) {
                    // A string in the documentation, an object path from some portals.
                    const QVariant handle = results.value(QStringLiteral("session_handle"));
                    session_ = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                                   ? handle.value<QDBusObjectPath>().path()
                                   : handle.toString();
                    bind();
                });
    }

    void bind() {
        QVariantMap properties{{QStringLiteral("description"), kDescription}};
        if (!trigger_->empty()) {
            properties.insert(QStringLiteral("preferred_trigger"),
                              QString::fromStdString(*trigger_));
        }
        const QList<PortalShortcut> shortcuts{{kShortcutID, properties}};
        request(QStringLiteral("BindShortcuts"),
                {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts),
                 QString()},
                {}, [](const QVariantMap&) {});
    }

    PortalHotkey& owner_;
    std::function<void(bool)> onAvailable_;
    QDBusConnection bus_ = QDBusConnection::sessionBus();
    std::optional<bool> available_;
    std::optional<std::string> trigger_;
    bool started_ = false;
    bool listening_ = false;
    QString session_;
    std::map<QString, std::function<void(const QVariantMap&)>> pending_;
};

PortalHotkey::PortalHotkey(std::function<void(bool)> onAvailable)
    : session_(std::make_unique<Session>(*this, std::move(onAvailable))) {}

PortalHotkey::~PortalHotkey() = default;

bool PortalHotkey::grab(const KeyCombination& keys) {
    return session_->grab(keys);
}

void PortalHotkey::release() {
    session_->release();
}

}  // namespace zarvex

#include "portal_hotkey.moc"
