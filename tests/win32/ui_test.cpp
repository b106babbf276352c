// The parts of the Windows front end that can be checked without a user: the folder browser's
// rules, the dialog template, the boxes' texts, and a run that fails part-way.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <new>
#include <string>

#include "tests/exports/wine_dialog_driver.h"
#include "ui/dialog_template.h"
#include "ui/folder_picker.h"
#include "ui/main_window.h"
#include "ui/run_front_end.h"

namespace sw::ui {
namespace {

constexpr DWORD kDir = FILE_ATTRIBUTE_DIRECTORY;

TEST(SelectionRules, PlainFoldersOnDriveLettersAreAccepted) {
  EXPECT_FALSE(selection_rejected(true, "D:\\Work", kDir));
  EXPECT_FALSE(selection_rejected(true, "D:\\Work", kDir | FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(selection_rejected(true, "D:\\Work", kDir | FILE_ATTRIBUTE_HIDDEN));
  // Drive roots usually carry the system attribute and are still fine.
  EXPECT_FALSE(selection_rejected(true, "C:\\", kDir | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_FALSE(selection_rejected(true, "C:\\", kDir));
}

TEST(SelectionRules, EverythingElseIsRejected) {
  EXPECT_TRUE(selection_rejected(false, "D:\\Work", kDir));                       // no item
  EXPECT_TRUE(selection_rejected(true, "", kDir));                                // virtual
  EXPECT_TRUE(selection_rejected(true, "D:\\file.txt", FILE_ATTRIBUTE_ARCHIVE));  // a file
  EXPECT_TRUE(selection_rejected(true, "D:\\gone", INVALID_FILE_ATTRIBUTES));
  EXPECT_TRUE(selection_rejected(true, "\\\\server\\share", kDir));  // network
  EXPECT_TRUE(selection_rejected(true, "D", kDir));
  EXPECT_TRUE(selection_rejected(true, "C:\\Windows", kDir | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(selection_rejected(true, "C:\\Windows\\", kDir | FILE_ATTRIBUTE_SYSTEM));
}

// Reads a DLGTEMPLATEEX back field by field.
class TemplateReader {
 public:
  explicit TemplateReader(const std::vector<WORD>& words) : words_(words) {}
  WORD word() { return words_.at(at_++); }
  DWORD dword() {
    const WORD low = word();
    return MAKELONG(low, word());
  }
  std::string text() {
    std::string s;
    for (WORD w = word(); w != 0; w = word()) s.push_back(static_cast<char>(w));
    return s;
  }
  bool at_end() const { return at_ == words_.size(); }

 private:
  const std::vector<WORD>& words_;
  std::size_t at_ = 0;
};

TEST(DialogTemplate, HoldsTheMainWindowsGeometryStyleAndFont) {
  const std::vector<WORD> words = build_dialog_template(kMainDialog);
  TemplateReader r(words);
  EXPECT_EQ(r.word(), 1);       // version
  EXPECT_EQ(r.word(), 0xFFFF);  // extended
  EXPECT_EQ(r.dword(), 0u);     // help id
  EXPECT_EQ(r.dword(), 0x00010000u);
  EXPECT_EQ(r.dword(), 0x94C800D4u & ~static_cast<DWORD>(WS_VISIBLE));
  EXPECT_EQ(r.word(), 0);  // no items
  EXPECT_EQ(r.word(), 215);
  EXPECT_EQ(r.word(), 106);
  EXPECT_EQ(r.word(), 165);
  EXPECT_EQ(r.word(), 102);
  EXPECT_EQ(r.word(), 0);  // menu
  EXPECT_EQ(r.word(), 0);  // class
  EXPECT_EQ(r.text(), "Sumwright");
  EXPECT_EQ(r.word(), 8);
  EXPECT_EQ(r.word(), 400);
  EXPECT_EQ(r.word(), 0);  // not italic, ANSI_CHARSET
  EXPECT_EQ(r.text(), "MS Sans Serif");
  EXPECT_TRUE(r.at_end());
}

INT_PTR CALLBACK plain_dialog(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

TEST(DialogTemplate, CreatesAHiddenFixedDialogOfTheTemplatesSize) {
  const std::vector<WORD> words = build_dialog_template(kMainDialog);
  const HWND dialog = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                                   reinterpret_cast<LPCDLGTEMPLATEA>(words.data()),
                                                   nullptr, &plain_dialog, 0);
  if (dialog == nullptr && ::GetLastError() == 1400) GTEST_SKIP() << "no display for windows here";
  ASSERT_NE(dialog, nullptr) << ::GetLastError();
  EXPECT_FALSE(::IsWindowVisible(dialog));
  const LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_NE(style & WS_CAPTION, 0);
  EXPECT_NE(style & WS_SYSMENU, 0);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(::GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);

  RECT want = {0, 0, 165, 102};
  ::MapDialogRect(dialog, &want);
  RECT client;
  ::GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, want.right);
  EXPECT_EQ(client.bottom, want.bottom);
  RECT origin = {215, 106, 0, 0};
  ::MapDialogRect(dialog, &origin);
  POINT client_origin = {0, 0};  // the template places the client area, not the frame
  ::ClientToScreen(dialog, &client_origin);
  EXPECT_EQ(client_origin.x, origin.left);
  EXPECT_EQ(client_origin.y, origin.top);
  ::DestroyWindow(dialog);
}

TEST(WriteFailureBox, NamesTheFileAndTheSystemsReason) {
  const std::string text =
      write_failure_text("D:\\Work\\File CRCs.TXT", fs::SysError{5, "Access denied"});
  EXPECT_EQ(text.find("D:\\Work\\File CRCs.TXT"), 0u);
  EXPECT_NE(text.find("Access denied"), std::string::npos);
}

struct BoxWatch {
  DWORD thread;
  std::string text;
};

DWORD WINAPI answer_prompt_box(void* param) {
  auto* watch = static_cast<BoxWatch*>(param);
  watch->text = test::answer_message_box(watch->thread, kPromptTitle, 15000);
  return 0;
}

TEST(MainWindow, AFailedRunGivesTheButtonsBackAndSaysWhatFailed) {
  MainWindow window;
  const HWND dialog = create_main_window(nullptr, window);
  if (dialog == nullptr && ::GetLastError() == 1400) GTEST_SKIP() << "no display for windows here";
  ASSERT_NE(dialog, nullptr) << ::GetLastError();
  EXPECT_EQ(window.dialog, dialog);

  BoxWatch watch{::GetCurrentThreadId(), {}};
  const HANDLE watcher = ::CreateThread(nullptr, 0, &answer_prompt_box, &watch, 0, nullptr);
  // A run that fails the way an allocation does when memory runs out.
  run_from_click(window, [] { throw std::bad_alloc(); });
  ::WaitForSingleObject(watcher, 20000);
  ::CloseHandle(watcher);

  EXPECT_FALSE(window.running);
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, kSelectButton)));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, kExitButton)));
  EXPECT_EQ(watch.text, run_failure_text("there was not enough memory"));
  ::DestroyWindow(dialog);
}

}  // namespace
}  // namespace sw::ui
