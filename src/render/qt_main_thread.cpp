#include "render/qt_main_thread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include "render/off_main_thread.h"

namespace zarvex {

std::function<void(std::function<void()>)> qtMainThreadPoster() {
    return [application = QPointer<QCoreApplication>(QCoreApplication::instance())](
               std::function<void()> work) {
        if (application) {
            QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
        }
    };
}

namespace {

// Not leaked like the background pool: its destruction at exit waits for
// every teardown still running.
QThreadPool& retirementPool() {
    static QThreadPool pool;
    return pool;
}

}  // namespace

void retireOffMainThread(std::function<void()> teardown) {
    retirementPool().start([teardown = std::move(teardown)]() mutable {
        std::function<void()> local = std::move(teardown);
        local();
    });
}

void waitForRetirements() {
    retirementPool().waitForDone();
}

}  // namespace zarvex
