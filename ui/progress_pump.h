// Keeps the main window painted and movable while a run checksums on the window's thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace sw::ui {

class ProgressPump {
 public:
  static constexpr DWORD kIntervalMs = 40;

  explicit ProgressPump(HWND dialog) : dialog_(dialog), last_(::GetTickCount()) {}

  // Handles the waiting messages when the last round is at least kIntervalMs ago, so a folder
  // of many small files is not slowed down by a round per file.
  void pump_if_due();

  // Handles every waiting message now.
  void pump();

 private:
  HWND dialog_;
  DWORD last_;
};

}  // namespace sw::ui
