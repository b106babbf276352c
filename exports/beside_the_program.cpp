// The export table of Sumwright.exe: each of its ten routines passes its call to the routine of
// the same name in the Sumwright.dll that stands beside the program file, found by its full path.
//
// Why not forwarders: Windows resolves a forwarded export through the caller's own DLL search
// order, so a caller in another folder found no library at all, and a Sumwright.dll planted in
// the caller's folder took every routine over. Why this way: a program file that another
// program loads is mapped without running its start-up code (and on some systems without its
// imports bound), so nothing here may call through the import table, lean on the C runtime or on
// a variable that start-up code would set. The routines find the loader's own functions in
// ntdll (loaded into every process, before anything else, and never forwarded), through the
// process's list of loaded modules, which also gives this program file's full path.
//
// With no Sumwright.dll beside the program, every routine answers its failure value (the empty
// string, 0, -1; PADOUT leaves the caller's variable as it was) and the thread's last error is
// ERROR_MOD_NOT_FOUND.
//
// Built with -ffreestanding and without stack protection: the compiler must not bring in a
// library call of its own (memcpy, memset) either.

#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>
#include <winternl.h>

#include <cstdint>

namespace {

// The loader's record of a module, as the process's module lists hold it (stable since NT).
struct LoadedModule {
  LIST_ENTRY in_load_order;
  LIST_ENTRY in_memory_order;
  LIST_ENTRY in_initialization_order;
  void* base;
  void* entry_point;
  ULONG size_of_image;
  UNICODE_STRING full_name;
  UNICODE_STRING base_name;
};

struct LoaderData {
  ULONG length;
  BOOLEAN initialized;
  void* ss_handle;
  LIST_ENTRY in_load_order;
};

using LdrLoadDllFn = NTSTATUS(NTAPI*)(PWSTR, PULONG, PUNICODE_STRING, PVOID*);
using LdrGetProcedureAddressFn = NTSTATUS(NTAPI*)(PVOID, PANSI_STRING, ULONG, PVOID*);
using RtlSetLastWin32ErrorFn = void(NTAPI*)(ULONG);
using LdrLockLoaderLockFn = NTSTATUS(NTAPI*)(ULONG, PULONG, PULONG_PTR);
using LdrUnlockLoaderLockFn = NTSTATUS(NTAPI*)(ULONG, ULONG_PTR);

// ASCII letters alike whatever their case.
wchar_t folded(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool same_name(const UNICODE_STRING& name, const wchar_t* want) {
  const USHORT chars = name.Length / sizeof(wchar_t);
  USHORT i = 0;
  for (; i < chars && want[i] != L'\0'; ++i)
    if (folded(name.Buffer[i]) != folded(want[i])) return false;
  return i == chars && want[i] == L'\0';
}

bool same_text(const char* a, const char* b) {
  for (; *a != '\0' && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

// The process's environment block, read where the thread's own block keeps it.
const PEB* process_block() {
  const PEB* peb = nullptr;
#if defined(__x86_64__)
  __asm__("movq %%gs:0x60, %0" : "=r"(peb));
#else
  __asm__("movl %%fs:0x30, %0" : "=r"(peb));
#endif
  return peb;
}

const LIST_ENTRY* load_order() {
  return &reinterpret_cast<const LoaderData*>(process_block()->Ldr)->in_load_order;
}

// The loaded module named `name`, or the one whose image holds `address`.
const LoadedModule* module_where(const wchar_t* name, const void* address) {
  const LIST_ENTRY* head = load_order();
  for (const LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
    const auto* m = CONTAINING_RECORD(link, LoadedModule, in_load_order);
    const auto* start = static_cast<const char*>(m->base);
    if (name != nullptr
            ? same_name(m->base_name, name)
            : address >= start && static_cast<const char*>(address) < start + m->size_of_image)
      return m;
  }
  return nullptr;
}

// A routine that a module exports under its own name (not one forwarded elsewhere).
void* exported(const void* module, const char* name) {
  const auto* base = static_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (dir.VirtualAddress == 0) return nullptr;
  const auto* table = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + table->AddressOfNames);
  const auto* ordinals = reinterpret_cast<const WORD*>(base + table->AddressOfNameOrdinals);
  const auto* functions = reinterpret_cast<const DWORD*>(base + table->AddressOfFunctions);
  for (DWORD i = 0; i < table->NumberOfNames; ++i) {
    if (!same_text(reinterpret_cast<const char*>(base + names[i]), name)) continue;
    const DWORD rva = functions[ordinals[i]];
    if (rva >= dir.VirtualAddress && rva < dir.VirtualAddress + dir.Size) return nullptr;
    return const_cast<unsigned char*>(base + rva);
  }
  return nullptr;
}

// The routine `name` of the Sumwright.dll beside this program file; null, with the thread's last
// error set, when there is none to be had.
void* library_routine(const char* name) {
  const LoadedModule* ntdll = module_where(L"ntdll.dll", nullptr);
  if (ntdll == nullptr) return nullptr;
  const auto load = reinterpret_cast<LdrLoadDllFn>(exported(ntdll->base, "LdrLoadDll"));
  const auto find =
      reinterpret_cast<LdrGetProcedureAddressFn>(exported(ntdll->base, "LdrGetProcedureAddress"));
  const auto set_last_error =
      reinterpret_cast<RtlSetLastWin32ErrorFn>(exported(ntdll->base, "RtlSetLastWin32Error"));
  const auto say = [set_last_error](ULONG code) {
    if (set_last_error != nullptr) set_last_error(code);
    return nullptr;
  };
  const auto lock =
      reinterpret_cast<LdrLockLoaderLockFn>(exported(ntdll->base, "LdrLockLoaderLock"));
  const auto unlock =
      reinterpret_cast<LdrUnlockLoaderLockFn>(exported(ntdll->base, "LdrUnlockLoaderLock"));
  if (load == nullptr || find == nullptr || lock == nullptr || unlock == nullptr)
    return say(ERROR_PROC_NOT_FOUND);

  // This program's full path, its file name replaced by the library's. The list is walked under
  // the loader's lock: another thread of the caller may load or unload a module meanwhile. (ntdll
  // was found without it: it is the list's first module after the program, and never goes.)
  constexpr wchar_t kLibrary[] = L"Sumwright.dll";
  constexpr USHORT kLibraryChars = sizeof kLibrary / sizeof(wchar_t) - 1;
  constexpr USHORT kMostChars = 4096;
  wchar_t path[kMostChars];
  ULONG_PTR cookie = 0;
  if (lock(0, nullptr, &cookie) < 0) return say(ERROR_PROC_NOT_FOUND);
  const LoadedModule* self = module_where(nullptr, reinterpret_cast<const void*>(&library_routine));
  USHORT folder = self != nullptr ? self->full_name.Length / sizeof(wchar_t) : 0;
  while (folder > 0 && self->full_name.Buffer[folder - 1] != L'\\' &&
         self->full_name.Buffer[folder - 1] != L'/')
    --folder;
  const bool fits = folder > 0 && folder + kLibraryChars < kMostChars;
  for (USHORT i = 0; fits && i < folder; ++i) path[i] = self->full_name.Buffer[i];
  unlock(0, cookie);
  if (self == nullptr) return say(ERROR_PROC_NOT_FOUND);
  if (!fits) return say(ERROR_FILENAME_EXCED_RANGE);
  for (USHORT i = 0; i <= kLibraryChars; ++i) path[folder + i] = kLibrary[i];
  UNICODE_STRING library{static_cast<USHORT>((folder + kLibraryChars) * sizeof(wchar_t)),
                         static_cast<USHORT>((folder + kLibraryChars + 1) * sizeof(wchar_t)), path};
  void* module = nullptr;
  if (load(nullptr, nullptr, &library, &module) < 0 || module == nullptr)
    return say(ERROR_MOD_NOT_FOUND);
  USHORT name_length = 0;
  while (name[name_length] != '\0') ++name_length;
  ANSI_STRING routine_name{name_length, static_cast<USHORT>(name_length + 1),
                           const_cast<char*>(name)};
  void* routine = nullptr;
  if (find(module, &routine_name, 0, &routine) < 0 || routine == nullptr)
    return say(ERROR_PROC_NOT_FOUND);
  return routine;
}

// The routine `name` of the library, found once. The pointer starts as zero in the image itself:
// no start-up code is needed to set it, and two threads that find it at once find the same.
template <class Fn>
Fn routine_of(Fn& cached, const char* name) {
  if (cached == nullptr) cached = reinterpret_cast<Fn>(library_routine(name));
  return cached;
}

}  // namespace

extern "C" {

float __stdcall CHOOSESTEP(const float* first, const float* second) {
  static float(__stdcall * routine)(const float*, const float*) = nullptr;
  return routine_of(routine, "CHOOSESTEP") != nullptr ? routine(first, second) : 0.0f;
}

std::int32_t __stdcall FILELEN(const char* path) {
  static std::int32_t(__stdcall * routine)(const char*) = nullptr;
  return routine_of(routine, "FILELEN") != nullptr ? routine(path) : -1;
}

std::int32_t __stdcall GETMULTIPLEFILES(std::uint32_t owner, BSTR initial_folder, BSTR* selection) {
  static std::int32_t(__stdcall * routine)(std::uint32_t, BSTR, BSTR*) = nullptr;
  return routine_of(routine, "GETMULTIPLEFILES") != nullptr
             ? routine(owner, initial_folder, selection)
             : 0;
}

std::uint32_t __stdcall HLSTORGB(float hue, float lightness, float saturation) {
  static std::uint32_t(__stdcall * routine)(float, float, float) = nullptr;
  return routine_of(routine, "HLSTORGB") != nullptr ? routine(hue, lightness, saturation) : 0;
}

BSTR __stdcall PADOUT(BSTR* text, const std::int32_t* width) {
  static BSTR(__stdcall * routine)(BSTR*, const std::int32_t*) = nullptr;
  return routine_of(routine, "PADOUT") != nullptr ? routine(text, width) : nullptr;
}

std::int32_t __stdcall SHELLTONOTEPAD(BSTR* path) {
  static std::int32_t(__stdcall * routine)(BSTR*) = nullptr;
  return routine_of(routine, "SHELLTONOTEPAD") != nullptr ? routine(path) : 0;
}

BSTR __stdcall SHOWOPEN(std::uint32_t owner, BSTR* filter, BSTR* title, BSTR* initial_folder) {
  static BSTR(__stdcall * routine)(std::uint32_t, BSTR*, BSTR*, BSTR*) = nullptr;
  return routine_of(routine, "SHOWOPEN") != nullptr ? routine(owner, filter, title, initial_folder)
                                                    : nullptr;
}

BSTR __stdcall SHOWSAVE(std::uint32_t owner, BSTR* filter, BSTR* title, BSTR* initial_folder) {
  static BSTR(__stdcall * routine)(std::uint32_t, BSTR*, BSTR*, BSTR*) = nullptr;
  return routine_of(routine, "SHOWSAVE") != nullptr ? routine(owner, filter, title, initial_folder)
                                                    : nullptr;
}

BSTR __stdcall SHOWSAVEA(std::uint32_t owner, BSTR* filter, BSTR* file_name, BSTR* title,
                         BSTR* initial_folder) {
  static BSTR(__stdcall * routine)(std::uint32_t, BSTR*, BSTR*, BSTR*, BSTR*) = nullptr;
  return routine_of(routine, "SHOWSAVEA") != nullptr
             ? routine(owner, filter, file_name, title, initial_folder)
             : nullptr;
}

BSTR __stdcall SHOWSAVEB(std::uint32_t owner, BSTR* filter, BSTR* title, BSTR* initial_folder) {
  static BSTR(__stdcall * routine)(std::uint32_t, BSTR*, BSTR*, BSTR*) = nullptr;
  return routine_of(routine, "SHOWSAVEB") != nullptr ? routine(owner, filter, title, initial_folder)
                                                     : nullptr;
}

}  // extern "C"
