// A removal run that takes long to record, for the test that kills the
// recorder: `kestrane_test_recorder FOLDER GROUPS BATCH`. It begins a run of
// GROUPS groups of two files (/run/kept-N and /run/removed-N), then reports
// the removed files in order, BATCH at a time; after each batch it flushes
// the log and then prints "reported COUNT" (the files reported so far).
#include "log/VaqLog.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FOLDER GROUPS BATCH\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::uint64_t groups = std::strtoull(argv[2], nullptr, 10);
    const std::uint64_t batch = std::strtoull(argv[3], nullptr, 10);
    std::vector<kestrane::VaqLogGroup> described;
    for (std::uint64_t id = 0; id < groups; ++id) {
        kestrane::VaqLogGroup group(id);
        group.addItem({"/run/kept-" + std::to_string(id), 1000 + id, {1700000000, 0}, false});
        group.addItem({"/run/removed-" + std::to_string(id), 1000 + id, {1700000000, 0}, false});
        described.push_back(std::move(group));
    }
    kestrane::VaqLog log(folder);
    log.beginLogOfGroups(std::move(described));
    for (std::uint64_t id = 0; id < groups; ++id) {
        log.onItemRemoved(id, "/run/removed-" + std::to_string(id));
        if ((id + 1) % batch == 0 || id + 1 == groups) {
            if (const auto error = log.flush()) {
                std::fprintf(stderr, "%s\n", error->describe().c_str());
                return 1;
            }
            std::printf("reported %llu\n", static_cast<unsigned long long>(id + 1));
            std::fflush(stdout);
        }
    }
    return log.endLog() ? 1 : 0;
}
