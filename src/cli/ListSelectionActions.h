#pragma once

#include "cli/SelectionOptions.h"

#include <memory>
#include <string>

namespace kestrane::cli {

// The selection options that work on every group of the result, as the
// list commands of a results screen do from its toolbar: --auto-select,
// --select-newest, --select-oldest, --deselect-all.

std::unique_ptr<SelectionAction> makeAutoSelectAction(const SelectionOption& option, std::string value);
std::unique_ptr<SelectionAction> makeSelectNewestAction(const SelectionOption& option, std::string value);
std::unique_ptr<SelectionAction> makeSelectOldestAction(const SelectionOption& option, std::string value);
std::unique_ptr<SelectionAction> makeDeselectAllAction(const SelectionOption& option, std::string value);

}  // namespace kestrane::cli
