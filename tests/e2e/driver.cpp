// Drives a running Sumwright.exe from inside the same Wine session, the way a user would, and
// checks what it shows. Each argument is one step, "verb" or "verb=arg|arg"; the steps run in
// order and the first failing one ends the driver with exit code 1. Every wait is bounded.
// CONTROL names a control of the main window: select, exit, file-caption, crc-caption,
// file-label or crc-label (the ids of ui/dialog_template.h), or cancel for the Esc key's id.
//
//   wait-main                   the main window "Sumwright" appears (its caption may already
//                               show a run's progress)
//   click=CONTROL               a click on the control (WM_COMMAND, BN_CLICKED posted)
//   command=CONTROL|CODE        WM_COMMAND with notification CODE posted to the main window
//   key-escape                  the Esc key pressed on the focused control
//   close-box                   WM_SYSCOMMAND SC_CLOSE posted to the main window
//   browser=ok|cancel[|NAME]    the folder browser appears and, once it has NAME selected,
//                               is confirmed or cancelled (cancelled and failed when the
//                               selection never becomes NAME)
//   wait-browser                the folder browser appears
//   no-browser=MS               no folder browser appears within MS milliseconds
//   browsers=N                  exactly N folder browsers are open now
//   box=TITLE|TEXT|BUTTON       a message box TITLE with TEXT appears ("~A~B": its text
//                               contains A and B); BUTTON is yes, no or ok
//   wait-box=TITLE|TEXT         the same box appears, and is left open
//   box-default=TITLE|TEXT|BUTTON  the same box, whose default button (Enter's) is No; then
//                               BUTTON is pressed
//   no-box=TITLE|MS             no box TITLE appears within MS milliseconds
//   notepad=NAME[|MS]           Notepad appears with NAME in its title (within MS ms); it
//                               is closed
//   no-notepad=MS               no Notepad appears within MS milliseconds
//   label=CONTROL|TEXT          the control shows TEXT
//   enabled=CONTROL|0-or-1      the control is disabled (0) or enabled (1)
//   alive                       the main window still exists
//   gone=MS                     the main window is destroyed within MS milliseconds
//   caption=TEXT                the main window's caption is TEXT
//   share-caption=MS|N          within MS ms, the caption shows N different shares of a run,
//                               each "Sumwright - P %" or "Sumwright - P %, M:SS left", never
//                               going back
//   answers=N|MS                N messages sent to the main window during a run are each
//                               answered within MS milliseconds (SendMessageTimeout)
//   threads                     prints how many threads the main window's process has (also
//                               once the window is gone)
//   context-menu=KEY|FOLDER     starts the command of the context-menu entry KEY (under
//                               HKEY_CURRENT_USER) on FOLDER as Explorer does: an expandable
//                               string, its environment variables expanded, %1 the folder
//   client-size                 the client area is 165 x 102 dialog units of the template font
//   rect                        prints "rect X Y W H" of the main window (for a screenshot)
//   names-change=MS|N           within MS ms, the file label shows at least N different names
//   hold=PATH                   opens PATH without sharing and keeps it open while the driver
//                               runs, as another program would
//   sleep=MS
#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog_template.h"

namespace {

constexpr DWORD kDefaultWaitMs = 20000;
constexpr DWORD kPollMs = 50;

HWND g_main = nullptr;
DWORD g_process = 0;                     // the main window's process, once found
const DWORD g_start = ::GetTickCount();  // when the driver started, for the log

[[noreturn]] void fail(const std::string& step, const std::string& why) {
  std::printf("FAIL %s: %s\n", step.c_str(), why.c_str());
  std::fflush(stdout);
  std::exit(1);
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

std::string class_of(HWND w) {
  char name[64] = {};
  ::GetClassNameA(w, name, sizeof name);
  return name;
}

// Reads a window's text through WM_GETTEXT, answered by the owning thread (bounded).
std::string text_of(HWND w) {
  char buf[1024] = {};
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf),
                             SMTO_ABORTIFHUNG, 5000, &result))
    return "<no answer>";
  return buf;
}

BOOL CALLBACK collect_window(HWND w, LPARAM p) {
  reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
  return TRUE;
}

std::vector<HWND> top_windows() {
  std::vector<HWND> all;
  ::EnumWindows(&collect_window, reinterpret_cast<LPARAM>(&all));
  return all;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> all;
  ::EnumChildWindows(parent, &collect_window, reinterpret_cast<LPARAM>(&all));
  return all;
}

bool has_child_of_class(HWND parent, const char* cls) {
  for (HWND c : children(parent))
    if (class_of(c) == cls) return true;
  return false;
}

std::vector<HWND> browsers() {
  std::vector<HWND> found;
  for (HWND w : top_windows())
    if (class_of(w) == "#32770" && ::IsWindowVisible(w) && has_child_of_class(w, "SysTreeView32"))
      found.push_back(w);
  return found;
}

// What the browser's edit box shows: the display name of the selected item.
std::string browser_selection(HWND browser) {
  for (HWND c : children(browser))
    if (class_of(c) == "Edit") return text_of(c);
  return "<no edit box>";
}

HWND find_box(const std::string& title) {
  for (HWND w : top_windows())
    if (class_of(w) == "#32770" && ::IsWindowVisible(w) && text_of(w) == title) return w;
  return nullptr;
}

HWND find_notepad(const std::string& name) {
  for (HWND w : top_windows())
    if (class_of(w) == "Notepad" && text_of(w).find(name) != std::string::npos) return w;
  return nullptr;
}

HWND find_any_notepad() {
  for (HWND w : top_windows())
    if (class_of(w) == "Notepad") return w;
  return nullptr;
}

template <typename Probe>
HWND wait_for(Probe probe, DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (const HWND w = probe()) return w;
    if (::GetTickCount() - start >= ms) return nullptr;
    ::Sleep(kPollMs);
  }
}

// The message text of a box: its static controls other than the icon.
std::string box_text(HWND box) {
  std::string text;
  for (HWND c : children(box)) {
    if (class_of(c) != "Static") continue;
    const std::string t = text_of(c);
    if (!t.empty()) text += t;
  }
  return text;
}

void post_command(HWND target, int id, int code) {
  const HWND control = ::GetDlgItem(target, id);
  ::PostMessageA(target, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

void need_main(const std::string& step) {
  if (g_main == nullptr || !::IsWindow(g_main)) fail(step, "main window is not there");
}

// Dialog base units of the template font, measured independently of the dialog manager:
// the average width of the 52 letters and the text height of "MS Sans Serif" 8 pt.
SIZE template_units() {
  const HDC dc = ::GetDC(nullptr);
  const int height = -::MulDiv(8, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
  const HFONT font = ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  const HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICA tm;
  ::GetTextMetricsA(dc, &tm);
  SIZE extent;
  ::GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &extent);
  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::ReleaseDC(nullptr, dc);
  return SIZE{(extent.cx / 26 + 1) / 2, tm.tmHeight};
}

void step_client_size(const std::string& step) {
  need_main(step);
  RECT client;
  ::GetClientRect(g_main, &client);
  // MapDialogRect works only inside the dialog's own process: the units are measured here.
  const SIZE units = template_units();
  const LONG want_cx = ::MulDiv(sw::ui::kMainDialog.cx, units.cx, 4);
  const LONG want_cy = ::MulDiv(sw::ui::kMainDialog.cy, units.cy, 8);
  std::printf("client %ldx%ld, font units %ldx%ld -> %ldx%ld\n", client.right, client.bottom,
              units.cx, units.cy, want_cx, want_cy);
  if (client.right != want_cx || client.bottom != want_cy)
    fail(step, "client area differs from 165 x 102 units of the template font");
}

void step_names_change(const std::string& step, DWORD ms, std::size_t want) {
  need_main(step);
  std::set<std::string> seen;
  const HWND label = ::GetDlgItem(g_main, sw::ui::kFileLabel);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < ms && seen.size() < want) {
    const std::string t = text_of(label);
    if (!t.empty() && t != "Done" && t != "<no answer>") seen.insert(t);
    ::Sleep(20);
  }
  std::printf("%u different names seen\n", static_cast<unsigned>(seen.size()));
  if (seen.size() < want) fail(step, "the file label did not change while the run went on");
}

// One step of the command line: its text, its verb and its arguments.
struct Step {
  std::string text;
  std::vector<std::string> args;

  const std::string& arg(std::size_t i) const {
    if (i >= args.size()) fail(text, "missing argument");
    return args[i];
  }
  long num(std::size_t i) const { return std::strtol(arg(i).c_str(), nullptr, 10); }
  DWORD ms(std::size_t i) const { return static_cast<DWORD>(num(i)); }
  // A control of the main window by name (select, exit, file-caption, crc-caption,
  // file-label, crc-label), or the Esc key's command id (cancel).
  int control(std::size_t i) const {
    static const std::pair<const char*, int> kNames[] = {{"select", sw::ui::kSelectButton},
                                                         {"exit", sw::ui::kExitButton},
                                                         {"file-caption", sw::ui::kFileCaption},
                                                         {"crc-caption", sw::ui::kCrcCaption},
                                                         {"file-label", sw::ui::kFileLabel},
                                                         {"crc-label", sw::ui::kCrcLabel},
                                                         {"cancel", IDCANCEL}};
    for (const auto& [name, id] : kNames)
      if (arg(i) == name) return id;
    fail(text, "no control named \"" + arg(i) + "\"");
  }
};

HWND first_browser() {
  const auto all = browsers();
  return all.empty() ? nullptr : all.front();
}

HWND gone(HWND w) {
  return ::IsWindow(w) ? nullptr : HWND(1);
}

// The main window: a dialog whose caption is "Sumwright", or shows a run's progress after it.
HWND find_main() {
  for (HWND w : top_windows()) {
    if (class_of(w) != "#32770") continue;
    const std::string caption = text_of(w);
    if (caption == "Sumwright" || caption.starts_with("Sumwright - ")) return w;
  }
  return nullptr;
}

// The share of a caption "Sumwright - P %" or "Sumwright - P %, M:SS left" (or H:MM:SS); none
// for any other caption.
std::optional<int> caption_share(const std::string& caption) {
  static const std::regex kRunning(R"(Sumwright - (\d{1,3}) %(, (\d+:)?\d{1,2}:\d\d left)?)");
  std::smatch m;
  if (!std::regex_match(caption, m, kRunning)) return std::nullopt;
  const int share = std::stoi(m[1].str());
  if (share > 100) return std::nullopt;
  return share;
}

void step_wait_main(const Step& s) {
  g_main = wait_for(find_main, kDefaultWaitMs);
  if (g_main == nullptr) fail(s.text, "no main window");
  ::GetWindowThreadProcessId(g_main, &g_process);
  // Visible and past its first paint before anything is pressed.
  if (!wait_for([] { return ::IsWindowVisible(g_main) ? g_main : nullptr; }, kDefaultWaitMs))
    fail(s.text, "main window never shown");
  ::Sleep(300);
}

void step_click(const Step& s) {
  need_main(s.text);
  post_command(g_main, s.control(0), BN_CLICKED);
}

void step_command(const Step& s) {
  need_main(s.text);
  post_command(g_main, s.control(0), static_cast<int>(s.num(1)));
}

void step_key_escape(const Step& s) {
  need_main(s.text);
  const HWND target = ::GetDlgItem(g_main, sw::ui::kSelectButton);
  ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
}

void step_close_box(const Step& s) {
  need_main(s.text);
  ::PostMessageA(g_main, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void step_browser(const Step& s) {
  const HWND b = wait_for(first_browser, kDefaultWaitMs);
  if (b == nullptr) fail(s.text, "no folder browser");
  const std::string& how = s.arg(0);
  if (how != "ok" && how != "cancel") fail(s.text, "ok or cancel");
  int id = how == "ok" ? IDOK : IDCANCEL;
  // The browser expands its tree down to the pre-selected folder at its own pace; its edit
  // box names the selection once it is there. OK is pressed only on the expected folder.
  const std::string want = s.args.size() > 1 ? s.args[1] : std::string();
  std::string selected;
  if (!want.empty()) {
    wait_for(
        [&] {
          selected = browser_selection(b);
          return selected == want ? b : nullptr;
        },
        kDefaultWaitMs);
  } else {
    ::Sleep(700);
  }
  const bool wrong = !want.empty() && selected != want;
  if (wrong) id = IDCANCEL;
  ::PostMessageA(b, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(b, id)));
  if (!wait_for([b] { return gone(b); }, kDefaultWaitMs))
    fail(s.text, "folder browser did not close");
  if (wrong) fail(s.text, "the browser selected \"" + selected + "\"");
}

void step_wait_browser(const Step& s) {
  if (!wait_for(first_browser, kDefaultWaitMs)) fail(s.text, "no folder browser");
}

void step_no_browser(const Step& s) {
  if (wait_for(first_browser, s.ms(0))) fail(s.text, "a folder browser appeared");
}

void step_browsers(const Step& s) {
  const auto all = browsers();
  if (all.size() != static_cast<std::size_t>(s.num(0)))
    fail(s.text, std::to_string(all.size()) + " folder browsers open");
}

// Waits for a box TITLE and tells whether its text is `want` ("~A~B": holds A and B).
HWND box_with_text(const Step& s, const std::string& title, const std::string& want,
                   bool* matches) {
  const HWND box = wait_for([&] { return find_box(title); }, kDefaultWaitMs);
  if (box == nullptr) fail(s.text, "no message box");
  ::Sleep(200);
  const std::string text = box_text(box);
  std::printf("box text: %s\n", text.c_str());
  *matches = text == want;
  if (want.size() > 1 && want[0] == '~') {
    *matches = true;
    for (const std::string& part : split(want.substr(1), '~'))
      *matches = *matches && text.find(part) != std::string::npos;
  }
  if (!*matches) std::printf("box text is not \"%s\"\n", want.c_str());
  return box;
}

// The box appears and stays: for a step that follows while it is open.
void step_wait_box(const Step& s) {
  bool matches = false;
  box_with_text(s, s.arg(0), s.arg(1), &matches);
  if (!matches) fail(s.text, "not the box expected");
}

// The box's default button, the one Enter presses: its id. As the dialog manager decides it: the
// focused button when it is the default push button, else the dialog's default id.
int default_button(HWND box) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  DWORD_PTR code = 0;
  if (::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &gui) && gui.hwndFocus &&
      ::IsChild(box, gui.hwndFocus) &&
      ::SendMessageTimeoutA(gui.hwndFocus, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, 5000, &code) &&
      (code & DLGC_DEFPUSHBUTTON))
    return ::GetDlgCtrlID(gui.hwndFocus);
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(box, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 5000, &result)) return 0;
  return HIWORD(result) == DC_HASDEFID ? LOWORD(result) : 0;
}

void step_box(const Step& s);

void step_box_default(const Step& s) {
  const HWND box = wait_for([&] { return find_box(s.arg(0)); }, kDefaultWaitMs);
  if (box == nullptr) fail(s.text, "no message box");
  ::Sleep(200);
  const int id = default_button(box);
  std::printf("default button: %d\n", id);
  step_box(s);
  if (id != IDNO) fail(s.text, "the default button is " + std::to_string(id) + ", not No");
}

void step_box(const Step& s) {
  const std::string& title = s.arg(0);
  const std::string& want = s.arg(1);
  const std::string& button = s.arg(2);
  int id = 0;
  if (button == "yes")
    id = IDYES;
  else if (button == "no")
    id = IDNO;
  else if (button == "ok")
    id = IDOK;
  else
    fail(s.text, "button must be yes, no or ok");
  bool matches = false;
  const HWND box = box_with_text(s, title, want, &matches);
  if (::GetDlgItem(box, id) == nullptr) fail(s.text, "the box has no such button");
  // Yes/No boxes have no OK; ok-only boxes answer to OK. Press before failing on the text,
  // so a failing step does not leave a box that blocks the program.
  ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
  if (!matches) fail(s.text, "not the box expected");
  if (!wait_for([box] { return gone(box); }, kDefaultWaitMs)) fail(s.text, "box did not close");
}

void step_no_box(const Step& s) {
  const std::string& title = s.arg(0);
  if (wait_for([&] { return find_box(title); }, s.ms(1))) fail(s.text, "a box appeared");
}

void step_notepad(const Step& s) {
  const std::string& name = s.arg(0);
  const DWORD ms = s.args.size() > 1 ? s.ms(1) : kDefaultWaitMs;
  const HWND pad = wait_for([&] { return find_notepad(name); }, ms);
  if (pad == nullptr) fail(s.text, "no Notepad with that file");
  std::printf("notepad: %s\n", text_of(pad).c_str());
  ::PostMessageA(pad, WM_CLOSE, 0, 0);
  if (!wait_for([pad] { return gone(pad); }, kDefaultWaitMs)) fail(s.text, "Notepad did not close");
}

void step_no_notepad(const Step& s) {
  if (const HWND pad = wait_for(find_any_notepad, s.ms(0))) {
    const std::string title = text_of(pad);
    ::PostMessageA(pad, WM_CLOSE, 0, 0);
    fail(s.text, "Notepad appeared: " + title);
  }
}

void step_label(const Step& s) {
  need_main(s.text);
  const std::string text = text_of(::GetDlgItem(g_main, s.control(0)));
  const std::string want = s.args.size() > 1 ? s.args[1] : std::string();
  if (text != want) fail(s.text, "label shows \"" + text + "\"");
}

void step_enabled(const Step& s) {
  need_main(s.text);
  const bool enabled = ::IsWindowEnabled(::GetDlgItem(g_main, s.control(0))) != 0;
  if (enabled != (s.num(1) != 0)) fail(s.text, enabled ? "enabled" : "disabled");
}

void step_alive(const Step& s) {
  need_main(s.text);
}

void step_gone(const Step& s) {
  const DWORD start = ::GetTickCount();
  if (!wait_for([] { return gone(g_main); }, s.ms(0))) fail(s.text, "main window still there");
  std::printf("gone after %lu ms\n", static_cast<unsigned long>(::GetTickCount() - start));
}

void step_caption(const Step& s) {
  need_main(s.text);
  const std::string caption = text_of(g_main);
  if (caption != s.arg(0)) fail(s.text, "caption is \"" + caption + "\"");
}

void step_share_caption(const Step& s) {
  need_main(s.text);
  const auto want = static_cast<std::size_t>(s.num(1));
  std::set<std::string> seen;
  int last_share = -1;
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < s.ms(0) && seen.size() < want) {
    const std::string caption = text_of(g_main);
    if (const std::optional<int> share = caption_share(caption)) {
      if (*share < last_share) fail(s.text, "the share went back: \"" + caption + "\"");
      last_share = *share;
      if (seen.insert(caption).second)
        std::printf("caption: %s (at %lu ms)\n", caption.c_str(),
                    static_cast<unsigned long>(::GetTickCount() - g_start));
    } else if (caption != "Sumwright") {
      fail(s.text, "caption is \"" + caption + "\"");
    }
    ::Sleep(20);
  }
  if (seen.size() < want) fail(s.text, std::to_string(seen.size()) + " shares seen");
}

void step_answers(const Step& s) {
  need_main(s.text);
  DWORD slowest = 0;
  for (long i = 0; i < s.num(0); ++i) {
    const DWORD start = ::GetTickCount();
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(g_main, WM_NULL, 0, 0, SMTO_NORMAL, s.ms(1), &result))
      fail(s.text, "no answer within " + s.arg(1) + " ms");
    slowest = std::max(slowest, ::GetTickCount() - start);
    ::Sleep(20);
  }
  std::printf("slowest answer %lu ms\n", static_cast<unsigned long>(slowest));
  // The answers count only if the run was going on all the while.
  if (!caption_share(text_of(g_main))) fail(s.text, "no run in progress");
}

void step_threads(const Step& s) {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) fail(s.text, "no thread snapshot");
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == g_process) ++count;
  ::CloseHandle(snapshot);
  std::printf("threads %d\n", count);
}

void step_rect(const Step& s) {
  need_main(s.text);
  RECT r;
  ::GetWindowRect(g_main, &r);
  std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void step_sleep(const Step& s) {
  ::Sleep(s.ms(0));
}

void step_hold(const Step& s) {
  const HANDLE h = ::CreateFileA(s.arg(0).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    fail(s.text, "cannot open it: " + std::to_string(::GetLastError()));
  // Closed by the system when the driver ends.
}

void step_context_menu(const Step& s) {
  // Wine's shell finds no per-user file classes, so the driver plays Explorer's part.
  char raw[1024] = {};
  DWORD size = sizeof raw;
  const std::string key = s.arg(0) + "\\command";
  if (::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, raw, &size) != ERROR_SUCCESS)
    fail(s.text, "no expandable command in HKEY_CURRENT_USER\\" + key);
  char expanded[2048] = {};
  if (::ExpandEnvironmentStringsA(raw, expanded, sizeof expanded) == 0)
    fail(s.text, "cannot expand " + std::string(raw));
  std::string command = expanded;
  const std::size_t at = command.find("%1");
  if (at == std::string::npos) fail(s.text, "no %1 in " + command);
  command.replace(at, 2, s.arg(1));
  std::printf("command: %s\n", command.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    fail(s.text, "not started: " + std::to_string(::GetLastError()));
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

// The verbs of the usage list at the top of this file.
constexpr std::pair<const char*, void (*)(const Step&)> kSteps[] = {
    {"wait-main", step_wait_main},
    {"click", step_click},
    {"command", step_command},
    {"key-escape", step_key_escape},
    {"close-box", step_close_box},
    {"browser", step_browser},
    {"wait-browser", step_wait_browser},
    {"no-browser", step_no_browser},
    {"browsers", step_browsers},
    {"box", step_box},
    {"wait-box", step_wait_box},
    {"box-default", step_box_default},
    {"no-box", step_no_box},
    {"notepad", step_notepad},
    {"no-notepad", step_no_notepad},
    {"label", step_label},
    {"enabled", step_enabled},
    {"alive", step_alive},
    {"gone", step_gone},
    {"caption", step_caption},
    {"share-caption", step_share_caption},
    {"answers", step_answers},
    {"threads", step_threads},
    {"context-menu", step_context_menu},
    {"client-size", [](const Step& s) { step_client_size(s.text); }},
    {"rect", step_rect},
    {"names-change",
     [](const Step& s) { step_names_change(s.text, s.ms(0), static_cast<std::size_t>(s.num(1))); }},
    {"sleep", step_sleep},
    {"hold", step_hold},
};

void run_step(const std::string& text) {
  const std::size_t eq = text.find('=');
  const std::string verb = text.substr(0, eq);
  Step step{text,
            eq == std::string::npos ? std::vector<std::string>() : split(text.substr(eq + 1), '|')};
  for (const auto& [name, run] : kSteps) {
    if (verb != name) continue;
    run(step);
    std::printf("ok %s (at %lu ms)\n", text.c_str(),
                static_cast<unsigned long>(::GetTickCount() - g_start));
    std::fflush(stdout);
    return;
  }
  fail(text, "unknown step");
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) run_step(argv[i]);
  return 0;
}
