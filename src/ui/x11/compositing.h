#pragma once

namespace zarvex {

// Whether a compositing manager runs on the application's X screen (someone
// owns _NET_WM_CM_Sn), so translucent windows show what lies behind them.
// Always true on Wayland; false without a connection. Main thread.
bool compositingManagerRunning();

}  // namespace zarvex
