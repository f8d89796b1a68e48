#pragma once

#include <string>
#include <string_view>

namespace kestrane::cli {

// Whether the bytes are UTF-8 as RFC 3629 has it: no overlong forms, no
// surrogates, nothing beyond U+10FFFF, no sequence cut short.
bool isValidUtf8(std::string_view text);
// Standard base64 with padding (RFC 4648).
std::string base64Encode(std::string_view bytes);

}  // namespace kestrane::cli
