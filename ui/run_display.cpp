#include "ui/run_display.h"

#include "core/run.h"
#include "ui/dialog_template.h"

namespace sw::ui {

void RunDisplay::update(RunProgress& progress) {
  const RunProgress::Shown now = progress.take();
  if (now.listing_done) {
    ::SetDlgItemTextA(dialog_, kFileLabel, std::string(kDoneText).c_str());
    ::SetDlgItemTextA(dialog_, kCrcLabel, std::string(kDoneText).c_str());
    show_plain_caption();
    return;
  }
  if (now.name) ::SetDlgItemTextA(dialog_, kFileLabel, now.name->c_str());
  if (now.checksum) ::SetDlgItemTextA(dialog_, kCrcLabel, now.checksum->c_str());
  if (!now.started) return;
  set_caption(progress_caption(now.bytes_done, now.bytes_total, now.seconds));
  taskbar_.show(now.bytes_done, now.bytes_total);
}

void RunDisplay::set_caption(const std::string& caption) {
  // Set only when it changes: every setting repaints the frame.
  if (caption == caption_) return;
  caption_ = caption;
  ::SetWindowTextA(dialog_, caption.c_str());
}

void RunDisplay::show_plain_caption() {
  set_caption(kMainDialog.caption);
  taskbar_.clear();
}

}  // namespace sw::ui
