#include "capture/wayland/screencast_portal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <set>

#include "capture/errors.h"
#include "capture/shareable_content.h"
#include "capture/wayland/portal_names.h"

namespace zarvex {

const char* const kScreenCastRefusal =
    "Screen recording was not allowed. Choose what to share in your desktop's dialog to record.";
const char* const kScreenCastInterrupted = "Interrupted before the recording began.";
const char* const kNoScreenCastService =
    "Zarvex needs the desktop's screen-sharing service (xdg-desktop-portal) to record on Wayland.";

namespace {

const QString& kService = kPortalService;
const QString& kObject = kPortalObject;
const QString& kRequestInterface = kPortalRequestInterface;
const QString kScreenCastInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

constexpr int kCallTimeoutMs = 30'000;
// Answers that need no user come at once; the dialog may stay open a while.
constexpr int kQuickAnswerMs = 30'000;
constexpr int kDialogAnswerMs = 10 * 60'000;

// The portal's answers to a request.
enum : std::uint32_t { kAnswerSuccess = 0, kAnswerCancelled = 1, kAnswerOther = 2 };

constexpr std::uint32_t kCursorHidden = 1;
constexpr std::uint32_t kCursorEmbedded = 2;
constexpr std::uint32_t kPersistUntilRevoked = 2;

// A step the desktop answered with something other than success.
struct NotGranted {
    std::uint32_t answer = kAnswerOther;
};

std::string text(const QDBusMessage& reply) {
    return reply.errorMessage().isEmpty() ? reply.errorName().toStdString()
                                          : reply.errorMessage().toStdString();
}

std::optional<PixelRect> streamFrame(const QVariantMap& properties) {
    auto pair = [&](const char* key) -> std::optional<std::pair<int, int>> {
        const QVariant value = properties.value(QLatin1String(key));
        if (!value.canConvert<QDBusArgument>()) {
            return std::nullopt;
        }
        const QDBusArgument argument = value.value<QDBusArgument>();
        int first = 0;
        int second = 0;
        argument.beginStructure();
        argument >> first >> second;
        argument.endStructure();
        return std::pair{first, second};
    };
    const auto size = pair("size");
    if (!size) {
        return std::nullopt;
    }
    const auto position = pair("position").value_or(std::pair{0, 0});
    return PixelRect{position.first, position.second, size->first, size->second};
}

std::vector<CastStream> readStreams(const QVariant& value) {
    std::vector<CastStream> streams;
    if (!value.canConvert<QDBusArgument>()) {
        return streams;
    }
    const QDBusArgument argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        std::uint32_t node = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
        streams.push_back({node, streamFrame(properties),
                           properties.value(QStringLiteral("source_type")).toUInt()});
    }
    argument.endArray();
    return streams;
}

// The waits for the desktop's answers in progress, so an interrupt can end
// them from another thread.
struct Waits {
    std::mutex mutex;
    std::set<QEventLoop*> loops;
    bool interrupted = false;

    static Waits& shared() {
        static Waits waits;
        return waits;
    }
};

// Waits for one Request's Response signal on the calling thread.
class ResponseWaiter : public QObject {
    Q_OBJECT

  public:
    std::optional<std::uint32_t> answer;
    QVariantMap results;
    QEventLoop loop;

  public Q_SLOTS:
    void onResponse(uint response, const QVariantMap& values) {
        answer = response;
        results = values;
        loop.quit();
    }
};

class PortalCast final : public ScreenCast {
  public:
    PortalCast(QDBusConnection bus, QString session) : bus_(std::move(bus)), session_(session) {}
    ~PortalCast() override {
        bus_.call(QDBusMessage::createMethodCall(kService, session_, kSessionInterface,
                                                 QStringLiteral("Close")),
                  QDBus::Block, kCallTimeoutMs);
    }

    const std::vector<CastStream>& streams() const override { return streams_; }
    const std::string& restoreToken() const override { return restoreToken_; }

    int openPipeWireRemote() override {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kObject, kScreenCastInterface,
                                                           QStringLiteral("OpenPipeWireRemote"));
        call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap{};
        const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            throw ScreenCaptureError("The desktop did not open its screen stream: " + text(reply));
        }
        const auto descriptor = reply.arguments().front().value<QDBusUnixFileDescriptor>();
        const int fd =
            descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1;
        if (fd < 0) {
            throw ScreenCaptureError("The desktop did not open its screen stream.");
        }
        return fd;
    }

    std::vector<CastStream> streams_;
    std::string restoreToken_;

  private:
    QDBusConnection bus_;
    QString session_;
};

class DesktopScreenCastPortal final : public ScreenCastPortal {
  public:
    explicit DesktopScreenCastPortal(QDBusConnection bus) : bus_(std::move(bus)) {}

    std::uint32_t availableSourceTypes() override {
        return property("AvailableSourceTypes").value_or(0);
    }
    std::uint32_t availableCursorModes() override {
        return property("AvailableCursorModes").value_or(0);
    }

    std::optional<std::uint32_t> property(const char* name) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kService, kObject, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        call << kScreenCastInterface << QString::fromLatin1(name);
        const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return std::nullopt;
        }
        return reply.arguments().front().value<QDBusVariant>().variant().toUInt();
    }

    std::unique_ptr<ScreenCast> start(const CastRequest& request) override {
        const auto type = static_cast<std::uint32_t>(request.type);
        if ((availableSourceTypes() & type) == 0) {
            throw ScreenCaptureError(request.type == CastSourceType::window
                                         ? "This desktop shares whole displays only."
                                         : "This desktop does not share displays.");
        }
        try {
            return startSession(request);
        } catch (const NotGranted& refused) {
            // A token the desktop no longer honours ends the request without
            // a dialog; asking again lets the user choose anew.
            if (refused.answer != kAnswerOther || request.restoreToken.empty()) {
                throw PermissionError(PermissionError::Kind::screenRecordingDenied,
                                      kScreenCastRefusal);
            }
        }
        CastRequest asking = request;
        asking.restoreToken.clear();
        try {
            return startSession(asking);
        } catch (const NotGranted&) {
            throw PermissionError(PermissionError::Kind::screenRecordingDenied, kScreenCastRefusal);
        }
    }

  private:
    std::unique_ptr<ScreenCast> startSession(const CastRequest& request) {
        const QVariantMap created =
            ask(QStringLiteral("CreateSession"), {},
                {{QStringLiteral("session_handle_token"), nextToken()}}, kQuickAnswerMs);
        const QString session = created.value(QStringLiteral("session_handle")).toString();
        if (session.isEmpty()) {
            throw ScreenCaptureError("The desktop did not start a screen-sharing session.");
        }
        // From here on the session is closed whatever happens.
        auto cast = std::make_unique<PortalCast>(bus_, session);
        const QVariant sessionPath = QVariant::fromValue(QDBusObjectPath(session));

        QVariantMap selection{
            {QStringLiteral("types"), static_cast<uint>(request.type)},
            {QStringLiteral("multiple"), false},
            {QStringLiteral("persist_mode"), static_cast<uint>(kPersistUntilRevoked)}};
        if (const auto mode = cursorMode(request.showsCursor)) {
            selection.insert(QStringLiteral("cursor_mode"), static_cast<uint>(*mode));
        }
        if (!request.restoreToken.empty()) {
            selection.insert(QStringLiteral("restore_token"),
                             QString::fromStdString(request.restoreToken));
        }
        ask(QStringLiteral("SelectSources"), {sessionPath}, selection, kQuickAnswerMs);

        const QVariantMap started =
            ask(QStringLiteral("Start"), {sessionPath, QString()}, {}, kDialogAnswerMs);
        cast->streams_ = readStreams(started.value(QStringLiteral("streams")));
        cast->restoreToken_ =
            started.value(QStringLiteral("restore_token")).toString().toStdString();
        if (cast->streams_.empty()) {
            throw ScreenCaptureError("The desktop shared no screen stream.");
        }
        return cast;
    }

    // The cursor mode closest to the wish among those the desktop offers.
    std::optional<std::uint32_t> cursorMode(bool showsCursor) {
        const std::uint32_t modes = availableCursorModes();
        const std::uint32_t wanted = showsCursor ? kCursorEmbedded : kCursorHidden;
        const std::uint32_t other = showsCursor ? kCursorHidden : kCursorEmbedded;
        if ((modes & wanted) != 0) {
            return wanted;
        }
        if ((modes & other) != 0) {
            return other;
        }
        return std::nullopt;
    }

    QString nextToken() {
        static std::atomic<unsigned> counter{0};
        return QStringLiteral("zarvex%1_%2").arg(::getpid()).arg(counter.fetch_add(1));
    }

    // Calls a request method (its leading arguments, then the options with a
    // handle token) and waits for its Response; returns the results of a
    // success and throws NotGranted otherwise.
    QVariantMap ask(const QString& method, const QVariantList& arguments, QVariantMap options,
                    int answerWithinMs) {
        const QString token = nextToken();
        options.insert(QStringLiteral("handle_token"), token);
        ResponseWaiter waiter;
        // Subscribed before the call: the answer may come before the reply.
        QString path = portalRequestPath(bus_, token);
        const auto subscribe = [&](const QString& at, bool on) {
            const QString signal = QStringLiteral("Response");
            const char* slot = SLOT(onResponse(uint, QVariantMap));
            if (on) {
                bus_.connect(kService, at, kRequestInterface, signal, &waiter, slot);
            } else {
                bus_.disconnect(kService, at, kRequestInterface, signal, &waiter, slot);
            }
        };
        subscribe(path, true);

        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kObject, kScreenCastInterface, method);
        call.setArguments(arguments);
        call << options;
        const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            subscribe(path, false);
            throw ScreenCaptureError("The desktop's screen-sharing service failed: " + text(reply));
        }
        const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
        if (!handle.isEmpty() && handle != path) {
            // An older portal that names its own request objects.
            subscribe(path, false);
            path = handle;
            subscribe(path, true);
        }
        bool interrupted = false;
        if (!waiter.answer) {
            QDBusServiceWatcher gone(kService, bus_, QDBusServiceWatcher::WatchForUnregistration);
            QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, &waiter.loop,
                             &QEventLoop::quit);
            QTimer::singleShot(answerWithinMs, &waiter.loop, &QEventLoop::quit);
            Waits& waits = Waits::shared();
            {
                std::lock_guard lock(waits.mutex);
                waits.loops.insert(&waiter.loop);
                interrupted = waits.interrupted;
            }
            if (!interrupted) {
                waiter.loop.exec();
            }
            std::lock_guard lock(waits.mutex);
            waits.loops.erase(&waiter.loop);
            interrupted = waits.interrupted && !waiter.answer;
        }
        subscribe(path, false);
        if (interrupted) {
            bus_.call(QDBusMessage::createMethodCall(kService, path, kRequestInterface,
                                                     QStringLiteral("Close")),
                      QDBus::NoBlock);
            throw ScreenCaptureError(kScreenCastInterrupted);
        }
        if (!waiter.answer) {
            bus_.call(QDBusMessage::createMethodCall(kService, path, kRequestInterface,
                                                     QStringLiteral("Close")),
                      QDBus::NoBlock);
            throw ScreenCaptureError("The desktop's screen-sharing service did not answer.");
        }
        if (*waiter.answer != kAnswerSuccess) {
            throw NotGranted{*waiter.answer};
        }
        return waiter.results;
    }

    QDBusConnection bus_;
};

}  // namespace

void ScreenCastPortal::interruptWaits() {
    Waits& waits = Waits::shared();
    std::lock_guard lock(waits.mutex);
    waits.interrupted = true;
    for (QEventLoop* loop : waits.loops) {
        QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
    }
}

std::unique_ptr<ScreenCastPortal> ScreenCastPortal::connect() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        throw ScreenCaptureError(kNoScreenCastService);
    }
    auto portal = std::make_unique<DesktopScreenCastPortal>(bus);
    if (!portal->property("version")) {
        throw ScreenCaptureError(kNoScreenCastService);
    }
    return portal;
}

}  // namespace zarvex

#include "screencast_portal.moc"
