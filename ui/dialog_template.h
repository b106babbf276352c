// The main window's layout, in dialog units, and the in-memory template it is created from.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace sw::ui {

inline constexpr int kSelectButton = 1001;
inline constexpr int kExitButton = 1002;
inline constexpr int kFileCaption = 1003;
inline constexpr int kCrcCaption = 1004;
inline constexpr int kFileLabel = 1005;
inline constexpr int kCrcLabel = 1006;

inline constexpr COLORREF kBlue = 0x00FF0000;
inline constexpr COLORREF kRed = 0x000000FF;

struct DialogLayout {
  const char* caption;
  short x, y, cx, cy;
  DWORD style;  // created hidden: shown when the modal run starts
  DWORD ex_style;
  const char* font;
  WORD point_size;
  WORD weight;
  BYTE italic;
  BYTE charset;
};

inline constexpr DialogLayout kMainDialog = {
    "Sumwright",
    215,
    106,
    165,
    102,
    (WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
     DS_NOFAILCREATE | DS_3DLOOK),
    WS_EX_CONTROLPARENT,
    "MS Sans Serif",
    8,
    FW_NORMAL,
    FALSE,
    ANSI_CHARSET,
};

struct ControlLayout {
  int id;
  const char* window_class;
  const char* caption;
  short x, y, cx, cy;
  DWORD style;
  std::optional<COLORREF> text_colour;  // labels only; empty for the system's default
};

inline constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
inline constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;

// In creation order, which is also the tab order.
inline const std::array<ControlLayout, 6> kMainControls = {{
    {kSelectButton, "BUTTON", "Select Directory", 10, 10, 145, 20, kButtonStyle, std::nullopt},
    {kExitButton, "BUTTON", "Exit", 10, 40, 145, 20, kButtonStyle, std::nullopt},
    {kFileCaption, "STATIC", "File", 10, 70, 35, 10, kLabelStyle, kBlue},
    {kCrcCaption, "STATIC", "CRC", 10, 85, 35, 10, kLabelStyle, kRed},
    {kFileLabel, "STATIC", "Label3", 45, 70, 110, 10, kLabelStyle, kBlue},
    {kCrcLabel, "STATIC", "Label4", 45, 85, 60, 10, kLabelStyle, kRed},
}};

// An extended dialog template (DLGTEMPLATEEX) without items, in 16-bit words; the vector's
// storage is suitably aligned for CreateDialogIndirectParamA.
std::vector<WORD> build_dialog_template(const DialogLayout& layout);

}  // namespace sw::ui
