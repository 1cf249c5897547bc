#include "app/update_controller.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cstdint>
#include <utility>

#include "app/update_dialog.h"
#include "render/off_main_thread.h"

namespace zarvex {

UpdateChecker::UpdateChecker(QUrl feed, std::string publicKey, BundleInfo running,
                             std::chrono::milliseconds deadline, QObject* parent)
    : QObject(parent),
      feed_(std::move(feed)),
      publicKey_(std::move(publicKey)),
      running_(std::move(running)),
      deadline_(deadline),
      network_(std::make_unique<QNetworkAccessManager>()) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("The update feed did not arrive within %1 seconds.")
                 .arg(std::chrono::duration<double>(deadline_).count()));
    });
}

UpdateChecker::~UpdateChecker() {
    dropReply();
}

void UpdateChecker::setChecking(bool checking) {
    if (checking_ != checking) {
        checking_ = checking;
        emit canCheckForUpdatesChanged(!checking);
    }
}

void UpdateChecker::checkForUpdates() {
    if (checking_) {
        return;
    }
    setChecking(true);
    emit checkStarted();
    QNetworkRequest request(feed_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(20000);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Zarvex/%1")
                          .arg(QString::fromStdString(running_.shortVersion.value_or("?"))));
    body_.clear();
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateChecker::readFeed);
    connect(reply_, &QNetworkReply::finished, this, &UpdateChecker::feedReceived);
    timer_.start(deadline_);
}

void UpdateChecker::readFeed() {
    // Read as it comes, so the reply never buffers more than the cap.
    body_ += reply_->read(kMaxFeedBytes + 1 - body_.size());
    if (body_.size() > kMaxFeedBytes) {
        fail(QStringLiteral("The update feed is larger than 1 MiB."));
    }
}

void UpdateChecker::feedReceived() {
    readFeed();
    if (reply_ == nullptr) {
        return;  // failed while reading the rest
    }
    if (reply_->error() != QNetworkReply::NoError) {
        fail(reply_->errorString());
        return;
    }
    dropReply();
    const std::uint64_t check = check_;
    runOffMainThread<UpdateCheckResult>(
        this,
        [body = std::move(body_), key = publicKey_, running = running_] {
            UpdateCheckResult result;
            try {
                const auto items =
                    verifiedUpdateItems(std::string_view(body.constData(), body.size()), key);
                result.item = newerUpdate(items, running);
                result.kind = result.item ? UpdateCheckResult::Kind::available
                                          : UpdateCheckResult::Kind::upToDate;
            } catch (const std::exception& error) {
                result.kind = UpdateCheckResult::Kind::failed;
                result.message = QString::fromStdString(error.what());
            }
            return result;
        },
        [this, check](const UpdateCheckResult& result) {
            if (check == check_) {
                setChecking(false);
                emit checkFinished(result);
            }
        });
    body_.clear();
}

void UpdateChecker::dropReply() {
    timer_.stop();
    if (reply_ != nullptr) {
        QNetworkReply* reply = std::exchange(reply_, nullptr);
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void UpdateChecker::fail(const QString& message) {
    dropReply();
    body_.clear();
    ++check_;
    setChecking(false);
    emit checkFinished({UpdateCheckResult::Kind::failed, std::nullopt, message});
}

void UpdateChecker::cancel() {
    if (!checking_) {
        return;
    }
    dropReply();
    body_.clear();
    ++check_;
    setChecking(false);
}

UpdateController::UpdateController(const BundleInfo& info, QObject* parent) : QObject(parent) {
    if (!isUpdaterConfigured(info)) {
        return;
    }
    checker_ = std::make_unique<UpdateChecker>(QUrl(QString::fromStdString(*info.feedURL)),
                                               *info.publicEDKey, info);
    canCheckForUpdates_ = checker_->canCheckForUpdates();
    connect(checker_.get(), &UpdateChecker::canCheckForUpdatesChanged, this, [this](bool can) {
        canCheckForUpdates_ = can;
        emit canCheckForUpdatesChanged(can);
    });
}

UpdateController& UpdateController::shared() {
    static UpdateController controller(BundleInfo::current());
    return controller;
}

void UpdateController::checkForUpdates() {
    if (!checker_) {
        return;
    }
    if (!dialog_) {
        dialog_ = new UpdateDialog(*checker_);
        dialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    checker_->checkForUpdates();
}

}  // namespace zarvex
