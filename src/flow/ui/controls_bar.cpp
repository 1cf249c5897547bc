#include "flow/ui/controls_bar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "flow/ui/selection_overlay.h"
#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/segmented_control.h"
#include "ui/symbols.h"
#include "ui/themed_bar.h"

namespace zarvex {
namespace {

constexpr double kBarRadius = 14;
constexpr int kSpacing = 14;
constexpr int kModePickerWidth = 240;
constexpr int kSymbolWidth = 20;
constexpr int kDividerHeight = 20;
constexpr int kPaddingX = 16;
constexpr int kPaddingY = 10;
constexpr int kOuterPadding = 6;

struct Toggle {
    const char* onSymbol;
    const char* offSymbol;
    const char* onTip;
    const char* offTip;
    bool Selection::*field;
    void (SelectionModel::*set)(bool);
};

const std::array<Toggle, 4> kToggles{{
    {"mic.fill", "mic.slash.fill", "Microphone on", "Microphone off", &Selection::micEnabled,
     &SelectionModel::setMicEnabled},
    {"speaker.wave.2.fill", "speaker.slash.fill", "System audio on", "System audio off",
     &Selection::systemAudioEnabled, &SelectionModel::setSystemAudioEnabled},
    {"video.fill", "video.slash.fill", "Camera on", "Camera off", &Selection::cameraEnabled,
     &SelectionModel::setCameraEnabled},
    {"cursorarrow", "cursorarrow.slash", "Cursor visible in recording",
     "Cursor hidden in recording", &Selection::cursorEnabled, &SelectionModel::setCursorEnabled},
}};

// The thin vertical rule between the switches and the buttons, in the theme's
// hairline colour.
class Divider : public QWidget {
  public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedSize(1, kDividerHeight); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), toQColor(ApplicationTheme::current().hairline));
    }
};

QStringList modeLabels() {
    QStringList labels;
    for (const auto& mode : EnumTable<CaptureMode>::cases) {
        labels << QString::fromUtf8(mode.raw.data(), static_cast<int>(mode.raw.size()));
    }
    return labels;
}

int modeIndex(CaptureMode mode) {
    const auto& cases = EnumTable<CaptureMode>::cases;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].value == mode) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

// The Record button's red, whatever the theme's accent.
QString recordButtonStyle() {
    const QColor red = selectionAccent();
    return QStringLiteral(
               "QPushButton { background: %1; color: white; border: none; font-weight: 600; }"
               "QPushButton:hover { background: %2; }"
               "QPushButton:pressed { background: %3; }"
               "QPushButton:disabled { background: %4; color: rgba(255, 255, 255, 150); }")
        .arg(red.name(), red.lighter(112).name(), red.darker(115).name(),
             QColor(red.red(), red.green(), red.blue(), 90).name(QColor::HexArgb));
}

}  // namespace

ControlsBar::ControlsBar(SelectionModel& model, std::function<void()> onStart,
                         std::function<void()> onCancel, QWidget* parent)
    : QWidget(parent), model_(&model) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kOuterPadding, kOuterPadding, kOuterPadding, kOuterPadding);
    bar_ = new ThemedBar(kBarRadius, this);
    outer->addWidget(bar_);

    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(kPaddingX, kPaddingY, kPaddingX, kPaddingY);
    row->setSpacing(kSpacing);

    modes_ = new SegmentedControl(modeLabels(), bar_);
    modes_->setAccessibleName(QStringLiteral("Mode"));
    modes_->setFixedWidth(kModePickerWidth);
    modes_->setFocusPolicy(Qt::NoFocus);
    row->addWidget(modes_, 0, Qt::AlignVCenter);
    connect(modes_, &SegmentedControl::activated, this, [this](int index) {
        if (model_) {
            model_->setMode(
                EnumTable<CaptureMode>::cases.at(static_cast<std::size_t>(index)).value);
        }
    });

    for (std::size_t i = 0; i < kToggles.size(); ++i) {
        auto* button = new QToolButton(bar_);
        button->setProperty("bordered", true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize({kSymbolWidth, kSymbolWidth});
        row->addWidget(button, 0, Qt::AlignVCenter);
        const Toggle& toggle = kToggles[i];
        connect(button, &QToolButton::clicked, this, [this, &toggle] {
            if (model_) {
                (model_->*toggle.set)(!(model_->selection().*toggle.field));
            }
        });
        toggles_[i] = button;
    }

    row->addWidget(new Divider(bar_), 0, Qt::AlignVCenter);

    cancel_ = new QPushButton(QStringLiteral("Cancel"), bar_);
    cancel_->setFocusPolicy(Qt::NoFocus);
    row->addWidget(cancel_, 0, Qt::AlignVCenter);
    connect(cancel_, &QPushButton::clicked, this, [onCancel = std::move(onCancel)] {
        if (onCancel) {
            onCancel();
        }
    });

    record_ = new QPushButton(QStringLiteral("Record"), bar_);
    record_->setFocusPolicy(Qt::NoFocus);
    record_->setIcon(symbolIcon(QStringLiteral("record.circle.fill"), Qt::white));
    record_->setStyleSheet(recordButtonStyle());
    row->addWidget(record_, 0, Qt::AlignVCenter);
    connect(record_, &QPushButton::clicked, this, [onStart = std::move(onStart)] {
        if (onStart) {
            onStart();
        }
    });

    connect(&model, &SelectionModel::changed, this, &ControlsBar::follow);
    follow();
}

void ControlsBar::follow() {
    if (!model_) {
        return;
    }
    const Selection& selection = model_->selection();
    modes_->setCurrentIndex(modeIndex(selection.mode));
    modes_->setSegmentEnabled(modeIndex(CaptureMode::window), model_->windowsOffered(),
                              QStringLiteral("This desktop shares whole displays only."));
    const QColor primary = palette().color(QPalette::WindowText);
    const QColor secondary = secondaryTextColor(palette());
    for (std::size_t i = 0; i < kToggles.size(); ++i) {
        const Toggle& toggle = kToggles[i];
        const bool on = selection.*toggle.field;
        toggles_[i]->setIcon(symbolIcon(QString::fromUtf8(on ? toggle.onSymbol : toggle.offSymbol),
                                        on ? primary : secondary));
        toggles_[i]->setToolTip(QString::fromUtf8(on ? toggle.onTip : toggle.offTip));
    }
    record_->setEnabled(selection.canStart());
}

void ControlsBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        follow();
    }
    QWidget::changeEvent(event);
}

namespace {

class ControlsPanel : public QWidget {
  public:
    ControlsPanel(SelectionModel& model, std::function<void()> onStart,
                  std::function<void()> onCancel, bool translucent)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setWindowTitle(QStringLiteral("Zarvex controls"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* controls = new ControlsBar(model, std::move(onStart), std::move(onCancel), this);
        layout->addWidget(controls);
        if (!translucent) {
            bar_ = controls->findChild<ThemedBar*>();
            bar_->installEventFilter(this);
        }
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Nothing shows through without a compositing manager: the window is
        // the bar's shape, without the shadow around it.
        if (watched == bar_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
            QPainterPath shape;
            shape.addRoundedRect(bar_->barRect().translated(bar_->mapTo(this, QPoint())),
                                 kBarRadius, kBarRadius);
            setMask(QRegion(shape.toFillPolygon().toPolygon()));
        }
        return QWidget::eventFilter(watched, event);
    }

  private:
    ThemedBar* bar_ = nullptr;
};

}  // namespace

QWidget* makeControlsPanel(SelectionModel& model, std::function<void()> onStart,
                           std::function<void()> onCancel, bool translucent) {
    return new ControlsPanel(model, std::move(onStart), std::move(onCancel), translucent);
}

}  // namespace zarvex
