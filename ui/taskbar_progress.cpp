#include "ui/taskbar_progress.h"

#include <shobjidl.h>

#include <algorithm>

namespace sw::ui {

TaskbarProgress::TaskbarProgress(HWND window) : window_(window) {
  void* taskbar = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                &taskbar)))
    return;
  taskbar_ = static_cast<ITaskbarList3*>(taskbar);
  if (FAILED(taskbar_->HrInit())) {
    taskbar_->Release();
    taskbar_ = nullptr;
  }
}

TaskbarProgress::~TaskbarProgress() {
  clear();
  if (taskbar_ != nullptr) taskbar_->Release();
}

void TaskbarProgress::show(std::uint64_t done, std::uint64_t total) {
  if (taskbar_ == nullptr || total == 0) return;
  // A value switches the bar on by itself, also once the button exists if it did not yet when
  // the run began.
  taskbar_->SetProgressValue(window_, std::min(done, total), total);
  shown_ = true;
}

void TaskbarProgress::clear() {
  if (taskbar_ == nullptr || !shown_) return;
  taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
  shown_ = false;
}

}  // namespace sw::ui
