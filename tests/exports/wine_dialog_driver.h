// Plays the user of a common file dialog from a second thread: waits for the dialog that the
// calling thread opens, notes what it shows, types a file name and presses OK (or presses
// Cancel), and answers any message box the dialog raises. Every wait is bounded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sw::test {

struct DialogScript {
  // What to do.
  std::string type_name;  // typed into the file-name box before OK
  bool cancel = false;    // press Cancel instead
  DWORD find_timeout_ms = 20000;

  // What was seen.
  bool found = false;
  bool closed = false;                      // the dialog went away by itself after our button
  std::string title;                        // the dialog's caption
  std::string initial_name;                 // the file-name box before typing
  std::vector<std::string> filter_entries;  // the file-type list
  std::vector<std::string> message_boxes;   // texts of boxes the dialog raised, answered
};

class DialogDriver {
 public:
  // Starts driving the next file dialog that `dialog_thread` shows.
  DialogDriver(DWORD dialog_thread, DialogScript& script);
  // Waits (bounded) for the driver to finish.
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

 private:
  static DWORD WINAPI run(void* self);
  void drive();

  DWORD dialog_thread_;
  DialogScript& script_;
  HANDLE thread_ = nullptr;
};

// A visible top-level "#32770" window of the thread, other than `except`, or null.
HWND find_thread_dialog(DWORD thread, HWND except = nullptr);

// The text of a window.
std::string window_text(HWND window);

// Waits up to timeout_ms for a message box titled `title` on `thread`, returns its text (the
// static control 0xFFFF) and presses its OK or Yes button. Empty when none came.
std::string answer_message_box(DWORD thread, const char* title, DWORD timeout_ms);

}  // namespace sw::test
