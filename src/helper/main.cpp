// trelmor: the privileged helper of Kestrane. It removes, with the rights it
// was started with, the paths that the process that started it asks it to
// remove, and nothing else (helper/TrelmorServer.h, docs/trelmor.md).
#include "helper/TrelmorServer.h"

#include <csignal>

int main(int argc, char** argv) {
    // A requester that goes away mid-reply must not end the helper by SIGPIPE
    // before it removes its socket.
    std::signal(SIGPIPE, SIG_IGN);
    return kestrane::helper::runTrelmor(argc, argv);
}
