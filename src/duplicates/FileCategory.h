#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrane {

namespace platform {
class MimeDatabase;
}

// The categories of the duplicates container, in list order. The values are
// the numbers reports and the front ends show (0 images ... 6 folders).
// "No category" (a name whose type key is unknown, the container's hidden
// and scratch categories, an entry without a group) is an empty optional,
// numbered -1 where a number is written out.
enum class FileCategory : std::uint8_t {
    image = 0,
    video = 1,
    music = 2,
    document = 3,
    archive = 4,
    other = 5,
    folders = 6,  // duplicate folders: folders that are not packages
};

inline constexpr std::size_t kFileCategoryCount = 7;

// Every category, in list order.
inline constexpr std::array<FileCategory, kFileCategoryCount> kAllFileCategories = {
    FileCategory::image,    FileCategory::video, FileCategory::music,   FileCategory::document,
    FileCategory::archive,  FileCategory::other, FileCategory::folders,
};
// The categories of files, in the order their same-size sets are compared.
inline constexpr std::array<FileCategory, kFileCategoryCount - 1> kFileContentCategories = {
    FileCategory::image,   FileCategory::video, FileCategory::music,
    FileCategory::document, FileCategory::archive, FileCategory::other,
};

constexpr std::size_t indexOfFileCategory(FileCategory category) { return static_cast<std::size_t>(category); }

// The number written for a category in reports: 0..6, -1 for none.
constexpr int numberOfFileCategory(std::optional<FileCategory> category) {
    return category ? static_cast<int>(*category) : -1;
}

// One value per category, indexed by the category; iterates in list order.
template <class T>
class PerCategory {
public:
    using Values = std::array<T, kFileCategoryCount>;

    constexpr T& operator[](FileCategory category) {
        assert(indexOfFileCategory(category) < kFileCategoryCount);
        return m_values[indexOfFileCategory(category)];
    }
    constexpr const T& operator[](FileCategory category) const {
        assert(indexOfFileCategory(category) < kFileCategoryCount);
        return m_values[indexOfFileCategory(category)];
    }

    constexpr auto begin() { return m_values.begin(); }
    constexpr auto end() { return m_values.end(); }
    constexpr auto begin() const { return m_values.begin(); }
    constexpr auto end() const { return m_values.end(); }

    friend constexpr bool operator==(const PerCategory&, const PerCategory&) = default;

private:
    Values m_values{};
};

// The type key of a category: "image", "video", "music", "document",
// "archieve", "other", "folder"; "unknown" for none.
std::string_view typeKeyOfFileCategory(std::optional<FileCategory> category);
// The category whose type key is exactly the text; none when no key is.
std::optional<FileCategory> fileCategoryOfTypeKey(std::string_view typeKey);

// The category of a file by its name or path. Names without an extension
// (platform::pathExtension) are FileCategory::other. Otherwise the answer is
// cached per extension (exact bytes, so "ZIP" and "zip" are cached
// separately) and comes from fileCategoryOfExtension with the system's MIME
// database. Safe to call from any number of threads at once.
std::optional<FileCategory> typeOfFileAtPath(std::string_view nameOrPath);

// The category of an extension, uncached: the MIME type the database gives
// the extension, tested against the rules of FileCategoryTable.inc in order;
// an extension the database does not know goes through the built-in
// extension table (ASCII case ignored) to a type key. FileCategory::other
// when neither knows it; none when the table names an unknown key.
std::optional<FileCategory> fileCategoryOfExtension(std::string_view extension,
                                                    const platform::MimeDatabase& database);

// The category that the rules give a MIME type; FileCategory::other when no rule applies.
FileCategory fileCategoryOfMimeType(std::string_view mimeType, const platform::MimeDatabase& database);

}  // namespace kestrane
