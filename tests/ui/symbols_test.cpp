#include <gtest/gtest.h>

#include <QApplication>

#include "gui/gui_environment.h"
#include "model/theme_manager.h"
#include "ui/symbols.h"

namespace zarvex {
namespace {

using testing::GuiTest;

class Symbols : public GuiTest {};

TEST_F(Symbols, EveryNamedSymbolExistsAndDrawsTintedOrInTheThemesButtonText) {
    const QStringList named = QString(
                                  "MenuBarIcon MenuBarIconRecording play.fill pause.fill "
                                  "speaker.slash.fill speaker.wave.1.fill speaker.wave.2.fill "
                                  "speaker.wave.3.fill scissors folder square.and.arrow.up "
                                  "photo square.stack.3d.up mic.fill mic.slash.fill video.fill "
                                  "video.slash.fill cursorarrow cursorarrow.slash "
                                  "record.circle.fill display macwindow rectangle.dashed "
                                  "gearshape")
                                  .split(' ');
    for (const QString& name : named) {
        EXPECT_TRUE(symbolNames().contains(name)) << name.toStdString();
    }
    for (const QString& name : symbolNames()) {
        ASSERT_TRUE(hasSymbol(name)) << name.toStdString();
        const QImage image = symbolImage(name, {24, 24}, Qt::white, 2);
        ASSERT_EQ(image.size(), QSize(48, 48)) << name.toStdString();
        int inked = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                inked += qAlpha(image.pixel(x, y)) > 128;
            }
        }
        EXPECT_GT(inked, 48 * 48 / 25) << name.toStdString();
    }
    EXPECT_FALSE(hasSymbol("no.such.symbol"));
    EXPECT_TRUE(symbolImage("no.such.symbol", {24, 24}, Qt::white).isNull());

    // Tinted like template images, white ink cutting out.
    const QImage mic = symbolImage("mic.slash.fill", {24, 24}, QColor(200, 40, 20), 2);
    EXPECT_EQ(mic.pixelColor(24, 10), QColor(200, 40, 20));  // the capsule
    EXPECT_LT(qAlpha(mic.pixel(22, 17)), 20);                // the gap beside the slash
    EXPECT_EQ(qAlpha(mic.pixel(0, 47)), 0);

    // An icon without a colour draws in the palette's button text: it
    // follows the theme.
    const QIcon icon = symbolIcon("play.fill");
    ThemeManager::shared().apply("rewind");
    QApplication::processEvents();
    EXPECT_EQ(icon.pixmap(24, 24).toImage().pixelColor(12, 12), QColor(34, 30, 26));
    ThemeManager::shared().apply("studio");
    QApplication::processEvents();
    EXPECT_EQ(icon.pixmap(24, 24).toImage().pixelColor(12, 12), QColor(236, 240, 244));
}

}  // namespace
}  // namespace zarvex
