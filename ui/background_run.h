// A run on a thread of its own, so that the window's thread does nothing but handle messages:
// the window stays painted and movable, and its close box is heard at once. The window hears
// of the run through the messages of ui/run_messages.h and ends it with finish() when
// kRunEndedMessage arrives.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "core/os/owned.h"
#include "core/stop.h"
#include "ui/run_front_end.h"
#include "ui/run_progress.h"

namespace sw::ui {

// The text of the box that says a run failed part-way (an internal error, no memory).
std::string run_failure_text(std::string_view what_failed);

// How a run failed part-way: a fixed phrase that needs no memory, and what the error said.
struct RunFailure {
  const char* what = nullptr;  // null: the run did not fail
  std::string detail;
};

// How the exception being handled ends a run; called in a catch block.
RunFailure current_failure() noexcept;

// The box that says so, on the window's thread; nothing for a run that did not fail.
void show_failure_box(const RunFailure& failure);

class BackgroundRun {
 public:
  using Job = std::function<void(WindowRunFrontEnd&)>;

  // Starts `job` on a thread of its own, with a front end that talks to `dialog`. Throws when
  // the system gives no thread; nothing has started then.
  BackgroundRun(HWND dialog, Job job);
  // A run still going (the window's loop ended under it) is stopped, and its calls to the
  // window are answered until its thread has ended.
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // The run stops at its next step or piece of a file, and writes nothing more (RunPlan::stop).
  void request_stop() { stop_.request(); }
  bool stop_requested() const { return stop_.requested(); }
  RunProgress& progress() { return progress_; }

  // After kRunEndedMessage: waits for the thread, which has nothing left to do, and tells how
  // the run failed, if it did.
  const RunFailure& finish();

 private:
  void work(const Job& job);

  HWND dialog_;
  RunProgress progress_;
  StopRequest stop_;
  RunFailure failure_;  // written by the run's thread before its last post
  struct Event {
    using Handle = HANDLE;
    static HANDLE none() { return nullptr; }
    static void close(HANDLE event) { ::CloseHandle(event); }
  };
  fs::Owned<Event> ended_;  // set by the run's thread as its last act
  std::thread thread_;
};

}  // namespace sw::ui
