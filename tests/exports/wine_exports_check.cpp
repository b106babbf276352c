// Loads Sumwright.dll the way other programs do and calls every export through the real binary
// interface: routines found by name and by ordinal, BSTR variables passed by address, the file
// dialogs driven from a second thread. Sumwright.exe, loaded the same way, must give the
// library's answers. Run under Wine in an empty working folder, with the DLL and the program
// beside the check; the ProgramElsewhere tests run in a caller's folder of their own, with the
// program named by SW_PROGRAM (scripts/test-exports-wine.sh).

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/exports/wine_dialog_driver.h"

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

// The routines as exports/sumwright.def lists them.
struct ExportEntry {
  const char* name;
  int ordinal;
  int argument_bytes;  // in 32-bit code, what the routine takes off the stack
};
constexpr ExportEntry kExports[] = {
#include "generated/export_table.inc"
};

// What the text of a BSTR or a string shows, NULs made visible.
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

#if defined(__i386__)
// Calls `routine` with `words` 32-bit arguments and gives the number of bytes the routine took
// off the stack: a standard call removes its own arguments, any other convention leaves them.
// The routine's 32-bit result goes to *result; a float left in st(0) is dropped.
extern "C" std::int32_t sw_bytes_removed_by(const void* routine, const std::uint32_t* args,
                                            std::uint32_t words, std::uint32_t* result);
asm(R"(
    .text
    .globl _sw_bytes_removed_by
_sw_bytes_removed_by:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jmp 1b
2:  movl %esp, %ebx
    call *8(%ebp)
    movl 20(%ebp), %edi
    movl %eax, (%edi)
    fnstsw %ax
    andw $0x3800, %ax
    jz 3f
    fstp %st(0)
3:  movl %esp, %eax
    subl %ebx, %eax
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
#endif

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
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  void fill() {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const char* item : {"one", "two", "three"}) {
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
  }
  LRESULT items() const { return SendMessageA(list, LB_GETCOUNT, 0, 0); }
  // Window handles have 32 significant bits on every edition; callers pass the low ones.
  std::uint32_t handle() const {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(frame));
  }
};

class Exports : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The program file first, as a caller that knows only it would: its first routine loads
    // the library.
    exe_ = LoadLibraryA("Sumwright.exe");
    if (exe_ != nullptr) {
      first_through_exe_ = GetProcAddress(exe_, "CHOOSESTEP");
      library_loaded_for_exe_ = GetModuleHandleA("Sumwright.dll");
    }
    folder_ = current_directory();
    write_file(folder_ + "\\a.txt", 3);
    write_file(folder_ + "\\b.txt", 4);
    write_file(folder_ + "\\empty.txt", 0);
    write_file(folder_ + "\\big.dat", 1234);
    CreateDirectoryA((folder_ + "\\sub").c_str(), nullptr);
    write_file(folder_ + "\\sub\\c.txt", 5);
    dll_ = LoadLibraryA("Sumwright.dll");
  }
  static void TearDownTestSuite() {
    if (dll_ != nullptr) FreeLibrary(dll_);
    if (exe_ != nullptr) FreeLibrary(exe_);
  }

  void SetUp() override {
    ASSERT_NE(dll_, nullptr) << "LoadLibraryA(\"Sumwright.dll\") failed: " << GetLastError();
    // The dialogs move the process's current directory to the folder the user picked from.
    SetCurrentDirectoryA(folder_.c_str());
  }

  template <class Fn>
  static Fn resolve(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
  }

  // Runs one dialog routine call with a driver playing the user.
  template <class Call>
  static std::string drive(DialogScript& script, Call call) {
    SetCurrentDirectoryA(folder_.c_str());
    DialogDriver driver(GetCurrentThreadId(), script);
    return take(call());
  }

  static inline std::string folder_;  // the working folder the program started in
  static inline HMODULE dll_ = nullptr;
  static inline HMODULE exe_ = nullptr;
  static inline FARPROC first_through_exe_ = nullptr;
  static inline HMODULE library_loaded_for_exe_ = nullptr;
};

TEST_F(Exports, TableHasEveryRoutineByNameAndOrdinalAndNothingElse) {
  for (const ExportEntry& e : kExports) {
    const FARPROC by_name = GetProcAddress(dll_, e.name);
    EXPECT_NE(by_name, nullptr) << e.name;
    EXPECT_EQ(by_name, GetProcAddress(dll_, MAKEINTRESOURCEA(e.ordinal)))
        << "ordinal " << e.ordinal << " is " << e.name;
    const std::string decorated = std::string(e.name) + "@" + std::to_string(e.argument_bytes);
    EXPECT_EQ(GetProcAddress(dll_, decorated.c_str()), nullptr) << decorated;
    EXPECT_EQ(GetProcAddress(dll_, ("_" + decorated).c_str()), nullptr) << "_" << decorated;
  }
  const auto count = static_cast<WORD>(std::size(kExports));
  EXPECT_EQ(GetProcAddress(dll_, MAKEINTRESOURCEA(count + 1)), nullptr);
}

// The program's table names each routine, under its ordinal, and each gives the library's
// answers: the program's routines pass their calls to the library beside it.
TEST_F(Exports, TheProgramsTableGivesTheLibrarysAnswers) {
  ASSERT_NE(exe_, nullptr) << "LoadLibraryA(\"Sumwright.exe\") failed";
  EXPECT_NE(first_through_exe_, nullptr);
  for (const ExportEntry& e : kExports) {
    const FARPROC by_name = GetProcAddress(exe_, e.name);
    EXPECT_NE(by_name, nullptr) << e.name;
    EXPECT_EQ(GetProcAddress(exe_, MAKEINTRESOURCEA(e.ordinal)), by_name)
        << "ordinal " << e.ordinal << " is " << e.name;
    const std::string decorated = std::string(e.name) + "@" + std::to_string(e.argument_bytes);
    EXPECT_EQ(GetProcAddress(exe_, decorated.c_str()), nullptr) << decorated;
  }
  const auto count = static_cast<WORD>(std::size(kExports));
  EXPECT_EQ(GetProcAddress(exe_, MAKEINTRESOURCEA(count + 1)), nullptr);

  // Routines that need a system call or an initialised variable, called through the program,
  // which loads the library beside it at the first call.
  const float zero = 0;
  const float hundred = 100;
  EXPECT_EQ(reinterpret_cast<ChooseStepFn>(
                reinterpret_cast<void*>(GetProcAddress(exe_, "CHOOSESTEP")))(&zero, &hundred),
            10.0f);
  EXPECT_EQ(reinterpret_cast<HlsToRgbFn>(reinterpret_cast<void*>(GetProcAddress(exe_, "HLSTORGB")))(
                160, 120, 240),
            0xFF0000u);
  Var text("ab");
  const std::int32_t four = 4;
  EXPECT_EQ(take(reinterpret_cast<PadOutFn>(
                reinterpret_cast<void*>(GetProcAddress(exe_, "PADOUT")))(text.address(), &four)),
            "ab  ");
  EXPECT_EQ(reinterpret_cast<FileLenFn>(reinterpret_cast<void*>(GetProcAddress(exe_, "FILELEN")))(
                (folder_ + "\\big.dat").c_str()),
            1234);
  EXPECT_EQ(GetModuleHandleA("Sumwright.dll"), dll_) << "the library beside the program";
}

TEST_F(Exports, EveryRoutineRemovesItsOwnArguments) {
#if defined(__i386__)
  // Null and zero arguments: every routine answers them at once, without a dialog or a box.
  const std::uint32_t zeros[8] = {};
  for (const ExportEntry& e : kExports) {
    std::uint32_t result = 0;
    const auto routine = reinterpret_cast<const void*>(GetProcAddress(dll_, e.name));
    ASSERT_NE(routine, nullptr) << e.name;
    const auto words = static_cast<std::uint32_t>(e.argument_bytes / 4);
    ASSERT_LE(words, std::size(zeros));
    EXPECT_EQ(sw_bytes_removed_by(routine, zeros, words, &result), e.argument_bytes) << e.name;
  }
#else
  GTEST_SKIP() << "standard-call stack clean-up exists only in 32-bit code; this is the "
                  "64-bit edition, which has one calling convention";
#endif
}

TEST_F(Exports, PadOutPadsCutsAndWritesBack) {
  const auto padout = resolve<PadOutFn>(MAKEINTRESOURCEA(5));
  struct Case {
    std::string text;
    std::int32_t width;
    std::string want;
  };
  for (const Case& c : {Case{"  ab  ", 5, "ab   "}, Case{"\0a\0b\0 "s, 7, "\0a\0b\0  "s},
                        Case{"abcde", 5, "abcde "}, Case{"abcdef", 5, "abcde"}}) {
    Var text(c.text);
    EXPECT_EQ(printable(take(padout(text.address(), &c.width))), printable(c.want)) << c.text;
    EXPECT_EQ(printable(text.bytes()), printable(c.want)) << "written back: " << c.text;
  }

  Var null_string;  // a null BSTR is the empty string
  const std::int32_t three = 3;
  EXPECT_EQ(take(padout(null_string.address(), &three)), "   ");
  EXPECT_EQ(null_string.bytes(), "   ");

  EXPECT_EQ(take(padout(nullptr, &three)), "");
  Var untouched("keep");
  EXPECT_EQ(take(padout(untouched.address(), nullptr)), "");
  EXPECT_EQ(untouched.bytes(), "keep");
}

TEST_F(Exports, PadOutWithoutMemoryForItsResultLeavesTheVariableAndAnswersEmpty) {
#if defined(__i386__)
  const auto padout = resolve<PadOutFn>("PADOUT");
  Var text("keep");
  const std::int32_t huge = 0x7FFFFFFF;
  EXPECT_EQ(take(padout(text.address(), &huge)), "");
  EXPECT_EQ(text.bytes(), "keep");
#else
  GTEST_SKIP() << "a 64-bit process can have the 4 GB this asks for; 32-bit code cannot";
#endif
}

TEST_F(Exports, FileLenGivesSizesAndMinusOne) {
  const auto filelen = resolve<FileLenFn>("FILELEN");
  EXPECT_EQ(filelen((folder_ + "\\big.dat").c_str()), 1234);
  EXPECT_EQ(filelen((folder_ + "\\empty.txt").c_str()), 0);
  EXPECT_EQ(filelen((folder_ + "\\missing.txt").c_str()), -1);
  EXPECT_EQ(filelen(nullptr), -1);
  // Found as a directory search finds them, as callers have always had it: trailing blanks (a
  // string padded to a fixed length, PADOUT's own) and dots dropped, wildcards matched.
  EXPECT_EQ(filelen((folder_ + "\\big.dat   ").c_str()), 1234);
  EXPECT_EQ(filelen((folder_ + "\\big.dat.").c_str()), 1234);
  EXPECT_EQ(filelen((folder_ + "\\big.d?t").c_str()), 1234);

  // Past MAX_PATH a file is still found; past the system's limit nothing is asked.
  const std::string deep = folder_ + "\\" + std::string(200, 'p');
  ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring wide_file =
      L"\\\\?\\" + std::wstring(deep.begin(), deep.end()) + L"\\" + std::wstring(150, L'f');
  const HANDLE h = CreateFileW(wide_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "12345", 5, &written, nullptr);
  CloseHandle(h);
  EXPECT_EQ(filelen((deep + "\\" + std::string(150, 'f')).c_str()), 5) << "a path of 350 bytes";
  for (const std::size_t size : {32768, 100000}) {
    std::string hostile(size, 'a');
    hostile.replace(0, 3, "C:\\");
    EXPECT_EQ(filelen(hostile.c_str()), -1) << size << " bytes";
  }
}

TEST_F(Exports, ColourHelpers) {
  const auto hls = resolve<HlsToRgbFn>("HLSTORGB");
  EXPECT_EQ(hls(0, 120, 240), 0x0000FFu) << "red";
  EXPECT_EQ(hls(80, 120, 240), 0x00FF00u) << "green";
  EXPECT_EQ(hls(160, 120, 240), 0xFF0000u) << "blue";
  EXPECT_EQ(hls(0, 120, 0), 0x808080u) << "grey rounds half to even";
  EXPECT_EQ(hls(30, 240, 0), 0xFFFFFFu) << "white";

  const auto step = resolve<ChooseStepFn>("CHOOSESTEP");
  struct Case {
    float a, b, want;
  };
  for (const Case c : {Case{0, 100, 10}, Case{5, 0, 0.5f}, Case{0, 600, 50}, Case{0, 360, 40},
                       Case{3, 3, 0.01f}, Case{0, 1e11f, 0}}) {
    EXPECT_EQ(step(&c.a, &c.b), c.want) << "CHOOSESTEP(" << c.a << ", " << c.b << ")";
  }
  const float one = 1;
  EXPECT_EQ(step(nullptr, &one), 0.0f);
}

TEST_F(Exports, NullVariablesOpenNoDialog) {
  // A driver stands by to cancel a dialog, should one open.
  DialogScript watch = cancelling(1500);
  {
    DialogDriver driver(GetCurrentThreadId(), watch);
    Var a;
    Var b;
    EXPECT_EQ(take(resolve<ShowFn>("SHOWOPEN")(0, nullptr, a.address(), b.address())), "");
    EXPECT_EQ(
        take(resolve<ShowSaveAFn>("SHOWSAVEA")(0, a.address(), nullptr, a.address(), b.address())),
        "");
    EXPECT_EQ(resolve<GetMultipleFilesFn>("GETMULTIPLEFILES")(0, nullptr, nullptr), 0);
  }
  EXPECT_FALSE(watch.found);
}

TEST_F(Exports, ShowOpen) {
  const auto show_open = resolve<ShowFn>("SHOWOPEN");
  Var filter;
  Var title("Open check");
  Var initial;
  DialogScript pick = typing("a.txt");
  const std::string chosen = drive(
      pick, [&] { return show_open(0, filter.address(), title.address(), initial.address()); });
  EXPECT_TRUE(pick.found && pick.closed) << "dialog shown and confirmed";
  EXPECT_EQ(chosen, folder_ + "\\a.txt");
  EXPECT_EQ(filter.bytes(), "All Files (*.*)|*.*") << "the empty filter is filled";
  EXPECT_EQ(initial.bytes(), folder_) << "the empty initial folder is filled";
  EXPECT_EQ(pick.title, "Open check");
  EXPECT_EQ(pick.filter_entries, std::vector<std::string>{"All Files (*.*)"});
  EXPECT_EQ(pick.initial_name, "");

  Var blank_filter("  ");
  Var blank_folder("   ");
  Var no_title;
  DialogScript cancel = cancelling();
  const std::string none = drive(cancel, [&] {
    return show_open(0, blank_filter.address(), no_title.address(), blank_folder.address());
  });
  EXPECT_TRUE(cancel.found && cancel.closed) << "dialog shown and cancelled";
  EXPECT_EQ(none, "");
  EXPECT_EQ(blank_filter.bytes(), "  All Files (*.*)|*.*") << "a blank filter keeps its blanks";
  EXPECT_EQ(blank_folder.bytes(), folder_) << "a blank folder is replaced";
  EXPECT_FALSE(cancel.title.empty() || cancel.title == "Open check")
      << "without a title the platform's is used: \"" << cancel.title << "\"";

  Var sub_filter("Text files|*.txt|All|*.*");
  Var sub_folder(folder_ + "\\sub");
  DialogScript in_sub = typing("c.txt");
  const std::string sub_chosen = drive(in_sub, [&] {
    return show_open(0, sub_filter.address(), title.address(), sub_folder.address());
  });
  EXPECT_EQ(sub_chosen, folder_ + "\\sub\\c.txt") << "starts in the given folder";
  EXPECT_EQ(in_sub.filter_entries, (std::vector<std::string>{"Text files", "All"}));
  EXPECT_EQ(sub_filter.bytes(), "Text files|*.txt|All|*.*") << "a given filter is kept";
}

TEST_F(Exports, ShowSaveAsksBeforeOverwritingAndShowSaveBDoesNot) {
  const auto show_save = resolve<ShowFn>("SHOWSAVE");
  const auto show_save_b = resolve<ShowFn>("SHOWSAVEB");
  Var title("Save check");

  Var filter;
  Var initial;
  DialogScript existing = typing("b.txt");
  const std::string chosen = drive(
      existing, [&] { return show_save(0, filter.address(), title.address(), initial.address()); });
  EXPECT_EQ(chosen, folder_ + "\\b.txt");
  EXPECT_EQ(existing.message_boxes.size(), 1u) << "SHOWSAVE asks before overwriting";
  EXPECT_EQ(filter.bytes(), "All Files (*.*)|*.*");
  EXPECT_EQ(initial.bytes(), folder_);
  EXPECT_EQ(existing.title, "Save check");

  Var filter_b;
  Var initial_b;
  DialogScript existing_b = typing("b.txt");
  const std::string chosen_b = drive(existing_b, [&] {
    return show_save_b(0, filter_b.address(), title.address(), initial_b.address());
  });
  EXPECT_EQ(chosen_b, folder_ + "\\b.txt");
  EXPECT_TRUE(existing_b.message_boxes.empty()) << "SHOWSAVEB does not ask";
  EXPECT_EQ(filter_b.bytes(), "All Files (*.*)|*.*");
  EXPECT_EQ(initial_b.bytes(), folder_);

  DialogScript cancel = cancelling();
  const std::string none = drive(cancel, [&] {
    return show_save_b(0, filter_b.address(), title.address(), initial_b.address());
  });
  EXPECT_TRUE(cancel.found);
  EXPECT_EQ(none, "");
}

TEST_F(Exports, ShowSaveAKeepsCutsAndWritesBackTheName) {
  const auto show_save_a = resolve<ShowSaveAFn>("SHOWSAVEA");
  Var filter;
  Var title("SaveA check");
  Var initial;
  const auto call = [&](Var& name) {
    return show_save_a(0, filter.address(), name.address(), title.address(), initial.address());
  };

  Var name("report.txt");
  DialogScript cancel = cancelling();
  EXPECT_EQ(drive(cancel, [&] { return call(name); }), "");
  EXPECT_TRUE(cancel.found);
  EXPECT_EQ(cancel.initial_name, "report.txt") << "the initial name is shown";
  EXPECT_EQ(name.bytes(), "report.txt") << "the name is kept on cancel";
  EXPECT_EQ(filter.bytes(), "All Files (*.*)|*.*");
  EXPECT_EQ(initial.bytes(), folder_);

  const std::string long_name = std::string(260, 'n') + std::string(40, 't');
  Var long_var(long_name);
  DialogScript cancel_long = cancelling();
  drive(cancel_long, [&] { return call(long_var); });
  EXPECT_EQ(long_var.bytes(), long_name.substr(0, 260)) << "cut to 260 bytes";

  Var with_nul("ab\0cd"s);
  DialogScript cancel_nul = cancelling();
  drive(cancel_nul, [&] { return call(with_nul); });
  EXPECT_EQ(printable(with_nul.bytes()), "ab") << "cut at its first NUL";

  Var new_name("x.txt");
  DialogScript pick = typing("new.txt");
  EXPECT_EQ(drive(pick, [&] { return call(new_name); }), folder_ + "\\new.txt");
  EXPECT_EQ(new_name.bytes(), folder_ + "\\new.txt") << "the chosen name is written back";
}

TEST_F(Exports, GetMultipleFiles) {
  const auto pick_files = resolve<GetMultipleFilesFn>("GETMULTIPLEFILES");
  OwnerWindow owner;
  owner.fill();
  Var start(folder_);
  Var selection("old");
  const auto run = [&](DialogScript& script, std::uint32_t owner_handle, BSTR initial_folder) {
    SetCurrentDirectoryA(folder_.c_str());
    DialogDriver driver(GetCurrentThreadId(), script);
    return pick_files(owner_handle, initial_folder, selection.address());
  };

  DialogScript two = typing("\"a.txt\" \"b.txt\"");
  EXPECT_EQ(run(two, owner.handle(), start.get()), 2);
  EXPECT_EQ(selection.bytes(), folder_ + "\\?a.txt?b.txt");
  EXPECT_EQ(two.title, "Add file(s)");
  EXPECT_EQ(two.initial_name, "*.*");
  EXPECT_EQ(two.filter_entries, (std::vector<std::string>{
                                    "All Files  (*.*)", "Data files  (*.DAT, *.INI)",
                                    "System files  (*.EXE, *.DLL)", "Text files  (*.DIZ, *.TXT)"}));
  EXPECT_EQ(owner.items(), 0) << "the owner's list box 20 is emptied";

  owner.fill();
  DialogScript one = typing("a.txt");
  EXPECT_EQ(run(one, 0, nullptr), 1) << "a null folder is the current one";
  EXPECT_EQ(selection.bytes(), folder_ + "\\?a.txt");
  EXPECT_EQ(owner.items(), 3) << "other windows' lists are left alone";

  DialogScript cancel = cancelling();
  EXPECT_EQ(run(cancel, owner.handle(), start.get()), 0);
  EXPECT_TRUE(cancel.found);
  EXPECT_EQ(selection.bytes(), folder_ + "\\?a.txt") << "cancel keeps the selection";
  EXPECT_EQ(owner.items(), 3) << "cancel keeps the owner's list";
}

// The folder `folder`, and inside it one of exactly `size` bytes in all, made of folders of at
// most 100 bytes.
std::string make_folder_of_size(std::string folder, std::size_t size) {
  CreateDirectoryA(folder.c_str(), nullptr);
  while (folder.size() < size) {
    const std::size_t room = size - folder.size() - 1;  // after the backslash
    std::size_t length = std::min<std::size_t>(100, room);
    if (room - length == 1) --length;  // the next folder needs its backslash and a byte
    folder.push_back('\\');
    folder.append(length, 'd');
    // The ANSI call takes no folder past 248 bytes.
    CreateDirectoryW((L"\\\\?\\" + std::wstring(folder.begin(), folder.end())).c_str(), nullptr);
  }
  return folder;
}

TEST_F(Exports, InitialFoldersTheDialogsCannotTakeStartInTheCurrentFolder) {
  // Each dialog finds a.txt only where it starts: in the current folder, not in a long folder
  // or its parent.
  const std::string longest = make_folder_of_size(folder_ + "\\roomy", 257);
  ASSERT_EQ(longest.size(), 257u);
  write_file(longest + "\\k", 1);
  const std::string too_long = make_folder_of_size(folder_ + "\\cramped", 259);
  ASSERT_NE(GetFileAttributesA(too_long.c_str()), INVALID_FILE_ATTRIBUTES);
  const auto show_open = resolve<ShowFn>("SHOWOPEN");

  Var filter;
  Var title("Start check");
  Var roomy(longest);
  DialogScript in_longest = typing("k");
  EXPECT_EQ(drive(in_longest,
                  [&] { return show_open(0, filter.address(), title.address(), roomy.address()); }),
            longest + "\\k")
      << "257 bytes leave room for a name: the dialog starts there";

  Var cramped(too_long);
  DialogScript in_current = typing("a.txt");
  EXPECT_EQ(
      drive(in_current,
            [&] { return show_open(0, filter.address(), title.address(), cramped.address()); }),
      folder_ + "\\a.txt")
      << "259 bytes (which crashed the dialog) mean the current folder";
  EXPECT_EQ(cramped.bytes(), too_long) << "the caller's variable keeps its folder";

  const std::string field_too_small = make_folder_of_size(folder_ + "\\wide", 256);
  Var start(field_too_small);
  Var selection("old");
  DialogScript picked = typing("a.txt");
  SetCurrentDirectoryA(folder_.c_str());
  {
    DialogDriver driver(GetCurrentThreadId(), picked);
    EXPECT_EQ(resolve<GetMultipleFilesFn>("GETMULTIPLEFILES")(0, start.get(), selection.address()),
              1);
  }
  EXPECT_EQ(selection.bytes(), folder_ + "\\?a.txt")
      << "256 bytes, which its field would cut to the parent, mean the current folder";
}

TEST_F(Exports, ShellToNotepadStartsOneNotepadPerCall) {
  const auto notepad = resolve<ShellToNotepadFn>("SHELLTONOTEPAD");
  close_notepads();
  Var path(folder_ + "\\a.txt");
  EXPECT_EQ(notepad(path.address()), 0);
  EXPECT_EQ(notepad(path.address()), 0);
  std::size_t windows = 0;
  for (int waited = 0; waited < 30000 && windows < 2; waited += 100) {
    Sleep(100);
    windows = notepad_windows().size();
  }
  EXPECT_EQ(windows, 2u);
  if (windows > 0) {
    const std::string caption = sw::test::window_text(notepad_windows().front());
    EXPECT_TRUE(caption.find("a.txt") != std::string::npos ||
                caption.find("a.TXT") != std::string::npos)
        << "Notepad shows the file: caption \"" << caption << "\"";
  }
  close_notepads();
  EXPECT_EQ(notepad(nullptr), 0);
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

TEST_F(Exports, ShellToNotepadSaysSoWhenNotepadIsMissing) {
  char windows_dir[MAX_PATH] = {};
  GetWindowsDirectoryA(windows_dir, MAX_PATH);
  const std::string exe = std::string(windows_dir) + "\\notepad.exe";
  const std::string moved = exe + ".away";
  ASSERT_TRUE(MoveFileA(exe.c_str(), moved.c_str())) << "could not move " << exe << " away";
  NotepadBoxWatch watch{GetCurrentThreadId(), {}};
  HANDLE watcher = CreateThread(nullptr, 0, &watch_notepad_box, &watch, 0, nullptr);
  Var path("whatever.txt");
  EXPECT_EQ(resolve<ShellToNotepadFn>("SHELLTONOTEPAD")(path.address()), 0);
  WaitForSingleObject(watcher, 25000);
  CloseHandle(watcher);
  // The fixed text first, then the system's reason.
  EXPECT_EQ(watch.text.rfind("Cannot Start Notepad\r\n\r\n", 0), 0u) << watch.text;
  EXPECT_GT(watch.text.size(), std::strlen("Cannot Start Notepad\r\n\r\n")) << watch.text;
  MoveFileA(moved.c_str(), exe.c_str());
  close_notepads();
}

// The program named by SW_PROGRAM, loaded by its full path as a caller in another folder loads it;
// that caller's own folder (and PATH) may hold a Sumwright.dll of its own, which is never used.
class ProgramElsewhere : public ::testing::Test {
 protected:
  void SetUp() override {
    char named[MAX_PATH] = {};
    if (GetEnvironmentVariableA("SW_PROGRAM", named, MAX_PATH) == 0)
      GTEST_SKIP() << "run by scripts/test-exports-wine.sh, which names the program";
    program_ = named;
    exe_ = LoadLibraryA(program_.c_str());
    ASSERT_NE(exe_, nullptr) << program_ << ": " << GetLastError();
    char caller[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, caller, MAX_PATH);
    caller_folder_ = caller;
    caller_folder_.resize(caller_folder_.rfind('\\') + 1);
    write_file(caller_folder_ + "sized.dat", 777);
  }
  void TearDown() override {
    if (exe_ != nullptr) FreeLibrary(exe_);
  }
  template <class Fn>
  Fn routine(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(exe_, name)));
  }
  std::string program_, caller_folder_;
  HMODULE exe_ = nullptr;
};

// Sumwright.dll stands beside the program: every routine gives the library's answers, by name
// and by ordinal, and the library loaded is that one, never the caller's.
TEST_F(ProgramElsewhere, EveryRoutineReachesTheLibraryBesideTheProgram) {
  for (const ExportEntry& e : kExports) {
    EXPECT_NE(GetProcAddress(exe_, e.name), nullptr) << e.name;
    EXPECT_EQ(GetProcAddress(exe_, MAKEINTRESOURCEA(e.ordinal)), GetProcAddress(exe_, e.name));
  }
  EXPECT_EQ(routine<FileLenFn>("FILELEN")((caller_folder_ + "sized.dat").c_str()), 777);
  const float zero = 0, hundred = 100;
  EXPECT_EQ(routine<ChooseStepFn>("CHOOSESTEP")(&zero, &hundred), 10.0f);
  EXPECT_EQ(routine<HlsToRgbFn>("HLSTORGB")(160, 120, 240), 0xFF0000u);
  Var text("ab");
  const std::int32_t four = 4;
  EXPECT_EQ(take(routine<PadOutFn>("PADOUT")(text.address(), &four)), "ab  ");
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("Sumwright.dll"), loaded, MAX_PATH);
  std::string beside = program_;
  beside.replace(beside.rfind('\\') + 1, std::string::npos, "Sumwright.dll");
  EXPECT_EQ(_stricmp(loaded, beside.c_str()), 0) << loaded;
}

// No Sumwright.dll beside the program: every routine is there all the same and answers its
// failure value (the empty string, 0, -1; PADOUT leaves the variable as it was), with
// ERROR_MOD_NOT_FOUND as the thread's last error, never the caller's library nor a crash.
TEST_F(ProgramElsewhere, WithoutTheLibraryEveryRoutineAnswersItsFailureValue) {
  std::string beside = program_;
  beside.replace(beside.rfind('\\') + 1, std::string::npos, "Sumwright.dll");
  ASSERT_EQ(GetFileAttributesA(beside.c_str()), INVALID_FILE_ATTRIBUTES)
      << "this test runs where no Sumwright.dll stands beside the program";
  const float zero = 0, hundred = 100;
  SetLastError(0);
  EXPECT_EQ(routine<FileLenFn>("FILELEN")((caller_folder_ + "sized.dat").c_str()), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(routine<ChooseStepFn>("CHOOSESTEP")(&zero, &hundred), 0.0f);
  EXPECT_EQ(routine<HlsToRgbFn>("HLSTORGB")(160, 120, 240), 0u);
  Var text("ab");
  const std::int32_t four = 4;
  EXPECT_EQ(routine<PadOutFn>("PADOUT")(text.address(), &four), nullptr);
  EXPECT_EQ(text.bytes(), "ab");
  Var filter, title, folder, name;
  EXPECT_EQ(routine<ShowFn>("SHOWOPEN")(0, filter.address(), title.address(), folder.address()),
            nullptr);
  EXPECT_EQ(routine<ShowSaveAFn>("SHOWSAVEA")(0, filter.address(), name.address(), title.address(),
                                              folder.address()),
            nullptr);
  Var selection;
  EXPECT_EQ(routine<GetMultipleFilesFn>("GETMULTIPLEFILES")(0, nullptr, selection.address()), 0);
  Var path("x.txt");
  EXPECT_EQ(routine<ShellToNotepadFn>("SHELLTONOTEPAD")(path.address()), 0);
  EXPECT_TRUE(notepad_windows().empty());
  EXPECT_EQ(GetModuleHandleA("Sumwright.dll"), nullptr) << "the caller's library was taken";
}

}  // namespace
