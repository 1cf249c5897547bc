#pragma once

// The Qt event loop in tests of controllers: one QCoreApplication for the
// test program, and waiting for a condition while events are delivered.
// Header-only, for test programs that link Qt.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>

namespace zarvex::testing {

// The program's application object, made on first use when none exists yet
// (a gui test program makes its QApplication first).
inline QCoreApplication& coreApplication() {
    static int argc = 1;
    static char name[] = "zarvex-test";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QCoreApplication> made;
    if (QCoreApplication::instance() == nullptr) {
        made = std::make_unique<QCoreApplication>(argc, argv);
    }
    return *QCoreApplication::instance();
}

// Delivers events until `condition` holds or `timeout` passes; true when it holds.
inline bool processEventsUntil(const std::function<bool()>& condition,
                               std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    coreApplication();
    QDeadlineTimer deadline(timeout.count());
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Delivers events for `duration`.
inline void processEventsFor(std::chrono::milliseconds duration) {
    processEventsUntil([] { return false; }, duration);
}

}  // namespace zarvex::testing
