#include "render/qt_main_thread.h"

#include <QCoreApplication>
#include <QPointer>

namespace zarvex {

std::function<void(std::function<void()>)> qtMainThreadPoster() {
    return [application = QPointer<QCoreApplication>(QCoreApplication::instance())](
               std::function<void()> work) {
        if (application) {
            QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
        }
    };
}

}  // namespace zarvex
