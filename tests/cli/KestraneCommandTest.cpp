// End-to-end tests: the built kestrane binary on real folders.

#include "support/ChildProcess.h"
#include "support/ReportJson.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrane {
namespace {

using nlohmann::json;
using test::ChildProcess;
using test::TempDir;

using test::groupsIn;
using test::kBinary;
using test::realPath;

mode_t fileType(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// What a report being written leaves in its folder until it is complete.
std::vector<std::string> temporaryReportsIn(const std::string& folder) {
    std::vector<std::string> names = namesIn(folder);
    std::erase_if(names, [](const std::string& name) { return name.find(".kestrane-") == std::string::npos; });
    return names;
}

class KestraneCommandTest : public test::IsolatedHomeTest {
protected:
    ChildProcess::Result kestrane(std::vector<std::string> args) { return ChildProcess::run(kBinary, args); }
    json jsonScan(std::vector<std::string> extra) {
        std::vector<std::string> args = {"scan", "--format", "json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::reportOf(kestrane(args));
    }
    TempDir m_tree;
};

TEST_F(KestraneCommandTest, TheJsonReportHoldsFileGroupsByCategoryDuplicateAndSimilarFoldersAndOddNamesExactly) {
    const std::string photo = test::noise(200000, 1);
    const std::string song = test::noise(120000, 2);
    m_tree.writeFile("photos/IMG_0001.jpg", photo);
    m_tree.writeFile("backup/IMG_0001 copy.jpg", photo);
    m_tree.writeFile("music/song.mp3", song);
    m_tree.writeFile("backup/song-1.mp3", song);
    // Two identical folders.
    for (const char* album : {"album", "album again"}) {
        m_tree.writeFile(std::string("music/") + album + "/a.flac", test::noise(50000, 3));
        m_tree.writeFile(std::string("music/") + album + "/b.flac", test::noise(60000, 4));
    }
    // A similar pair: two shared files, one file of its own each.
    for (const char* side : {"docs/2023", "docs/copy of 2023"}) {
        m_tree.writeFile(std::string(side) + "/report.pdf", test::noise(30000, 5));
        m_tree.writeFile(std::string(side) + "/letter.odt", test::noise(20000, 6));
        m_tree.writeFile(std::string(side) + "/own.txt", test::noise(1000, side[5] == '2' ? 7 : 8));
    }
    // A name that is not UTF-8, and one with a line break.
    const std::string odd = m_tree.path() + "/odd/caf\xE9 \n.txt";
    m_tree.writeFile("odd/caf\xE9 \n.txt", test::noise(4000, 9));
    m_tree.writeFile("odd/plain.txt", test::noise(4000, 9));

    const json report = jsonScan({"--min-size", "all", m_tree.path()});
    EXPECT_EQ(report["format"], "kestrane-scan-report");
    EXPECT_EQ(report["version"], 1);
    EXPECT_EQ(realPath(report["folders"][0]), m_tree.path());
    EXPECT_EQ(report["minimalSize"], 0);
    EXPECT_EQ(report["minimalSizeAutomatic"], false);
    EXPECT_EQ(report["fullHash"], false);
    EXPECT_EQ(report["stopped"], false);
    EXPECT_EQ(report["counters"]["scannedFiles"], 16);
    ASSERT_EQ(report["categories"].size(), 7u);
    EXPECT_EQ(report["categories"][0]["name"], "images");

    EXPECT_EQ(groupsIn(report, 0),
              (std::set<std::set<std::string>>{{m_tree / "photos/IMG_0001.jpg", m_tree / "backup/IMG_0001 copy.jpg"}}));
    EXPECT_EQ(groupsIn(report, 2),
              (std::set<std::set<std::string>>{{m_tree / "music/song.mp3", m_tree / "backup/song-1.mp3"}}));
    EXPECT_EQ(report["categories"][2]["groups"][0]["size"], 120000);
    EXPECT_EQ(report["categories"][2]["foundSize"], 240000);
    EXPECT_EQ(report["categories"][2]["removableSize"], 120000);
    EXPECT_EQ(groupsIn(report, 6),
              (std::set<std::set<std::string>>{{m_tree / "music/album", m_tree / "music/album again"}}));
    // The files of the identical folders are reported once, as lying inside them.
    ASSERT_EQ(report["insideDuplicateFolders"].size(), 2u);
    EXPECT_EQ(report["insideDuplicateFolders"][0]["category"], 2);
    // The odd name comes back byte for byte.
    const auto documents = groupsIn(report, 3);
    EXPECT_TRUE(documents.count({odd, m_tree / "odd/plain.txt"})) << report["categories"][3].dump();

    bool foundPair = false;
    for (const auto& pair : report["similarFolders"]) {
        const std::set<std::string> folders = {realPath(pair["folders"][0]), realPath(pair["folders"][1])};
        if (folders == std::set<std::string>{m_tree / "docs/2023", m_tree / "docs/copy of 2023"}) {
            foundPair = true;
            EXPECT_EQ(pair["sharedGroups"], 2);
            EXPECT_EQ(pair["size"], 100000);
        }
    }
    EXPECT_TRUE(foundPair) << report["similarFolders"].dump();
    EXPECT_EQ(report["similarFolderPairsLeftOut"], 0);
    for (const char* stage : {"readingSeconds", "duplicateFilesSeconds", "duplicateFoldersSeconds",
                              "similarFoldersSeconds", "totalSeconds", "peakMemoryBytes"})
        EXPECT_GT(report["stats"][stage].get<double>(), 0.0) << stage;
}

TEST_F(KestraneCommandTest, CsvHasOneQuotedLinePerCopyAndTheOutputFileIsReplacedWhole) {
    const std::string same = test::noise(5000, 11);
    m_tree.writeFile("data/one, two.txt", same);
    m_tree.writeFile("data/say \"hi\".txt", same);
    m_tree.writeFile("data/x/third.txt", same);
    const std::string output = m_tree.path() + "/../report-" + std::to_string(::getpid()) + ".csv";
    { std::ofstream(output) << "old content"; }

    const auto result = kestrane({"scan", "-m", "all", "-F", "csv", "-o", output, m_tree / "data"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(result.out.empty());  // the report went to the file only
    std::ifstream in(output, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(output.c_str());
    const std::string csv = text.str();
    EXPECT_EQ(csv.rfind("category,group,size,path,modified,selected\r\n", 0), 0u) << csv;
    EXPECT_NE(csv.find(",\"" + m_tree.path() + "/data/one, two.txt\","), std::string::npos) << csv;
    EXPECT_NE(csv.find(",\"" + m_tree.path() + "/data/say \"\"hi\"\".txt\","), std::string::npos) << csv;
    EXPECT_NE(csv.find("documents,1,5000," + m_tree.path() + "/data/x/third.txt,"), std::string::npos) << csv;
    std::size_t lines = 0;
    for (std::size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 4u);
}

TEST_F(KestraneCommandTest, ModificationTimesLongAfter2262AreReportedAsTheirOwnDates) {
    const test::ScopedTimeZone utc("UTC0");
    const std::string content = test::noise(3000, 51);
    const std::string later = m_tree.writeFile("future/a.txt", content);
    const std::string leapDay = m_tree.writeFile("future/b.txt", content);
    for (const auto& [path, seconds] : {std::pair{later, 10'426'881'600ll}, std::pair{leapDay, 13'574'563'200ll}}) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<std::time_t>(seconds), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        if (info.st_mtim.tv_sec != seconds) GTEST_SKIP() << "this file system cannot keep times after 2400";
    }

    const json report = jsonScan({"-m", "all", m_tree / "future"});
    std::map<std::string, std::string> modified;
    for (const auto& item : report["categories"][3]["groups"][0]["items"])
        modified[realPath(item)] = item["modified"];
    EXPECT_EQ(modified, (std::map<std::string, std::string>{{later, "2300-06-01T12:00:00+00:00"},
                                                              {leapDay, "2400-02-29T00:00:00+00:00"}}));
    const auto csv = kestrane({"scan", "-m", "all", "-F", "csv", m_tree / "future"});
    EXPECT_NE(csv.out.find(later + ",2300-06-01T12:00:00+00:00,"), std::string::npos) << csv.out;
    const auto human = kestrane({"scan", "-m", "all", m_tree / "future"});
    EXPECT_NE(human.out.find(leapDay + "  3.0 KB  2400-02-29 00:00\n"), std::string::npos) << human.out;
}

TEST_F(KestraneCommandTest, MistakesGetOneLineNamingThePathAndTheirOwnExitStatus) {
    const std::string file = m_tree.writeFile("file.txt", "x");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"scan", m_tree / "missing"}, 3, m_tree / "missing: no such folder"},
        {{"scan", file}, 3, file + ": not a folder"},
        {{"scan", "--frobnicate", m_tree.path()}, 2, "unknown option --frobnicate"},
        {{"scan", "--min-size", "12 parsecs", m_tree.path()}, 2, "bad size \"12 parsecs\""},
        {{"scan", "--min-size", "10000000T", m_tree.path()}, 2, "--min-size is larger than any file can be"},
        {{"scan", "--format", "xml", m_tree.path()}, 2, "unknown format \"xml\""},
        {{"scan"}, 2, "name at least one folder"},
        {{"scan", m_tree.path(), ""}, 2, "an empty folder name was given"},
        {{"scan", "--", ""}, 2, "an empty folder name was given"},
        {{"defragment"}, 2, "unknown command \"defragment\""},
    };
    for (const auto& c : cases) {
        const auto result = kestrane(c.args);
        EXPECT_EQ(result.exitStatus, c.status) << c.args.back();
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(result.out.empty());
    }

    // Nothing found is not an error, and the report says so.
    m_tree.writeFile("lonely/a.txt", "only one");
    const auto nothing = kestrane({"scan", "-m", "all", m_tree / "lonely"});
    EXPECT_EQ(nothing.exitStatus, 0);
    EXPECT_NE(nothing.out.find("No duplicates were found."), std::string::npos) << nothing.out;

    const auto version = kestrane({"--version"});
    EXPECT_EQ(version.out.rfind("kestrane ", 0), 0u);
    for (const char* command : {"scan", "prefs"}) {
        const auto help = kestrane({command, "--help"});
        EXPECT_EQ(help.exitStatus, 0) << command;
        EXPECT_NE(help.out.find("kestrane " + std::string(command)), std::string::npos) << help.out;
    }
}

// "link/.." is the parent of the link's target, as the kernel opens it, not
// the folder that holds the link: a path is never shortened as text.
TEST_F(KestraneCommandTest, DotDotAfterASymbolicLinkNamesTheParentOfTheLinkTarget) {
    const std::string inner = test::noise(5000, 11);
    m_tree.writeFile("deep/parent/one.bin", inner);
    m_tree.writeFile("deep/parent/target/two.bin", inner);
    // Copies in the folder that holds the link: found only if it were scanned.
    m_tree.writeFile("outside.bin", test::noise(6000, 12));
    m_tree.writeFile("outside copy.bin", test::noise(6000, 12));
    ASSERT_EQ(::symlink("deep/parent/target", (m_tree / "link").c_str()), 0);
    const std::set<std::set<std::string>> expected = {
        {m_tree / "deep/parent/one.bin", m_tree / "deep/parent/target/two.bin"}};

    const auto groupsOfScan = [&](const std::string& folder) {
        const json report = jsonScan({"--min-size", "all", folder});
        EXPECT_EQ(report["folders"].size(), 1u) << folder;
        EXPECT_EQ(realPath(report["folders"][0]), m_tree / "deep/parent") << folder;
        std::set<std::set<std::string>> groups;
        for (int category = 0; category < static_cast<int>(report["categories"].size()); ++category)
            for (const auto& group : groupsIn(report, category)) groups.insert(group);
        return groups;
    };
    EXPECT_EQ(groupsOfScan(m_tree / "link/.."), expected);
    EXPECT_EQ(groupsOfScan(m_tree.path() + "//link/./../"), expected);

    // The same, typed relative to the working folder.
    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(m_tree.path());
    const auto relative = groupsOfScan("link/..");
    std::filesystem::current_path(previous);
    EXPECT_EQ(relative, expected);
}

TEST_F(KestraneCommandTest, TheHumanSummaryCountsEveryGroupAndSaysWhatRemovalWouldFree) {
    // Two identical folders, three copies of one file, and two empty files.
    for (const char* side : {"a", "b"})
        m_tree.writeFile(std::string("tree/") + side + "/x.bin", test::noise(30000, 41));
    for (const char* copy : {"tree/c/p.txt", "tree/c/q.txt", "tree/d/r.txt"})
        m_tree.writeFile(copy, test::noise(5000, 42));
    m_tree.writeFile("tree/empties/e1/empty.txt", "");
    m_tree.writeFile("tree/empties/e2/empty.txt", "");
    m_tree.writeFile("tree/empties/e1/own", "one");
    m_tree.writeFile("tree/empties/e2/own", "two");

    const auto all = kestrane({"scan", "-m", "all", m_tree / "tree"});
    ASSERT_EQ(all.exitStatus, 0) << all.err;
    EXPECT_NE(all.out.find("\n75 KB of duplicates were found. Removing all but one copy of each of the 3 groups "
                           "would free 40 KB.\n"),
              std::string::npos)
        << all.out;
    EXPECT_EQ(jsonScan({"-m", "all", m_tree / "tree"})["removableSize"], 40000);

    // Groups of empty files weigh nothing but are still duplicates.
    const auto empties = kestrane({"scan", "-m", "all", m_tree / "tree/empties"});
    EXPECT_NE(empties.out.find("empties/e2/empty.txt"), std::string::npos) << empties.out;
    EXPECT_EQ(empties.out.find("No duplicates"), std::string::npos) << empties.out;
    EXPECT_NE(empties.out.find("0 bytes of duplicates were found. Removing all but one copy of the group would "
                               "free 0 bytes."),
              std::string::npos)
        << empties.out;
    const auto emptiesJson = kestrane({"scan", "-m", "all", "-F", "json", m_tree / "tree/empties"});
    EXPECT_EQ(emptiesJson.err.find("no duplicates"), std::string::npos) << emptiesJson.err;
}

TEST_F(KestraneCommandTest, HandEditedPreferencesThatCannotBeUsedGiveTheirDefaultsAndOneWarningEach) {
    // Two copies, a file that differs from them only at byte 100, and a small pair.
    std::string content = test::noise(2000000, 61);
    const std::string a = m_tree.writeFile("big/a.bin", content);
    const std::string b = m_tree.writeFile("big/b.bin", content);
    content[100] = static_cast<char>(content[100] + 1);
    m_tree.writeFile("big/c.bin", content);
    m_tree.writeFile("big/small1.bin", test::noise(5000, 62));
    m_tree.writeFile("big/small2.bin", test::noise(5000, 62));
    // A block of one byte would leave byte 100 out of the partial keys; a
    // minimal size of 1e19 is no file size at all.
    m_sandbox.writeFile("home/.config/kestrane/preferences.json",
                        R"({"s:hashBlockSize": 1, "us:minDuplicatesFileSize": 1e19,
                            "us:defineMinimalDuplicatesFileSizeAutomatically": false})");

    const auto result = kestrane({"scan", "-F", "json", m_tree / "big"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const json report = json::parse(result.out);
    EXPECT_EQ(report["minimalSize"], 1048576);
    EXPECT_EQ(groupsIn(report, 5), (std::set<std::set<std::string>>{{a, b}}));
    for (const std::string key : {"s:hashBlockSize", "us:minDuplicatesFileSize"}) {
        std::size_t count = 0;
        for (auto at = result.err.find(key); at != std::string::npos; at = result.err.find(key, at + 1)) ++count;
        EXPECT_EQ(count, 1u) << key << " in " << result.err;
    }
    EXPECT_NE(result.err.find("kestrane: warning: the stored value 1 of s:hashBlockSize cannot be used"),
              std::string::npos)
        << result.err;
}

TEST_F(KestraneCommandTest, AnUnreadableFolderIsNamedAndNothingIsScanned) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the binary as another user";
    const std::string locked = m_tree.makeDir("locked");
    ASSERT_EQ(::chmod(m_tree.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0700), 0);
    const auto result = ChildProcess::run(kBinary, {"scan", locked}, 65534);
    if (result.exitStatus == 126 || result.exitStatus == 127)
        GTEST_SKIP() << "the binary cannot be run as uid 65534 from where it was built";
    EXPECT_EQ(result.exitStatus, 3) << result.err;
    EXPECT_NE(result.err.find(locked + ": cannot read it"), std::string::npos) << result.err;
}

TEST_F(KestraneCommandTest, AFolderOnAReadOnlyVolumeIsLeftOutWithoutATerminalUnlessAnsweredYes) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a read-only volume";
    const std::string volume = m_tree.makeDir("cdrom");
    m_tree.writeFile("cdrom/a.txt", "same words");
    m_tree.writeFile("cdrom/b.txt", "same words");
    if (::mount(volume.c_str(), volume.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here";
    if (::mount(nullptr, volume.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        ::umount(volume.c_str());
        GTEST_SKIP() << "cannot remount read-only here";
    }
    const auto leftOut = kestrane({"scan", "-m", "all", volume});
    const auto withYes = kestrane({"scan", "-m", "all", "--yes", "-F", "json", volume});
    ::umount(volume.c_str());

    EXPECT_EQ(leftOut.exitStatus, 4);
    EXPECT_NE(leftOut.err.find(volume + " is on a read-only volume"), std::string::npos) << leftOut.err;
    EXPECT_NE(leftOut.err.find("pass --yes"), std::string::npos) << leftOut.err;
    EXPECT_TRUE(leftOut.out.empty());
    ASSERT_EQ(withYes.exitStatus, 0) << withYes.err;
    EXPECT_EQ(groupsIn(json::parse(withYes.out), 3),
              (std::set<std::set<std::string>>{{volume + "/a.txt", volume + "/b.txt"}}));
}

TEST_F(KestraneCommandTest, PreferencesSetWithPrefsChangeTheNextScanAndOptionsOverrideThemForOneRun) {
    m_tree.writeFile("top/.hidden/a.txt", test::noise(3000, 21));
    m_tree.writeFile("top/b.txt", test::noise(3000, 21));
    m_tree.writeFile("top/big1.bin", test::noise(2000000, 22));
    m_tree.writeFile("top/big2.bin", test::noise(2000000, 22));
    m_tree.writeFile("top/.big3.bin", test::noise(2000000, 22));
    auto groupCount = [](const json& report) {
        std::size_t count = 0;
        for (const auto& category : report["categories"]) count += category["groups"].size();
        return count;
    };

    // Defaults: what lies in hidden folders is left out, but a hidden file in
    // an ordinary folder is compared, and the report says exactly that.
    const json defaults = jsonScan({m_tree / "top"});
    EXPECT_EQ(groupCount(defaults), 1u);
    EXPECT_EQ(groupsIn(defaults, 5), (std::set<std::set<std::string>>{
                                         {m_tree / "top/big1.bin", m_tree / "top/big2.bin", m_tree / "top/.big3.bin"}}));
    const auto human = kestrane({"scan", m_tree / "top"});
    EXPECT_NE(human.out.find("hidden folders skipped (hidden files elsewhere compared)"), std::string::npos)
        << human.out;
    EXPECT_NE(kestrane({"scan", "--help"}).out.find("hidden files in other folders are still compared"),
              std::string::npos);
    ASSERT_EQ(kestrane({"prefs", "set", "KEY_scanInHiddenFolders", "true"}).exitStatus, 0);
    ASSERT_EQ(kestrane({"prefs", "set", "us:defineMinimalDuplicatesFileSizeAsZero", "true"}).exitStatus, 0);
    ASSERT_EQ(kestrane({"prefs", "set", "us:defineMinimalDuplicatesFileSizeAutomatically", "false"}).exitStatus, 0);
    const json changed = jsonScan({m_tree / "top"});
    EXPECT_EQ(groupCount(changed), 2u);
    EXPECT_EQ(changed["includeHidden"], true);

    // Options win for one run and are not stored.
    const json overridden = jsonScan({"--no-hidden", "--min-size", "1M", m_tree / "top"});
    EXPECT_EQ(groupCount(overridden), 1u);
    EXPECT_EQ(overridden["minimalSize"], 1000000);
    const auto stored = kestrane({"prefs", "get", "KEY_scanInHiddenFolders"});
    EXPECT_NE(stored.out.find("true"), std::string::npos) << stored.out;
}

TEST_F(KestraneCommandTest, OnlyARegularFileIsReplacedByTheReportOtherTargetsAreWrittenThroughOrRefused) {
    m_tree.writeFile("data/a.txt", "same words");
    m_tree.writeFile("data/b.txt", "same words");
    const std::string out = m_tree.makeDir("out");
    const auto scanTo = [&](const std::string& target) {
        return kestrane({"scan", "-m", "all", "-F", "csv", "-o", target, m_tree / "data"});
    };
    const std::string header = "category,group,size,path,modified,selected\r\n";

    // A FIFO gets the report and stays a FIFO (its reader is there first).
    const std::string fifo = out + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const auto viaFifo = scanTo(fifo);
    std::string received(1 << 16, '\0');
    const ssize_t count = ::read(reader, received.data(), received.size());
    ::close(reader);
    received.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    EXPECT_EQ(viaFifo.exitStatus, 0) << viaFifo.err;
    EXPECT_EQ(fileType(fifo), S_IFIFO);
    EXPECT_EQ(received.rfind(header, 0), 0u) << received;

    // A character device: as root a null device of the test's own (the real
    // one is everybody's), otherwise /dev/null itself, which only root could replace.
    std::string device = "/dev/null";
    if (::geteuid() == 0) {
        device = out + "/null";
        if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) device.clear();
    }
    if (!device.empty()) {
        const auto viaDevice = scanTo(device);
        EXPECT_EQ(viaDevice.exitStatus, 0) << viaDevice.err;
        EXPECT_EQ(fileType(device), S_IFCHR);
    }

    // A link to a regular file stays a link: the file it leads to is
    // replaced, and keeps its permissions.
    const std::string real = m_tree.writeFile("out/report.csv", "old report");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("report.csv", (out + "/latest.csv").c_str()), 0);
    const auto viaLink = scanTo(out + "/latest.csv");
    EXPECT_EQ(viaLink.exitStatus, 0) << viaLink.err;
    EXPECT_EQ(fileType(out + "/latest.csv"), S_IFLNK);
    EXPECT_EQ(fileText(real).rfind(header, 0), 0u);
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // Refused, and left as they are: a link to nothing, a folder, a disk.
    struct Refusal {
        std::string path;
        mode_t type;
        std::string reason;
    };
    std::vector<Refusal> refusals = {{out + "/dangling", S_IFLNK, "it is a symbolic link to nothing"},
                                     {m_tree.makeDir("out/folder"), S_IFDIR, "it is a folder"}};
    ASSERT_EQ(::symlink("nowhere.csv", refusals[0].path.c_str()), 0);
    // A block device number that names no disk, so that even a wrong write reaches nothing.
    const std::string disk = out + "/disk";
    if (::geteuid() == 0 && ::mknod(disk.c_str(), S_IFBLK | 0600, ::makedev(259, 999999)) == 0)
        refusals.push_back({disk, S_IFBLK, "it is a block device"});
    for (const Refusal& r : refusals) {
        const auto result = scanTo(r.path);
        EXPECT_EQ(result.exitStatus, 1) << r.path;
        EXPECT_NE(result.err.find("cannot write the report to " + r.path + ": " + r.reason), std::string::npos)
            << result.err;
        EXPECT_EQ(fileType(r.path), r.type) << r.path;
    }
    EXPECT_EQ(fileType(out + "/nowhere.csv"), 0u);
    EXPECT_EQ(namesIn(out + "/folder"), std::vector<std::string>{});
    EXPECT_EQ(temporaryReportsIn(out), std::vector<std::string>{});
}

// A scan that takes long enough to interrupt: same-size files whose whole
// content must be read. They differ only at a quarter of their length, away
// from the blocks a partial key reads, so that even full-hash mode, which
// first tells files apart by partial keys, reads every byte.
class KestraneInterruptTest : public KestraneCommandTest {
protected:
    std::string writeSlowTree() {
        const std::string block = test::noise(8 << 20, 31);
        for (int i = 0; i < 48; ++i) {
            std::string content = block;
            content[content.size() / 4] = static_cast<char>(i);
            m_tree.writeFile("big/f" + std::to_string(i) + ".bin", content);
        }
        return m_tree / "big";
    }
};

TEST_F(KestraneInterruptTest, SigtermAndSighupLeaveNoHalfWrittenReportBehind) {
    const std::string big = writeSlowTree();
    const std::string out = m_tree.makeDir("out");
    const std::string report = m_tree.writeFile("out/report.json", "old report");
    for (const int signal : {SIGTERM, SIGHUP}) {
        ChildProcess scan(kBinary, {"scan", "--full-hash", "-m", "all", "-F", "json", "-o", report, big});
        ASSERT_TRUE(scan.waitUntilCatching(signal, std::chrono::seconds(20))) << signal;
        // The temporary report is made right after the handler is installed.
        ASSERT_TRUE(test::pollUntil([&] { return !temporaryReportsIn(out).empty(); }, std::chrono::seconds(20)));
        scan.sendSignal(signal);
        const auto result = scan.wait();
        EXPECT_EQ(result.signal, signal) << result.err;
        EXPECT_EQ(temporaryReportsIn(out), std::vector<std::string>{}) << signal;
        EXPECT_EQ(fileText(report), "old report");
    }
}

TEST_F(KestraneInterruptTest, CtrlCOnceStopsTheScanAndReportsWhatWasFound) {
    ChildProcess scan(kBinary, {"scan", "--full-hash", "-m", "all", "-F", "json", writeSlowTree()});
    ASSERT_TRUE(scan.waitUntilCatching(SIGINT, std::chrono::seconds(20)));
    scan.sendSignal(SIGINT);
    const auto result = scan.wait();
    const auto report = test::reportOf(result);
    EXPECT_EQ(report["stopped"], true);
    EXPECT_NE(result.err.find("stopping"), std::string::npos) << result.err;
}

TEST_F(KestraneInterruptTest, CtrlCTwiceQuitsAtOnceEvenWhileTheReportIsBeingWritten) {
    // Enough groups that the report fills the pipe: the program waits on its
    // write until the test reads, which it does not do before both presses.
    for (int i = 0; i < 600; ++i) {
        const std::string content = "pair " + std::to_string(i);
        m_tree.writeFile("many/a/file-with-a-long-name-" + std::to_string(i) + ".txt", content);
        m_tree.writeFile("many/b/file-with-a-long-name-" + std::to_string(i) + ".txt", content);
    }
    m_tree.writeFile("many/a/unique.txt", "so that a and b are not duplicate folders");
    ChildProcess scan(kBinary, {"scan", "-m", "all", "-F", "json", m_tree / "many"});
    ASSERT_TRUE(scan.waitForOutput(std::chrono::seconds(60)));
    scan.sendSignal(SIGINT);
    ASSERT_TRUE(scan.waitUntilTaken(SIGINT, std::chrono::seconds(20)));  // two presses, not one
    scan.sendSignal(SIGINT);
    const auto result = scan.wait();
    EXPECT_EQ(result.exitStatus, 130) << result.err;
    EXPECT_NE(result.err.find("interrupted"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace kestrane
