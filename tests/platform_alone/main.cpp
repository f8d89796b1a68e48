// Links the platform layer and nothing else, as the privileged helper does:
// the build fails when the platform layer starts to need a library of a
// higher layer (ICU, OpenSSL) or the result model.
#include "platform/DirectoryReader.h"
#include "platform/SerialQueue.h"
#include "platform/Text.h"
#include "platform/Trash.h"

#include <cstdio>
#include <future>

int main() {
    using namespace kestrane::platform;
    const auto queue = SerialQueue::create("platform.alone");
    std::promise<bool> ran;
    queue->async([&] { ran.set_value(queue->runsOnCurrentQueue()); });
    const bool onQueue = ran.get_future().get();
    const bool text = isValidUtf8("caf\xc3\xa9") && !isValidUtf8("\xff") && pathExtension("a.tar.gz") == "gz" &&
                      Trash::decodePath(Trash::encodePath("/a b\xff")) == "/a b\xff";
    if (!onQueue || !text) {
        std::fprintf(stderr, "platform layer alone: unexpected result\n");
        return 1;
    }
    return 0;
}
