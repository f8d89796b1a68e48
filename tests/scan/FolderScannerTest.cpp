#include "scan/FolderScanner.h"

#include "platform/MainQueue.h"
#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/FolderScanWorker2.h"
#include "scan/VolumeSystemItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::expectAsUnprivilegedUser;

// Records what a folder scan reports, and checks the order of the reports.
class RecordingListener : public FolderScannerListener {
public:
    void onScannerFoundFiles(FolderScanner&, std::vector<FileSystemItem*> files) override {
        EXPECT_FALSE(platform::MainQueue::isMainThread());
        std::lock_guard lock(mutex);
        if (completions > 0) batchAfterCompletion = true;
        batchSizes.push_back(files.size());
        for (auto* file : files) delivered.push_back(file);
    }
    void onScannerCompletedScanItem(FolderScanner&, std::shared_ptr<VolumeSystemItem> item) override {
        EXPECT_TRUE(platform::MainQueue::isMainThread());
        std::lock_guard lock(mutex);
        ++completions;
        root = std::move(item);
    }
    int completionCount() {
        std::lock_guard lock(mutex);
        return completions;
    }

    std::mutex mutex;
    std::vector<std::size_t> batchSizes;
    std::vector<FileSystemItem*> delivered;
    std::shared_ptr<VolumeSystemItem> root;
    int completions = 0;
    bool batchAfterCompletion = false;
};

struct ScanResult {
    std::shared_ptr<RecordingListener> listener;
    bool completed = false;
    std::uint64_t sharedFolderCount = 0;
    VolumeSystemItem* root() const { return listener->root.get(); }
};

// Scans until the completion has arrived and the scanner is gone: work of the
// scanner still queued anywhere would keep it, so nothing can be delivered
// after the test looks.
ScanResult scan(const std::optional<std::string>& path,
                std::shared_ptr<const ExcludeTreeCheckerByRootNode> checker = nullptr, bool cancelAtOnce = false) {
    ScanResult result{std::make_shared<RecordingListener>()};
    auto scanner = FolderScanner::create(path, std::move(checker), result.listener);
    if (cancelAtOnce) scanner->cancel();
    test::runMainQueueUntil([&] { return result.listener->completionCount() > 0; });
    result.completed = scanner->isCompleted();
    result.sharedFolderCount = scanner->sharedFolderCount();
    const std::weak_ptr<FolderScanner> gone = scanner;
    scanner.reset();
    EXPECT_TRUE(test::pollUntil([&] { return gone.expired(); }, std::chrono::seconds(20))) << "the scanner's work never ended";
    return result;
}

std::set<std::string> namesOf(const FolderSystemItem& folder) {
    std::set<std::string> names;
    for (const auto& child : folder.childrenArray()) names.emplace(child->name());
    return names;
}

FolderSystemItem* folderNamed(const FolderSystemItem& parent, std::string_view name) {
    auto* child = parent.childWithName(name);
    return child && child->isDir() ? static_cast<FolderSystemItem*>(child) : nullptr;
}

TEST(FolderScannerTest, BuildsTheTreeWithSizesFlagsAndDeliversEveryFileOnce) {
    TempDir tree;
    tree.writeFileOfSize("a.jpg", 5000);
    tree.writeFileOfSize("docs/report.pdf", 12345);
    tree.writeFileOfSize("docs/.hidden-note", 10);
    tree.writeFileOfSize(".cache/blob", 300);
    tree.writeFileOfSize("Viewer.app/Contents/binary", 2000);
    tree.writeFile("docs/thumbs.db", "kept: only the exact name is skipped");
    for (const char* skipped : {".DS_Store", "Thumbs.db", ".localized", "docs/.DS_Store"}) tree.writeFile(skipped, "x");
    tree.makeDir("empty");
    fs::create_symlink(tree / "docs", tree / "link-to-folder");
    fs::create_symlink(tree / "a.jpg", tree / "link-to-file");
    ASSERT_EQ(::mkfifo((tree / "pipe").c_str(), 0600), 0);

    auto result = scan(tree.path());
    auto& listener = *result.listener;
    ASSERT_NE(result.root(), nullptr);
    EXPECT_EQ(listener.completions, 1);
    EXPECT_FALSE(listener.batchAfterCompletion);
    EXPECT_TRUE(result.completed);

    const VolumeSystemItem& root = *result.root();
    EXPECT_EQ(root.path(), tree.path());
    EXPECT_GT(root.getVolSize(), 0);
    EXPECT_EQ(namesOf(root), (std::set<std::string>{"a.jpg", "docs", ".cache", "Viewer.app", "empty", "pipe"}));
    auto* docs = folderNamed(root, "docs");
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(namesOf(*docs), (std::set<std::string>{"report.pdf", ".hidden-note", "thumbs.db"}));
    EXPECT_TRUE(docs->childWithName(".hidden-note")->isHiddenFlag());
    EXPECT_FALSE(docs->childWithName("report.pdf")->isHiddenFlag());
    EXPECT_TRUE(folderNamed(root, ".cache")->childWithName("blob")->isTopHiddenFlag());

    auto* app = folderNamed(root, "Viewer.app");
    ASSERT_NE(app, nullptr);
    EXPECT_TRUE(app->isPackage());
    auto* contents = folderNamed(*app, "Contents");
    ASSERT_NE(contents, nullptr);
    EXPECT_TRUE(contents->childWithName("binary")->isInPackage());

    EXPECT_EQ(root.childWithName("pipe")->fileKind(), FileKind::fifo);
    EXPECT_EQ(root.childWithName("a.jpg")->fileKind(), FileKind::regular);

    // Sizes: logical sums of the whole tree, computed once at the end.
    const std::int64_t logical = 5000 + 12345 + 10 + 300 + 2000 + 36;
    EXPECT_EQ(root.logicalSize(), logical);
    EXPECT_EQ(docs->logicalSize(), 12345 + 10 + 36);
    EXPECT_GE(root.allocatedSize(), 4096);
    EXPECT_FALSE(root.hasExcludeContent());

    // Every file item (the FIFO too) is delivered exactly once.
    std::multiset<std::string> deliveredPaths;
    for (auto* file : listener.delivered) deliveredPaths.insert(file->path());
    EXPECT_EQ(deliveredPaths.size(), 7u);
    EXPECT_EQ(deliveredPaths.count(tree / "docs/report.pdf"), 1u);
    EXPECT_EQ(deliveredPaths.count(tree / "pipe"), 1u);
}

TEST(FolderScannerTest, ExcludedItemsAreKeptUnreadAndMarkedUpToTheRoot) {
    TempDir tree;
    tree.writeFile("keep/photo.jpg", "p");
    tree.writeFile("keep/skip/inside.jpg", "s");
    tree.writeFile("other/x.jpg", "x");
    tree.writeFile("loose/no.jpg", "n");
    auto checker = ExcludeTreeCheckerByRootNode::generateWithCreation([&](ExcludeTreeCheckerByRootNode& exclusions) {
        exclusions.excludeURL(tree / "keep/skip");
        exclusions.excludeURL(tree / "loose/no.jpg");
    });

    auto result = scan(tree.path(), checker);
    ASSERT_NE(result.root(), nullptr);
    auto* keep = folderNamed(*result.root(), "keep");
    auto* skip = folderNamed(*keep, "skip");
    ASSERT_NE(skip, nullptr);
    EXPECT_EQ(skip->numberOfChildren(), 0u);
    EXPECT_TRUE(skip->hasExcludeContent());
    EXPECT_TRUE(keep->hasExcludeContent());
    EXPECT_TRUE(result.root()->hasExcludeContent());
    EXPECT_FALSE(folderNamed(*result.root(), "other")->hasExcludeContent());
    EXPECT_FALSE(keep->childWithName("photo.jpg")->hasExcludeContent());
    // An excluded file stays in the tree, marked, and is still handed on.
    EXPECT_TRUE(folderNamed(*result.root(), "loose")->childWithName("no.jpg")->hasExcludeContent());
    EXPECT_EQ(result.listener->delivered.size(), 3u);
}

TEST(FolderScannerTest, FilesAreDeliveredInBatchesOfAtLeast300AndTheRestAtTheEnd) {
    TempDir tree;
    for (int i = 0; i < 299; ++i) tree.writeFile("f" + std::to_string(i), "");
    EXPECT_EQ(scan(tree.path()).listener->batchSizes, std::vector<std::size_t>{299});

    TempDir large;
    for (int i = 0; i < 2500; ++i) large.writeFile("big/file-with-a-rather-long-name-" + std::to_string(i), "");
    auto result = scan(large.path());
    std::size_t total = 0;
    std::size_t smallBatches = 0;
    for (auto n : result.listener->batchSizes) {
        total += n;
        if (n < 300) ++smallBatches;
    }
    EXPECT_EQ(total, 2500u);
    // Only the last delivery of each worker may be smaller.
    EXPECT_LE(smallBatches, FolderScanner::kCountOfWorkers);
    EXPECT_GT(result.listener->batchSizes.size(), 2u);
}

TEST(FolderScannerTest, NoPathCompletesOnceWithNoRootAndAMissingFolderGivesAMarkedEmptyRoot) {
    auto none = scan(std::nullopt);
    EXPECT_EQ(none.listener->completions, 1);
    EXPECT_EQ(none.root(), nullptr);
    EXPECT_TRUE(none.listener->batchSizes.empty());

    TempDir tree;
    auto missing = scan(tree / "does-not-exist");
    ASSERT_NE(missing.root(), nullptr);
    EXPECT_EQ(missing.root()->numberOfChildren(), 0u);
    EXPECT_TRUE(missing.root()->hasExcludeContent());
}

TEST(FolderScannerTest, CancelDuringALargeScanStillCompletesExactlyOnce) {
    TempDir tree;
    for (int a = 0; a < 20; ++a)
        for (int b = 0; b < 40; ++b)
            for (int f = 0; f < 3; ++f)
                tree.writeFile("t" + std::to_string(a) + "/s" + std::to_string(b) + "/f" + std::to_string(f), "");

    auto result = scan(tree.path(), nullptr, true);
    auto& listener = result.listener;
    EXPECT_EQ(listener->completionCount(), 1);
    EXPECT_FALSE(listener->batchAfterCompletion);
    ASSERT_NE(listener->root, nullptr);
    // Whatever was read is consistent: every delivered file is in the tree, once.
    const auto deep = listener->root->childrenDeepArray();
    std::set<FileSystemItem*> inTree(deep.begin(), deep.end());
    std::set<FileSystemItem*> delivered(listener->delivered.begin(), listener->delivered.end());
    EXPECT_EQ(delivered.size(), listener->delivered.size());
    for (auto* file : delivered) EXPECT_TRUE(inTree.count(file));
    EXPECT_LT(listener->delivered.size(), 20u * 40u * 3u);
}

// Thousands of folders shared between the four workers (the test that
// ThreadSanitizer watches): every folder and file arrives exactly once.
TEST(FolderScannerTest, ThousandsOfFoldersAreReadCompletelyByThePool) {
    TempDir tree;
    std::size_t files = 0;
    for (int a = 0; a < 30; ++a)
        for (int b = 0; b < 40; ++b) {
            const std::string folder = "a" + std::to_string(a) + "/b" + std::to_string(b);
            tree.makeDir(folder + "/empty");
            if (b % 3 == 0) {
                tree.writeFile(folder + "/f", std::to_string(a * b));
                ++files;
            }
        }
    auto result = scan(tree.path());
    ASSERT_NE(result.root(), nullptr);
    // The top folder (30 entries) is read alone; each of its folders holds 40
    // entries, whose folders go to the pool.
    EXPECT_EQ(result.sharedFolderCount, 30u * 40u);
    EXPECT_EQ(result.root()->subFoldersDeepArray().size(), 30u + 30u * 40u * 2u);
    EXPECT_EQ(result.listener->delivered.size(), files);
    EXPECT_EQ(std::set<FileSystemItem*>(result.listener->delivered.begin(), result.listener->delivered.end()).size(),
              files);
    EXPECT_FALSE(result.root()->hasExcludeContent());
}

// The 33-entry rule counts every entry a read returned, files included: a
// folder of 32 entries keeps its sub-folder, one of 42 (40 files and two
// sub-folders, which a count of sub-folders alone would call small) shares
// its sub-folders with the pool.
TEST(FolderScannerTest, PoolRuleCountsEveryEntryTheReadReturned) {
    TempDir tree;
    for (int i = 0; i < 31; ++i) tree.writeFile("f" + std::to_string(i), "r");
    for (int i = 0; i < 40; ++i) tree.writeFile("a/f" + std::to_string(i), "a");
    tree.writeFile("a/x/in.txt", "x");
    tree.writeFile("a/y/in.txt", "y");
    auto result = scan(tree.path());
    ASSERT_NE(result.root(), nullptr);
    EXPECT_EQ(result.sharedFolderCount, 2u);
    EXPECT_EQ(result.root()->subFoldersDeepArray().size(), 3u);

    TempDir small;
    for (int i = 0; i < 31; ++i) small.writeFile("s/f" + std::to_string(i), "s");
    small.writeFile("s/t/in.txt", "t");
    auto smallResult = scan(small.path());
    ASSERT_NE(smallResult.root(), nullptr);
    EXPECT_EQ(smallResult.sharedFolderCount, 0u);
    EXPECT_EQ(smallResult.root()->subFoldersDeepArray().size(), 2u);
}

// A folder that cannot be opened and one whose names can be read but whose
// entries cannot be examined: both leave their content unknown, marked up to
// the root, and the rest of the tree is read.
TEST(FolderScannerTest, FoldersThatCannotBeReadWhollyAreMarkedUpToTheRootAndTheRestIsRead) {
    TempDir tree;
    tree.writeFile("open/a.txt", "a");
    tree.writeFile("open/locked/secret.txt", "s");
    tree.writeFile("listed/unique.txt", "only here");
    tree.writeFile("plain/b.txt", "b");
    for (const auto& dir : {tree.path(), tree / "open", tree / "plain"}) ::chmod(dir.c_str(), 0755);
    for (const auto& file : {tree / "open/a.txt", tree / "plain/b.txt"}) ::chmod(file.c_str(), 0644);
    ::chmod((tree / "open/locked").c_str(), 0);
    ::chmod((tree / "listed").c_str(), 0444);

    expectAsUnprivilegedUser([&] {
        auto result = scan(tree.path());
        if (!result.root() || result.listener->completions != 1) return false;
        auto* open = folderNamed(*result.root(), "open");
        auto* locked = open ? folderNamed(*open, "locked") : nullptr;
        auto* listed = folderNamed(*result.root(), "listed");
        auto* plain = folderNamed(*result.root(), "plain");
        return locked && listed && plain && locked->numberOfChildren() == 0 && locked->hasExcludeContent() &&
               open->hasExcludeContent() && listed->hasExcludeContent() && result.root()->hasExcludeContent() &&
               !plain->hasExcludeContent() && open->childWithName("a.txt") != nullptr &&
               plain->childWithName("b.txt") != nullptr;
    });
    ::chmod((tree / "listed").c_str(), 0755);
}

}  // namespace
}  // namespace kestrane
