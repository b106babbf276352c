// Text colours of single labels, answered from the parent's WM_CTLCOLORSTATIC.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <optional>

namespace sw::ui {

// An empty colour means the system's window text colour. The background is always the
// dialog's face colour.
void set_label_colour(HWND label, std::optional<COLORREF> text);

// Sets up `dc` for `label` and gives the brush to return; false for a label without a colour
// of its own (the dialog's default handling then applies).
bool apply_label_colour(HWND label, HDC dc, HBRUSH* brush);

// Forgets every label of `parent` (the dialog is being destroyed).
void forget_label_colours(HWND parent);

}  // namespace sw::ui
