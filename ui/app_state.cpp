#include "app_state.h"

namespace sw::ui {

AppState& app() {
  static AppState state;
  return state;
}

}  // namespace sw::ui
