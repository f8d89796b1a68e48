#include "support/SimilarFolders.h"

namespace kestrane::test {

std::string writeSimilarFolders(const TempDir& dir, const std::string& relative) {
    const auto write = [&](const std::string& path, const std::string& content) {
        dir.writeFile(relative + "/" + path, content);
    };
    write("Old/a.jpg", noise(5000, 1));
    write("New/a.jpg", noise(5000, 1));
    write("Old/b.jpg", noise(6000, 2));
    write("New/b.jpg", noise(6000, 2));
    write("Old/beach.jpg", noise(7000, 3));
    write("New/IMG_0042.jpg", noise(7000, 3));
    write("Old/c.jpg", noise(8000, 4));
    write("Old/report.pdf", "the report of this year");
    write("New/report.pdf", "the report of last year");
    write("New/report 1.pdf", "an older report");
    write("Old/photos.2019/x.jpg", noise(9000, 5));
    write("Old/photos.2019/deeper/z.jpg", noise(9500, 7));
    write("New/photos.2019/y.jpg", noise(9100, 6));
    return dir / relative;
}

}  // namespace kestrane::test
