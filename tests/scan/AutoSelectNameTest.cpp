#include "scan/AutoSelectName.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <unicode/locid.h>

#include "scan/FileSystemItem.h"
#include "scan/FolderSystemItem.h"
#include "scan/CopyNameMarkers.h"

namespace kestrane {
namespace {

namespace markers = copy_name_markers;

struct NameCase {
    std::string name;
    bool keepExtension;
    std::string core;
    std::int64_t power;
    std::vector<std::int64_t> numbers;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << '"' << c.name << '"'; }

void expectAnalysis(const NameCase& c) {
    SCOPED_TRACE("name: \"" + c.name + "\"");
    const AutoSelectName name(c.name, c.keepExtension);
    EXPECT_EQ(name.getCoreName(), c.core);
    EXPECT_EQ(name.getPowerOfCopy(), c.power);
    EXPECT_EQ(name.getCopyNumbers(), c.numbers);
    EXPECT_EQ(name.isCoreItem(), c.power == 0);
}

class AutoSelectNameCases : public ::testing::TestWithParam<NameCase> {};

TEST_P(AutoSelectNameCases, TakesTheNameApart) { expectAnalysis(GetParam()); }

// English copy names as file managers make them, numbers, and the order of the passes.
INSTANTIATE_TEST_SUITE_P(
    EnglishAndNumbers, AutoSelectNameCases,
    ::testing::Values(
        NameCase{"report.txt", false, "report", 0, {}},
        NameCase{"Report Copy.TXT", false, "report", 1, {}},
        NameCase{"report copy 2.txt", false, "report", 2, {2}},
        NameCase{"report (3).txt", false, "report", 1, {3}},
        NameCase{"Copy of report.txt", false, "report", 1, {}},
        NameCase{"Copy.pdf", false, "", 1, {}},
        NameCase{"copy 2", true, "", 2, {2}},
        NameCase{"report copy 2 copy", true, "report", 3, {2}},
        NameCase{"copy of report copy", true, "report", 2, {}},
        // Numbers come out sorted, whichever end they were found at.
        NameCase{"3 report (1) copy 2", true, "report", 4, {1, 2, 3}},
        NameCase{"(12) photo", true, "photo", 1, {12}},
        NameCase{"photo -4", true, "photo", 1, {-4}},
        NameCase{"2024", true, "", 1, {2024}},
        NameCase{"(7).jpg", false, "", 1, {7}},
        // Not number words (more in NumberWords below).
        NameCase{"photo 007", true, "photo 007", 0, {}},
        NameCase{"photo 99999999999999999999", true, "photo 99999999999999999999", 0, {}},
        NameCase{"photo 9223372036854775807", true, "photo", 1, {9223372036854775807}},
        // Markers need their space; a word that only contains one is kept.
        NameCase{"photocopy", true, "photocopy", 0, {}},
        NameCase{"copyright notice", true, "copyright notice", 0, {}},
        // Only one space is taken with a number; the rest of the name stays.
        NameCase{"photo  2", true, "photo ", 1, {2}},
        NameCase{" copy", true, "", 1, {}},
        NameCase{"", true, "", 0, {}}));

// The other languages, typed with precomposed letters as Linux tools write
// them; the core comes out decomposed.
INSTANTIATE_TEST_SUITE_P(
    OtherLanguages, AutoSelectNameCases,
    ::testing::Values(
        NameCase{"Foto (kopie ).jpg", false, "foto", 1, {}},
        NameCase{"Foto (kopie 007)", true, "foto", 2, {7}},
        NameCase{"Foto (kopie 99999999999999999999)", true, "foto", 1, {}},
        NameCase{"Fotka (Kópia 3).png", false, "fotka", 2, {3}},
        NameCase{"Foto còpia.jpg", false, "foto", 1, {}},
        NameCase{"Cópia 2 de Foto.jpg", false, "foto", 2, {2}},
        NameCase{"Cópia 3 de", true, "", 2, {3}},
        NameCase{"Kép másolat.jpg", false, "ke\u0301p", 1, {}},
        NameCase{"Копия Отчёт.doc", false, "отче\u0308т", 1, {}},
        NameCase{"Bản sao Ảnh.jpg", false, "a\u0309nh", 1, {}},
        NameCase{"写真 のコピー.jpg", false, "写真", 1, {}},
        NameCase{"사진 복사본 2.jpg", false, "\u1109\u1161\u110C\u1175\u11AB", 2, {2}},
        // A marker with a different accent is a different word.
        NameCase{"Foto cöpia", true, "foto co\u0308pia", 0, {}}));

// Files lose their extension, folders keep their whole name.
INSTANTIATE_TEST_SUITE_P(
    Extensions, AutoSelectNameCases,
    ::testing::Values(NameCase{"archive copy.tar.gz", false, "archive copy.tar", 0, {}},
                      NameCase{"Album copy.2019", true, "album copy.2019", 0, {}},
                      NameCase{"Album.2019 copy", true, "album.2019", 1, {}},
                      NameCase{".bashrc", false, ".bashrc", 0, {}},
                      NameCase{"notes copy.", false, "notes copy.", 0, {}},
                      NameCase{"notes copy", false, "notes", 1, {}}));

// Each marker of the tables does its job on its own, so that no entry is
// mistyped, hidden by another, or kept in a form (capitals, composed
// letters) that a name, lowercased and decomposed, can never match.
TEST(AutoSelectNameMarkers, EveryMarkerIsRecognised) {
    std::vector<std::tuple<std::string, std::string, std::int64_t>> names;  // name, core, power
    for (std::string_view marker : markers::kSuffixes) names.emplace_back("foto" + std::string(marker), "foto", 1);
    for (std::string_view marker : markers::kPrefixes) names.emplace_back(std::string(marker) + "foto", "foto", 1);
    // The end markers are taken first: the " עותק" of "- עותק" goes before the
    // whole word is looked at, and leaves the dash.
    for (std::string_view word : markers::kWholeNames) names.emplace_back(word, word == "- עותק" ? "-" : "", 1);
    for (const auto& numbered : markers::kNumberedSuffixes)  // the number is a second mark
        names.emplace_back("foto" + std::string(numbered.open) + "41" + std::string(numbered.close), "foto", 2);
    for (const auto& [text, core, power] : names) {
        const AutoSelectName name = AutoSelectName::buildAutoSelectNameForName(text);
        EXPECT_EQ(name.getCoreName(), core) << text;
        EXPECT_EQ(name.getPowerOfCopy(), power) << text;
        EXPECT_EQ(name.getCopyNumbers(), power == 2 ? std::vector<std::int64_t>{41} : std::vector<std::int64_t>{})
            << text;
    }
    for (std::string_view word : markers::kWholeNames) {
        std::optional<std::int64_t> number;
        EXPECT_TRUE(AutoSelectName::isNameIsCopyAndSaveNumberTo(word, number)) << word;
        EXPECT_FALSE(number.has_value());
    }
}

TEST(AutoSelectNameText, NumberWords) {
    const std::vector<std::pair<std::string_view, std::int64_t>> numbers = {
        {"12", 12}, {"0", 0}, {"(3)", 3}, {"(((3)))", 3}, {"-9223372036854775808", INT64_MIN}};
    for (const auto& [word, value] : numbers) EXPECT_EQ(AutoSelectName::parseStringWithNumber(word), value) << word;
    for (std::string_view word : {"", "()", "(())", "007", "+3", "-0", "2.5", " 1", "1 ", "1e3", "0x10", "(1", "-",
                                  "9223372036854775808", "٣"}) {
        EXPECT_FALSE(AutoSelectName::parseStringWithNumber(word).has_value()) << '"' << word << '"';
    }
}

TEST(AutoSelectNameText, LowercasingIsUnicodeAndIndependentOfTheLocale) {
    EXPECT_EQ(AutoSelectName::lowercasedName("ÉTÉ"), "e\u0301te\u0301");
    EXPECT_EQ(AutoSelectName::lowercasedName("ΑΝΤΙΓΡΑΦΟ"), "αντιγραφο");

    // A Turkish default locale would map the capital I to a dotless i and the
    // Turkish "KOPYA" copy marker would no longer meet its name's core.
    const icu::Locale saved = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("tr", "TR"), status);
    ASSERT_TRUE(U_SUCCESS(status));
    const AutoSelectName name("ÇIKTI KOPYA.pdf", false);
    const std::string lowered = AutoSelectName::lowercasedName("ÇIKTI");
    icu::Locale::setDefault(saved, status);
    EXPECT_EQ(name.getCoreName(), "c\u0327ikti");
    EXPECT_EQ(name.getPowerOfCopy(), 1);
    EXPECT_EQ(lowered, "c\u0327ikti");
}

TEST(AutoSelectNameText, NamesThatAreNotUtf8) {
    // Only the ASCII letters are lowercased; every other byte stays.
    EXPECT_EQ(AutoSelectName::lowercasedName("Foto\xff COPY"), "foto\xff copy");
    EXPECT_EQ(AutoSelectName::lowercasedName("\xc3\x89T\xc3"), "\xc3\x89t\xc3");
    // Surrogates encoded in UTF-8 are not UTF-8 either.
    EXPECT_EQ(AutoSelectName::lowercasedName("A\xed\xa0\x80"), "a\xed\xa0\x80");

    const AutoSelectName name("Foto\xff Copy 2.JPG", false);
    EXPECT_EQ(name.getCoreName(), "foto\xff");
    EXPECT_EQ(name.getPowerOfCopy(), 2);
    EXPECT_EQ(name.getCopyNumbers(), std::vector<std::int64_t>{2});

    const AutoSelectName bytes(std::string_view("\xfe\xfe kopie\0x", 10), true);
    EXPECT_EQ(bytes.getCoreName(), std::string("\xfe\xfe kopie\0x", 10));
    EXPECT_EQ(bytes.getPowerOfCopy(), 0);
}

TEST(AutoSelectNameText, OriginalNameForGroupNamesAndPathExtension) {
    EXPECT_EQ(AutoSelectName::originalName("Report Copy 2", false), "report");
    // The caller says the name is lowercase already: it is not lowercased again...
    EXPECT_EQ(AutoSelectName::originalName("Report Copy", true),
              "Report Copy");
    // ...but it is still decomposed, so precomposed markers are found.
    EXPECT_EQ(AutoSelectName::originalName("fotka kópia", true), "fotka");

    for (const char* name : {"Photo", "Résumé", ""}) EXPECT_TRUE(AutoSelectName::isOriginalName(name)) << name;
    for (const char* name : {"Photo (1)", "Fotka kópia", "2019"}) EXPECT_FALSE(AutoSelectName::isOriginalName(name));

}

// compareWithSelectName from the point of view of the current best name.
TEST(AutoSelectNameCompare, MoreOriginalNamesWin) {
    struct CompareCase {
        std::string best;
        std::string candidate;
        int expected;
    };
    const std::vector<CompareCase> cases = {
        {"photo", "photo copy", -1},
        {"photo copy", "photo (1)", -1},         // one mark each; no number beats a number
        {"photo (1)", "photo (2)", -1},
        {"photo (10)", "photo (9)", 1},          // numbers, not text
        {"photo (-1)", "photo (1)", -1},
        {"photo copy 2", "photo copy 2", 0},
        {"photo copy 2", "photo (2) copy", 0},   // same power and numbers
        {"photo copy 1", "photo (2)", 1},        // power decides before numbers
        {"1 photo 3", "2 photo 2", -1},          // sorted numbers [1,3] against [2,2]
        {"photo copy (1)", "photo (5) (1)", -1},  // the same first numbers: fewer numbers win
        {"photo", "other", 0},                   // cores are not compared
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(c.best + " / " + c.candidate);
        const AutoSelectName best = AutoSelectName::buildAutoSelectNameForName(c.best);
        const AutoSelectName candidate = AutoSelectName::buildAutoSelectNameForName(c.candidate);
        EXPECT_EQ(best.compareWithSelectName(candidate), c.expected);
        EXPECT_EQ(candidate.compareWithSelectName(best), -c.expected);
    }
    EXPECT_EQ(AutoSelectName().compareWithSelectName(AutoSelectName()), 0);
}

TEST(AutoSelectNameItems, FilesPackagesFoldersAndRoots) {
    const auto root = FolderSystemItem::make("/home/me/Album Copy", nullptr, false, false);
    const std::vector<std::tuple<FileSystemItem*, std::string, std::int64_t, std::vector<std::int64_t>>> cases = {
        {root.get(), "album", 1, {}},  // a root by its last name
        {FileSystemItem::createInParent("IMG (2).JPG", *root, 4096, false, 100), "img", 1, {2}},
        {FolderSystemItem::createInParent("Trip.2019 copy", *root, false, false), "trip.2019", 1, {}},
        {FolderSystemItem::createInParent("Editor copy.app", *root, false, true), "editor", 1, {}},
    };
    for (const auto& [item, core, power, numbers] : cases) {
        const AutoSelectName name = AutoSelectName::buildAutoSelectNameForFileItem(*item);
        EXPECT_EQ(name.getCoreName(), core) << item->name();
        EXPECT_EQ(name.getPowerOfCopy(), power) << item->name();
        EXPECT_EQ(name.getCopyNumbers(), numbers) << item->name();
    }
}

}  // namespace
}  // namespace kestrane
