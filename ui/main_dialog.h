// The main window: built from the in-memory template, run modally on the calling thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace sw::ui {

// Builds the dialog and its six controls, stores its handle in app().main_dialog and runs it
// until it ends; returns the end result. The window is destroyed (and with it the font the
// dialog manager made for it) before this returns; the caller owns nothing.
INT_PTR SHOWMAINDIALOG(HWND parent);

// Ends a dialog run by SHOWMAINDIALOG: sends it WM_CLOSE, re-enables its owner, records
// `result` as the value of the modal run and destroys the window.
void end_main_dialog(HWND dialog, INT_PTR result);

}  // namespace sw::ui
