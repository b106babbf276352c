#include "progress_pump.h"

namespace sw::ui {

void ProgressPump::pump_if_due() {
  if (::GetTickCount() - last_ >= kIntervalMs) pump();
}

void ProgressPump::pump() {
  // The buttons are disabled and the controller ignores commands during a run, so whatever
  // arrives here cannot start a second run or end the window under this one.
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the modal loop, after the run
      break;
    }
    if (dialog_ == nullptr || !::IsDialogMessageA(dialog_, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  last_ = ::GetTickCount();
}

}  // namespace sw::ui
