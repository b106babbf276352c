#include "ui/background_run.h"

#include <exception>
#include <new>
#include <system_error>

#include "ui/run_messages.h"

namespace sw::ui {

std::string run_failure_text(std::string_view what_failed) {
  std::string text = "The run stopped before its end: ";
  text += what_failed;
  text += ".\r\nA file it had not yet written is unchanged.";
  return text;
}

RunFailure current_failure() noexcept {
  RunFailure failure;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    failure.what = "there was not enough memory";
  } catch (const std::exception& e) {
    failure.what = "an internal error occurred";
    try {
      failure.detail = e.what();
    } catch (...) {
      // The phrase alone then.
    }
  } catch (...) {
    failure.what = "an internal error occurred";
  }
  return failure;
}

void show_failure_box(const RunFailure& failure) {
  if (failure.what == nullptr) return;
  try {
    const std::string text = run_failure_text(
        failure.detail.empty() ? failure.what
                               : std::string(failure.what) + " (" + failure.detail + ")");
    ::MessageBoxA(nullptr, text.c_str(), kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
  } catch (...) {
    ::MessageBoxA(nullptr, failure.what, kPromptTitle, MB_OK | MB_ICONEXCLAMATION);
  }
}

BackgroundRun::BackgroundRun(HWND dialog, Job job) : dialog_(dialog) {
  *ended_.receive() = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ended_.is_open())
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "no event for the run");
  thread_ = std::thread([this, job = std::move(job)] { work(job); });
}

BackgroundRun::~BackgroundRun() {
  if (thread_.joinable()) {
    request_stop();
    // The run may be waiting for the window's thread to show a box or to hear "Done": answer
    // what it sends until it has ended, or both threads would wait for each other.
    const HANDLE ended = ended_.get();
    while (::MsgWaitForMultipleObjects(1, &ended, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.join();
  }
}

const RunFailure& BackgroundRun::finish() {
  if (thread_.joinable()) thread_.join();
  return failure_;
}

void BackgroundRun::work(const Job& job) {
  // Nothing may unwind out of the thread (that ends the process), and the window must hear of
  // the end whatever happened, so it can give its buttons back.
  try {
    WindowRunFrontEnd front_end(dialog_, progress_, stop_);
    job(front_end);
  } catch (...) {
    failure_ = current_failure();
  }
  ::SetEvent(ended_.get());
  // A full message queue refuses the post; the window must still hear of the end.
  while (!::PostMessageW(dialog_, kRunEndedMessage, 0, 0) && ::IsWindow(dialog_)) ::Sleep(10);
}

}  // namespace sw::ui
