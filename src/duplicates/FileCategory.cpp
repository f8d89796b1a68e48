#include "duplicates/FileCategory.h"

#include "platform/Text.h"

#include "duplicates/UMUTITypeCache.h"
#include "platform/MimeDatabase.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrane {

namespace {

struct MimeTypeRule {
    std::int32_t category;
    std::string_view pattern;  // a MIME type, or a prefix ending in "*"
};

struct ExtensionTypeKey {
    std::string_view extension;  // ASCII lower case
    std::string_view typeKey;
};

#include "duplicates/FileCategoryTable.inc"

constexpr std::array<std::string_view, kFileCategoryCount> kTypeKeys = {
    "image", "video", "music", "document", "archieve", "other", "folder",
};
constexpr std::string_view kUnknownTypeKey = "unknown";

std::string asciiLowered(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

const std::unordered_map<std::string_view, std::string_view>& extensionTypeKeys() {
    static const std::unordered_map<std::string_view, std::string_view> table = [] {
        std::unordered_map<std::string_view, std::string_view> map;
        for (const ExtensionTypeKey& entry : kExtensionTypeKeys) map.emplace(entry.extension, entry.typeKey);
        return map;
    }();
    return table;
}

bool ruleMatches(const MimeTypeRule& rule, const std::string& type, const platform::MimeDatabase& database) {
    if (rule.pattern.ends_with('*')) return type.starts_with(rule.pattern.substr(0, rule.pattern.size() - 1));
    return type == rule.pattern || type == database.canonicalType(rule.pattern);
}

}  // namespace

std::string_view typeKeyOfFileCategory(std::int32_t category) {
    if (category < 0 || category >= kFileCategoryCount) return kUnknownTypeKey;
    return kTypeKeys[static_cast<std::size_t>(category)];
}

std::int32_t fileCategoryOfTypeKey(std::string_view typeKey) {
    for (std::size_t i = 0; i < kTypeKeys.size(); ++i)
        if (kTypeKeys[i] == typeKey) return static_cast<std::int32_t>(i);
    return kFileCategoryHidden;
}

std::int32_t fileCategoryOfMimeType(std::string_view mimeType, const platform::MimeDatabase& database) {
    const std::vector<std::string> types = database.superTypesOf(mimeType);
    if (types.empty()) return kFileCategoryOther;
    // The type itself first, then the nearer kinds before the farther ones.
    for (const std::string& type : types) {
        for (const MimeTypeRule& rule : kMimeTypeRules)
            if (ruleMatches(rule, type, database)) return rule.category;
    }
    return kFileCategoryOther;
}

std::int32_t fileCategoryOfExtension(std::string_view extension, const platform::MimeDatabase& database) {
    if (extension.empty()) return kFileCategoryOther;
    if (const std::optional<std::string> mimeType = database.mimeTypeForExtension(extension))
        return fileCategoryOfMimeType(*mimeType, database);

    const auto& table = extensionTypeKeys();
    const auto it = table.find(asciiLowered(extension));
    if (it == table.end()) return kFileCategoryOther;
    return fileCategoryOfTypeKey(it->second);
}

std::int32_t typeOfFileAtPath(std::string_view nameOrPath) {
    const std::string_view extension = platform::pathExtension(nameOrPath);
    if (extension.empty()) return kFileCategoryOther;

    UMUTITypeCache& cache = UMUTITypeCache::cache();
    if (const std::optional<std::int32_t> cached = cache.fileTypeIdentifierWithExtension(extension);
        cached && *cached != kFileCategoryHidden)
        return *cached;

    const std::int32_t category = fileCategoryOfExtension(extension, platform::MimeDatabase::system());
    cache.setUTITypeForExtension(category, extension);
    return category;
}

}  // namespace kestrane
