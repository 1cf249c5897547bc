// A stand-in for a desktop's screen-cast backend (the part of the portal a
// desktop provides), for the tests: the real portal frontend forwards to it.
// Each Start makes a new PipeWire video node, as desktops do, from GStreamer
// (colour bars, 30 frames a second, WIDTH x HEIGHT; a node of GStreamer's
// serves one consumer only) and hands it out placed at X, Y. Files in its
// folder steer and record it:
//   answer    "cancel" makes Start answer as if the user cancelled the dialog
//   log       one line per SelectSources: "restore DATA" or "restore none",
//             then the cursor mode
//   cast-pid  the process feeding the current node (stopping it stops the
//             stream as a still screen would)
// Usage: zarvex_screencast_standin BUS_NAME FOLDER X Y WIDTH HEIGHT

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <memory>

struct IntPair {
    int first = 0;
    int second = 0;
};
struct CastStream {
    uint node = 0;
    QVariantMap properties;
};
struct RestoreData {
    QString vendor;
    uint version = 0;
    QDBusVariant data;
};
Q_DECLARE_METATYPE(IntPair)
Q_DECLARE_METATYPE(CastStream)
Q_DECLARE_METATYPE(QList<CastStream>)
Q_DECLARE_METATYPE(RestoreData)

QDBusArgument& operator<<(QDBusArgument& out, const IntPair& pair) {
    out.beginStructure();
    out << pair.first << pair.second;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, IntPair& pair) {
    in.beginStructure();
    in >> pair.first >> pair.second;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const CastStream& stream) {
    out.beginStructure();
    out << stream.node << stream.properties;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, CastStream& stream) {
    in.beginStructure();
    in >> stream.node >> stream.properties;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const RestoreData& data) {
    out.beginStructure();
    out << data.vendor << data.version << data.data;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, RestoreData& data) {
    in.beginStructure();
    in >> data.vendor >> data.version >> data.data;
    in.endStructure();
    return in;
}

class ScreenCastStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.ScreenCast")
    Q_PROPERTY(uint AvailableSourceTypes READ sourceTypes)
    Q_PROPERTY(uint AvailableCursorModes READ cursorModes)
    Q_PROPERTY(uint version READ version)

  public:
    explicit ScreenCastStandIn(const QStringList& args) : args_(args) {}
    uint sourceTypes() const { return 1; }  // monitors only, as wlroots desktops
    uint cursorModes() const { return 1 | 2; }
    uint version() const { return 4; }

  public Q_SLOTS:
    uint CreateSession(const QDBusObjectPath&, const QDBusObjectPath&, const QString&,
                       const QVariantMap&, QVariantMap& results) {
        results.clear();
        return 0;
    }

    uint SelectSources(const QDBusObjectPath&, const QDBusObjectPath&, const QString&,
                       const QVariantMap& options, QVariantMap& results) {
        QString restored = QStringLiteral("none");
        if (options.contains(QStringLiteral("restore_data"))) {
            RestoreData data;
            options.value(QStringLiteral("restore_data")).value<QDBusArgument>() >> data;
            restored = data.data.variant().toString();
        }
        append(QStringLiteral("restore %1 cursor %2\n")
                   .arg(restored)
                   .arg(options.value(QStringLiteral("cursor_mode")).toUInt()));
        results.clear();
        return 0;
    }

    uint Start(const QDBusObjectPath&, const QDBusObjectPath&, const QString&, const QString&,
               const QVariantMap&, QVariantMap& results) {
        results.clear();
        QFile answer(folder() + QStringLiteral("/answer"));
        if (answer.open(QIODevice::ReadOnly) && answer.readAll().trimmed() == "cancel") {
            return 1;
        }
        const uint node = startNode();
        if (node == 0) {
            return 2;
        }
        CastStream stream{
            node,
            {{QStringLiteral("position"), QVariant::fromValue(IntPair{arg(2), arg(3)})},
             {QStringLiteral("size"), QVariant::fromValue(IntPair{arg(4), arg(5)})},
             {QStringLiteral("source_type"), 1u}}};
        results.insert(QStringLiteral("streams"), QVariant::fromValue(QList<CastStream>{stream}));
        results.insert(QStringLiteral("persist_mode"), 2u);
        results.insert(QStringLiteral("restore_data"),
                       QVariant::fromValue(RestoreData{QStringLiteral("zarvex-test"), 1,
                                                       QDBusVariant(QStringLiteral("display"))}));
        return 0;
    }

  private:
    QString folder() const { return args_.value(1); }

    void append(const QString& line) const {
        QFile log(folder() + QStringLiteral("/log"));
        if (log.open(QIODevice::Append)) {
            log.write(line.toUtf8());
        }
    }

    int arg(int index) const { return args_.value(index).toInt(); }

    // A new node from GStreamer in place of the last one; its id, or 0 when
    // it does not show up.
    uint startNode() {
        if (cast_) {
            cast_->kill();
            cast_->waitForFinished();
        }
        const QString name = QStringLiteral("zarvex-cast-%1").arg(++casts_);
        cast_ = std::make_unique<QProcess>();
        cast_->start(
            QStringLiteral("gst-launch-1.0"),
            {QStringLiteral("-q"), QStringLiteral("videotestsrc"), QStringLiteral("is-live=true"),
             QStringLiteral("!"),
             QStringLiteral("video/x-raw,format=BGRx,width=%1,height=%2,framerate=30/1")
                 .arg(arg(4))
                 .arg(arg(5)),
             QStringLiteral("!"), QStringLiteral("pipewiresink"), QStringLiteral("mode=provide"),
             QStringLiteral("stream-properties=p,node.name=%1,media.class=Video/Source")
                 .arg(name)});
        QFile pid(folder() + QStringLiteral("/cast-pid"));
        if (pid.open(QIODevice::WriteOnly)) {
            pid.write(QByteArray::number(cast_->processId()));
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            QProcess dump;
            dump.start(QStringLiteral("pw-dump"), {});
            dump.waitForFinished(10'000);
            for (const auto& value :
                 QJsonDocument::fromJson(dump.readAllStandardOutput()).array()) {
                const QJsonObject object = value.toObject();
                if (object[QStringLiteral("info")][QStringLiteral("props")]
                          [QStringLiteral("node.name")]
                              .toString() == name) {
                    return static_cast<uint>(object[QStringLiteral("id")].toInt());
                }
            }
            QThread::msleep(100);
        }
        return 0;
    }

    std::unique_ptr<QProcess> cast_;
    int casts_ = 0;
    QStringList args_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 6) {
        qCritical("usage: zarvex_screencast_standin BUS_NAME FOLDER X Y WIDTH HEIGHT");
        return 2;
    }
    qDBusRegisterMetaType<IntPair>();
    qDBusRegisterMetaType<CastStream>();
    qDBusRegisterMetaType<QList<CastStream>>();
    qDBusRegisterMetaType<RestoreData>();
    ScreenCastStandIn standIn(args);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), &standIn,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
        !bus.registerService(args[0])) {
        qCritical("zarvex_screencast_standin: cannot register on the session bus");
        return 1;
    }
    return app.exec();
}

#include "screencast_standin.moc"
