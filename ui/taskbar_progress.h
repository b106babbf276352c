// The progress bar of the window's taskbar button, where the system offers one (ITaskbarList3,
// from Windows 7 on). Without it every call does nothing.
#pragma once

#include <windows.h>

#include <cstdint>

struct ITaskbarList3;

namespace sw::ui {

class TaskbarProgress {
 public:
  // Needs COM on this thread; the window is the one whose button shows the bar.
  explicit TaskbarProgress(HWND window);
  // Takes the bar away.
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  void show(std::uint64_t done, std::uint64_t total);
  void clear();

 private:
  HWND window_;
  ITaskbarList3* taskbar_ = nullptr;
  bool shown_ = false;
};

}  // namespace sw::ui
