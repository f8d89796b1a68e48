#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

class FileSystemItem;

// A file or folder name taken apart into the name of the original it was
// copied from and the marks that made it a copy. "Report copy 2.txt" is the
// core name "report" with two copy marks (the word "copy" and the number 2);
// "report.txt" is an original (no marks). Auto-select compares copies of the
// same content by these: among names with the same core, the one with fewer
// marks, then smaller copy numbers, is the one to keep.
//
// How a name is taken apart:
//  - a file (or a package) loses its extension, a folder keeps its whole name;
//  - the name is lowercased and brought to canonical decomposed form (NFD), so
//    names written with precomposed letters (as Linux tools usually write them)
//    and with decomposed letters give the same result. A name that is not
//    valid UTF-8 is only lowercased byte by byte in its ASCII letters; every
//    other byte is kept as it is;
//  - copy markers (CopyNameMarkers.h) and number words are stripped from the
//    end, repeatedly, then from the start, repeatedly; each one stripped is a
//    copy mark, and a number carried by a marker is one more;
//  - a remainder that is itself only a copy word or a number word counts as a
//    mark as well and leaves an empty core.
//
// A number word is a word that reads as a decimal integer and prints back the
// same ("12", "-4"; not "007", "+3" or "2.5"), optionally in any number of
// enclosing parentheses ("(3)", "((3))").
//
// A value type; it is cached on the items that are in duplicate groups, so it
// stays small. All operations are pure and may run on any thread.
class AutoSelectName {
public:
    // The name of nothing: empty core, no copy marks.
    AutoSelectName() = default;
    // The analysis of an item's name. keepExtension is true for a folder, which
    // keeps its whole name, and false for a file or a package, whose extension
    // is removed first.
    AutoSelectName(std::string_view name, bool keepExtension);

    // The analysis of an item's own name (the last path component for a root);
    // files and packages lose their extension, folders do not.
    static AutoSelectName buildAutoSelectNameForFileItem(const FileSystemItem& item);
    // The analysis of a name taken as it is (no extension is removed).
    static AutoSelectName buildAutoSelectNameForName(std::string_view name);

    // The core name of a name taken as it is, in lowercase decomposed form.
    // alreadyLowercased skips the case mapping (the decomposition is still
    // made; it changes nothing on a name that is already decomposed).
    static std::string originalName(std::string_view name,
                                                                           bool alreadyLowercased);
    // The core name of a name that is already lowercase and decomposed, with
    // the number of copy marks removed and the copy numbers found (in the
    // order found; null when not wanted).
    static std::string originalNameWithCopyNumbers(
        std::string_view lowercaseName, std::int64_t& copyPower, std::vector<std::int64_t>* numbers);

    // Whether a base name (a file's name without extension, a folder's whole
    // name) does not look like a copy: its lowercase decomposed form is its
    // own core name. This is the test for the name that stands for a group.
    static bool isOriginalName(std::string_view baseName);

    // The name lowercased and in canonical decomposed form (NFD); for a name
    // that is not valid UTF-8, the name with its ASCII letters lowercased.
    static std::string lowercasedName(std::string_view name);

    // Whether a whole lowercase name is only a copy word; a numbered copy word
    // stores its number (when its digits form one) in number.
    static bool isNameIsCopyAndSaveNumberTo(std::string_view lowercaseName,
                                            std::optional<std::int64_t>& number);
    // The value of a number word (see above), or none.
    static std::optional<std::int64_t> parseStringWithNumber(std::string_view word);

    // Lowercase decomposed name without copy marks; empty when nothing else is left.
    const std::string& getCoreName() const { return m_sCoreName; }
    // How many copy marks were removed; 0 for an original.
    std::int64_t getPowerOfCopy() const { return m_nCopyPower; }
    bool isCoreItem() const { return m_nCopyPower == 0; }
    // The copy numbers found, ascending.
    const std::vector<std::int64_t>& getCopyNumbers() const { return m_arrCopyNumbers; }

    // -1 when this name is more original than other, 1 when other is, 0 when
    // neither: fewer copy marks first, then the smaller copy numbers compared
    // in order, then fewer copy numbers. Core names are not compared.
    int compareWithSelectName(const AutoSelectName& other) const;
    static int compareNumberWithNumber(std::int64_t a, std::int64_t b);

private:
    void analyse(std::string_view lowercaseName);

    std::string m_sCoreName;
    std::int64_t m_nCopyPower = 0;
    std::vector<std::int64_t> m_arrCopyNumbers;
};

}  // namespace kestrane
