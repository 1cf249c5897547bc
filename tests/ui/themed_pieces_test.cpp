#include <gtest/gtest.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "gui/gui_environment.h"
#include "model/theme_manager.h"
#include "ui/application_theme.h"
#include "ui/blur.h"
#include "ui/look.h"
#include "ui/segmented_control.h"
#include "ui/themed_bar.h"
#include "ui/themed_section_header.h"
#include "ui/toggle_switch.h"
#include "ui/window_backdrop.h"

namespace zarvex {
namespace {

using testing::GuiTest;

class ThemedPieces : public GuiTest {
  protected:
    void TearDown() override { ThemeManager::shared().apply("studio"); }
};

QImage render(const std::function<void(QPainter&)>& draw, QSize size, QColor fill = Qt::black) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    QPainter painter(&image);
    draw(painter);
    return image;
}

// `over` blended onto `under` at `alpha`, one channel.
double blend(int under, int over, double alpha) {
    return under * (1 - alpha) + over * alpha;
}

TEST_F(ThemedPieces, BackdropBarsControlsAndHeadersFollowTheTheme) {
    EXPECT_EQ(bloomRect(QSizeF(1000, 600)), QRectF(660, -180, 520, 520));
    EXPECT_EQ(bloomOpacity(Theme::rewind()), 0.22);
    EXPECT_EQ(bloomOpacity(Theme::studio()), 0.16);

    // Rewind's grid: ink lines at 0.07 every 24 points; between them the
    // backdrop alone (which changes smoothly from one pixel to the next).
    const QImage rewind =
        render([](QPainter& p) { paintWindowBackdrop(p, QRectF(0, 0, 100, 50), Theme::rewind()); },
               {100, 50});
    for (const int x : {24, 48, 72, 96}) {
        const QColor line = rewind.pixelColor(x, 37);
        const QColor beside = rewind.pixelColor(x + 1, 37);
        EXPECT_NEAR(line.red(), blend(beside.red(), 34, 0.07), 1.5) << x;
        EXPECT_NEAR(line.blue(), blend(beside.blue(), 26, 0.07), 1.5) << x;
    }
    for (const int y : {0, 24, 48}) {
        EXPECT_NEAR(rewind.pixelColor(37, y).green(),
                    blend(rewind.pixelColor(37, y + 1).green(), 30, 0.07), 1.5)
            << y;
    }
    EXPECT_NEAR(rewind.pixelColor(12, 37).red(), rewind.pixelColor(13, 37).red(), 1);

    // Studio has no grid; its gradient runs from the first stop at the
    // top-leading corner to the last at the bottom-trailing one.
    const QImage studio = render(
        [](QPainter& p) { paintWindowBackdrop(p, QRectF(0, 0, 1200, 800), Theme::studio()); },
        {1200, 800});
    EXPECT_NEAR(studio.pixelColor(24, 400).red(), studio.pixelColor(25, 400).red(), 1);
    EXPECT_NEAR(studio.pixelColor(1199, 799).red(), 10, 1);
    EXPECT_EQ(studio.pixelColor(600, 400), QColor(16, 24, 32));  // the middle stop

    // Bars: solid in Rewind, translucent in Studio.
    EXPECT_EQ(themedBarShadowMargins(Theme::rewind()), QMargins(0, 0, 3, 3));
    EXPECT_EQ(themedBarShadowMargins(Theme::studio()), QMargins(10, 8, 10, 12));

    QWidget host;
    const QRectF bar(10, 10, 80, 40);
    const QImage solid =
        render([&](QPainter& p) { paintThemedBar(p, bar, 14, host, Theme::rewind()); }, {120, 80},
               Qt::white);
    EXPECT_EQ(solid.pixelColor(50, 30), QColor(255, 246, 232));  // panelColor
    EXPECT_EQ(solid.pixelColor(50, 10), QColor(34, 30, 26));     // 2-point outline
    EXPECT_EQ(solid.pixelColor(50, 11), QColor(34, 30, 26));
    EXPECT_EQ(solid.pixelColor(50, 12), QColor(255, 246, 232));
    EXPECT_EQ(solid.pixelColor(50, 52), QColor(34, 30, 26));  // hard shadow, offset 3
    EXPECT_EQ(solid.pixelColor(50, 53), QColor(Qt::white));

    // In an opaque window the material is the panel tint over what the
    // parent drew; the edge is stroked 1 point in white at 0.12.
    const QColor ground(40, 60, 80);
    const QImage clear = render(
        [&](QPainter& p) { paintThemedBar(p, bar, 14, host, Theme::studio()); }, {120, 80}, ground);
    const QColor inside = clear.pixelColor(50, 30);
    EXPECT_NEAR(inside.red(), blend(40, 255, 0.04), 1.01);
    EXPECT_NEAR(inside.blue(), blend(80, 255, 0.04), 1.01);
    const QColor edge = clear.pixelColor(50, 10);
    EXPECT_NEAR(edge.red(), blend(blend(40, 255, 0.04), 255, 0.12), 1.51);
    EXPECT_LT(clear.pixelColor(50, 57).red(), 40);  // the soft shadow below

    // A long bar casts the shadow of its blurred shape.
    // Drawn from a small blurred piece with its edges stretched; it must match
    // the shadow's definition: the bar in black at 0.35, blurred with sigma 5
    // (radius 10), 2 points lower, outside the bar only.
    QWidget longHost;
    const QRectF longBar(30, 30, 300, 160);
    const QImage longDrawn =
        render([&](QPainter& p) { paintThemedBar(p, longBar, 14, longHost, Theme::studio()); },
               {360, 240}, Qt::white);
    QImage shape(360, 240, QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, qRound(255 * kBarSoftShadowOpacity)));
        p.drawRoundedRect(longBar.translated(0, kBarSoftShadowOffsetY), 14, 14);
    }
    const QImage shadow = blurredImage(shape, kBarSoftShadowRadius / 2);
    // All around the bar, corners and the straight edges next to them included.
    int checked = 0;
    for (int y = 12; y < 220; y += 3) {
        for (int x = 12; x < 348; x += 3) {
            if (longBar.adjusted(-1, -1, 1, 1).contains(QPointF(x, y))) {
                continue;
            }
            const double expected = 255 * (1 - qAlpha(shadow.pixel(x, y)) / 255.0);
            EXPECT_NEAR(longDrawn.pixelColor(x, y).red(), expected, 1.5) << x << ", " << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 2000);

    // Controls pick by click and keys, switches toggle, headers follow the style.
    SegmentedControl control({"Display", "Window", "Region"});
    control.setFixedWidth(240);
    control.resize(240, control.sizeHint().height());
    QSignalSpy activated(&control, &SegmentedControl::activated);
    EXPECT_EQ(control.currentIndex(), -1);
    QTest::mouseClick(&control, Qt::LeftButton, {}, control.segmentRect(2).center());
    EXPECT_EQ(control.currentIndex(), 2);
    QTest::keyClick(&control, Qt::Key_Right);  // already the last
    EXPECT_EQ(control.currentIndex(), 2);
    QTest::keyClick(&control, Qt::Key_Left);
    EXPECT_EQ(control.currentIndex(), 1);
    EXPECT_EQ(activated.count(), 3);
    control.setCurrentIndex(0);  // from code: not an activation
    EXPECT_EQ(activated.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(control.segmentRect(i).width(), 236 / 3.0, 1) << i;
    }

    ToggleSwitch toggle;
    toggle.resize(toggle.sizeHint());
    QSignalSpy toggled(&toggle, &ToggleSwitch::toggled);
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_TRUE(toggle.isChecked());
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_EQ(toggled.count(), 2);

    // Section headers follow the header style.
    EXPECT_EQ(titleBarColor(Theme::rewind(), 4), Color::rgb255(87, 174, 223));
    EXPECT_EQ(titleBarColor(Theme::rewind(), -1), Color::rgb255(248, 195, 60));
    EXPECT_EQ(titleBarColor(Theme::studio(), 0), std::nullopt);

    auto* trailing = new QLabel("trailing");
    ThemedSectionHeader header("Layout", 4, trailing);
    EXPECT_EQ(header.layout()->contentsMargins(), QMargins(0, 0, 0, 0));
    EXPECT_EQ(header.titleFont().weight(), QFont::DemiBold);

    ThemeManager::shared().apply("rewind");
    QApplication::processEvents();
    EXPECT_EQ(header.layout()->contentsMargins(), QMargins(8, 5, 8, 5));
    EXPECT_EQ(header.layout()->spacing(), 6);
    const QFont title = header.titleFont();
    EXPECT_EQ(title.weight(), QFont::Black);
    EXPECT_DOUBLE_EQ(title.pointSizeF() * 96 / 72, 11.5);
    EXPECT_EQ(title.letterSpacing(), 0.5);
    EXPECT_EQ(title.letterSpacingType(), QFont::AbsoluteSpacing);
    EXPECT_EQ(header.titleColor(), QColor(Qt::black));

    header.resize(200, header.sizeHint().height());
    const QImage drawn = header.grab().toImage();
    EXPECT_EQ(drawn.pixelColor(150, drawn.height() / 2), QColor(87, 174, 223));
}

}  // namespace
}  // namespace zarvex
