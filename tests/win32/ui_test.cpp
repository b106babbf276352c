// The parts of the Windows front end that can be checked without a user: the folder browser's
// rules, the dialog template, the boxes' texts, and a run that fails part-way.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/os/fs_win32.h"
#include "core/settings.h"
#include "tests/exports/wine_dialog_driver.h"
#include "tests/support/temp_folder.h"
#include "ui/command_line.h"
#include "ui/dialog_template.h"
#include "ui/folder_picker.h"
#include "ui/main_window.h"
#include "ui/run_front_end.h"
#include "ui/run_progress.h"

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

// What the shell takes a path for, as the browser's pre-selection does: its own item's path.
std::wstring shell_reading(const std::string& path) {
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(::SHParseDisplayName(fs::wide_of(path).c_str(), nullptr, &item, 0, nullptr)))
    return L"<not parsed>";
  const std::wstring read = item_path(item);
  ::CoTaskMemFree(item);
  return read;
}

// The browser starts where it can: at the remembered folder while that still names a folder,
// otherwise at the default; and "tsp " is given so that the shell cannot take it for "tsp".
TEST(FolderChoice, TheBrowserStartsAtTheRememberedFolderOnlyWhileItIsAFolder) {
  test::TempFolder dir;
  const std::wstring folder = L"\\\\?\\" + fs::wide_of(dir.folder_path());
  ASSERT_TRUE(::CreateDirectoryW((folder + L"tsp ").c_str(), nullptr));
  test::write_bytes(dir.file("file.txt"), "x");
  const std::string blank = dir.file("tsp "), neighbour = dir.file("tsp");
  const std::pair<std::string, std::string> rows[] = {
      {"", "C:\\"},
      {dir.file("file.txt"), "C:\\"},
      {neighbour, "C:\\"},
      {dir.path().string(), dir.path().string()},
  };
  for (const auto& [remembered, start] : rows)
    EXPECT_EQ(browser_start(remembered), start) << remembered;

  ASSERT_TRUE(::CreateDirectoryA(neighbour.c_str(), nullptr));
  const HRESULT com = ::CoInitialize(nullptr);
  const std::string start = browser_start(blank + "\\");
  EXPECT_EQ(shell_reading(start), fs::wide_of(blank)) << start;
  if (SUCCEEDED(com)) ::CoUninitialize();
  ::RemoveDirectoryW((folder + L"tsp ").c_str());
}

// The record's blanks are padding, so a folder whose name ends in one is remembered with its
// closing separator, and comes back as itself.
TEST(FolderChoice, AFolderEndingInABlankIsRememberedAsItself) {
  const std::pair<const char*, const char*> rows[] = {
      {"D:\\tsp ", "D:\\tsp \\"}, {"D:\\tsp", "D:\\tsp"}, {"C:\\", "C:\\"}};
  for (const auto& [chosen, kept] : rows) {
    Settings settings;
    settings.store_folder(remembered_form(chosen));
    EXPECT_EQ(settings.remembered_folder(), kept) << chosen;
  }
}

// What the user sees of the window, not how the table says to build it: every control whole
// inside the window and none over another, the labels wide enough for "Done" and a checksum, the
// captions readable, Tab between the two buttons, and a window of fixed size that opens hidden
// until SHOWMAINDIALOG shows it.
TEST(MainWindow, EveryControlShowsWhollyInsideTheWindowAndNoneCoversAnother) {
  MainWindow window;
  const HWND dialog = create_main_window(nullptr, window);
  if (dialog == nullptr && ::GetLastError() == 1400) GTEST_SKIP() << "no display for windows here";
  ASSERT_NE(dialog, nullptr) << ::GetLastError();
  EXPECT_FALSE(::IsWindowVisible(dialog));
  const LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_NE(style & WS_SYSMENU, 0) << "a close box";
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0) << "a window of fixed size";
  RECT client;
  ::GetClientRect(dialog, &client);
  const HDC dc = ::GetDC(dialog);
  const HGDIOBJ before =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(dialog, WM_GETFONT, 0, 0)));
  const int ids[] = {kSelectButton, kExitButton, kFileCaption, kCrcCaption, kFileLabel, kCrcLabel};
  std::vector<RECT> placed;
  for (const int id : ids) {
    const HWND control = ::GetDlgItem(dialog, id);
    ASSERT_NE(control, nullptr) << id;
    EXPECT_NE(::GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE, 0) << id;
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(r.left >= client.left && r.top >= client.top && r.right <= client.right &&
                r.bottom <= client.bottom)
        << id << " reaches outside the window";
    for (const RECT& other : placed) {
      RECT overlap;
      EXPECT_FALSE(::IntersectRect(&overlap, &r, &other)) << id << " covers another control";
    }
    placed.push_back(r);
    // The text it shows fits: its caption, or for a label the longest word of a run's end.
    char text[64] = {};
    ::GetWindowTextA(control, text, sizeof text);
    const std::string shown = (id == kFileLabel || id == kCrcLabel) ? "DDDDDDDD" : text;
    SIZE extent{};
    ::GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &extent);
    EXPECT_LE(extent.cx, r.right - r.left) << id << " cannot show \"" << shown << '"';
    EXPECT_LE(extent.cy, r.bottom - r.top) << id;
  }
  ::SelectObject(dc, before);
  ::ReleaseDC(dialog, dc);
  // Tab moves between the two buttons only.
  const HWND select = ::GetDlgItem(dialog, kSelectButton), exit = ::GetDlgItem(dialog, kExitButton);
  EXPECT_EQ(::GetNextDlgTabItem(dialog, select, FALSE), exit);
  EXPECT_EQ(::GetNextDlgTabItem(dialog, exit, FALSE), select);
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

// Handles the window's messages, as its loop would, until the run has ended (bounded).
bool handle_messages_until_run_ends(const MainWindow& window) {
  const DWORD start = ::GetTickCount();
  while (window.running && ::GetTickCount() - start < 20000) {
    MSG msg;
    if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) continue;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  return !window.running;
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
  begin_run(window);
  start_job(window, [](WindowRunFrontEnd&) { throw std::bad_alloc(); });
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, kSelectButton))) << "disabled while it runs";
  EXPECT_TRUE(handle_messages_until_run_ends(window));
  ::WaitForSingleObject(watcher, 20000);
  ::CloseHandle(watcher);

  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, kSelectButton)));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, kExitButton)));
  EXPECT_EQ(watch.text, run_failure_text("there was not enough memory"));
  ::DestroyWindow(dialog);
}

TEST(MainWindow, TheJobsQuestionsAndLabelsAreTheWindowThreads) {
  MainWindow window;
  const HWND dialog = create_main_window(nullptr, window);
  if (dialog == nullptr && ::GetLastError() == 1400) GTEST_SKIP() << "no display for windows here";
  ASSERT_NE(dialog, nullptr) << ::GetLastError();

  // The box must open on this (the window's) thread for the watcher to find and answer it.
  BoxWatch watch{::GetCurrentThreadId(), {}};
  const HANDLE watcher = ::CreateThread(nullptr, 0, &answer_prompt_box, &watch, 0, nullptr);
  bool answer = false;
  DWORD job_thread = 0;
  std::string label_after_done;
  begin_run(window);
  start_job(window, [&](WindowRunFrontEnd& front_end) {
    job_thread = ::GetCurrentThreadId();
    front_end.on_start(1, 10);
    front_end.on_name("a.txt");
    front_end.on_listing_done();
    char text[16] = {};
    ::GetDlgItemTextA(dialog, kFileLabel, text, sizeof text);  // answered by the window's thread
    label_after_done = text;
    answer = front_end.ask(Question::kCompare, kCompareQuestion);
  });
  EXPECT_TRUE(handle_messages_until_run_ends(window));
  ::WaitForSingleObject(watcher, 20000);
  ::CloseHandle(watcher);

  EXPECT_NE(job_thread, ::GetCurrentThreadId()) << "the job has a thread of its own";
  EXPECT_EQ(label_after_done, "Done") << "\"Done\" stands before any question";
  EXPECT_EQ(watch.text, kCompareQuestion);
  EXPECT_TRUE(answer) << "the answer (Yes) reaches the job";
  EXPECT_EQ(window.job, nullptr);
  char caption[64] = {};
  ::GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, "Sumwright");
  ::DestroyWindow(dialog);
}

TEST(ProgressCaption, ShareThenTimeLeftInTheCommandLinesWords) {
  EXPECT_EQ(progress_caption(0, 0, 5), "Sumwright") << "no total to measure against";
  EXPECT_EQ(progress_caption(42, 100, 0.5), "Sumwright - 42 %") << "too early for a guess";
  EXPECT_EQ(progress_caption(42, 100, 50.7), "Sumwright - 42 %, 1:10 left");
  EXPECT_EQ(progress_caption(100, 100, 9), "Sumwright - 100 %");
}

TEST(CommandLine, TheWholeTextAfterTheProgramsNameIsTheArgument) {
  struct Case {
    const wchar_t* line;
    std::optional<std::wstring> argument;
  };
  const Case cases[] = {
      {L"Sumwright.exe", std::nullopt},
      {L"\"C:\\Program Files\\Sumwright.exe\"   ", std::nullopt},
      {L"\"C:\\Program Files\\Sumwright.exe\" \"D:\\My Data\"", L"\"D:\\My Data\""},
      {L"Sumwright.exe  D:\\My  Data \t", L"D:\\My  Data"},  // unquoted, blanks kept
      {L"Sumwright.exe \"C:\\\"", L"\"C:\\\""},              // a quoted root keeps its "\"
      {L"\"Sumwright.exe\" \\\\server\\share", L"\\\\server\\share"},
      {L"\"C:\\Sum wright\"x.exe D:\\", L"D:\\"},  // the name goes on after a quoted part
  };
  for (const Case& c : cases) EXPECT_EQ(command_argument(c.line), c.argument) << c.line;
}

TEST(CommandLine, TheArgumentBecomesAFullFolderPath) {
  EXPECT_EQ(argument_folder(L"\"C:\\windows\\\""), "C:\\windows\\");
  EXPECT_EQ(argument_folder(L"\\\\?\\C:\\windows"), "C:\\windows") << "long-path prefix dropped";
  EXPECT_EQ(argument_folder(L"\\\\?\\UNC\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(argument_folder(L"\"\""), "") << "nothing named";
  EXPECT_EQ(argument_folder(L"\"  \""), "") << "blanks would name the current folder";
  char current[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_EQ(argument_folder(L"sub"), std::string(current) + "\\sub")
      << "relative to the current folder";
  EXPECT_EQ(argument_folder(L"\u65E5\u672C"), std::string(current) + "\\\xE6\x97\xA5\xE6\x9C\xAC")
      << "in the native form (UTF-8), whatever the code page";

  const std::wstring text = argument_failure_text(L"\"T:\\gone\"", fs::SysError{3, "Not found"});
  EXPECT_EQ(text,
            L"Sumwright was started with \"T:\\gone\", which names no folder it can open: "
            L"Not found.\r\nNothing was read or written.");
}

}  // namespace
}  // namespace sw::ui
