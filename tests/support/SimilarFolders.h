#pragma once

#include "support/TestSupport.h"

#include <string>

namespace kestrane::test {

// Writes two similar folders, Old and New, inside `relative` of dir: they
// share a.jpg and b.jpg under the same names and one picture under two names
// (Old/beach.jpg, New/IMG_0042.jpg); Old alone has c.jpg, a report.pdf whose
// name New uses for another file (New also has "report 1.pdf"), and a folder
// photos.2019 whose name New uses for another folder. Returns the path of
// the folder that holds them.
std::string writeSimilarFolders(const TempDir& dir, const std::string& relative);

}  // namespace kestrane::test
