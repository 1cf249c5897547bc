#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/bundle_info.h"
#include "app/update_feed.h"

class QNetworkAccessManager;
class QNetworkReply;

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
// nothing. A check reads at most kMaxFeedBytes of feed and ends by its
// deadline, however slowly the server sends; the feed is verified on a worker
// thread. Main thread; the network work is asynchronous.
class UpdateChecker : public QObject {
    Q_OBJECT
  public:
    static constexpr qint64 kMaxFeedBytes = 1 << 20;
    static constexpr std::chrono::milliseconds kDeadline{30000};

    UpdateChecker(QUrl feed, std::string publicKey, BundleInfo running,
                  std::chrono::milliseconds deadline = kDeadline, QObject* parent = nullptr);
    ~UpdateChecker() override;

    // False while a check runs.
    bool canCheckForUpdates() const { return !checking_; }
    void checkForUpdates();
    // Ends the running check at once: its request is aborted and it reports
    // nothing.
    void cancel();
    const BundleInfo& running() const { return running_; }

  signals:
    void canCheckForUpdatesChanged(bool canCheck);
    void checkStarted();
    void checkFinished(const zarvex::UpdateCheckResult& result);

  private:
    void readFeed();
    void feedReceived();
    // Drops the request (aborting it when it still runs).
    void dropReply();
    void fail(const QString& message);
    void setChecking(bool checking);

    QUrl feed_;
    std::string publicKey_;
    BundleInfo running_;
    std::chrono::milliseconds deadline_;
    std::unique_ptr<QNetworkAccessManager> network_;
    QNetworkReply* reply_ = nullptr;
    QByteArray body_;
    QTimer timer_;
    // Tells a verification that comes back from the one still wanted.
    std::uint64_t check_ = 0;
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
