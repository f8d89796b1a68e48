#include "support/FlagsReset.h"

#include "platform/FileFlags.h"

namespace kestrane::test {

FlagsReset::~FlagsReset() {
    platform::setFileFlags(m_path, {});
}

}  // namespace kestrane::test
