#include "app/app_state.h"

namespace app {

AppState& App() {
    static AppState* state = new AppState;
    return *state;
}

}  // namespace app
