#include "platform/Text.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace kestrane::platform {

std::string base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned value = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) text += kAlphabet[(value >> shift) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        text += kAlphabet[(value >> 18) & 63];
        text += kAlphabet[(value >> 12) & 63];
        text += rest == 2 ? kAlphabet[(value >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::optional<std::string> base64Decode(std::string_view text) {
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    auto valueOf = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    if (text.size() % 4 == 1) return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() * 3 / 4);
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int value = valueOf(c);
        if (value < 0) return std::nullopt;
        buffer = buffer << 6 | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return bytes;
}

namespace {

// The length of the valid UTF-8 sequence at text[i], or 0 when none starts there.
std::size_t validSequenceAt(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length;
    std::uint32_t point;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        point = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        point = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        point = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        point = point << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and points beyond U+10FFFF are not UTF-8.
    if ((length == 3 && point < 0x800) || (length == 4 && (point < 0x10000 || point > 0x10FFFF)) ||
        (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::string utf8Replacing(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = validSequenceAt(text, i);
        if (length == 0) {
            result += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
        } else {
            result.append(text, i, length);
            i += length;
        }
    }
    return result;
}

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = validSequenceAt(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string_view pathExtension(std::string_view nameOrPath) {
    while (!nameOrPath.empty() && nameOrPath.back() == '/') nameOrPath.remove_suffix(1);
    const std::size_t slash = nameOrPath.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? nameOrPath : nameOrPath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string_view nameWithoutExtension(std::string_view name) {
    const std::string_view extension = pathExtension(name);
    if (extension.empty()) return name;
    return name.substr(0, name.size() - extension.size() - 1);
}

std::string asciiLowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string formatSize(std::uint64_t bytes) {
    static constexpr std::array<const char*, 6> kUnits = {"KB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    double value = static_cast<double>(bytes) / 1000.0;
    std::size_t unit = 0;
    while (value >= 999.95 && unit + 1 < kUnits.size()) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return text;
}

}  // namespace kestrane::platform
