#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrane::platform {

// The freedesktop.org shared MIME-info database, as far as file-name
// extensions go: which MIME type a file-name extension names (the globs2
// file), which types are aliases of others (aliases), and which types are
// kinds of others (subclasses).
//
// A database is made of the "mime" folders of the XDG data folders, the
// user's own first. Each folder is added in that order; an earlier folder
// wins a tie between two equally good globs, and its "__NOGLOBS__" entries
// drop the globs that later folders give for the same type.
//
// Built once, then only read: every const member may be called from several
// threads at once.
class MimeDatabase {
public:
    MimeDatabase() = default;

    // The database of the running system, read from standardDirectories() on
    // first use (thread-safe) and kept for the life of the process. Empty when
    // no folder holds a database (shared-mime-info is not installed).
    static const MimeDatabase& system();

    // The "mime" folders of $XDG_DATA_HOME (default ~/.local/share) and of
    // each absolute entry of $XDG_DATA_DIRS (default /usr/local/share and
    // /usr/share), most important first, without repeats.
    static std::vector<std::string> standardDirectories();

    // Adds the databases of the folders, in the order given (most important
    // first). A folder without the files adds nothing.
    static MimeDatabase fromDirectories(const std::vector<std::string>& directories);

    // Reads globs2, subclasses and aliases of one folder and adds them as the
    // next, less important, folder. False when none of the files could be read.
    bool addDirectory(const std::string& directory);

    // Adds the contents of one folder's three files, given as text, as the
    // next, less important, folder.
    void addDirectoryContents(std::string_view globs2, std::string_view subclasses,
                              std::string_view aliases);

    // The MIME type that a file-name extension (without its ".") names, as a
    // file "x.EXT" would be matched against the globs: "*.EXT" globs flagged
    // case-sensitive match the extension exactly and are preferred; the other
    // globs match regardless of ASCII case. Of several matches the highest
    // weight wins, then the longest pattern, then the most important folder,
    // then the first in its file. Nothing when no glob matches.
    std::optional<std::string> mimeTypeForExtension(std::string_view extension) const;

    // The type an alias stands for; any other type unchanged.
    std::string canonicalType(std::string_view mimeType) const;

    // The type itself followed by every type it is a kind of, transitively,
    // each once, all canonical: the declared subclass relations, text/plain
    // for every text/* type, and application/octet-stream for every type
    // except inode/* ones.
    std::vector<std::string> superTypesOf(std::string_view mimeType) const;

    // Whether mimeType is superType or a kind of it (see superTypesOf).
    bool conformsTo(std::string_view mimeType, std::string_view superType) const;

    // True when no glob was read.
    bool isEmpty() const { return m_globCount == 0; }
    std::size_t globCount() const { return m_globCount; }

private:
    struct Glob {
        std::string type;
        int weight = 50;
        std::size_t patternLength = 0;
        std::uint32_t rank = 0;  // lower: more important folder, or earlier in the file

        bool isBetterThan(const Glob& other) const;
    };
    // A glob "*.PATTERN" whose PATTERN has wildcards: matched with fnmatch.
    struct PatternGlob {
        std::string pattern;  // lower-cased unless caseSensitive
        bool caseSensitive = false;
        Glob glob;
    };
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    template <typename Value>
    using StringMap = std::unordered_map<std::string, Value, StringHash, std::equal_to<>>;

    void addGlobs2(std::string_view text);
    void addSubclasses(std::string_view text);
    void addAliases(std::string_view text);
    void addGlob(std::string_view type, std::string_view pattern, int weight, bool caseSensitive);

    // Best glob per extension: exact for case-sensitive globs, lower-cased otherwise.
    StringMap<Glob> m_caseSensitiveExtensions;
    StringMap<Glob> m_extensions;
    std::vector<PatternGlob> m_patternGlobs;
    StringMap<std::string> m_aliases;                   // alias -> canonical type
    StringMap<std::vector<std::string>> m_superTypes;   // type -> its declared super types
    // Types whose globs the folders added so far dropped with "__NOGLOBS__".
    std::unordered_set<std::string> m_typesWithoutLowerGlobs;
    std::size_t m_globCount = 0;
    std::uint32_t m_nextRank = 0;
};

}  // namespace kestrane::platform
