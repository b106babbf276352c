// The multiple-file picker up to the platform's dialog call: its fixed-size request fields,
// the answer's trailing NULs, and the selection string made from the answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exports/file_dialog.h"

namespace sw {

inline constexpr std::size_t kMultiFileBufferSize = 16383;
inline constexpr std::size_t kMultiFolderFieldSize = 256;
inline constexpr std::size_t kMultiTitleFieldSize = 256;
inline constexpr std::size_t kMultiExtensionFieldSize = 10;
inline constexpr std::size_t kMultiFileTitleSize = 256;

inline constexpr std::string_view kMultiFileTitle = "Add file(s)";
inline constexpr std::string_view kMultiFileInitialName = "*.*";
inline constexpr std::string_view kMultiFileFilter =
    "All Files  (*.*)|*.*|Data files  (*.DAT, *.INI)|*.DAT;*.INI|"
    "System files  (*.EXE, *.DLL)|*.EXE;*.DLL|Text files  (*.DIZ, *.TXT)|*.DIZ;*.TXT|";
inline constexpr std::uint32_t kMultiFileFlags = kOfnExplorer | kOfnAllowMultiSelect |
                                                 kOfnEnableSizing | kOfnFileMustExist |
                                                 kOfnNoDereferenceLinks | kOfnHideReadOnly;

// A NUL-terminated text field of `size` bytes: the text cut at its first NUL and to size - 1.
std::string fixed_field(std::string_view text, std::size_t size);

// 16383 NULs with the start overwritten by the name (at most 16383 bytes of it).
std::string multi_file_buffer(std::string_view file_name);

// The buffer without its trailing NULs.
std::string without_trailing_nuls(std::string_view buffer);

// Turns the dialog's answer (one full path, or the folder followed by NUL-separated names) into
// the selection string "folder\?name?name..." and returns the number of files it names.
std::int32_t selection_from_answer(std::string_view answer, std::string& selection);

// The open dialog with multiple selection; nonzero when the user confirmed. file_name receives
// the answer without its trailing NULs.
std::int32_t RUNMULTIOPENDIALOG(const FileDialogPlatform& platform, std::uint32_t owner,
                                std::string_view title, std::string& file_name,
                                std::string_view initial_folder, std::string_view filter,
                                std::string_view default_extension, std::uint32_t& flags);

// Lets the user pick files; returns how many, or 0 on cancel, when `selection` is left as it
// was. A confirmed pick also empties the owner's list box 20.
std::int32_t GETMULTIPLEFILES(const FileDialogPlatform& platform, std::uint32_t owner,
                              std::string_view initial_folder, std::string& selection);

}  // namespace sw
