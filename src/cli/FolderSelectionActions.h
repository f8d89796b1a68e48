#pragma once

#include "cli/SelectionOptions.h"

#include <memory>
#include <string>

namespace kestrane::cli {

// The selection options that work on a folder of the scan (DIR must be a
// scanned folder or lie inside one; anything else is a usage error found
// before the scan).

// --select-in DIR: the copies DIR holds whose group has copies outside it.
std::unique_ptr<SelectionAction> makeSelectInAction(const SelectionOption& option, std::string value);

}  // namespace kestrane::cli
