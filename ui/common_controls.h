// Registers the common control classes, when the system has the library for them.
#pragma once

namespace sw::ui {

// Loads "COMCTL32.DLL" by name, so the program runs (with plain controls) where it is missing.
void init_common_controls();

}  // namespace sw::ui
