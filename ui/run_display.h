// The window's face of a run in progress, on the window's thread: the file and checksum labels,
// the share and time left in the caption, and the taskbar button's bar. When it goes, the
// caption is plain "Sumwright" again and the bar is gone, however the run ended.
#pragma once

#include <windows.h>

#include <string>

#include "ui/dialog_template.h"
#include "ui/run_progress.h"
#include "ui/taskbar_progress.h"

namespace sw::ui {

class RunDisplay {
 public:
  explicit RunDisplay(HWND dialog) : dialog_(dialog), taskbar_(dialog) {}
  ~RunDisplay() { show_plain_caption(); }
  RunDisplay(const RunDisplay&) = delete;
  RunDisplay& operator=(const RunDisplay&) = delete;

  // Shows what `progress` holds now. Once the listing is done both labels say "Done" and the
  // caption and the bar, which tell how far the reading has got, are taken away.
  void update(RunProgress& progress);

 private:
  void set_caption(const std::string& caption);
  void show_plain_caption();

  HWND dialog_;
  TaskbarProgress taskbar_;
  std::string caption_ = kMainDialog.caption;  // what the caption shows now
};

}  // namespace sw::ui
