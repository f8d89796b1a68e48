#include "duplicates/FileCategory.h"

#include "platform/Text.h"

#include "duplicates/ExtensionCategoryCache.h"
#include "platform/MimeDatabase.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrane {

namespace {

struct MimeTypeRule {
    FileCategory category;
    std::string_view pattern;  // a MIME type, or a prefix ending in "*"
};

struct ExtensionTypeKey {
    std::string_view extension;  // ASCII lower case
    std::string_view typeKey;
};

#include "duplicates/FileCategoryTable.inc"

// By category, in list order.
constexpr PerCategory<std::string_view> kTypeKeys = [] {
    PerCategory<std::string_view> keys;
    keys[FileCategory::image] = "image";
    keys[FileCategory::video] = "video";
    keys[FileCategory::music] = "music";
    keys[FileCategory::document] = "document";
    keys[FileCategory::archive] = "archieve";
    keys[FileCategory::other] = "other";
    keys[FileCategory::folders] = "folder";
    return keys;
}();
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

std::string_view typeKeyOfFileCategory(std::optional<FileCategory> category) {
    return category ? kTypeKeys[*category] : kUnknownTypeKey;
}

std::optional<FileCategory> fileCategoryOfTypeKey(std::string_view typeKey) {
    for (const FileCategory category : kAllFileCategories)
        if (kTypeKeys[category] == typeKey) return category;
    return std::nullopt;
}

FileCategory fileCategoryOfMimeType(std::string_view mimeType, const platform::MimeDatabase& database) {
    const std::vector<std::string> types = database.superTypesOf(mimeType);
    if (types.empty()) return FileCategory::other;
    // The type itself first, then the nearer kinds before the farther ones.
    for (const std::string& type : types) {
        for (const MimeTypeRule& rule : kMimeTypeRules)
            if (ruleMatches(rule, type, database)) return rule.category;
    }
    return FileCategory::other;
}

std::optional<FileCategory> fileCategoryOfExtension(std::string_view extension,
                                                    const platform::MimeDatabase& database) {
    if (extension.empty()) return FileCategory::other;
    if (const std::optional<std::string> mimeType = database.mimeTypeForExtension(extension))
        return fileCategoryOfMimeType(*mimeType, database);

    const auto& table = extensionTypeKeys();
    const auto it = table.find(asciiLowered(extension));
    if (it == table.end()) return FileCategory::other;
    return fileCategoryOfTypeKey(it->second);
}

std::optional<FileCategory> typeOfFileAtPath(std::string_view nameOrPath) {
    const std::string_view extension = platform::pathExtension(nameOrPath);
    if (extension.empty()) return FileCategory::other;

    ExtensionCategoryCache& cache = ExtensionCategoryCache::cache();
    if (const std::optional<FileCategory> cached = cache.categoryForExtension(extension)) return cached;

    // An extension without a category is looked up again each time, as before
    // it was cached: only answers are kept.
    const std::optional<FileCategory> category = fileCategoryOfExtension(extension, platform::MimeDatabase::system());
    if (category) cache.setCategoryForExtension(*category, extension);
    return category;
}

}  // namespace kestrane
