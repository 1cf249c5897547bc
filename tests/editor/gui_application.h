#pragma once

#include <QApplication>

#include <memory>

#include "xvfb.h"

// A QApplication on a private Xvfb for widget tests, created once per test
// program (Qt allows one application per process) and kept until it ends.
namespace zarvex::testing {

class GuiApplication {
  public:
    // The running application, started on first use.
    static QApplication& instance();
    static const Xvfb& server();
};

}  // namespace zarvex::testing
