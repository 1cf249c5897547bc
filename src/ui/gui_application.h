#pragma once

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "model/theme_manager.h"
#include "ui/application_theme.h"

namespace zarvex {

// The start of every command that opens windows: the QApplication with
// organisation and application "Zarvex" (so preferences are the user's),
// the Fusion style under the themes, the desktop's accent recorded, and the
// current theme applied and followed. One per process, on the main thread.
class GuiApplication {
  public:
    // `args` are the program's arguments (the program name first, when known).
    explicit GuiApplication(const std::vector<std::string>& args = {});
    ~GuiApplication();
    GuiApplication(const GuiApplication&) = delete;
    GuiApplication& operator=(const GuiApplication&) = delete;

    QApplication& application() { return *application_; }
    ThemeManager& themes() { return ThemeManager::shared(); }
    int exec() { return QApplication::exec(); }

  private:
    // QApplication keeps references to argc and argv for its lifetime.
    std::vector<std::string> arguments_;
    std::vector<char*> argv_;
    int argc_ = 0;
    std::unique_ptr<QApplication> application_;
    std::unique_ptr<ApplicationTheme> theme_;
};

}  // namespace zarvex
