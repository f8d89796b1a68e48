#include "duplicates/FileSeparator.h"

#include "duplicates/ContentHasher.h"
#include "duplicates/ModelTestTree.h"
#include "folders/ScannedFolders.h"
#include "platform/SerialQueue.h"
#include "scan/FileSystemItem.h"
#include "scan/ScanProblems.h"
#include "scan/VolumeSystemItem.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <cerrno>
#include <vector>

namespace kestrane {
namespace {

using test::md5sum;
using test::noise;

using Sets = std::set<std::set<std::string>>;

std::optional<std::string> partialKey(const FileSystemItem* item) {
    return ContentHasher::hashForFilePartly(
        item->path(), static_cast<std::uint64_t>(item->logicalSize()), 8192, 24576);
}

// Records what the separator reports and where.
class RecordingListener final : public FileSeparatorListener {
public:
    void onFinishSeparateItemsByHash(FileSeparator&, FileSeparatorMap result) override {
        onWorkingQueue = FileSeparator::workingQueue().runsOnCurrentQueue();
        if (++calls == 1) m_promise.set_value(std::move(result));
    }

    // The reported map, or none when nothing came within the time limit.
    std::optional<FileSeparatorMap> wait() {
        auto future = m_promise.get_future();
        if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready) return std::nullopt;
        // Whatever the separator still had queued has run by now.
        FileSeparator::workingQueue().drain();
        return future.get();
    }

    std::atomic<int> calls{0};
    std::atomic<bool> onWorkingQueue{false};

private:
    std::promise<FileSeparatorMap> m_promise;
};

class FileSeparatorTest : public test::IsolatedHomeTest {
protected:
    FileSystemItem* file(const std::string& relative, const std::string& content) { return tree.file(relative, content); }

    // Separates the items with `options` and checks that the listener was told exactly once, on the working queue.
    // `onPassStart` sees the separator and whether the pass starting is the confirmation pass.
    FileSeparatorMap separate(const std::vector<FileSystemItem*>& items,
                              std::function<void(FileSeparator&, bool)> onPassStart = {}, bool stopFirst = false) {
        auto listener = std::make_shared<RecordingListener>();
        separator = FileSeparator::create(options);
        separator->setScanProblems(problems);
        if (onPassStart)
            separator->setPassStartHandlerForTesting([onPassStart, weak = std::weak_ptr(separator)](bool fullHash) {
                if (auto s = weak.lock()) onPassStart(*s, fullHash);
            });
        if (stopFirst) separator->stop();
        separator->separateItemsWithListener(items, listener);
        auto result = listener->wait();
        EXPECT_TRUE(result.has_value()) << "the separator never reported";
        EXPECT_EQ(listener->calls, 1);
        EXPECT_TRUE(listener->onWorkingQueue);
        // A later stop changes nothing and reports nothing more.
        separator->stop();
        FileSeparator::workingQueue().drain();
        EXPECT_EQ(listener->calls, 1);
        return result ? std::move(*result) : FileSeparatorMap{};
    }

    // The sets of the result (of at least minimumSize items) as sets of relative paths.
    Sets sets(const FileSeparatorMap& map, std::size_t minimumSize = 1) const {
        Sets out;
        for (const auto& [key, items] : map) {
            if (items.size() < minimumSize) continue;
            std::set<std::string> names;
            for (const FileSystemItem* i : items) names.insert(i->path().substr(tree.path().size() + 1));
            out.insert(names);
        }
        return out;
    }

    // The key under which the map holds the item, or "".
    static std::string keyOf(const FileSeparatorMap& map, const FileSystemItem* item) {
        for (const auto& [key, items] : map)
            if (items.contains(const_cast<FileSystemItem*>(item))) return key;
        return "";
    }

    // Two files that differ only at byte `at`.
    std::vector<FileSystemItem*> differingPair(const std::string& a, const std::string& b, std::size_t size,
                                               std::size_t at) {
        std::string content = noise(size, 1);
        FileSystemItem* first = file(a, content);
        content[at] ^= 1;
        return {first, file(b, content)};
    }

    // a.jpg and b.jpg in the folder: 20,000 bytes that differ only at byte
    // 10,000, which 4096-byte partial keys do not read and 8192-byte ones do.
    std::vector<FileSystemItem*> pairApartOnlyInTheMiddle(const std::string& folder) {
        return differingPair(folder + "/a.jpg", folder + "/b.jpg", 20000, 10000);
    }
    // Full keys told the pair apart: no set, and each file keyed by its digest.
    static void expectToldApartByFullKeys(const FileSeparatorMap& result, const std::vector<FileSystemItem*>& pair) {
        EXPECT_TRUE(std::none_of(result.begin(), result.end(), [](const auto& entry) { return entry.second.size() > 1; }));
        for (FileSystemItem* item : pair) {
            EXPECT_EQ(keyOf(result, item), md5sum(item->path()));
            EXPECT_FALSE(item->isComparedInPart());
        }
    }

    test::ModelTestTree tree;
    SeparationOptions options;
    std::shared_ptr<FileSeparator> separator;
    std::shared_ptr<ScanProblems> problems = std::make_shared<ScanProblems>();
};

TEST_F(FileSeparatorTest, NoItemOrOneItemFinishesAtOnce) {
    EXPECT_TRUE(separate({}).empty());
    FileSystemItem* only = file("only.jpg", "content");
    EXPECT_TRUE(separate({only}).empty());
    EXPECT_TRUE(only->isCheckedForDuplicates());
}

TEST_F(FileSeparatorTest, GroupsIdenticalFilesAcrossBatches) {
    // 25 items (three batches) of 5 contents: full keys for small files,
    // partial keys for large ones; every key computed is in the map.
    std::vector<FileSystemItem*> items;
    for (int i = 0; i < 25; ++i) {
        const std::string name = "d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".jpg";
        items.push_back(file(name, noise(i % 5 >= 3 ? 50000 : 3000, static_cast<std::uint32_t>(i % 5))));
    }
    const FileSeparatorMap result = separate(items);
    ASSERT_EQ(result.size(), 5u);
    for (const auto& [key, set] : result) EXPECT_EQ(set.size(), 5u) << key;
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(keyOf(result, items[i]), keyOf(result, items[i % 5])) << i;
        EXPECT_TRUE(items[i]->isCheckedForDuplicates());
    }
    EXPECT_EQ(keyOf(result, items[0]), md5sum(items[0]->path()));
    EXPECT_EQ(keyOf(result, items[3]), partialKey(items[3]));
}

TEST_F(FileSeparatorTest, FilesDifferingOutsideTheBlocksAreToldApartOnlyWhenTheirTypeNeedsAFullCheck) {
    // An ordinary type: the partial keys match and the files count as identical.
    EXPECT_EQ(sets(separate(differingPair("a/photo.jpg", "b/photo.jpg", 100000, 30000)), 2),
              (Sets{{"a/photo.jpg", "b/photo.jpg"}}));
    // Doubtful types get full keys and are told apart, whatever the case of
    // the extension, and so does a pair of which only one member is doubtful.
    EXPECT_TRUE(sets(separate(differingPair("a/notes.txt", "b/notes.txt", 100000, 30000)), 2).empty());
    EXPECT_TRUE(sets(separate(differingPair("a/PHOTO.NEF", "b/PHOTO.NEF", 100000, 30000)), 2).empty());
    EXPECT_TRUE(sets(separate(differingPair("c/shot.jpg", "c/shot.tif", 100000, 30000)), 2).empty());

    // Truly identical doubtful files stay together, under their full key; a
    // doubtful key held by one item keeps its partial key (no second read).
    FileSystemItem* x = file("x/log.txt", noise(100000, 1));
    FileSystemItem* lone = file("z/log.txt", noise(100000, 2));
    const FileSeparatorMap result = separate({x, file("y/log.txt", noise(100000, 1)), lone});
    EXPECT_EQ(sets(result, 2), (Sets{{"x/log.txt", "y/log.txt"}}));
    EXPECT_EQ(keyOf(result, x), md5sum(x->path()));
    EXPECT_EQ(keyOf(result, lone), partialKey(lone));
    EXPECT_NE(keyOf(result, lone), md5sum(lone->path()));
}

TEST_F(FileSeparatorTest, DoubtfulFilesUnderThreeBlocksAreReadOnce) {
    // Their first keys are full keys already: no confirmation pass, whether
    // they are identical, different, or a PNG (whose check reads the file).
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + noise(3000, 3);
    std::vector<FileSystemItem*> items{file("a/notes.txt", noise(3000, 1)), file("b/notes.txt", noise(3000, 1)),
                                       file("c/notes.txt", noise(3000, 2)), file("a/shot.png", png),
                                       file("b/shot.png", png)};
    std::vector<bool> passes;
    const FileSeparatorMap result = separate(items, [&](FileSeparator&, bool fullHash) { passes.push_back(fullHash); });
    EXPECT_EQ(passes, std::vector<bool>{false});
    EXPECT_EQ(sets(result, 2), (Sets{{"a/notes.txt", "b/notes.txt"}, {"a/shot.png", "b/shot.png"}}));
    for (FileSystemItem* item : items) {
        EXPECT_EQ(keyOf(result, item), md5sum(item->path())) << item->path();
        EXPECT_FALSE(item->isComparedInPart());
    }
}

TEST_F(FileSeparatorTest, ItemsSharingAKeyRememberTheFileThatWasRead) {
    // Small and large (partial key) files; the lone one is never looked at again.
    std::vector<FileSystemItem*> small{file("a/s.jpg", noise(3000, 1)), file("b/s.jpg", noise(3000, 1))};
    std::vector<FileSystemItem*> large{file("a/l.jpg", noise(60000, 2)), file("b/l.jpg", noise(60000, 2)),
                                       file("c/l.jpg", noise(60000, 3))};
    const struct timespec times[2] = {{1'300'000'000, 7}, {1'300'000'000, 7}};
    ASSERT_EQ(::utimensat(AT_FDCWD, small[1]->path().c_str(), times, 0), 0);
    separate(small);
    separate(large);
    for (FileSystemItem* item : {small[0], small[1], large[0], large[1]}) {
        struct stat info {};
        ASSERT_EQ(::stat(item->path().c_str(), &info), 0);
        const ScanFacts* seen = item->scanFacts();
        ASSERT_NE(seen, nullptr) << item->path();
        EXPECT_EQ(seen->identity, (platform::FileIdentity{info.st_dev, info.st_ino}));
        EXPECT_EQ(seen->modification,
                  (platform::FileTime{info.st_mtim.tv_sec, static_cast<std::uint32_t>(info.st_mtim.tv_nsec)}));
    }
    EXPECT_EQ(small[1]->scanFacts()->modification, (platform::FileTime{1'300'000'000, 7}));
    EXPECT_EQ(large[2]->scanFacts(), nullptr);
}

TEST_F(FileSeparatorTest, BlockLengthAndFullHashComeFromTheOptions) {
    // 20000 bytes is under three default blocks: full keys, told apart.
    EXPECT_TRUE(sets(separate(pairApartOnlyInTheMiddle("1")), 2).empty());

    // With 4096-byte blocks (as the settings give them) the byte at 10000
    // lies outside start [0, 4096), middle [4096, 8192) and end [12288, 20000).
    Settings::standard().setHashBlockSize(4096);
    options = SeparationOptions::fromSettings(Settings::standard(), false);
    EXPECT_EQ(options.partialKeyThreshold(), 3u * 4096);
    EXPECT_EQ(sets(separate(pairApartOnlyInTheMiddle("2")), 2).size(), 1u);

    // Options already made do not follow the setting.
    Settings::standard().setHashBlockSize(8192);
    EXPECT_EQ(sets(separate(pairApartOnlyInTheMiddle("4")), 2).size(), 1u);

    // Full hashing makes every key a full one.
    options = SeparationOptions::fromSettings(Settings::standard(), true);
    const auto pair = pairApartOnlyInTheMiddle("3");
    expectToldApartByFullKeys(separate(pair), pair);
}

TEST_F(FileSeparatorTest, TwoSeparationsAtOnceEachKeyAsTheirOwnOptionsSay) {
    const auto partialPair = pairApartOnlyInTheMiddle("partial");
    const auto fullPair = pairApartOnlyInTheMiddle("full");
    const SeparationOptions partialOptions{.fullHash = false, .hashBlockSize = 4096};
    const SeparationOptions fullOptions{.fullHash = true, .hashBlockSize = 4096};

    auto partialListener = std::make_shared<RecordingListener>();
    auto fullListener = std::make_shared<RecordingListener>();
    auto partialSeparator = FileSeparator::create(partialOptions);
    auto fullSeparator = FileSeparator::create(fullOptions);
    std::vector<bool> passes;  // the fullHash of each pass as it starts, in order
    bool fullStartedWhilePartialRan = false;
    partialSeparator->setPassStartHandlerForTesting([&](bool fullHash) { passes.push_back(fullHash); });
    fullSeparator->setPassStartHandlerForTesting([&](bool fullHash) {
        if (passes.size() == 1) fullStartedWhilePartialRan = partialListener->calls == 0;
        passes.push_back(fullHash);
    });
    {
        // Both starts are queued before either runs, so the second begins
        // before any key of the first is back.
        test::QueueGate gate(FileSeparator::workingQueue());
        partialSeparator->separateItemsWithListener(partialPair, partialListener);
        fullSeparator->separateItemsWithListener(fullPair, fullListener);
    }
    const auto partialResult = partialListener->wait();
    const auto fullResult = fullListener->wait();
    ASSERT_TRUE(partialResult && fullResult);
    // Full-hash mode compares partial keys first; the pair shares them and is then read whole.
    EXPECT_EQ(passes, (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(fullStartedWhilePartialRan);

    EXPECT_EQ(sets(*partialResult, 2), (Sets{{"partial/a.jpg", "partial/b.jpg"}}));
    EXPECT_EQ(keyOf(*partialResult, partialPair[0]),
              ContentHasher::hashForFilePartly(
                  partialPair[0]->path(), 20000, 4096, 3 * 4096));
    EXPECT_TRUE(partialPair[0]->isComparedInPart());
    expectToldApartByFullKeys(*fullResult, fullPair);
}

TEST_F(FileSeparatorTest, EmptyFilesMatchByName) {
    FileSystemItem* first = file("one/notes.txt", "");
    const FileSeparatorMap result = separate({first, file("two/notes.txt", ""), file("three/list.txt", "")});
    EXPECT_EQ(sets(result), (Sets{{"one/notes.txt", "two/notes.txt"}, {"three/list.txt"}}));
    EXPECT_EQ(keyOf(result, first), "notes.txt:#filename#");
}

TEST_F(FileSeparatorTest, UnreadableItemsGetNoKey) {
    // A FIFO (as scanned, and one that became a FIFO since the scan), a file
    // deleted since the scan, and two readable copies.
    for (const char* name : {"pipe", "was-a-file"}) ASSERT_EQ(::mkfifo((tree.path() + "/" + name).c_str(), 0600), 0);
    FileSystemItem* pipe = FileSystemItem::createInParent("pipe", tree.root(), 50000, false, 50000, FileKind::fifo);
    FileSystemItem* changed = FileSystemItem::createInParent("was-a-file", tree.root(), 50000, false, 50000);
    FileSystemItem* deleted = file("gone.jpg", noise(50000, 5));
    ASSERT_EQ(::unlink(deleted->path().c_str()), 0);

    const FileSeparatorMap result =
        separate({pipe, changed, deleted, file("a.jpg", noise(50000, 6)), file("b.jpg", noise(50000, 6))});
    EXPECT_EQ(sets(result), (Sets{{"a.jpg", "b.jpg"}}));
    // Handed to hashing all the same.
    EXPECT_TRUE(deleted->isCheckedForDuplicates());
    EXPECT_TRUE(pipe->isCheckedForDuplicates());
}

TEST_F(FileSeparatorTest, FilesThatNoLongerMatchTheScanAreLeftOutAndNotedWithTheReason) {
    // Listed at 50,000 bytes, then grown or cut (same size class no more),
    // rewritten with another size and the listed size kept, deleted, or
    // replaced by a FIFO; two untouched copies group as before.
    FileSystemItem* grown = file("grown.jpg", noise(50000, 7));
    FileSystemItem* cut = file("cut.bin", noise(50000, 7));
    FileSystemItem* gone = file("gone.jpg", noise(50000, 7));
    FileSystemItem* fifo = file("now-a-pipe.jpg", noise(50000, 7));
    FileSystemItem* small = file("small.jpg", noise(50000, 7));
    test::TempDir scratch;
    scratch.writeFile("g", noise(50001, 7));
    ASSERT_EQ(::rename((scratch / "g").c_str(), grown->path().c_str()), 0);
    ASSERT_EQ(::truncate(cut->path().c_str(), 49999), 0);
    ASSERT_EQ(::truncate(small->path().c_str(), 100), 0);
    ASSERT_EQ(::unlink(gone->path().c_str()), 0);
    ASSERT_EQ(::unlink(fifo->path().c_str()), 0);
    ASSERT_EQ(::mkfifo(fifo->path().c_str(), 0600), 0);

    FileSystemItem* a = file("a.jpg", noise(50000, 7));
    FileSystemItem* b = file("b.jpg", noise(50000, 7));
    const FileSeparatorMap result = separate({grown, cut, gone, fifo, small, a, b});
    EXPECT_EQ(sets(result), (Sets{{"a.jpg", "b.jpg"}}));

    std::set<std::pair<std::string, ScanProblemKind>> noted;
    for (const auto& problem : problems->list()) noted.insert({problem.path, problem.kind});
    EXPECT_EQ(noted, (std::set<std::pair<std::string, ScanProblemKind>>{
                         {grown->path(), ScanProblemKind::changedFile},
                         {cut->path(), ScanProblemKind::changedFile},
                         {small->path(), ScanProblemKind::changedFile},
                         {fifo->path(), ScanProblemKind::changedFile},
                         {gone->path(), ScanProblemKind::unreadableFile},
                     }));
    for (const auto& problem : problems->list()) {
        if (problem.kind == ScanProblemKind::unreadableFile) {
            EXPECT_EQ(problem.error, ENOENT);
        }
    }
}

TEST_F(FileSeparatorTest, ItemsKeyedOnThreeBlocksAreMarkedComparedInPartUntilAFullPassConfirmsThem) {
    // Big enough for partial keys (three 8,192-byte blocks, from 24,576 bytes on).
    FileSystemItem* photoA = file("a.jpg", noise(60000, 3));
    FileSystemItem* photoB = file("b.jpg", noise(60000, 3));
    // Text files always get a full confirmation of a shared partial key.
    FileSystemItem* textA = file("a.txt", noise(60000, 4));
    FileSystemItem* textB = file("b.txt", noise(60000, 4));
    // Below the threshold: full keys from the start.
    FileSystemItem* smallA = file("a.png", noise(20000, 5));
    FileSystemItem* smallB = file("b.png", noise(20000, 5));
    separate({photoA, photoB, textA, textB, smallA, smallB});
    EXPECT_TRUE(photoA->isComparedInPart());
    EXPECT_TRUE(photoB->isComparedInPart());
    for (const FileSystemItem* item : {textA, textB, smallA, smallB}) EXPECT_FALSE(item->isComparedInPart()) << item->path();

    // A full pass keys every byte.
    options.fullHash = true;
    separate({photoA, photoB});
    EXPECT_FALSE(photoA->isComparedInPart());
}

TEST_F(FileSeparatorTest, StopDuringTheConfirmationPass) {
    // 30 text files share a partial key (they differ only between the middle
    // [24576, 32768) and the end [49152, 60000) blocks), so the confirmation
    // pass takes them; two identical photos and a lone text file do not.
    std::string content = noise(60000, 9);
    std::vector<FileSystemItem*> items;
    for (int i = 0; i < 30; ++i) {
        content[40000] = static_cast<char>(i);
        items.push_back(file("t/" + std::to_string(i) + ".txt", content));
    }
    const std::vector<FileSystemItem*> bystanders{file("p/a.jpg", noise(60000, 13)), file("p/b.jpg", noise(60000, 13)),
                                                  file("p/lone.txt", noise(60000, 10))};
    items.insert(items.end(), bystanders.begin(), bystanders.end());

    // Stop is queued as the second pass begins, before any of its keys can come back.
    std::vector<bool> passes;
    EXPECT_TRUE(separate(items, [&](FileSeparator& s, bool fullHash) {
                    passes.push_back(fullHash);
                    if (fullHash) s.stop();
                }).empty());
    EXPECT_EQ(passes, (std::vector<bool>{false, true}));
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i]->isCheckedForDuplicates(), i >= 30) << i;
}

TEST_F(FileSeparatorTest, StopAtTheStartAndBeforeTheStart) {
    std::vector<FileSystemItem*> items;
    for (int i = 0; i < 15; ++i) items.push_back(file(std::to_string(i) + ".jpg", noise(5000, 11)));

    // Stopped as the first pass begins, or before it was started: it still
    // reports once, with nothing, and nothing stays marked.
    EXPECT_TRUE(separate(items, [](FileSeparator& s, bool) { s.stop(); }).empty());
    for (FileSystemItem* i : items) EXPECT_FALSE(i->isCheckedForDuplicates());
    EXPECT_TRUE(separate(items, {}, true).empty());
    for (FileSystemItem* i : items) EXPECT_FALSE(i->isCheckedForDuplicates());
}

TEST_F(FileSeparatorTest, ListenerGoneBeforeTheEnd) {
    // Nobody to tell: the separation still runs to its end without harm.
    std::vector<FileSystemItem*> items{file("a.jpg", noise(4000, 12)), file("b.jpg", noise(4000, 12))};
    std::promise<void> ended;
    auto separator = FileSeparator::create(options);
    separator->separateItemsWithListener(items, std::make_shared<RecordingListener>(),
                                         std::shared_ptr<const void>(new int(0), [&ended](const int* owner) {
                                             delete owner;
                                             ended.set_value();  // let go of at the end of the separation
                                         }));
    std::weak_ptr<FileSeparator> weak = separator;
    separator.reset();
    // The work it handed out keeps it alive until it finishes, then it goes
    // (once the hashing thread that delivered the last key lets go of it).
    ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(test::pollUntil([&] { return weak.expired(); }, std::chrono::seconds(20)));
    for (FileSystemItem* i : items) EXPECT_TRUE(i->isCheckedForDuplicates());
}

// What a stopped separation sees when the listener is told: whether the tree
// of its items was still there, and whether any of them stayed marked.
class TreeCheckingListener final : public FileSeparatorListener {
public:
    TreeCheckingListener(std::weak_ptr<VolumeSystemItem> tree, std::vector<FileSystemItem*> items)
        : m_tree(std::move(tree)), m_items(std::move(items)) {}

    void onFinishSeparateItemsByHash(FileSeparator&, FileSeparatorMap result) override {
        ++calls;
        resultSize = result.size();
        const auto tree = m_tree.lock();
        treeWasAlive = tree != nullptr;
        if (tree)
            for (const FileSystemItem* item : m_items) anyMarked = anyMarked || item->isCheckedForDuplicates();
    }

    std::atomic<int> calls{0};
    std::atomic<std::size_t> resultSize{0};
    std::atomic<bool> treeWasAlive{false};
    std::atomic<bool> anyMarked{false};

private:
    std::weak_ptr<VolumeSystemItem> m_tree;
    std::vector<FileSystemItem*> m_items;
};

TEST_F(FileSeparatorTest, AStoppedSeparationKeepsTheOwnerOfItsItemsUntilTheListenerIsTold) {
    // Stopped before it begins, and after its first batch was handed out
    // (keys on their way back), each time with every other owner of the tree
    // gone: the items are unmarked while they still exist, then the tree goes.
    for (const bool firstBatchHandedOut : {false, true}) {
        SCOPED_TRACE(firstBatchHandedOut ? "first batch handed out" : "not begun");
        test::TempDir dir;
        auto root = VolumeSystemItem::create(dir.path(), 0, 0);
        std::vector<FileSystemItem*> items;
        for (int i = 0; i < 14; ++i) {  // two batches
            const std::string name = std::to_string(i) + ".jpg";
            dir.writeFile(name, "same bytes");
            items.push_back(FileSystemItem::createInParent(name, *root, 4096, false, 10));
        }
        const std::weak_ptr<VolumeSystemItem> tree = root;
        auto listener = std::make_shared<TreeCheckingListener>(tree, items);

        auto& working = FileSeparator::workingQueue();
        auto first = std::make_unique<test::QueueGate>(working);
        auto separator = FileSeparator::create(options);
        separator->separateItemsWithListener(items, listener, root);
        std::optional<test::QueueGate> second;
        if (firstBatchHandedOut) {
            second.emplace(working);
            first->open();
            ASSERT_TRUE(second->waitUntilSomethingWaits());  // the first batch's keys
            EXPECT_TRUE(items.front()->isCheckedForDuplicates());
        }
        separator->stop();
        separator.reset();
        root.reset();
        items.clear();
        EXPECT_FALSE(tree.expired()) << "nothing kept the items of the queued work";

        first.reset();
        second.reset();
        working.drain();
        EXPECT_EQ(listener->calls, 1);
        EXPECT_EQ(listener->resultSize, 0u);
        EXPECT_TRUE(listener->treeWasAlive);
        EXPECT_FALSE(listener->anyMarked);
        EXPECT_TRUE(tree.expired()) << "the separation kept the tree after it ended";
    }
}

}  // namespace
}  // namespace kestrane
