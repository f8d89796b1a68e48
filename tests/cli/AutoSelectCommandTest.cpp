// Auto-select, the list commands and the review of the removal list, from
// the command line: `kestrane scan --auto-select ...` on a generated tree,
// compared with a small model of the procedure written here.

#include "support/ChildProcess.h"
#include "support/ReportJson.h"
#include "support/TestSupport.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using nlohmann::json;
using test::ChildProcess;
using test::kBinary;
using test::realPath;
using Strings = std::vector<std::string>;

// --- The model ---------------------------------------------------------------------------
//
// What auto-select should do, from its description, for the names this test
// uses: a copy's name is its original's name with copy words and numbers
// around it; the copy with fewer marks (then smaller numbers, then fewer
// numbers) stays; folder lists, a copy that must stay, oldest, shallowest
// and first decide the rest.

std::string lowerDecomposed(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toLower(icu::Locale::getRoot());
    std::string out;
    icu::Normalizer2::getNFDInstance(status)->normalize(unicode, status).toUTF8String(out);
    return out;
}

struct ModelName {
    std::string core;
    int marks = 0;
    std::vector<long> numbers;
};

ModelName modelName(const std::string& name) {
    static const Strings suffixes = [] {
        Strings words;
        for (const char* word : {" copy", " kopie", " - copie", " copia", " のコピー", " 복사본", " копия"})
            words.push_back(lowerDecomposed(word));
        return words;
    }();
    static const Strings prefixes = {"copy of ", lowerDecomposed("cópia de ")};
    ModelName result{lowerDecomposed(name)};
    std::string& text = result.core;
    for (bool found = true; found && !text.empty();) {
        found = false;
        for (const auto& suffix : suffixes)
            if (text.size() > suffix.size() && text.ends_with(suffix)) {
                text.resize(text.size() - suffix.size());
                ++result.marks;
                found = true;
                break;
            }
        if (found) continue;
        const auto space = text.rfind(' ');
        if (space == std::string::npos) break;
        std::string word = text.substr(space + 1);
        if (word.size() > 2 && word.front() == '(' && word.back() == ')') word = word.substr(1, word.size() - 2);
        if (!word.empty() && word.size() < 6 && std::all_of(word.begin(), word.end(), ::isdigit) && word[0] != '0') {
            result.numbers.push_back(std::stol(word));
            text.resize(space);
            ++result.marks;
            found = true;
        }
    }
    for (const auto& prefix : prefixes)
        if (text.starts_with(prefix)) {
            text.erase(0, prefix.size());
            ++result.marks;
        }
    std::sort(result.numbers.begin(), result.numbers.end());
    return result;
}

// -1 when a looks more like the original than b, 1 when b does, 0 for a tie.
int compareNames(const ModelName& a, const ModelName& b) {
    if (a.marks != b.marks) return a.marks < b.marks ? -1 : 1;
    for (std::size_t i = 0; i < std::min(a.numbers.size(), b.numbers.size()); ++i)
        if (a.numbers[i] != b.numbers[i]) return a.numbers[i] < b.numbers[i] ? -1 : 1;
    if (a.numbers.size() != b.numbers.size()) return a.numbers.size() < b.numbers.size() ? -1 : 1;
    return 0;
}

enum Rule { none, always, never };

class Model {
public:
    Model(std::string root, Strings alwaysSelect, Strings neverSelect, std::map<std::string, long> dates)
        : m_root(std::move(root)), m_always(std::move(alwaysSelect)), m_never(std::move(neverSelect)),
          m_dates(std::move(dates)) {}

    // The report's groups, in its order; folder groups come from category 6.
    void run(const json& report) {
        std::vector<Strings> groups;
        for (const auto& category : report["categories"])
            for (const auto& group : category["groups"]) {
                Strings paths;
                for (const auto& item : group["items"]) paths.push_back(realPath(item));
                if (category["number"] == 6) m_folders.insert(m_folders.end(), paths.begin(), paths.end());
                groups.push_back(paths);
            }
        for (const auto& group : report["insideDuplicateFolders"])
            for (const auto& item : group["items"]) m_everyCopy.push_back(realPath(item));
        for (const auto& group : groups) m_everyCopy.insert(m_everyCopy.end(), group.begin(), group.end());
        for (const auto& group : groups) decide(group);
    }
    const std::set<std::string>& selected() const { return m_selected; }

private:
    Rule rule(const std::string& path) const {
        auto longest = [&](const Strings& folders) {
            std::size_t best = 0;
            for (const auto& folder : folders)
                if (path.starts_with(folder + "/")) best = std::max(best, folder.size() + 1);
            return best;
        };
        const std::size_t a = longest(m_always), n = longest(m_never);
        if (a == 0 && n == 0) return none;
        return a >= n ? always : never;
    }
    // The outermost duplicate folder holding the path, or "".
    std::string enclosingFolder(const std::string& path) const {
        std::string outermost;
        for (const auto& folder : m_folders)
            if (path.starts_with(folder + "/") && (outermost.empty() || folder.size() < outermost.size())) outermost = folder;
        return outermost;
    }
    std::size_t selectedIn(const Strings& group) const {
        return std::count_if(group.begin(), group.end(), [&](const auto& p) { return m_selected.count(p) > 0; });
    }
    bool moreThanOneLeft(const Strings& group) const { return group.size() > selectedIn(group) + 1; }
    void select(const Strings& group, const std::string& path) {
        if (m_selected.count(path) || selectedIn(group) + 1 >= group.size()) return;
        const std::string folder = enclosingFolder(path);
        if (!folder.empty() && !m_selected.count(folder)) return;
        m_selected.insert(path);
        if (std::find(m_folders.begin(), m_folders.end(), path) != m_folders.end())
            for (const auto& copy : m_everyCopy)
                if (copy.starts_with(path + "/")) m_selected.insert(copy);
    }
    Strings unselected(const Strings& group) const {
        Strings left;
        for (const auto& p : group)
            if (!m_selected.count(p)) left.push_back(p);
        return left;
    }
    template <typename Key>
    void keepSmallest(const Strings& group, Key key) {
        const Strings left = unselected(group);
        if (left.empty()) return;
        auto smallest = key(left[0]);
        for (const auto& p : left) smallest = std::min(smallest, key(p));
        for (const auto& p : left)
            if (key(p) != smallest && rule(p) != never) select(group, p);
    }

    // The name of the path's component at depth (1: its own), or none past the scanned folder.
    std::optional<std::string> component(const std::string& path, std::size_t depth, bool isFolder) const {
        std::string rest = path;
        for (std::size_t d = 1; d < depth; ++d) {
            if (rest.size() <= m_root.size()) return std::nullopt;
            rest.resize(rest.rfind('/'));
        }
        if (rest.size() < m_root.size()) return std::nullopt;
        std::string name = rest.substr(rest.rfind('/') + 1);
        const auto dot = name.rfind('.');
        if (depth == 1 && !isFolder && dot != std::string::npos && dot > 0) name.resize(dot);
        return name;
    }
    void compareByNames(const Strings& paths, std::size_t depth, std::map<std::string, Rule>& rules) {
        std::map<std::string, std::vector<std::pair<std::string, ModelName>>> buckets;
        Strings order;
        for (const auto& p : paths) {
            const bool isFolder = std::find(m_folders.begin(), m_folders.end(), p) != m_folders.end();
            const auto name = component(p, depth, isFolder);
            if (!name) continue;
            ModelName analysed = modelName(*name);
            if (!buckets.count(analysed.core)) order.push_back(analysed.core);
            buckets[analysed.core].emplace_back(p, analysed);
        }
        for (const auto& core : order) {
            const auto& bucket = buckets[core];
            Strings tied{bucket[0].first}, losing;
            ModelName best = bucket[0].second;
            for (std::size_t i = 1; i < bucket.size(); ++i) {
                const int order = compareNames(best, bucket[i].second);
                if (order < 0) losing.push_back(bucket[i].first);
                else if (order == 0) tied.push_back(bucket[i].first);
                else {
                    losing.insert(losing.end(), tied.begin(), tied.end());
                    tied = {bucket[i].first};
                    best = bucket[i].second;
                }
            }
            for (const auto& p : losing)
                if (rules[p] == none) rules[p] = always;
            if (tied.size() > 1) compareByNames(tied, depth + 1, rules);
        }
    }

    void decide(const Strings& group) {
        const bool mustStay = std::any_of(group.begin(), group.end(), [&](const auto& p) {
            return !m_selected.count(p) && (!enclosingFolder(p).empty() || rule(p) == never);
        });
        if (mustStay) {
            for (const auto& p : group)
                if (rule(p) != never) select(group, p);
            return;
        }
        std::map<std::string, Rule> rules;
        Strings rest;
        for (const auto& p : group) {
            rules[p] = rule(p);
            if (rules[p] != always) rest.push_back(p);
        }
        if (rest.empty()) {
            rest = group;
            for (auto& [p, r] : rules) r = none;
        }
        compareByNames(rest, 1, rules);
        for (const auto& p : group)
            if (rules[p] == always && enclosingFolder(p).empty()) select(group, p);
        if (moreThanOneLeft(group)) keepSmallest(group, [&](const std::string& p) { return m_dates.at(p); });
        if (moreThanOneLeft(group))
            keepSmallest(group, [&](const std::string& p) { return std::count(p.begin(), p.end(), '/'); });
        if (moreThanOneLeft(group)) {
            const Strings left = unselected(group);
            for (std::size_t i = 1; i < left.size(); ++i)
                if (rule(left[i]) != never) select(group, left[i]);
        }
    }

    std::string m_root;
    Strings m_always, m_never;
    std::map<std::string, long> m_dates;
    Strings m_folders;    // every copy of a folder group
    Strings m_everyCopy;  // every copy of the report
    std::set<std::string> m_selected;
};

// --- The tree ------------------------------------------------------------------------------

class AutoSelectCommandTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        root = m_dir.makeDir("lib");
        const std::string nfcResume = "r\xC3\xA9sum\xC3\xA9";         // résumé
        const std::string nfdResume = "re\xCC\x81sume\xCC\x81";       // résumé, decomposed
        const std::string photo = "\xE5\x86\x99\xE7\x9C\x9F";         // 写真
        const std::string picture = "\xEC\x82\xAC\xEC\xA7\x84";       // 사진, composed syllables
        // Each line: the copies of one content, with their dates.
        const std::vector<std::vector<std::pair<std::string, long>>> groups = {
            {{"photos/IMG_1.jpg", 1000}, {"photos/IMG_1 copy.jpg", 1000}, {"photos/IMG_1 copy 2.jpg", 1000}},
            {{"docs/Bericht.pdf", 500}, {"docs/Bericht kopie.pdf", 400}, {"docs/Bericht (2).pdf", 900}},
            {{"fr/" + nfcResume + ".txt", 10}, {"fr/" + nfdResume + " - copie.txt", 10}},
            {{"es/foto copia.png", 10}, {"es/foto.png", 20}},
            {{"ja/" + photo + ".jpg", 10}, {"ja/" + photo + " \xE3\x81\xAE\xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC.jpg", 10}},
            {{"ko/" + picture + " \xEB\xB3\xB5\xEC\x82\xAC\xEB\xB3\xB8.png", 10}, {"ko/" + picture + ".png", 10}},
            {{"ru/\xD0\xBE\xD1\x82\xD1\x87\xD0\xB5\xD1\x82.txt", 10},
             {"ru/\xD0\xBE\xD1\x82\xD1\x87\xD0\xB5\xD1\x82 \xD0\xBA\xD0\xBE\xD0\xBF\xD0\xB8\xD1\x8F.txt", 10}},
            {{"pt/c\xC3\xB3pia de nota.txt", 10}, {"pt/nota.txt", 10}},
            {{"Downloads/song.mp3", 10}, {"music/song.mp3", 10}},
            {{"Keep/video.mp4", 30}, {"other/video.mp4", 10}, {"other/video copy.mp4", 10}},
            {{"Downloads/Keep/x.txt", 10}, {"y/x.txt", 10}, {"Downloads/x.txt", 10}},
            {{"d1/f.txt", 100}, {"d2/f.txt", 200}, {"d3/f.txt", 100}},
            {{"e1/g.txt", 10}, {"e1/sub/g.txt", 10}},
            {{"h1/k.txt", 10}, {"h2/k.txt", 10}},
            // The folders' names decide before the dates would (the copy is older).
            {{"x/Album/p.jpg", 20}, {"y/Album copy/p.jpg", 10}},
            {{"Downloads/q1/z.txt", 10}, {"Downloads/z copy.txt", 10}},
            // Identical folders albumA and albumB, and a copy outside them.
            {{"albumA/a1.jpg", 10}, {"albumB/a1.jpg", 10}, {"loose/a1.jpg", 10}},
            {{"albumA/a2.jpg", 10}, {"albumB/a2.jpg", 10}},
        };
        std::uint32_t seed = 0;
        for (const auto& copies : groups) {
            const std::string content = test::noise(3000 + 100 * seed, seed);
            ++seed;
            for (const auto& [name, date] : copies) {
                m_dir.writeFile("lib/" + name, content);
                dates[root + "/" + name] = date;
            }
        }
        // Every folder but albumA and albumB holds a file of its own, so that
        // no two of them are identical folders by chance.
        std::vector<std::string> folders{root};
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_directory()) folders.push_back(entry.path().string());
        for (const auto& folder : folders)
            if (!folder.ends_with("/albumA") && !folder.ends_with("/albumB")) {
                ++seed;
                m_dir.writeFile(folder.substr(m_dir.path().size() + 1) + "/own.dat", test::noise(100 + seed, seed));
            }
        for (const auto& [path, date] : dates) test::setModificationTime(path, date);
        for (const char* folder : {"albumA", "albumB"}) {
            test::setModificationTime(root + "/" + folder, 77);
            dates[root + "/" + folder] = 77;
        }
    }

    ChildProcess::Result scan(Strings extra) {
        Strings args = {"scan", "-q", "-m", "all", "-F", "json"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(root);
        return ChildProcess::run(kBinary, args);
    }

    // Path -> selected, for every copy of the report.
    static std::map<std::string, bool> selection(const json& report) {
        std::map<std::string, bool> copies;
        auto take = [&](const json& groups) {
            for (const auto& group : groups)
                for (const auto& item : group["items"]) copies[realPath(item)] = item["selected"].get<bool>();
        };
        for (const auto& category : report["categories"]) take(category["groups"]);
        take(report["insideDuplicateFolders"]);
        return copies;
    }

    test::TempDir m_dir;
    std::string root;
    std::map<std::string, long> dates;
};

TEST_F(AutoSelectCommandTest, AutoSelectSelectsWhatTheProcedureSaysAndKeepsACopyOfEveryGroup) {
    // The stored lists are replaced for the run by the ones given.
    Settings settings = Settings::standard();
    settings.setAutoAlwaysSelectFolders(Strings{root + "/music"});
    settings.setAutoNeverSelectFolders(Strings{root + "/other"});
    const Strings always{root + "/Downloads"}, never{root + "/Keep", root + "/Downloads/Keep"};
    const auto result = scan({"--auto-select", "--always-select", always[0], "--never-select", never[0],
                              "--never-select=" + never[1]});
    const json report = test::reportOf(result);
    const auto copies = selection(report);

    Model model(root, always, never, dates);
    model.run(report);
    std::set<std::string> selected;
    for (const auto& [path, isSelected] : copies)
        if (isSelected) selected.insert(path);
    EXPECT_EQ(selected, model.selected());

    // A few outcomes spelled out, so that the model itself is checked too.
    for (const char* kept : {"photos/IMG_1.jpg", "docs/Bericht.pdf", "es/foto.png", "pt/nota.txt", "music/song.mp3",
                             "Keep/video.mp4", "Downloads/Keep/x.txt", "e1/g.txt", "x/Album/p.jpg",
                             "Downloads/q1/z.txt"})
        EXPECT_FALSE(copies.at(root + "/" + kept)) << kept;
    for (const char* gone : {"photos/IMG_1 copy 2.jpg", "docs/Bericht kopie.pdf", "Downloads/song.mp3",
                             "other/video.mp4", "y/x.txt", "Downloads/x.txt", "d2/f.txt", "e1/sub/g.txt",
                             "y/Album copy/p.jpg", "loose/a1.jpg"})
        EXPECT_TRUE(copies.at(root + "/" + gone)) << gone;
    // Where only the order of the copies decides, one of them stays.
    for (const auto& [one, other] : std::vector<std::pair<std::string, std::string>>{
             {"d1/f.txt", "d3/f.txt"}, {"h1/k.txt", "h2/k.txt"}, {"albumA", "albumB"}, {"albumA/a1.jpg", "albumB/a1.jpg"}})
        EXPECT_NE(copies.at(root + "/" + one), copies.at(root + "/" + other)) << one;

    // Never the last copy of a group.
    auto checkKept = [&](const json& groups) {
        for (const auto& group : groups) {
            bool kept = false;
            for (const auto& item : group["items"]) kept = kept || !item["selected"].get<bool>();
            EXPECT_TRUE(kept) << group.dump();
        }
    };
    for (const auto& category : report["categories"]) checkKept(category["groups"]);
    checkKept(report["insideDuplicateFolders"]);

    // The removal list with its totals, and the message in the system's words.
    const json& removal = report["removalList"];
    EXPECT_EQ(removal["items"].size(), removal["count"].get<std::size_t>());
    std::uint64_t size = 0;
    for (const auto& item : removal["items"]) {
        size += item["size"].get<std::uint64_t>();
        EXPECT_TRUE(copies.at(realPath(item)));
        EXPECT_TRUE(item.contains("group") && item.contains("modified") && item.contains("category"));
    }
    EXPECT_EQ(removal["size"].get<std::uint64_t>(), size);
    EXPECT_NE(result.err.find("kestrane: --auto-select: Review the selected duplicates\n"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("kestrane: --auto-select: " + std::to_string(removal["count"].get<int>()) +
                              " duplicates of "),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("kestrane: --auto-select: Review and confirm the selected files before removal.\n"),
              std::string::npos)
        << result.err;
}

TEST_F(AutoSelectCommandTest, SelectionOptionsApplyInTheOrderGiven) {
    // A second auto-select finds nothing new and says so.
    auto result = scan({"--auto-select", "--auto-select"});
    auto report = test::reportOf(result);
    EXPECT_NE(result.err.find("kestrane: --auto-select: No duplicates were selected\n"
                              "kestrane: --auto-select: All duplicate files were selected before.\n"),
              std::string::npos)
        << result.err;

    // Newest after auto-select starts from nothing: only dates count.
    result = scan({"--auto-select", "--select-newest"});
    auto copies = selection(test::reportOf(result));
    EXPECT_TRUE(copies.at(root + "/d2/f.txt"));
    EXPECT_FALSE(copies.at(root + "/d1/f.txt"));
    EXPECT_FALSE(copies.at(root + "/photos/IMG_1 copy.jpg"));  // equal dates: nothing selected
    EXPECT_TRUE(copies.at(root + "/docs/Bericht (2).pdf"));
    EXPECT_TRUE(copies.at(root + "/docs/Bericht.pdf"));
    EXPECT_FALSE(copies.at(root + "/docs/Bericht kopie.pdf"));

    result = scan({"--select-oldest"});
    copies = selection(test::reportOf(result));
    EXPECT_TRUE(copies.at(root + "/d1/f.txt"));
    EXPECT_TRUE(copies.at(root + "/d3/f.txt"));
    EXPECT_FALSE(copies.at(root + "/d2/f.txt"));
    EXPECT_FALSE(copies.at(root + "/Keep/video.mp4"));
    EXPECT_TRUE(copies.at(root + "/other/video.mp4"));

    result = scan({"--auto-select", "--deselect-all"});
    report = test::reportOf(result);
    EXPECT_EQ(report["removalList"]["count"], 0);
    EXPECT_TRUE(report["removalList"]["items"].empty());
}

TEST_F(AutoSelectCommandTest, TheReviewShowsTheRemovalListInThePresentationAndOrderAsked) {
    // The stored presentation and order are the defaults of --review.
    Settings settings = Settings::standard();
    settings.setSelectedFilesPresentation(2);  // plain list
    settings.setSelectedFilesSortType(4);      // size, small to large
    settings.setAutoAlwaysSelectFolders(Strings{});
    settings.setAutoNeverSelectFolders(Strings{});
    auto result = scan({"--auto-select", "--review"});
    json review = test::reportOf(result)["review"];
    EXPECT_EQ(review["presentation"], "list");
    EXPECT_EQ(review["sort"], "size-asc");
    std::uint64_t last = 0;
    for (const auto& entry : review["entries"]) {
        EXPECT_EQ(entry["kind"], "copy");
        EXPECT_GE(entry["size"].get<std::uint64_t>(), last);
        last = entry["size"].get<std::uint64_t>();
    }

    // Grouped by folders: one entry per folder, ordered by path, copies by name.
    result = scan({"--auto-select", "--review", "folders", "--sort", "name"});
    review = test::reportOf(result)["review"];
    ASSERT_FALSE(review["entries"].empty());
    std::string previous;
    for (const auto& folder : review["entries"]) {
        EXPECT_EQ(folder["kind"], "folder");
        EXPECT_LT(previous, realPath(folder));
        previous = realPath(folder);
        for (const auto& copy : folder["entries"]) EXPECT_EQ(realPath(copy).rfind('/'), previous.size());
    }

    // The tree, in the human report: folders under the scanned folder.
    result = ChildProcess::run(kBinary, {"scan", "-q", "-m", "all", "--auto-select", "--review=tree", "--sort=date",
                                         root});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const auto at = result.out.find("\nSelected for removal, as a file tree, sorted by Date: Newest to Oldest: ");
    ASSERT_NE(at, std::string::npos) << result.out;
    const std::string tree = result.out.substr(at);
    EXPECT_NE(tree.find("\n  " + root + "/\n"), std::string::npos) << tree;
    EXPECT_NE(tree.find("\n    d2/\n      f.txt  "), std::string::npos) << tree;
    // In one folder the newer copy comes first.
    EXPECT_LT(tree.find("Bericht (2).pdf"), tree.find("Bericht kopie.pdf")) << tree;

    // Bad words are usage errors.
    EXPECT_EQ(ChildProcess::run(kBinary, {"scan", "--review=outline", root}).exitStatus, 2);
    EXPECT_EQ(ChildProcess::run(kBinary, {"scan", "--sort", "biggest", root}).exitStatus, 2);
}

}  // namespace
}  // namespace kestrane
