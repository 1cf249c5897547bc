#include "flow/ui/wayland_stage.h"

#include <QChildEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <map>

namespace zarvex {
namespace {

// A region wholly outside the window: Wayland reads an empty mask as "input
// everywhere", this one as "input nowhere".
const QRegion kNoInput(-2, -2, 1, 1);

// wlroots' tiling desktops (sway, which names its socket in SWAYSOCK, and its kin) draw nothing
// beneath a full-screen window, so a transparent one would black out the screen (and the recording
// of it). They float a window of fixed size instead, centred: the screen's size covers the screen
// exactly. Other desktops composite a transparent full-screen window over what lies beneath, and
// place it.
const bool kTilingDesktop = [] {
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP").toLower();
    return desktop.contains("sway") || desktop.contains("wlroots") || desktop.contains("river") ||
           desktop.contains("hyprland") || qEnvironmentVariableIsSet("SWAYSOCK");
}();

}  // namespace

WaylandStage& WaylandStage::of(QScreen* screen) {
    static std::map<QScreen*, QPointer<WaylandStage>> stages;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    QPointer<WaylandStage>& stage = stages[screen];
    if (!stage) {
        stage = new WaylandStage(screen);
        QObject::connect(screen, &QObject::destroyed, stage, &QObject::deleteLater);
    }
    return *stage;
}

WaylandStage::WaylandStage(QScreen* screen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      screen_(screen) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Zarvex"));
    setScreen(screen);
    setGeometry(screen->geometry());
}

void WaylandStage::hold(QWidget& view, const QRectF& frame) {
    const QPoint origin = screen_ ? screen_->geometry().topLeft() : QPoint();
    const QRect local = frame.toAlignedRect().translated(-origin);
    if (view.parentWidget() != this) {
        const Qt::WindowFlags flags = view.windowFlags();
        const bool wasVisible = !view.isHidden();
        view.setParent(this, Qt::Widget);
        if (flags.testFlag(Qt::WindowTransparentForInput)) {
            view.setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        if (flags.testFlag(Qt::WindowDoesNotAcceptFocus)) {
            view.setFocusPolicy(Qt::NoFocus);
            for (QWidget* child : view.findChildren<QWidget*>()) {
                child->setFocusPolicy(Qt::NoFocus);
            }
        }
        view.installEventFilter(this);
        view.setVisible(wasVisible);
    }
    view.setGeometry(local);
    view.raise();
    scheduleUpdate();
}

QRegion WaylandStage::inputRegion() const {
    QRegion region;
    for (QWidget* view : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (view->isHidden() || view->testAttribute(Qt::WA_TransparentForMouseEvents)) {
            continue;
        }
        const QRegion own = view->mask().isEmpty() ? QRegion(view->rect()) : view->mask();
        region += own.translated(view->pos());
    }
    return region;
}

bool WaylandStage::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
            scheduleUpdate();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void WaylandStage::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (event->removed()) {
        scheduleUpdate();
    }
}

void WaylandStage::scheduleUpdate() {
    // Views come and go several at a time (a selection's overlay and panel):
    // the window follows once they have settled.
    if (!updatePending_) {
        updatePending_ = true;
        QTimer::singleShot(0, this, &WaylandStage::updateStage);
    }
}

void WaylandStage::updateStage() {
    updatePending_ = false;
    bool holdsVisible = false;
    for (QWidget* view : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        holdsVisible = holdsVisible || !view->isHidden();
    }
    if (!holdsVisible) {
        hide();
        return;
    }
    if (isHidden()) {
        if (screen_) {
            setScreen(screen_);
            setGeometry(screen_->geometry());
        }
        // The screen's size, fixed: a tiling desktop floats such a window
        // and centres it, which covers the screen exactly.
        setFixedSize(screen_ ? screen_->geometry().size() : size());
        if (kTilingDesktop) {
            show();
        } else {
            showFullScreen();
        }
    }
    const QRegion input = inputRegion();
    windowHandle()->setMask(input.isEmpty() ? kNoInput : input);
    update();
}

ViewHost waylandStageHost() {
    return [](QWidget& view, const QRectF& frame) {
        WaylandStage::of(screenAt(toPoint(frame.center()))).hold(view, frame);
    };
}

}  // namespace zarvex
