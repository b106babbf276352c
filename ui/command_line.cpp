#include "ui/command_line.h"

#include <windows.h>

#include "core/os/fs_win32.h"

namespace sw::ui {
namespace {

bool is_blank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

std::wstring without_long_prefix(std::wstring path) {
  if (path.starts_with(kLongUncPrefix)) return L"\\\\" + path.substr(kLongUncPrefix.size());
  // Only a drive path: \\?\Volume{...}\ has no other form.
  if (path.starts_with(kLongPrefix) && path.size() >= kLongPrefix.size() + 2 &&
      path[kLongPrefix.size() + 1] == L':')
    return path.substr(kLongPrefix.size());
  return path;
}

}  // namespace

std::optional<std::wstring> command_argument(std::wstring_view command_line) {
  // The program's name ends at the first blank outside quotes; it may not hold an escaped
  // quote, so every quote opens or closes a quoted part.
  std::size_t at = 0;
  bool quoted = false;
  for (; at < command_line.size(); ++at) {
    if (command_line[at] == L'"')
      quoted = !quoted;
    else if (!quoted && is_blank(command_line[at]))
      break;
  }
  std::wstring_view rest = command_line.substr(at);
  while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && is_blank(rest.back())) rest.remove_suffix(1);
  if (rest.empty()) return std::nullopt;
  return std::wstring(rest);
}

std::string argument_folder(std::wstring_view argument) {
  std::wstring path;
  for (const wchar_t c : argument)
    if (c != L'"') path.push_back(c);
  // Blanks alone would name the current folder.
  if (path.find_first_not_of(L" \t") == std::wstring::npos) return {};
  const DWORD need = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (need == 0) return {};
  std::wstring full(need, L'\0');
  const DWORD n = ::GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
  if (n == 0 || n >= need) return {};
  full.resize(n);
  return fs::native_of(without_long_prefix(std::move(full)));
}

std::wstring argument_failure_text(std::wstring_view argument, const fs::SysError& error) {
  std::wstring text = L"Sumwright was started with ";
  text += argument;
  text += L", which names no folder it can open";
  // The system's messages come in the ANSI code page.
  if (!error.message.empty()) text += L": " + fs::wide_of_code_page(error.message, CP_ACP);
  text += L".\r\nNothing was read or written.";
  return text;
}

}  // namespace sw::ui
