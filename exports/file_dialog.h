// The open and save dialog routines up to the platform's dialog call: the filter list, the
// in/out file buffer, the cutting of the answer, and the defaults the routines fill in. The
// dialog itself is reached through FileDialogPlatform, so all of this runs on any platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sw {

// Values of the platform's OFN_ flags.
inline constexpr std::uint32_t kOfnOverwritePrompt = 0x2;
inline constexpr std::uint32_t kOfnHideReadOnly = 0x4;
inline constexpr std::uint32_t kOfnAllowMultiSelect = 0x200;
inline constexpr std::uint32_t kOfnFileMustExist = 0x1000;
inline constexpr std::uint32_t kOfnExplorer = 0x80000;
inline constexpr std::uint32_t kOfnNoDereferenceLinks = 0x100000;
inline constexpr std::uint32_t kOfnEnableSizing = 0x800000;

inline constexpr std::uint32_t kShowDialogFlags =
    kOfnFileMustExist | kOfnExplorer | kOfnHideReadOnly | kOfnOverwritePrompt | kOfnEnableSizing;
// SHOWSAVEB lets an existing file be chosen without asking.
inline constexpr std::uint32_t kShowSaveBFlags = kShowDialogFlags & ~kOfnOverwritePrompt;

inline constexpr std::string_view kAllFilesFilter = "All Files (*.*)|*.*";
inline constexpr std::string_view kOpenDefaultExtension = "TXT";

inline constexpr std::size_t kOpenFileBufferSize = 8192;
inline constexpr std::size_t kSaveNameLimit = 260;
inline constexpr std::size_t kFileTitleSize = 260;
// MAX_PATH: the longest path the dialogs name, its NUL included.
inline constexpr std::size_t kDialogPathLimit = 260;
// The longest initial folder a dialog is given. The dialog joins the folder, a backslash and a
// name of at least one byte into a path of kDialogPathLimit bytes; a folder with no room for
// that holds no file the dialog could name, and one of 258 bytes crashed the system's dialog.
inline constexpr std::size_t kInitialFolderLimit = kDialogPathLimit - 3;

enum class FileDialogKind : std::uint8_t { kOpen, kSave };

// What the routines put into the platform's request record; every other field is zero.
struct FileDialogRequest {
  std::uint32_t owner = 0;
  std::string filter_list;  // NUL-separated descriptions and patterns, ending in two NULs
  std::string file_buffer;  // initial name in, answer out; its length is the capacity
  std::size_t file_title_size = kFileTitleSize;
  std::string initial_folder;     // empty: none, the dialog chooses
  std::string title;              // empty: no title, the platform picks its own
  std::string default_extension;  // empty: none, unless always_pass_extension
  bool always_pass_extension = false;
  std::uint32_t flags = 0;  // in and out
};

struct FileDialogPlatform {
  // Shows the dialog; on OK fills request.file_buffer and returns nonzero. It may also
  // update request.flags.
  std::int32_t (*show)(FileDialogKind kind, FileDialogRequest& request);
  // The process's current directory.
  std::string (*current_directory)();
  // Empties the list box with identifier 20 in the owner window, if it has one.
  void (*clear_owner_list)(std::uint32_t owner);
};

// The folder a dialog starts in: `folder` when it is not empty and at most `limit` bytes long,
// otherwise the current directory; a folder is never cut, which would make it another one.
// Empty when the current directory is too long as well: the dialog then starts where it will.
std::string dialog_start_folder(const FileDialogPlatform& platform, std::string_view folder,
                                std::size_t limit = kInitialFolderLimit);

// Every "|" becomes a NUL, then two NULs close the list.
std::string filter_list(std::string_view filter_text);

// The open dialog's buffer: the name up to and including its first NUL (or the name and a NUL
// when it has none), then blanks up to 8192 bytes.
std::string open_file_buffer(std::string_view file_name);

// The save dialog's buffer: the name cut to 260 bytes, then as the open buffer but filled to
// 260 bytes when the name holds a NUL and to 261 when it does not.
std::string save_file_buffer(std::string_view file_name);

// The bytes before the last NUL of the buffer; empty when it holds none.
std::string before_last_nul(std::string_view buffer);
// The bytes before the first NUL of the buffer; empty when it holds none.
std::string before_first_nul(std::string_view buffer);

// The dialog runners: nonzero when the user confirmed a file, which is then in file_name.
// file_name is rewritten from the buffer on cancel as well; flags receive what the platform
// returned.
std::int32_t RUNOPENDIALOG(const FileDialogPlatform& platform, std::uint32_t owner,
                           std::string_view title, std::string& file_name,
                           std::string_view initial_folder, std::string_view filter,
                           std::string_view default_extension, std::uint32_t& flags);
std::int32_t RUNSAVEDIALOG(const FileDialogPlatform& platform, std::uint32_t owner,
                           std::string_view title, std::string& file_name,
                           std::string_view initial_folder, std::string_view filter,
                           std::string_view default_extension, std::uint32_t& flags);

// The routines other programs call. A blank initial folder is replaced by the current
// directory and an empty filter gets "All Files (*.*)|*.*" appended, both in the caller's
// variables. The result is the chosen path, or empty on cancel.
std::string SHOWOPEN(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                     std::string_view title, std::string& initial_folder);
std::string SHOWSAVE(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                     std::string_view title, std::string& initial_folder);
// As SHOWSAVE with an initial name; file_name is always rewritten (cut to 260 bytes and at its
// first NUL on cancel).
std::string SHOWSAVEA(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                      std::string& file_name, std::string_view title, std::string& initial_folder);
std::string SHOWSAVEB(const FileDialogPlatform& platform, std::uint32_t owner, std::string& filter,
                      std::string_view title, std::string& initial_folder);

}  // namespace sw
