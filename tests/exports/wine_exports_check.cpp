// Loads Sumwright.dll the way other programs do and calls every export through the real binary
// interface: standard calls found by name and by ordinal, BSTR variables passed by address,
// the file dialogs driven from a second thread. Run in an empty working folder under Wine;
// prints "N passed, M failed" and exits nonzero when anything failed.

#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "wine_dialog_driver.h"

namespace {

using sw::test::DialogDriver;
using sw::test::DialogScript;
using namespace std::string_literals;

using ChooseStepFn = float(__stdcall*)(const float*, const float*);
using FileLenFn = std::int32_t(__stdcall*)(const char*);
using GetMultipleFilesFn = std::int32_t(__stdcall*)(std::uint32_t, BSTR, BSTR*);
using HlsToRgbFn = std::uint32_t(__stdcall*)(float, float, float);
using PadOutFn = BSTR(__stdcall*)(BSTR*, const std::int32_t*);
using ShellToNotepadFn = std::int32_t(__stdcall*)(BSTR*);
using ShowFn = BSTR(__stdcall*)(std::uint32_t, BSTR*, BSTR*, BSTR*);
using ShowSaveAFn = BSTR(__stdcall*)(std::uint32_t, BSTR*, BSTR*, BSTR*, BSTR*);

constexpr const char* kExportNames[] = {
    "CHOOSESTEP",     "FILELEN",  "GETMULTIPLEFILES", "HLSTORGB",  "PADOUT",
    "SHELLTONOTEPAD", "SHOWOPEN", "SHOWSAVE",         "SHOWSAVEA", "SHOWSAVEB"};

int g_passed = 0;
int g_failed = 0;
std::string g_folder;  // the working folder the program started in

// The dialogs move the process's current directory to the folder the user picked from;
// every dialog call starts from the working folder again.
void back_to_working_folder() {
  SetCurrentDirectoryA(g_folder.c_str());
}

std::string printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (c == '\0') {
      out += "\\0";
    } else {
      out += c;
    }
  }
  return out;
}

void check(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

void check_eq(std::string_view got, std::string_view want, const std::string& what) {
  check(got == want,
        what + ": got \"" + printable(got) + "\", expected \"" + printable(want) + "\"");
}

template <class T>
void check_num(T got, T want, const std::string& what) {
  check(got == want, what + ": got " + std::to_string(got) + ", expected " + std::to_string(want));
}

// A caller's string variable.
class Var {
 public:
  Var() = default;
  explicit Var(std::string_view bytes)
      : value_(SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()))) {}
  ~Var() { SysFreeString(value_); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  BSTR* address() { return &value_; }
  BSTR get() const { return value_; }
  std::string bytes() const {
    return value_ == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(value_), SysStringByteLen(value_));
  }

 private:
  BSTR value_ = nullptr;
};

// Takes ownership of a returned string and gives its bytes.
std::string take(BSTR result) {
  Var holder;
  *holder.address() = result;
  return holder.bytes();
}

std::string current_directory() {
  char buffer[MAX_PATH] = {};
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
  return std::string(buffer, n);
}

void write_file(const std::string& path, std::size_t size) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string data(size, 'x');
  DWORD written = 0;
  if (size > 0) WriteFile(h, data.data(), static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(h);
}

template <class Fn>
Fn resolve(HMODULE dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

void check_export_table(HMODULE dll) {
  for (int i = 0; i < 10; ++i) {
    const FARPROC by_name = GetProcAddress(dll, kExportNames[i]);
    const FARPROC by_ordinal = GetProcAddress(dll, MAKEINTRESOURCEA(i + 1));
    check(by_name != nullptr, "GetProcAddress by name "s + kExportNames[i]);
    check(by_name == by_ordinal, "ordinal "s + std::to_string(i + 1) + " is " + kExportNames[i]);
  }
  check(GetProcAddress(dll, MAKEINTRESOURCEA(11)) == nullptr, "no ordinal 11");
  check(GetProcAddress(dll, "PADOUT@8") == nullptr && GetProcAddress(dll, "_PADOUT@8") == nullptr,
        "no decorated names exported");
}

void check_padout(HMODULE dll) {
  const auto padout = resolve<PadOutFn>(dll, MAKEINTRESOURCEA(5));
  std::int32_t width = 5;
  Var text("  ab  ");
  check_eq(take(padout(text.address(), &width)), "ab   ", "PADOUT result");
  check_eq(text.bytes(), "ab   ", "PADOUT writes back");

  Var with_nuls("\0a\0b\0 "s);
  width = 7;
  check_eq(take(padout(with_nuls.address(), &width)), "\0a\0b\0  "s, "PADOUT keeps NUL bytes");
  check_eq(with_nuls.bytes(), "\0a\0b\0  "s, "PADOUT writes NUL bytes back");

  Var exact("abcde");
  width = 5;
  check_eq(take(padout(exact.address(), &width)), "abcde ", "PADOUT exact width");
  Var longer("abcdef");
  check_eq(take(padout(longer.address(), &width)), "abcde", "PADOUT cut");

  Var null_string;  // a null BSTR is the empty string
  width = 3;
  check_eq(take(padout(null_string.address(), &width)), "   ", "PADOUT of a null BSTR");
  check_eq(null_string.bytes(), "   ", "PADOUT fills a null BSTR variable");

  check_eq(take(padout(nullptr, &width)), "", "PADOUT without a variable");
  Var untouched("keep");
  check_eq(take(padout(untouched.address(), nullptr)), "", "PADOUT without a width");
  check_eq(untouched.bytes(), "keep", "PADOUT without a width leaves the text");
}

void check_filelen(HMODULE dll, const std::string& folder) {
  const auto filelen = resolve<FileLenFn>(dll, "FILELEN");
  check_num(filelen((folder + "\\big.dat").c_str()), 1234, "FILELEN of a 1234-byte file");
  check_num(filelen((folder + "\\empty.txt").c_str()), 0, "FILELEN of an empty file");
  check_num(filelen((folder + "\\missing.txt").c_str()), -1, "FILELEN of a missing file");
  check_num(filelen(nullptr), -1, "FILELEN of null");
}

void check_colours(HMODULE dll) {
  const auto hls = resolve<HlsToRgbFn>(dll, "HLSTORGB");
  check_num(hls(0, 120, 240), 0x0000FFu, "HLSTORGB red");
  check_num(hls(80, 120, 240), 0x00FF00u, "HLSTORGB green");
  check_num(hls(160, 120, 240), 0xFF0000u, "HLSTORGB blue");
  check_num(hls(0, 120, 0), 0x808080u, "HLSTORGB grey rounds half to even");
  check_num(hls(30, 240, 0), 0xFFFFFFu, "HLSTORGB white");

  const auto step = resolve<ChooseStepFn>(dll, "CHOOSESTEP");
  struct Case {
    float a, b, want;
  };
  for (const Case c : {Case{0, 100, 10}, Case{5, 0, 0.5f}, Case{0, 600, 50}, Case{0, 360, 40},
                       Case{3, 3, 0.01f}, Case{0, 1e11f, 0}}) {
    check(step(&c.a, &c.b) == c.want, "CHOOSESTEP(" + std::to_string(c.a) + ", " +
                                          std::to_string(c.b) + ") is " + std::to_string(c.want));
  }
  const float one = 1;
  check(step(nullptr, &one) == 0.0f, "CHOOSESTEP without a variable");
}

// Top-level windows of Notepad's class, anywhere.
std::vector<HWND> notepad_windows() {
  std::vector<HWND> found;
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, "Notepad", nullptr)) != nullptr) found.push_back(w);
  return found;
}

void close_notepads() {
  for (HWND w : notepad_windows()) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
      TerminateProcess(p, 0);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
  }
}

void check_notepad(HMODULE dll, const std::string& folder) {
  const auto notepad = resolve<ShellToNotepadFn>(dll, "SHELLTONOTEPAD");
  close_notepads();
  Var path(folder + "\\a.txt");
  check_num(notepad(path.address()), 0, "SHELLTONOTEPAD result");
  check_num(notepad(path.address()), 0, "SHELLTONOTEPAD second result");
  std::size_t windows = 0;
  for (int waited = 0; waited < 30000 && windows < 2; waited += 100) {
    Sleep(100);
    windows = notepad_windows().size();
  }
  check_num(windows, std::size_t{2}, "two calls start two Notepad windows");
  if (windows > 0) {
    const std::string caption = sw::test::window_text(notepad_windows().front());
    check(caption.find("a.txt") != std::string::npos || caption.find("a.TXT") != std::string::npos,
          "Notepad shows the file: caption \"" + caption + "\"");
  }
  close_notepads();
  check_num(notepad(nullptr), 0, "SHELLTONOTEPAD without a variable");
}

struct NotepadBoxWatch {
  DWORD thread;
  std::string text;
};

DWORD WINAPI watch_notepad_box(void* param) {
  auto* watch = static_cast<NotepadBoxWatch*>(param);
  watch->text = sw::test::answer_message_box(watch->thread, "Notepad not found", 20000);
  return 0;
}

void check_notepad_missing(HMODULE dll) {
  char windows_dir[MAX_PATH] = {};
  GetWindowsDirectoryA(windows_dir, MAX_PATH);
  const std::string exe = std::string(windows_dir) + "\\notepad.exe";
  const std::string moved = exe + ".away";
  if (!MoveFileA(exe.c_str(), moved.c_str())) {
    check(false, "could not move " + exe + " away for the failure case");
    return;
  }
  const auto notepad = resolve<ShellToNotepadFn>(dll, "SHELLTONOTEPAD");
  NotepadBoxWatch watch{GetCurrentThreadId(), {}};
  HANDLE watcher = CreateThread(nullptr, 0, &watch_notepad_box, &watch, 0, nullptr);
  Var path("whatever.txt");
  check_num(notepad(path.address()), 0, "SHELLTONOTEPAD result when Notepad is missing");
  WaitForSingleObject(watcher, 25000);
  CloseHandle(watcher);
  check_eq(watch.text, "Cannot Start Notepad", "message box when Notepad is missing");
  MoveFileA(moved.c_str(), exe.c_str());
  close_notepads();
}

DialogScript typing(std::string name) {
  DialogScript script;
  script.type_name = std::move(name);
  return script;
}

DialogScript cancelling(DWORD find_timeout_ms = 20000) {
  DialogScript script;
  script.cancel = true;
  script.find_timeout_ms = find_timeout_ms;
  return script;
}

// Runs one dialog routine call with a driver playing the user.
template <class Call>
std::string drive(DialogScript& script, Call call) {
  back_to_working_folder();
  DialogDriver driver(GetCurrentThreadId(), script);
  return take(call());
}

void check_show_open(HMODULE dll, const std::string& folder) {
  const auto show_open = resolve<ShowFn>(dll, "SHOWOPEN");
  Var filter;
  Var title("Open check");
  Var initial;
  DialogScript pick = typing("a.txt");
  const std::string chosen = drive(
      pick, [&] { return show_open(0, filter.address(), title.address(), initial.address()); });
  check(pick.found && pick.closed, "SHOWOPEN dialog shown and confirmed");
  check_eq(chosen, folder + "\\a.txt", "SHOWOPEN result");
  check_eq(filter.bytes(), "All Files (*.*)|*.*", "SHOWOPEN fills the empty filter");
  check_eq(initial.bytes(), folder, "SHOWOPEN fills the empty initial folder");
  check_eq(pick.title, "Open check", "SHOWOPEN title");
  check(pick.filter_entries == std::vector<std::string>{"All Files (*.*)"},
        "SHOWOPEN offers the one filter entry");
  check_eq(pick.initial_name, "", "SHOWOPEN starts without a file name");

  Var blank_filter("  ");
  Var blank_folder("   ");
  Var no_title;
  DialogScript cancel = cancelling();
  const std::string none = drive(cancel, [&] {
    return show_open(0, blank_filter.address(), no_title.address(), blank_folder.address());
  });
  check(cancel.found && cancel.closed, "SHOWOPEN dialog shown and cancelled");
  check_eq(none, "", "SHOWOPEN cancelled");
  check_eq(blank_filter.bytes(), "  All Files (*.*)|*.*", "SHOWOPEN blank filter keeps blanks");
  check_eq(blank_folder.bytes(), folder, "SHOWOPEN blank folder replaced");
  check(!cancel.title.empty() && cancel.title != "Open check",
        "SHOWOPEN without title uses the platform's: \"" + cancel.title + "\"");

  Var sub_filter("Text files|*.txt|All|*.*");
  Var sub_folder(folder + "\\sub");
  DialogScript in_sub = typing("c.txt");
  const std::string sub_chosen = drive(in_sub, [&] {
    return show_open(0, sub_filter.address(), title.address(), sub_folder.address());
  });
  check_eq(sub_chosen, folder + "\\sub\\c.txt", "SHOWOPEN starts in the given folder");
  check(in_sub.filter_entries == std::vector<std::string>{"Text files", "All"},
        "SHOWOPEN offers the caller's filter entries");
  check_eq(sub_filter.bytes(), "Text files|*.txt|All|*.*", "SHOWOPEN keeps a given filter");
}

void check_show_save(HMODULE dll, const std::string& folder) {
  const auto show_save = resolve<ShowFn>(dll, "SHOWSAVE");
  const auto show_save_b = resolve<ShowFn>(dll, "SHOWSAVEB");
  Var filter;
  Var title("Save check");
  Var initial;

  // Choosing an existing file: SHOWSAVE asks before overwriting, SHOWSAVEB does not.
  DialogScript existing = typing("b.txt");
  const std::string chosen = drive(
      existing, [&] { return show_save(0, filter.address(), title.address(), initial.address()); });
  check_eq(chosen, folder + "\\b.txt", "SHOWSAVE result");
  check_num(existing.message_boxes.size(), std::size_t{1}, "SHOWSAVE asks before overwriting");
  check_eq(filter.bytes(), "All Files (*.*)|*.*", "SHOWSAVE fills the empty filter");
  check_eq(initial.bytes(), folder, "SHOWSAVE fills the empty initial folder");
  check_eq(existing.title, "Save check", "SHOWSAVE title");

  Var filter_b;
  Var initial_b;
  DialogScript existing_b = typing("b.txt");
  const std::string chosen_b = drive(existing_b, [&] {
    return show_save_b(0, filter_b.address(), title.address(), initial_b.address());
  });
  check_eq(chosen_b, folder + "\\b.txt", "SHOWSAVEB result");
  check(existing_b.message_boxes.empty(), "SHOWSAVEB does not ask before overwriting");
  check_eq(filter_b.bytes(), "All Files (*.*)|*.*", "SHOWSAVEB fills the empty filter");
  check_eq(initial_b.bytes(), folder, "SHOWSAVEB fills the empty initial folder");

  DialogScript cancel = cancelling();
  const std::string none = drive(cancel, [&] {
    return show_save_b(0, filter_b.address(), title.address(), initial_b.address());
  });
  check(cancel.found, "SHOWSAVEB dialog shown");
  check_eq(none, "", "SHOWSAVEB cancelled");
}

void check_show_save_a(HMODULE dll, const std::string& folder) {
  const auto show_save_a = resolve<ShowSaveAFn>(dll, "SHOWSAVEA");
  Var filter;
  Var title("SaveA check");
  Var initial;

  Var name("report.txt");
  DialogScript cancel = cancelling();
  const std::string none = drive(cancel, [&] {
    return show_save_a(0, filter.address(), name.address(), title.address(), initial.address());
  });
  check(cancel.found, "SHOWSAVEA dialog shown");
  check_eq(none, "", "SHOWSAVEA cancelled");
  check_eq(cancel.initial_name, "report.txt", "SHOWSAVEA shows the initial name");
  check_eq(name.bytes(), "report.txt", "SHOWSAVEA keeps the name on cancel");
  check_eq(filter.bytes(), "All Files (*.*)|*.*", "SHOWSAVEA fills the empty filter");
  check_eq(initial.bytes(), folder, "SHOWSAVEA fills the empty initial folder");

  const std::string long_name = std::string(260, 'n') + std::string(40, 't');
  Var long_var(long_name);
  DialogScript cancel_long = cancelling();
  drive(cancel_long, [&] {
    return show_save_a(0, filter.address(), long_var.address(), title.address(), initial.address());
  });
  check_eq(long_var.bytes(), long_name.substr(0, 260), "SHOWSAVEA cuts the name to 260 bytes");

  Var with_nul("ab\0cd"s);
  DialogScript cancel_nul = cancelling();
  drive(cancel_nul, [&] {
    return show_save_a(0, filter.address(), with_nul.address(), title.address(), initial.address());
  });
  check_eq(with_nul.bytes(), "ab", "SHOWSAVEA cuts the name at its first NUL");

  Var new_name("x.txt");
  DialogScript pick = typing("new.txt");
  const std::string chosen = drive(pick, [&] {
    return show_save_a(0, filter.address(), new_name.address(), title.address(), initial.address());
  });
  check_eq(chosen, folder + "\\new.txt", "SHOWSAVEA result");
  check_eq(new_name.bytes(), folder + "\\new.txt", "SHOWSAVEA writes the chosen name back");
}

// A window with a list box 20, as the multiple-file picker's owner.
struct OwnerWindow {
  HWND frame = nullptr;
  HWND list = nullptr;
  OwnerWindow() {
    frame = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 100, 100, frame,
                           reinterpret_cast<HMENU>(20), GetModuleHandleA(nullptr), nullptr);
  }
  ~OwnerWindow() { DestroyWindow(frame); }
  void fill() {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const char* item : {"one", "two", "three"}) {
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
  }
  LRESULT items() const { return SendMessageA(list, LB_GETCOUNT, 0, 0); }
  std::uint32_t handle() const {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(frame));
  }
};

void check_get_multiple_files(HMODULE dll, const std::string& folder) {
  const auto pick_files = resolve<GetMultipleFilesFn>(dll, "GETMULTIPLEFILES");
  OwnerWindow owner;
  owner.fill();
  Var start(folder);
  Var selection("old");

  std::int32_t count = 0;
  DialogScript two = typing("\"a.txt\" \"b.txt\"");
  {
    back_to_working_folder();
    DialogDriver driver(GetCurrentThreadId(), two);
    count = pick_files(owner.handle(), start.get(), selection.address());
  }
  check_num(count, 2, "GETMULTIPLEFILES two files");
  check_eq(selection.bytes(), folder + "\\?a.txt?b.txt", "GETMULTIPLEFILES two-file selection");
  check_eq(two.title, "Add file(s)", "GETMULTIPLEFILES title");
  check_eq(two.initial_name, "*.*", "GETMULTIPLEFILES initial name");
  check(two.filter_entries ==
            std::vector<std::string>{"All Files  (*.*)", "Data files  (*.DAT, *.INI)",
                                     "System files  (*.EXE, *.DLL)", "Text files  (*.DIZ, *.TXT)"},
        "GETMULTIPLEFILES offers its four filter entries");
  check_num(owner.items(), LRESULT{0}, "GETMULTIPLEFILES empties the owner's list box 20");

  owner.fill();
  DialogScript one = typing("a.txt");
  {
    back_to_working_folder();
    DialogDriver driver(GetCurrentThreadId(), one);
    count = pick_files(0, nullptr, selection.address());  // null folder: the current one
  }
  check_num(count, 1, "GETMULTIPLEFILES one file");
  check_eq(selection.bytes(), folder + "\\?a.txt", "GETMULTIPLEFILES one-file selection");
  check_num(owner.items(), LRESULT{3}, "GETMULTIPLEFILES leaves other windows' lists alone");

  DialogScript cancel = cancelling();
  {
    back_to_working_folder();
    DialogDriver driver(GetCurrentThreadId(), cancel);
    count = pick_files(owner.handle(), start.get(), selection.address());
  }
  check(cancel.found, "GETMULTIPLEFILES dialog shown");
  check_num(count, 0, "GETMULTIPLEFILES cancelled");
  check_eq(selection.bytes(), folder + "\\?a.txt", "GETMULTIPLEFILES cancel keeps the selection");
  check_num(owner.items(), LRESULT{3}, "GETMULTIPLEFILES cancel keeps the owner's list");
}

void check_null_variables(HMODULE dll) {
  // None of these may open a dialog; a driver stands by to cancel one if it did.
  DialogScript watch = cancelling(1500);
  {
    back_to_working_folder();
    DialogDriver driver(GetCurrentThreadId(), watch);
    Var a;
    Var b;
    const auto show_open = resolve<ShowFn>(dll, "SHOWOPEN");
    const auto show_save_a = resolve<ShowSaveAFn>(dll, "SHOWSAVEA");
    const auto pick_files = resolve<GetMultipleFilesFn>(dll, "GETMULTIPLEFILES");
    check_eq(take(show_open(0, nullptr, a.address(), b.address())), "", "SHOWOPEN null filter");
    check_eq(take(show_save_a(0, a.address(), nullptr, a.address(), b.address())), "",
             "SHOWSAVEA null name");
    check_num(pick_files(0, nullptr, nullptr), 0, "GETMULTIPLEFILES null selection");
  }
  check(!watch.found, "no dialog for null variables");
}

}  // namespace

int main() {
  g_folder = current_directory();
  const std::string& folder = g_folder;
  write_file(folder + "\\a.txt", 3);
  write_file(folder + "\\b.txt", 4);
  write_file(folder + "\\empty.txt", 0);
  write_file(folder + "\\big.dat", 1234);
  CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
  write_file(folder + "\\sub\\c.txt", 5);

  HMODULE dll = LoadLibraryA("Sumwright.dll");
  check(dll != nullptr, "LoadLibraryA(\"Sumwright.dll\")");
  if (dll == nullptr) {
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return 1;
  }
  check_export_table(dll);
  check_padout(dll);
  check_filelen(dll, folder);
  check_colours(dll);
  check_null_variables(dll);
  check_show_open(dll, folder);
  check_show_save(dll, folder);
  check_show_save_a(dll, folder);
  check_get_multiple_files(dll, folder);
  check_notepad(dll, folder);
  check_notepad_missing(dll);
  FreeLibrary(dll);

  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
