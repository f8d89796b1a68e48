#include "scan/AutoSelectName.h"

#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "scan/FileSystemItem.h"
#include "scan/CopyNameMarkers.h"

namespace kestrane {

namespace {

namespace markers = copy_name_markers;

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

using platform::asciiLowercased;

// The name in the form markers are compared in: lowercase (unless the caller
// did that already) and canonically decomposed. Names that are not UTF-8 only
// get their ASCII letters lowercased; so do names that ICU cannot process.
std::string foldName(std::string_view name, bool lowercase) {
    if (isAscii(name)) return lowercase ? asciiLowercased(name) : std::string(name);
    if (!platform::isValidUtf8(name)) return lowercase ? asciiLowercased(name) : std::string(name);

    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status) || nfd == nullptr) return lowercase ? asciiLowercased(name) : std::string(name);

    icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<std::int32_t>(name.size())));
    // The root locale: the result must not depend on the user's language
    // (a Turkish locale would map "I" to a dotless i).
    if (lowercase) text.toLower(icu::Locale::getRoot());
    const icu::UnicodeString decomposed = nfd->normalize(text, status);
    if (U_FAILURE(status) || decomposed.isBogus()) return lowercase ? asciiLowercased(name) : std::string(name);

    std::string result;
    decomposed.toUTF8String(result);
    return result;
}

// A run of ASCII digits as a number; none when empty or too large.
std::optional<std::int64_t> parseDigits(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of "open DIGITS close" at the end of text, or 0; the digits, when they
// form a number, are stored in number.
std::size_t numberedMarkerAtEnd(std::string_view text, const markers::NumberedMarker& marker,
                                std::optional<std::int64_t>& number) {
    if (!text.ends_with(marker.close)) return 0;
    std::string_view body = text.substr(0, text.size() - marker.close.size());
    std::size_t digitsStart = body.size();
    while (digitsStart > 0 && isDigit(body[digitsStart - 1])) --digitsStart;
    if (!body.substr(0, digitsStart).ends_with(marker.open)) return 0;
    number = parseDigits(body.substr(digitsStart));
    return marker.open.size() + (body.size() - digitsStart) + marker.close.size();
}

// Length of "open DIGITS close" at the start of text, or 0.
std::size_t numberedMarkerAtStart(std::string_view text, const markers::NumberedMarker& marker,
                                  std::optional<std::int64_t>& number) {
    if (!text.starts_with(marker.open)) return 0;
    std::string_view rest = text.substr(marker.open.size());
    std::size_t digitsEnd = 0;
    while (digitsEnd < rest.size() && isDigit(rest[digitsEnd])) ++digitsEnd;
    if (!rest.substr(digitsEnd).starts_with(marker.close)) return 0;
    number = parseDigits(rest.substr(0, digitsEnd));
    return marker.open.size() + digitsEnd + marker.close.size();
}

// Length of the copy marker that ends text, or 0.
std::size_t copyMarkerAtEnd(std::string_view text, std::optional<std::int64_t>& number) {
    for (std::string_view marker : markers::kSuffixes) {
        if (text.ends_with(marker)) return marker.size();
    }
    if (!text.ends_with(markers::kNumberedSuffixClose)) return 0;
    for (const markers::NumberedMarker& marker : markers::kNumberedSuffixes) {
        if (const std::size_t length = numberedMarkerAtEnd(text, marker, number)) return length;
    }
    return 0;
}

// Length of the copy marker that starts text, or 0.
std::size_t copyMarkerAtStart(std::string_view text, std::optional<std::int64_t>& number) {
    if (text == markers::kWholePrefix) return text.size();
    for (std::string_view marker : markers::kPrefixes) {
        if (text.starts_with(marker)) return marker.size();
    }
    return numberedMarkerAtStart(text, markers::kNumberedPrefix, number);
}

// Length of " NUMBER" at the end of text (the word after the last space), or 0.
std::size_t numberWordAtEnd(std::string_view text, std::optional<std::int64_t>& number) {
    const std::size_t space = text.rfind(' ');
    if (space == std::string_view::npos) return 0;
    number = AutoSelectName::parseStringWithNumber(text.substr(space + 1));
    return number ? text.size() - space : 0;
}

// Length of "NUMBER " at the start of text (the word before the first space), or 0.
std::size_t numberWordAtStart(std::string_view text, std::optional<std::int64_t>& number) {
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos) return 0;
    number = AutoSelectName::parseStringWithNumber(text.substr(0, space));
    return number ? space + 1 : 0;
}

}  // namespace

AutoSelectName::AutoSelectName(std::string_view name, bool keepExtension) {
    analyse(lowercasedName(keepExtension ? name : platform::nameWithoutExtension(name)));
}

AutoSelectName AutoSelectName::buildAutoSelectNameForFileItem(const FileSystemItem& item) {
    return AutoSelectName(item.name(), item.isDir() && !item.isPackage());
}

AutoSelectName AutoSelectName::buildAutoSelectNameForName(std::string_view name) {
    return AutoSelectName(name, true);
}

void AutoSelectName::analyse(std::string_view lowercaseName) {
    m_sCoreName = originalNameWithCopyNumbers(lowercaseName, m_nCopyPower,
                                                                                &m_arrCopyNumbers);
    std::sort(m_arrCopyNumbers.begin(), m_arrCopyNumbers.end());
    m_arrCopyNumbers.shrink_to_fit();
}

std::string AutoSelectName::originalName(std::string_view name,
                                                                                 bool alreadyLowercased) {
    std::int64_t power = 0;
    return originalNameWithCopyNumbers(foldName(name, !alreadyLowercased),
                                                                         power, nullptr);
}

std::string AutoSelectName::originalNameWithCopyNumbers(
    std::string_view lowercaseName, std::int64_t& copyPower, std::vector<std::int64_t>* numbers) {
    std::string_view text = lowercaseName;
    copyPower = 0;
    const auto keepNumber = [&](std::int64_t number) {
        ++copyPower;
        if (numbers != nullptr) numbers->push_back(number);
    };

    // Markers and number words at the end, then at the start, each as long as
    // one is found and something is left.
    while (!text.empty()) {
        std::optional<std::int64_t> number;
        if (const std::size_t length = copyMarkerAtEnd(text, number)) {
            ++copyPower;
            if (number) keepNumber(*number);
            text.remove_suffix(length);
        } else if (const std::size_t wordLength = numberWordAtEnd(text, number)) {
            keepNumber(*number);
            text.remove_suffix(wordLength);
        } else {
            break;
        }
    }
    while (!text.empty()) {
        std::optional<std::int64_t> number;
        if (const std::size_t length = copyMarkerAtStart(text, number)) {
            ++copyPower;
            if (number) keepNumber(*number);
            text.remove_prefix(length);
        } else if (const std::size_t wordLength = numberWordAtStart(text, number)) {
            keepNumber(*number);
            text.remove_prefix(wordLength);
        } else {
            break;
        }
    }

    // A remainder that is only a copy word or a number is a mark too.
    if (text.empty()) return {};
    std::optional<std::int64_t> number;
    if (isNameIsCopyAndSaveNumberTo(text, number)) {
        ++copyPower;
        if (number) keepNumber(*number);
        return {};
    }
    if (const auto value = parseStringWithNumber(text)) {
        keepNumber(*value);
        return {};
    }
    return std::string(text);
}

bool AutoSelectName::isOriginalName(std::string_view baseName) {
    std::int64_t power = 0;
    originalNameWithCopyNumbers(lowercasedName(baseName), power, nullptr);
    // Every mark removes text, so the core equals the name exactly when there is none.
    return power == 0;
}

std::string AutoSelectName::lowercasedName(std::string_view name) { return foldName(name, true); }

bool AutoSelectName::isNameIsCopyAndSaveNumberTo(std::string_view lowercaseName,
                                                 std::optional<std::int64_t>& number) {
    for (std::string_view word : markers::kWholeNames) {
        if (lowercaseName == word) return true;
    }
    const markers::NumberedMarker& numbered = markers::kNumberedWholeName;
    if (lowercaseName.size() < numbered.open.size() + numbered.close.size()) return false;
    if (!lowercaseName.starts_with(numbered.open) || !lowercaseName.ends_with(numbered.close)) return false;
    const std::string_view digits = lowercaseName.substr(
        numbered.open.size(), lowercaseName.size() - numbered.open.size() - numbered.close.size());
    if (!std::all_of(digits.begin(), digits.end(), isDigit)) return false;
    number = parseDigits(digits);
    return true;
}

std::optional<std::int64_t> AutoSelectName::parseStringWithNumber(std::string_view word) {
    while (word.size() >= 3 && word.front() == '(' && word.back() == ')') {
        word = word.substr(1, word.size() - 2);
    }
    // Only the canonical decimal form: no "+", no leading zeros, no "-0",
    // nothing before or after; values must fit in 64 bits.
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    if (std::to_string(number) != word) return std::nullopt;
    return number;
}

int AutoSelectName::compareWithSelectName(const AutoSelectName& other) const {
    if (const int byPower = compareNumberWithNumber(m_nCopyPower, other.m_nCopyPower)) return byPower;
    const std::size_t common = std::min(m_arrCopyNumbers.size(), other.m_arrCopyNumbers.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (const int byNumber = compareNumberWithNumber(m_arrCopyNumbers[i], other.m_arrCopyNumbers[i])) {
            return byNumber;
        }
    }
    return compareNumberWithNumber(static_cast<std::int64_t>(m_arrCopyNumbers.size()),
                                   static_cast<std::int64_t>(other.m_arrCopyNumbers.size()));
}

int AutoSelectName::compareNumberWithNumber(std::int64_t a, std::int64_t b) {
    if (a < b) return -1;
    if (a > b) return 1;
    return 0;
}

}  // namespace kestrane
