#pragma once

namespace zarvex {

// Whether a compositing manager runs on the application's X screen (someone
// owns _NET_WM_CM_Sn), so translucent windows show what lies behind them.
// False off X11 or without a connection. Main thread.
bool compositingManagerRunning();

}  // namespace zarvex
