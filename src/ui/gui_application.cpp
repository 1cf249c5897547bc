#include "ui/gui_application.h"

#include <QStyleFactory>

#include "ui/look.h"

namespace zarvex {

GuiApplication::GuiApplication(const std::vector<std::string>& args)
    : arguments_(args.empty() ? std::vector<std::string>{"zarvex"} : args) {
    for (auto& argument : arguments_) {
        argv_.push_back(argument.data());
    }
    argv_.push_back(nullptr);
    argc_ = static_cast<int>(arguments_.size());

    QCoreApplication::setOrganizationName(QStringLiteral("Zarvex"));
    QCoreApplication::setApplicationName(QStringLiteral("Zarvex"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zarvex"));
    application_ = std::make_unique<QApplication>(argc_, argv_.data());
    // The desktop's accent is the platform palette's highlight, read before
    // a theme replaces the palette.
    setSystemAccentColor(QGuiApplication::palette().color(QPalette::Highlight));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    theme_ = std::make_unique<ApplicationTheme>(ThemeManager::shared());
}

GuiApplication::~GuiApplication() {
    theme_.reset();
    application_.reset();
}

}  // namespace zarvex
