#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace zarvex {

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

// The same on the application's shared pool.
template <typename Result, typename Work, typename Done>
void runOffMainThread(QObject* owner, Work work, Done done) {
    runOffMainThread<Result>(owner, *QThreadPool::globalInstance(), std::move(work),
                             std::move(done));
}

}  // namespace zarvex
