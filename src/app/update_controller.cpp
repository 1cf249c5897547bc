#include "app/update_controller.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "app/update_dialog.h"

namespace zarvex {

UpdateChecker::UpdateChecker(QUrl feed, std::string publicKey, BundleInfo running, QObject* parent)
    : QObject(parent),
      feed_(std::move(feed)),
      publicKey_(std::move(publicKey)),
      running_(std::move(running)),
      network_(std::make_unique<QNetworkAccessManager>()) {}

UpdateChecker::~UpdateChecker() = default;

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
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        UpdateCheckResult result;
        if (reply->error() != QNetworkReply::NoError) {
            result.kind = UpdateCheckResult::Kind::failed;
            result.message = reply->errorString();
        } else {
            const QByteArray body = reply->readAll();
            try {
                const auto items = verifiedUpdateItems(
                    std::string_view(body.constData(), body.size()), publicKey_);
                result.item = newerUpdate(items, running_);
                result.kind = result.item ? UpdateCheckResult::Kind::available
                                          : UpdateCheckResult::Kind::upToDate;
            } catch (const std::exception& error) {
                result.kind = UpdateCheckResult::Kind::failed;
                result.message = QString::fromStdString(error.what());
            }
        }
        setChecking(false);
        emit checkFinished(result);
    });
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
