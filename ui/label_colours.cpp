#include "label_colours.h"

#include <algorithm>
#include <vector>

namespace sw::ui {
namespace {

struct LabelColour {
  HWND label;
  std::optional<COLORREF> text;
};

// A handful of labels: a plain list is all the lookup needs.
std::vector<LabelColour>& table() {
  static std::vector<LabelColour> labels;
  return labels;
}

std::vector<LabelColour>::iterator find(HWND label) {
  auto& labels = table();
  return std::find_if(labels.begin(), labels.end(),
                      [label](const LabelColour& c) { return c.label == label; });
}

}  // namespace

void set_label_colour(HWND label, std::optional<COLORREF> text) {
  const auto it = find(label);
  if (it != table().end()) {
    it->text = text;
  } else {
    table().push_back({label, text});
  }
}

bool apply_label_colour(HWND label, HDC dc, HBRUSH* brush) {
  const auto it = find(label);
  if (it == table().end()) return false;
  ::SetTextColor(dc, it->text.value_or(::GetSysColor(COLOR_WINDOWTEXT)));
  ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
  *brush = ::GetSysColorBrush(COLOR_BTNFACE);
  return true;
}

void forget_label_colours(HWND parent) {
  auto& labels = table();
  labels.erase(std::remove_if(labels.begin(), labels.end(),
                              [parent](const LabelColour& c) {
                                return ::GetParent(c.label) == parent || !::IsWindow(c.label);
                              }),
               labels.end());
}

}  // namespace sw::ui
