#include "platform/MimeDatabase.h"

#include "platform/Text.h"

#include "platform/NoDestructor.h"

#include "platform/Log.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fnmatch.h>
#include <fstream>
#include <sstream>

namespace kestrane::platform {

namespace {

constexpr std::string_view kOctetStream = "application/octet-stream";
constexpr std::string_view kPlainText = "text/plain";
constexpr std::string_view kNoGlobs = "__NOGLOBS__";

std::string_view trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Calls visit(line) for every line that is neither empty nor a comment.
template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() != '#') visit(line);
    }
}

// The fields of a line separated by one character.
std::vector<std::string_view> fields(std::string_view line, char separator) {
    std::vector<std::string_view> result;
    while (true) {
        const std::size_t end = line.find(separator);
        result.push_back(line.substr(0, end));
        if (end == std::string_view::npos) return result;
        line.remove_prefix(end + 1);
    }
}

// The two whitespace-separated words of a subclasses or aliases line.
std::optional<std::pair<std::string_view, std::string_view>> twoWords(std::string_view line) {
    const std::size_t space = line.find_first_of(" \t");
    if (space == std::string_view::npos) return std::nullopt;
    std::string_view first = line.substr(0, space);
    std::string_view second = trimmed(line.substr(space));
    if (first.empty() || second.empty() || second.find_first_of(" \t") != std::string_view::npos)
        return std::nullopt;
    return std::make_pair(first, second);
}

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(text).str();
}

bool hasWildcard(std::string_view pattern) {
    return pattern.find_first_of("*?[\\") != std::string_view::npos;
}

}  // namespace

bool MimeDatabase::Glob::isBetterThan(const Glob& other) const {
    if (weight != other.weight) return weight > other.weight;
    if (patternLength != other.patternLength) return patternLength > other.patternLength;
    return rank < other.rank;
}

const MimeDatabase& MimeDatabase::system() {
    static NoDestructor<const MimeDatabase> database([] {
        MimeDatabase loaded = fromDirectories(standardDirectories());
        if (loaded.isEmpty())
            logWarning("no shared MIME-info database found (is shared-mime-info installed?); "
                       "file categories come from the built-in extension table only");
        return loaded;
    }());
    return *database;
}

std::vector<std::string> MimeDatabase::standardDirectories() {
    std::vector<std::string> dataFolders{dataHome()};
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view list = (dataDirs != nullptr && dataDirs[0] != '\0') ? dataDirs : "/usr/local/share/:/usr/share/";
    for (std::string_view entry : fields(list, ':')) {
        if (!entry.empty() && entry.front() == '/') dataFolders.emplace_back(entry);  // relative entries are ignored
    }
    std::vector<std::string> result;
    for (std::string& folder : dataFolders) {
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        std::string mimeFolder = joinPath(folder, "mime");
        if (std::find(result.begin(), result.end(), mimeFolder) == result.end()) result.push_back(std::move(mimeFolder));
    }
    return result;
}

MimeDatabase MimeDatabase::fromDirectories(const std::vector<std::string>& directories) {
    MimeDatabase database;
    for (const std::string& directory : directories) database.addDirectory(directory);
    return database;
}

bool MimeDatabase::addDirectory(const std::string& directory) {
    const std::optional<std::string> globs2 = readWholeFile(joinPath(directory, "globs2"));
    const std::optional<std::string> subclasses = readWholeFile(joinPath(directory, "subclasses"));
    const std::optional<std::string> aliases = readWholeFile(joinPath(directory, "aliases"));
    if (!globs2 && !subclasses && !aliases) return false;
    addDirectoryContents(globs2.value_or(""), subclasses.value_or(""), aliases.value_or(""));
    return true;
}

void MimeDatabase::addDirectoryContents(std::string_view globs2, std::string_view subclasses,
                                        std::string_view aliases) {
    addGlobs2(globs2);
    addSubclasses(subclasses);
    addAliases(aliases);
}

void MimeDatabase::addGlobs2(std::string_view text) {
    struct Line {
        int weight;
        std::string_view type;
        std::string_view pattern;
        bool caseSensitive;
    };
    std::vector<Line> lines;
    std::unordered_set<std::string> typesWithoutGlobsBelow;
    forEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> parts = fields(line, ':');
        if (parts.size() < 3 || parts[1].empty() || parts[2].empty()) return;
        int weight = 0;
        const auto [end, error] = std::from_chars(parts[0].data(), parts[0].data() + parts[0].size(), weight);
        if (error != std::errc() || end != parts[0].data() + parts[0].size()) return;
        if (parts[2] == kNoGlobs) {
            typesWithoutGlobsBelow.emplace(parts[1]);
            return;
        }
        bool caseSensitive = false;
        if (parts.size() > 3) {
            for (std::string_view flag : fields(parts[3], ','))
                if (flag == "cs") caseSensitive = true;
        }
        lines.push_back({weight, parts[1], parts[2], caseSensitive});
    });
    // A more important folder's "__NOGLOBS__" hides what this one says of the type;
    // this folder's own "__NOGLOBS__" only hides what the folders after it say.
    for (const Line& line : lines) {
        if (m_typesWithoutLowerGlobs.count(std::string(line.type)) != 0) continue;
        addGlob(line.type, line.pattern, line.weight, line.caseSensitive);
    }
    m_typesWithoutLowerGlobs.merge(typesWithoutGlobsBelow);
}

void MimeDatabase::addGlob(std::string_view type, std::string_view pattern, int weight, bool caseSensitive) {
    // Only "*.SUFFIX" globs can match an extension, and only when SUFFIX has no
    // "." (an extension never has one). Whole-name globs ("makefile") and
    // multi-part suffixes ("*.tar.gz") are for names, not extensions.
    if (!pattern.starts_with("*.")) return;
    std::string_view suffix = pattern.substr(2);
    if (suffix.empty() || suffix.find('.') != std::string_view::npos) return;

    Glob glob{std::string(type), weight, pattern.size(), m_nextRank++};
    ++m_globCount;
    std::string key = caseSensitive ? std::string(suffix) : asciiLowercased(suffix);
    if (hasWildcard(suffix)) {
        m_patternGlobs.push_back({std::move(key), caseSensitive, std::move(glob)});
        return;
    }
    StringMap<Glob>& extensions = caseSensitive ? m_caseSensitiveExtensions : m_extensions;
    auto it = extensions.find(key);
    if (it == extensions.end())
        extensions.emplace(std::move(key), std::move(glob));
    else if (glob.isBetterThan(it->second))
        it->second = std::move(glob);
}

void MimeDatabase::addSubclasses(std::string_view text) {
    forEachLine(text, [&](std::string_view line) {
        const auto words = twoWords(line);
        if (!words) return;
        std::vector<std::string>& supers = m_superTypes[std::string(words->first)];
        if (std::find(supers.begin(), supers.end(), words->second) == supers.end())
            supers.emplace_back(words->second);
    });
}

void MimeDatabase::addAliases(std::string_view text) {
    forEachLine(text, [&](std::string_view line) {
        const auto words = twoWords(line);
        if (!words || words->first == words->second) return;
        m_aliases.try_emplace(std::string(words->first), words->second);  // the more important folder keeps its say
    });
}

std::optional<std::string> MimeDatabase::mimeTypeForExtension(std::string_view extension) const {
    if (extension.empty()) return std::nullopt;
    const std::string lowered = asciiLowercased(extension);

    const Glob* best = nullptr;
    const auto consider = [&](const Glob& glob) {
        if (best == nullptr || glob.isBetterThan(*best)) best = &glob;
    };
    // A case-sensitive "*.C" decides over a case-insensitive "*.c" for "x.C".
    if (auto it = m_caseSensitiveExtensions.find(extension); it != m_caseSensitiveExtensions.end()) {
        consider(it->second);
    } else if (auto lowerIt = m_extensions.find(lowered); lowerIt != m_extensions.end()) {
        consider(lowerIt->second);
    }
    if (!m_patternGlobs.empty()) {
        const std::string exact(extension);
        for (const PatternGlob& patternGlob : m_patternGlobs) {
            const std::string& subject = patternGlob.caseSensitive ? exact : lowered;
            if (::fnmatch(patternGlob.pattern.c_str(), subject.c_str(), 0) == 0) consider(patternGlob.glob);
        }
    }
    if (best == nullptr) return std::nullopt;
    return best->type;
}

std::string MimeDatabase::canonicalType(std::string_view mimeType) const {
    auto it = m_aliases.find(mimeType);
    return it == m_aliases.end() ? std::string(mimeType) : it->second;
}

std::vector<std::string> MimeDatabase::superTypesOf(std::string_view mimeType) const {
    std::vector<std::string> result;
    if (mimeType.empty()) return result;
    const auto add = [&result](std::string type) {
        if (std::find(result.begin(), result.end(), type) == result.end()) result.push_back(std::move(type));
    };
    add(canonicalType(mimeType));
    // Breadth first: nearer super types come first.
    for (std::size_t i = 0; i < result.size(); ++i) {
        const std::string type = result[i];
        if (auto it = m_superTypes.find(type); it != m_superTypes.end()) {
            for (const std::string& super : it->second) add(canonicalType(super));
        }
        if (type.starts_with("text/") && type != kPlainText) add(std::string(kPlainText));
    }
    if (!result.front().starts_with("inode/")) add(std::string(kOctetStream));
    return result;
}

bool MimeDatabase::conformsTo(std::string_view mimeType, std::string_view superType) const {
    if (mimeType.empty() || superType.empty()) return false;
    const std::string wanted = canonicalType(superType);
    const std::vector<std::string> supers = superTypesOf(mimeType);
    return std::find(supers.begin(), supers.end(), wanted) != supers.end();
}

}  // namespace kestrane::platform
