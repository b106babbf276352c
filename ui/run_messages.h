// The messages between a run's thread and the main window's thread. The run's thread never
// touches a window itself: it posts what the window should show and sends what must happen on
// the window's thread (a box, Notepad, the remembered folder) and waits for it.
#pragma once

#include <windows.h>

namespace sw::ui {

// Posted: the run's progress changed; the window shows what RunProgress holds now. Sent once
// the listing is done, so "Done" stands before any question is asked.
inline constexpr UINT kRunProgressMessage = WM_APP + 1;
// Sent: lParam is a WindowCall*, run on the window's thread.
inline constexpr UINT kRunCallMessage = WM_APP + 2;
// Posted as the run thread's last act: the run is over, however it ended.
inline constexpr UINT kRunEndedMessage = WM_APP + 3;
// Posted to itself when the window opens with a folder from the command line.
inline constexpr UINT kRunArgumentMessage = WM_APP + 4;

}  // namespace sw::ui
