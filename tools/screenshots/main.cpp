// zarvex_screenshots OUT [NAME...]: saves PNGs of every registered shot (or of
// the named ones) in every theme into OUT. Run it through scripts/screenshots,
// which gives it a private X server with a window manager.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <iostream>
#include <map>
#include <string>

#include "model/theme_manager.h"
#include "shots.h"
#include "ui/gui_application.h"

namespace zarvex::shots {
namespace {

std::map<std::string, ShotFunction>& registry() {
    static std::map<std::string, ShotFunction> shots;
    return shots;
}

}  // namespace

bool registerShot(const char* name, ShotFunction take) {
    registry().emplace(name, std::move(take));
    return true;
}

ShotContext::ShotContext(const Theme& theme, QString outputFolder)
    : theme_(theme), outputFolder_(std::move(outputFolder)) {}

void ShotContext::settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

void ShotContext::capture(QWidget& window, const QString& name) {
    if (!window.isVisible()) {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window, 10000)) {
            std::cerr << "screenshots: " << name.toStdString() << " was never shown\n";
        }
    }
    window.raise();
    window.activateWindow();
    settle(300);
    const QRect frame = window.isWindow() ? window.frameGeometry()
                                          : QRect(window.mapToGlobal(QPoint(0, 0)), window.size());
    captureArea(frame, name);
}

void ShotContext::captureArea(const QRect& area, const QString& name) {
    QScreen* screen = QGuiApplication::screenAt(area.center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect local = area.translated(-screen->geometry().topLeft());
    const QPixmap pixmap =
        screen->grabWindow(0, local.x(), local.y(), local.width(), local.height());
    const QString file =
        QDir(outputFolder_)
            .filePath(QStringLiteral("%1-%2.png").arg(name, QString::fromStdString(theme_.id)));
    if (pixmap.save(file)) {
        ++saved_;
        std::cout << file.toStdString() << "\n";
    } else {
        std::cerr << "screenshots: could not save " << file.toStdString() << "\n";
    }
}

}  // namespace zarvex::shots

int main(int argc, char** argv) {
    using namespace zarvex;
    if (argc < 2) {
        std::cerr << "usage: zarvex_screenshots OUT [NAME...]\n";
        return 2;
    }
    GuiApplication gui({argv[0]});
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    std::vector<std::string> only(argv + 2, argv + argc);
    int saved = 0;
    for (const Theme& theme : Theme::all()) {
        gui.themes().apply(theme.id);
        for (const auto& [name, take] : shots::registry()) {
            if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()) {
                continue;
            }
            shots::ShotContext context(theme, out);
            take(context);
            saved += context.saved();
        }
    }
    std::cout << saved << " screenshots in " << out.toStdString() << "\n";
    return saved > 0 ? 0 : 1;
}
