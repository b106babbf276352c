// A tree from the window: when the chosen folder has subfolders, the user is asked whether to
// checksum each of them too, each with its own listing; on Yes the core's tree run does it, with
// the same batched, durable saves as `sumwright -r`. The window shows progress over the whole
// tree, asks the comparison question once for the tree, and at the end says in one box each what
// could not be read and what may be damaged, and shows one summary of the tree in Notepad in place
// of one Notepad a folder. A stop ends it like a folder's run: what was committed stays written.
#pragma once

#include <string>

#include "core/os/fs.h"
#include "ui/run_front_end.h"

namespace sw::ui {

// The question, asked only of a folder that has subfolders. Its default button is No: Enter keeps
// what the program always did.
inline constexpr const char* kSubfoldersQuestion =
    "This folder has subfolders. Do you want to checksum each subfolder as well, each with its "
    "own listing?";

// The job of a chosen, open folder on the run's thread: asks about its subfolders when it has
// any, then runs the folder alone or its whole tree.
void run_chosen_folder(WindowRunFrontEnd& window, fs::Folder folder);

// The whole tree below `top`, as the user said Yes to.
void run_window_tree(WindowRunFrontEnd& window, fs::Folder top);

}  // namespace sw::ui
