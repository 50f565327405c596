#pragma once

#include "App/State/AppState.h"

#include <functional>

// Puts a library edited by `change` in place through the state's one replacing operation, so
// a test can arrange any library (or a broken one) in a line.
inline bool editLibrary(AppState& state, const std::function<void(UserData&)>& change)
{
    UserData library = state.userData();
    change(library);
    return state.replaceLibrary(library);
}
