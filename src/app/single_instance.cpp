#include "app/single_instance.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>

namespace zarvex {
namespace {

constexpr QByteArrayView kAccepted = "ok\n";
// A request is one line; anything longer is not one of ours.
constexpr qint64 kLongestRequest = 64 * 1024;

std::string fileSafe(const std::string& text) {
    std::string safe;
    for (const char c : text) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        safe += plain ? c : '_';
    }
    return safe;
}

QByteArray encode(const std::vector<std::string>& arguments) {
    QJsonArray array;
    for (const auto& argument : arguments) {
        array.append(QString::fromStdString(argument));
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact) + "\n";
}

std::optional<std::vector<std::string>> decode(const QByteArray& line) {
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isArray()) {
        return std::nullopt;
    }
    std::vector<std::string> arguments;
    for (const QJsonValue value : document.array()) {
        if (!value.isString()) {
            return std::nullopt;
        }
        arguments.push_back(value.toString().toStdString());
    }
    return arguments;
}

}  // namespace

SingleInstance::SingleInstance(std::filesystem::path directory, const std::string& session,
                               QObject* parent)
    : QObject(parent) {
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    const std::string stem = "zarvex-" + fileSafe(session);
    lockPath_ = directory / (stem + ".lock");
    socketPath_ = directory / (stem + ".socket");
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() {
    server_.close();
}

std::filesystem::path SingleInstance::defaultDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
        return runtime;
    }
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString();
}

std::string SingleInstance::defaultSession() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display ? display : "default";
}

bool SingleInstance::claim() {
    auto lock = std::make_unique<QLockFile>(QString::fromStdString(lockPath_.string()));
    // Only a lock whose process has died is stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        return false;
    }
    lock_ = std::move(lock);
    const QString name = QString::fromStdString(socketPath_.string());
    QLocalServer::removeServer(name);  // left behind by an instance that died
    return server_.listen(name);
}

bool SingleInstance::handOver(const std::vector<std::string>& arguments) {
    QLockFile probe(QString::fromStdString(lockPath_.string()));
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) {
        probe.unlock();
        return false;
    }
    return send(arguments);
}

bool SingleInstance::send(const std::vector<std::string>& arguments,
                          std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout.count());
    const QString name = QString::fromStdString(socketPath_.string());
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            socket.write(encode(arguments));
            socket.flush();
            QByteArray answer;
            while (!answer.endsWith('\n') && socket.waitForReadyRead(static_cast<int>(
                                                 std::max<qint64>(1, deadline.remainingTime())))) {
                answer += socket.readAll();
            }
            return answer == kAccepted;
        }
        // The running instance may still be starting up.
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kLongestRequest) {
                    socket->abort();
                }
                return;
            }
            const auto arguments = decode(socket->readLine(kLongestRequest));
            if (!arguments) {
                socket->abort();
                return;
            }
            socket->write(kAccepted.toByteArray());
            socket->flush();
            socket->disconnectFromServer();
            emit requested(*arguments);
        });
    }
}

}  // namespace zarvex
