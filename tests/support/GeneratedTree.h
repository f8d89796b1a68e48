#pragma once

#include "support/TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrane::test {

// Writes a deterministic tree of real files below `relative` in the folder,
// shaped like a person's disk in small: nested folders up to five deep, files
// of several categories of which about half have copies somewhere (groups of
// two to six), files without copies, a few whole sub-trees copied elsewhere
// (duplicate folders, some of them nested), folders sharing several files
// (similar folders), empty files and a package (".app") holding copies.
// The same seed and count always give the same tree. Returns its path.
std::string writeGeneratedTree(const TempDir& dir, const std::string& relative, std::uint32_t seed,
                               std::size_t files);

}  // namespace kestrane::test
