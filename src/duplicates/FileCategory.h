#pragma once

#include <cstdint>
#include <string_view>

namespace kestrane {

namespace platform {
class MimeDatabase;
}

// File categories: the numbers that name the categories of the duplicates
// container and index the per-category counters of a scan.
inline constexpr std::int32_t kFileCategoryHidden = -1;  // not a file category
inline constexpr std::int32_t kFileCategoryImage = 0;
inline constexpr std::int32_t kFileCategoryVideo = 1;
inline constexpr std::int32_t kFileCategoryMusic = 2;
inline constexpr std::int32_t kFileCategoryDocument = 3;
inline constexpr std::int32_t kFileCategoryArchive = 4;
inline constexpr std::int32_t kFileCategoryOther = 5;
inline constexpr std::int32_t kFileCategoryFolders = 6;
// Number of categories from kFileCategoryImage to kFileCategoryFolders.
inline constexpr std::int32_t kFileCategoryCount = 7;

// The type key of a category: "unknown" (-1 and anything out of range),
// "image", "video", "music", "document", "archieve", "other", "folder".
std::string_view typeKeyOfFileCategory(std::int32_t category);
// The category whose type key is exactly the text; kFileCategoryHidden when none is.
std::int32_t fileCategoryOfTypeKey(std::string_view typeKey);

// The category of a file by its name or path. Names without an extension
// (platform::pathExtension) are kFileCategoryOther. Otherwise the answer is cached per extension (exact
// bytes, so "ZIP" and "zip" are cached separately) and comes from
// fileCategoryOfExtension with the system's MIME database.
// Safe to call from any number of threads at once.
std::int32_t typeOfFileAtPath(std::string_view nameOrPath);

// The category of an extension, uncached: the MIME type the database gives
// the extension, tested against the rules of FileCategoryTable.inc in order;
// an extension the database does not know goes through the built-in
// extension table (ASCII case ignored) to a type key. kFileCategoryOther when
// neither knows it; kFileCategoryHidden when the table names an unknown key.
std::int32_t fileCategoryOfExtension(std::string_view extension, const platform::MimeDatabase& database);

// The category that the rules give a MIME type; kFileCategoryOther when no rule applies.
std::int32_t fileCategoryOfMimeType(std::string_view mimeType, const platform::MimeDatabase& database);

}  // namespace kestrane
