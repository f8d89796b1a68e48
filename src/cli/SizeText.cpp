#include "cli/SizeText.h"

#include <array>
#include <cctype>
#include <limits>

namespace kestrane::cli {

namespace {

struct Unit {
    std::string_view name;
    std::uint64_t bytes;
};

constexpr std::uint64_t kKilo = 1000;
constexpr std::uint64_t kKibi = 1024;

constexpr std::array<Unit, 14> kUnits = {{
    {"", 1},
    {"b", 1},
    {"k", kKilo},
    {"kb", kKilo},
    {"m", kKilo * kKilo},
    {"mb", kKilo * kKilo},
    {"g", kKilo * kKilo * kKilo},
    {"gb", kKilo * kKilo * kKilo},
    {"t", kKilo * kKilo * kKilo * kKilo},
    {"tb", kKilo * kKilo * kKilo * kKilo},
    {"kib", kKibi},
    {"mib", kKibi * kKibi},
    {"gib", kKibi * kKibi * kKibi},
    {"tib", kKibi * kKibi * kKibi * kKibi},
}};

std::optional<std::uint64_t> unitBytes(std::string_view suffix) {
    for (const Unit& unit : kUnits) {
        if (unit.name.size() != suffix.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < suffix.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(suffix[i])) == unit.name[i];
        if (same) return unit.bytes;
    }
    return std::nullopt;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits beyond this many in a fraction cannot give whole bytes with any unit above.
constexpr std::size_t kMaxFractionDigits = 19;

}  // namespace

std::optional<std::uint64_t> parseSize(std::string_view text) {
    std::size_t pos = 0;
    std::uint64_t whole = 0;
    const std::size_t wholeStart = pos;
    for (; pos < text.size() && isDigit(text[pos]); ++pos) {
        if (__builtin_mul_overflow(whole, 10u, &whole) ||
            __builtin_add_overflow(whole, static_cast<std::uint64_t>(text[pos] - '0'), &whole))
            return std::nullopt;
    }
    if (pos == wholeStart) return std::nullopt;

    std::string_view fraction;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t fractionStart = ++pos;
        while (pos < text.size() && isDigit(text[pos])) ++pos;
        fraction = text.substr(fractionStart, pos - fractionStart);
        if (fraction.empty()) return std::nullopt;
        while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
        if (fraction.size() > kMaxFractionDigits) return std::nullopt;
    }

    const auto unit = unitBytes(text.substr(pos));
    if (!unit) return std::nullopt;

    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(whole, *unit, &bytes)) return std::nullopt;
    if (!fraction.empty()) {
        // fraction / 10^digits of a unit must come to whole bytes.
        unsigned __int128 numerator = 0;
        unsigned __int128 denominator = 1;
        for (char c : fraction) {
            numerator = numerator * 10 + static_cast<unsigned>(c - '0');
            denominator *= 10;
        }
        numerator *= *unit;
        if (numerator % denominator != 0) return std::nullopt;
        const unsigned __int128 extra = numerator / denominator;
        if (extra > std::numeric_limits<std::uint64_t>::max()) return std::nullopt;
        if (__builtin_add_overflow(bytes, static_cast<std::uint64_t>(extra), &bytes)) return std::nullopt;
    }
    return bytes;
}

}  // namespace kestrane::cli
