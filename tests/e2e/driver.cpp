// Drives a running Sumwright.exe from inside the same Wine session, the way a user would, and
// checks what it shows. Each argument is one step, "verb" or "verb=arg|arg"; the steps run in
// order and the first failing one ends the driver with exit code 1. Every wait is bounded.
//
//   wait-main                   the main window "Sumwright" appears
//   click=ID                    a click on control ID (WM_COMMAND, BN_CLICKED posted)
//   command=ID|CODE             WM_COMMAND with notification CODE posted to the main window
//   key-escape                  the Esc key pressed on the focused control
//   close-box                   WM_SYSCOMMAND SC_CLOSE posted to the main window
//   browser=ok|cancel[|NAME]    the folder browser appears and, once it has NAME selected,
//                               is confirmed or cancelled (cancelled and failed when the
//                               selection never becomes NAME)
//   wait-browser                the folder browser appears
//   no-browser=MS               no folder browser appears within MS milliseconds
//   browsers=N                  exactly N folder browsers are open now
//   box=TITLE|TEXT|BUTTON       a message box TITLE with TEXT (prefix "~" for "contains")
//                               appears; BUTTON is yes, no or ok
//   no-box=TITLE|MS             no box TITLE appears within MS milliseconds
//   notepad=NAME[|MS]           Notepad appears with NAME in its title (within MS ms); it
//                               is closed
//   no-notepad=MS               no Notepad appears within MS milliseconds
//   label=ID|TEXT               control ID shows TEXT
//   enabled=ID|0-or-1           control ID is disabled (0) or enabled (1)
//   alive                       the main window still exists
//   gone=MS                     the main window is destroyed within MS milliseconds
//   client-size                 the client area is 165 x 102 dialog units of the template font
//   rect                        prints "rect X Y W H" of the main window (for a screenshot)
//   names-change=MS|N           within MS ms, label 1005 shows at least N different names
//   sleep=MS
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefaultWaitMs = 20000;
constexpr DWORD kPollMs = 50;

HWND g_main = nullptr;

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
  const LONG want_cx = ::MulDiv(165, units.cx, 4);
  const LONG want_cy = ::MulDiv(102, units.cy, 8);
  std::printf("client %ldx%ld, font units %ldx%ld -> %ldx%ld\n", client.right, client.bottom,
              units.cx, units.cy, want_cx, want_cy);
  if (client.right != want_cx || client.bottom != want_cy)
    fail(step, "client area differs from 165 x 102 units of the template font");
}

void step_names_change(const std::string& step, DWORD ms, std::size_t want) {
  need_main(step);
  std::set<std::string> seen;
  const HWND label = ::GetDlgItem(g_main, 1005);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < ms && seen.size() < want) {
    const std::string t = text_of(label);
    if (!t.empty() && t != "Done" && t != "<no answer>") seen.insert(t);
    ::Sleep(20);
  }
  std::printf("%u different names seen\n", static_cast<unsigned>(seen.size()));
  if (seen.size() < want) fail(step, "the file label did not change while the run went on");
}

void run_step(const std::string& step) {
  const std::size_t eq = step.find('=');
  const std::string verb = step.substr(0, eq);
  const std::vector<std::string> args =
      eq == std::string::npos ? std::vector<std::string>() : split(step.substr(eq + 1), '|');
  auto arg = [&](std::size_t i) -> const std::string& {
    if (i >= args.size()) fail(step, "missing argument");
    return args[i];
  };
  auto num = [&](std::size_t i) { return std::strtol(arg(i).c_str(), nullptr, 10); };

  if (verb == "wait-main") {
    g_main = wait_for([] { return ::FindWindowA("#32770", "Sumwright"); }, kDefaultWaitMs);
    if (g_main == nullptr) fail(step, "no main window");
    // Visible and past its first paint before anything is pressed.
    if (!wait_for([] { return ::IsWindowVisible(g_main) ? g_main : nullptr; }, kDefaultWaitMs))
      fail(step, "main window never shown");
    ::Sleep(300);
  } else if (verb == "click") {
    need_main(step);
    post_command(g_main, static_cast<int>(num(0)), BN_CLICKED);
  } else if (verb == "command") {
    need_main(step);
    post_command(g_main, static_cast<int>(num(0)), static_cast<int>(num(1)));
  } else if (verb == "key-escape") {
    need_main(step);
    HWND target = ::GetDlgItem(g_main, 1001);
    ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
  } else if (verb == "close-box") {
    need_main(step);
    ::PostMessageA(g_main, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (verb == "browser") {
    const HWND b = wait_for(
        [] {
          const auto all = browsers();
          return all.empty() ? nullptr : all.front();
        },
        kDefaultWaitMs);
    if (b == nullptr) fail(step, "no folder browser");
    const std::string& how = arg(0);
    if (how != "ok" && how != "cancel") fail(step, "ok or cancel");
    int id = how == "ok" ? IDOK : IDCANCEL;
    // The browser expands its tree down to the pre-selected folder at its own pace; its edit
    // box names the selection once it is there. OK is pressed only on the expected folder.
    const std::string want = args.size() > 1 ? args[1] : std::string();
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
    if (!wait_for([b] { return ::IsWindow(b) ? nullptr : HWND(1); }, kDefaultWaitMs))
      fail(step, "folder browser did not close");
    if (wrong) fail(step, "the browser selected \"" + selected + "\"");
  } else if (verb == "wait-browser") {
    if (!wait_for(
            [] {
              const auto all = browsers();
              return all.empty() ? nullptr : all.front();
            },
            kDefaultWaitMs))
      fail(step, "no folder browser");
  } else if (verb == "no-browser") {
    if (wait_for(
            [] {
              const auto all = browsers();
              return all.empty() ? nullptr : all.front();
            },
            static_cast<DWORD>(num(0))))
      fail(step, "a folder browser appeared");
  } else if (verb == "browsers") {
    const auto all = browsers();
    if (all.size() != static_cast<std::size_t>(num(0)))
      fail(step, std::to_string(all.size()) + " folder browsers open");
  } else if (verb == "box") {
    const std::string& title = arg(0);
    const std::string& want = arg(1);
    const std::string& button = arg(2);
    const HWND box = wait_for([&] { return find_box(title); }, kDefaultWaitMs);
    if (box == nullptr) fail(step, "no message box");
    ::Sleep(200);
    const std::string text = box_text(box);
    std::printf("box text: %s\n", text.c_str());
    const bool matches = want.size() > 1 && want[0] == '~'
                             ? text.find(want.substr(1)) != std::string::npos
                             : text == want;
    int id = 0;
    if (button == "yes")
      id = IDYES;
    else if (button == "no")
      id = IDNO;
    else if (button == "ok")
      id = IDOK;
    else
      fail(step, "button must be yes, no or ok");
    if (::GetDlgItem(box, id) == nullptr) fail(step, "the box has no such button");
    // Yes/No boxes have no OK; ok-only boxes answer to OK. Press before failing on the text,
    // so a failing step does not leave a box that blocks the program.
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
    if (!matches) fail(step, "box text is \"" + text + "\"");
    if (!wait_for([box] { return ::IsWindow(box) ? nullptr : HWND(1); }, kDefaultWaitMs))
      fail(step, "box did not close");
  } else if (verb == "no-box") {
    const std::string& title = arg(0);
    if (wait_for([&] { return find_box(title); }, static_cast<DWORD>(num(1))))
      fail(step, "a box appeared");
  } else if (verb == "notepad") {
    const std::string& name = arg(0);
    const DWORD ms = args.size() > 1 ? static_cast<DWORD>(num(1)) : kDefaultWaitMs;
    const HWND pad = wait_for([&] { return find_notepad(name); }, ms);
    if (pad == nullptr) fail(step, "no Notepad with that file");
    std::printf("notepad: %s\n", text_of(pad).c_str());
    ::PostMessageA(pad, WM_CLOSE, 0, 0);
    if (!wait_for([pad] { return ::IsWindow(pad) ? nullptr : HWND(1); }, kDefaultWaitMs))
      fail(step, "Notepad did not close");
  } else if (verb == "no-notepad") {
    if (const HWND pad = wait_for(find_any_notepad, static_cast<DWORD>(num(0)))) {
      const std::string title = text_of(pad);
      ::PostMessageA(pad, WM_CLOSE, 0, 0);
      fail(step, "Notepad appeared: " + title);
    }
  } else if (verb == "label") {
    need_main(step);
    const std::string text = text_of(::GetDlgItem(g_main, static_cast<int>(num(0))));
    const std::string want = args.size() > 1 ? args[1] : std::string();
    if (text != want) fail(step, "label shows \"" + text + "\"");
  } else if (verb == "enabled") {
    need_main(step);
    const bool enabled = ::IsWindowEnabled(::GetDlgItem(g_main, static_cast<int>(num(0)))) != 0;
    if (enabled != (num(1) != 0)) fail(step, enabled ? "enabled" : "disabled");
  } else if (verb == "alive") {
    need_main(step);
  } else if (verb == "gone") {
    if (!wait_for([] { return ::IsWindow(g_main) ? nullptr : HWND(1); },
                  static_cast<DWORD>(num(0))))
      fail(step, "main window still there");
  } else if (verb == "client-size") {
    step_client_size(step);
  } else if (verb == "rect") {
    need_main(step);
    RECT r;
    ::GetWindowRect(g_main, &r);
    std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  } else if (verb == "names-change") {
    step_names_change(step, static_cast<DWORD>(num(0)), static_cast<std::size_t>(num(1)));
  } else if (verb == "sleep") {
    ::Sleep(static_cast<DWORD>(num(0)));
  } else {
    fail(step, "unknown step");
  }
  std::printf("ok %s\n", step.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) run_step(argv[i]);
  return 0;
}
