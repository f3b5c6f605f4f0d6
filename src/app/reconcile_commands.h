// "Egyeztetés a cégjegyzékkel...": the registry's list of the bank's accounts
// compared with the archive's account history (or the bank's own account
// list), the differences shown, saved as a CSV, and their proposed rows
// appended to the register table as one step.
#pragma once

#include "app/app_state.h"
#include "app/shell.h"

namespace kovirant {

void reconcileWithRegister(AppState& state, Shell& shell);

}  // namespace kovirant
