#include "ui/dialog_template.h"

namespace sw::ui {
namespace {

void put_dword(std::vector<WORD>& out, DWORD value) {
  out.push_back(LOWORD(value));
  out.push_back(HIWORD(value));
}

void put_short(std::vector<WORD>& out, short value) {
  out.push_back(static_cast<WORD>(value));
}

// Template strings are UTF-16; the texts here are plain ASCII, so each byte widens as it is.
void put_text(std::vector<WORD>& out, const char* text) {
  for (const char* p = text; *p != '\0'; ++p) out.push_back(static_cast<unsigned char>(*p));
  out.push_back(0);
}

}  // namespace

std::vector<WORD> build_dialog_template(const DialogLayout& layout) {
  std::vector<WORD> out;
  out.push_back(1);       // dlgVer
  out.push_back(0xFFFF);  // signature: extended template
  put_dword(out, 0);      // helpID
  put_dword(out, layout.ex_style);
  put_dword(out, layout.style);
  out.push_back(0);  // cDlgItems: the controls are created one by one afterwards
  put_short(out, layout.x);
  put_short(out, layout.y);
  put_short(out, layout.cx);
  put_short(out, layout.cy);
  out.push_back(0);  // no menu
  out.push_back(0);  // the system's dialog class
  put_text(out, layout.caption);
  if ((layout.style & DS_SETFONT) != 0) {
    out.push_back(layout.point_size);
    out.push_back(layout.weight);
    out.push_back(static_cast<WORD>(layout.italic | (layout.charset << 8)));
    put_text(out, layout.font);
  }
  return out;
}

}  // namespace sw::ui
