#pragma once

// The Qt event loop in tests of controllers: one QCoreApplication for the
// test program, and waiting for a condition while events are delivered.
// Header-only, for test programs that link Qt.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <chrono>
#include <functional>

namespace zarvex::testing {

// The program's application object, made on first use when none exists yet
// (a gui test program makes its QApplication first). It is never destroyed:
// at exit Qt's own globals may be gone before it.
inline QCoreApplication& coreApplication() {
    static int argc = 1;
    static char name[] = "zarvex-test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        static QCoreApplication* const made = new QCoreApplication(argc, argv);
        (void)made;
    }
    return *QCoreApplication::instance();
}

// Delivers events until `condition` holds or `timeout` passes (generous: the
// machine may be busy, an export may run under the sanitizers); true when it holds.
inline bool processEventsUntil(const std::function<bool()>& condition,
                               std::chrono::milliseconds timeout = std::chrono::seconds(120)) {
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
