#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>

namespace zarvex {

// The threads for the application's own slow work off the main thread
// (reading movies, decoding images, drawing backgrounds). Qt's global pool is
// left to Qt's short parallel jobs, such as scaling an image while painting,
// which the main thread waits for: a long job queued there would hold up
// painting.
inline QThreadPool& backgroundPool() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool;
        created->setObjectName(QStringLiteral("background"));
        return created;
    }();
    return *pool;
}

// Runs `work` on a thread of `pool` and hands its result to `done` on the
// thread of `owner` (the main thread), unless `owner` is gone by then. `work`
// must not touch `owner`: give it copies of what it needs.
template <typename Result, typename Work, typename Done>
void runOffMainThread(QObject* owner, QThreadPool& pool, Work work, Done done) {
    auto promise = std::make_shared<QPromise<Result>>();
    auto* watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner,
                     [watcher, done = std::move(done)]() mutable {
                         watcher->deleteLater();
                         if (watcher->future().resultCount() > 0) {
                             done(watcher->future().result());
                         }
                     });
    watcher->setFuture(promise->future());
    pool.start([promise, work = std::make_shared<Work>(std::move(work))] {
        promise->start();
        promise->addResult((*work)());
        promise->finish();
    });
}

// The same on the background pool.
template <typename Result, typename Work, typename Done>
void runOffMainThread(QObject* owner, Work work, Done done) {
    runOffMainThread<Result>(owner, backgroundPool(), std::move(work), std::move(done));
}

// Takes apart what is slow to stop (threads to join, a sound output to close)
// on a thread of its own, so that the main thread does not wait for it:
// `teardown` runs there and its captures are destroyed there. Every teardown
// has ended before the program does.
void retireOffMainThread(std::function<void()> teardown);
// Waits until every teardown handed over so far has ended: for when the
// application is quitting.
void waitForRetirements();

}  // namespace zarvex
