#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QStyle>
#include <QWidget>

#include "gui/gui_environment.h"
#include "model/theme_manager.h"
#include "ui/application_theme.h"
#include "ui/blur.h"
#include "ui/gui_application.h"
#include "ui/look.h"

namespace zarvex {
namespace {

using testing::GuiTest;

class Look : public GuiTest {
  protected:
    void TearDown() override { ThemeManager::shared().apply("studio"); }
};

TEST_F(Look, NamedApplicationPalettesFollowTheThemeApplyingOneRestylesAtOnceBlurIsGaussian) {
    EXPECT_EQ(QCoreApplication::organizationName(), "Zarvex");
    EXPECT_EQ(QCoreApplication::applicationName(), "Zarvex");
    const QPalette rewind = themePalette(Theme::rewind());
    EXPECT_EQ(rewind.color(QPalette::Window), QColor(255, 246, 232));
    EXPECT_EQ(rewind.color(QPalette::WindowText), QColor(34, 30, 26));
    EXPECT_EQ(rewind.color(QPalette::Highlight), QColor(244, 85, 63));
    EXPECT_EQ(rewind, retroLightPalette(QColor(244, 85, 63)));

    // Studio's accent is the desktop's, recorded by the bootstrap.
    const QPalette studio = themePalette(Theme::studio());
    EXPECT_EQ(studio.color(QPalette::Highlight), systemAccentColor());
    EXPECT_LT(studio.color(QPalette::Window).lightness(), 40);
    EXPECT_GT(studio.color(QPalette::WindowText).lightness(), 200);

    // Applying a theme restyles the application at once, in its fonts.
    QWidget window;
    int paletteChanges = 0;
    struct Watcher : QObject {
        int* count;
        explicit Watcher(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::PaletteChange) {
                ++*count;
            }
            return false;
        }
    } watcher(&paletteChanges);
    window.installEventFilter(&watcher);

    ThemeManager::shared().apply("rewind");
    EXPECT_EQ(ApplicationTheme::current().id, "rewind");
    QApplication::processEvents();  // widgets hear of it on the next turn of the loop
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(255, 246, 232));
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(255, 246, 232));
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), "Quicksand");
    EXPECT_TRUE(
        qApp->styleSheet().contains("border: 2px solid rgba(34, 30, 26, 1.000); "
                                    "border-radius: 4px"));
    EXPECT_EQ(paletteChanges, 1);

    ThemeManager::shared().apply("studio");
    QApplication::processEvents();
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), "Inter");
    EXPECT_EQ(themeBodyFont(Theme::studio()).pixelSize(), 13);
    EXPECT_EQ(themeHeadlineFont(Theme::studio()).weight(), QFont::DemiBold);
    EXPECT_TRUE(qApp->styleSheet().contains("border-radius: 6px"));
    EXPECT_EQ(paletteChanges, 2);

    // The window-local retro scheme holds whatever the application shows.
    applyRetroLightScheme(window, true);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(255, 246, 232));
    applyRetroLightScheme(window, false);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(16, 24, 32));

    // The blur spreads an impulse like a Gaussian of that sigma.
    // A white line across a wide image: one column far from the ends is an
    // impulse for the vertical blur.
    QImage impulse(121, 161, QImage::Format_ARGB32_Premultiplied);
    impulse.fill(Qt::transparent);
    for (int x = 0; x < impulse.width(); ++x) {
        impulse.setPixel(x, 80, qRgba(255, 255, 255, 255));
    }
    EXPECT_EQ(blurredImage(impulse, 0), impulse);
    for (const double sigma : {3.0, 6.0}) {
        const QImage blurred = blurredImage(impulse, sigma);
        double mass = 0, variance = 0;
        for (int y = 0; y < blurred.height(); ++y) {
            const double a = qAlpha(blurred.pixel(60, y));
            mass += a;
            variance += a * (y - 80) * (y - 80);
        }
        EXPECT_NEAR(std::sqrt(variance / mass), sigma, sigma * 0.12) << sigma;
        EXPECT_NEAR(mass, 255, 255 * 0.1) << sigma;
    }
}

}  // namespace
}  // namespace zarvex
