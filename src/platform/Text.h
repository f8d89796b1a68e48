#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane::platform {

// Text helpers shared by every layer: names and paths are bytes, not
// necessarily UTF-8, and these never assume otherwise.

// Whether the bytes are UTF-8 as RFC 3629 has it: no overlong forms, no
// surrogates, nothing beyond U+10FFFF, no sequence cut short.
bool isValidUtf8(std::string_view text);
// Standard base64 with padding (RFC 4648): the lossless form of a name that
// is not UTF-8 in documents that must be.
std::string base64Encode(std::string_view bytes);
// The bytes of standard base64 text (padding optional); none when the text
// holds anything else.
std::optional<std::string> base64Decode(std::string_view text);
// The text as valid UTF-8: every byte that is not part of a valid sequence
// becomes U+FFFD; valid text comes back unchanged. The readable form of a
// name that is not UTF-8.
std::string utf8Replacing(std::string_view text);

// The extension of a name, or of a path's last component (trailing slashes
// ignored): the bytes after its last '.', as they are (no case change). None
// when there is no dot, when the dot ends the name ("name.") and when the
// name's only dot leads it: ".bashrc" is a hidden name without an extension,
// ".config.json" has "json".
std::string_view pathExtension(std::string_view nameOrPath);
// The name without its extension and the dot before it; the name itself when
// pathExtension finds none ("a.b.c" -> "a.b", ".hidden" -> ".hidden").
std::string_view nameWithoutExtension(std::string_view name);
// ASCII letters lowered, every other byte kept.
std::string asciiLowercased(std::string_view text);

// Bytes the way the preferences count them (1 MB = 1,000,000 bytes), for
// people: "1 byte", "512 bytes", "4.1 MB", "23 GB".
std::string formatSize(std::uint64_t bytes);

}  // namespace kestrane::platform
