#include "duplicates/FileSeparator.h"

#include "duplicates/ContentHasher.h"
#include "platform/SerialQueue.h"
#include "scan/FileSystemItem.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

std::string noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string md5sum(const std::string& path) {
    FILE* pipe = ::popen(("md5sum -- '" + path + "'").c_str(), "r");
    if (!pipe) return "popen failed";
    char digest[33] = {};
    const std::size_t read = std::fread(digest, 1, 32, pipe);
    ::pclose(pipe);
    return read == 32 ? std::string(digest, 32) : "md5sum failed";
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

// Restores the process-wide switch whatever a test does.
struct ForcedFullHash {
    explicit ForcedFullHash(bool on) { FileSeparator::setUseForcedFullHashCalculation(on); }
    ~ForcedFullHash() { FileSeparator::setUseForcedFullHashCalculation(false); }
};

class FileSeparatorTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_root = VolumeSystemItem::create(m_files.path(), 0, 0);
    }

    // A real file and its item; the item's logical size is the content's
    // length unless given.
    FileSystemItem* file(const std::string& relative, const std::string& content,
                         std::optional<std::int64_t> logicalSize = std::nullopt) {
        m_files.writeFile(relative, content);
        return item(relative, logicalSize.value_or(static_cast<std::int64_t>(content.size())));
    }

    // An item for relative (folders made as needed); the file itself is not touched.
    FileSystemItem* item(const std::string& relative, std::int64_t logicalSize, FileKind kind = FileKind::regular) {
        FolderSystemItem* parent = m_root.get();
        std::string rest = relative;
        for (auto slash = rest.find('/'); slash != std::string::npos; slash = rest.find('/')) {
            const std::string folder = rest.substr(0, slash);
            FileSystemItem* found = parent->childWithName(folder);
            parent = found ? static_cast<FolderSystemItem*>(found)
                           : FolderSystemItem::createInParent(folder, *parent, false, false);
            rest = rest.substr(slash + 1);
        }
        return FileSystemItem::createInParent(rest, *parent, logicalSize, false, logicalSize, kind);
    }

    FileSeparatorMap separate(const std::vector<FileSystemItem*>& items) {
        auto listener = std::make_shared<RecordingListener>();
        auto separator = FileSeparator::create();
        separator->separateItemsWithListener(items, listener);
        auto result = listener->wait();
        EXPECT_TRUE(result.has_value()) << "the separator never reported";
        EXPECT_EQ(listener->calls, 1);
        EXPECT_TRUE(listener->onWorkingQueue);
        return result ? std::move(*result) : FileSeparatorMap{};
    }

    // The sets of the result as sets of relative paths.
    std::set<std::set<std::string>> sets(const FileSeparatorMap& map, std::size_t minimumSize = 1) const {
        std::set<std::set<std::string>> out;
        for (const auto& [key, items] : map) {
            if (items.size() < minimumSize) continue;
            std::set<std::string> names;
            for (const FileSystemItem* i : items) names.insert(i->path().substr(m_files.path().size() + 1));
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

    test::TempDir m_files;
    std::shared_ptr<VolumeSystemItem> m_root;
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
        const bool large = i % 5 >= 3;
        items.push_back(file("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".jpg",
                             noise(large ? 50000 : 3000, static_cast<std::uint32_t>(i % 5))));
    }
    const FileSeparatorMap result = separate(items);
    ASSERT_EQ(result.size(), 5u);
    for (const auto& [key, set] : result) EXPECT_EQ(set.size(), 5u) << key;
    for (int content = 0; content < 5; ++content) {
        const std::string key = keyOf(result, items[static_cast<std::size_t>(content)]);
        for (std::size_t i = static_cast<std::size_t>(content); i < items.size(); i += 5)
            EXPECT_EQ(keyOf(result, items[i]), key);
    }
    EXPECT_EQ(keyOf(result, items[0]), md5sum(items[0]->path()));
    EXPECT_EQ(keyOf(result, items[3]),
              ContentHasher::hashforFilePartlyWithSizeHashPartBlockLengthForFilesGreatherThan(items[3]->path(), 50000,
                                                                                             8192, 24576));
    for (FileSystemItem* i : items) EXPECT_TRUE(i->isCheckedForDuplicates());
}

TEST_F(FileSeparatorTest, DoubtfulTypesAreConfirmedByFullKeys) {
    // Pairs that differ only at byte 30000, outside the three blocks.
    const std::string content = noise(100000, 1);
    std::string different = content;
    different[30000] ^= 1;
    auto pair = [&](const std::string& a, const std::string& b) {
        return std::vector<FileSystemItem*>{file(a, content), file(b, different)};
    };

    // An ordinary type: the partial keys match and the files count as identical.
    EXPECT_EQ(sets(separate(pair("a/photo.jpg", "b/photo.jpg")), 2),
              (std::set<std::set<std::string>>{{"a/photo.jpg", "b/photo.jpg"}}));
    // Doubtful types get full keys and are told apart, whatever the case of
    // the extension, and so does a pair of which only one member is doubtful.
    EXPECT_EQ(sets(separate(pair("a/notes.txt", "b/notes.txt")), 2).size(), 0u);
    EXPECT_EQ(sets(separate(pair("a/PHOTO.NEF", "b/PHOTO.NEF")), 2).size(), 0u);
    EXPECT_EQ(sets(separate(pair("c/shot.jpg", "c/shot.tif")), 2).size(), 0u);

    // Truly identical doubtful files stay together, under their full key; a
    // marked key held by one item keeps its partial key (no second read).
    FileSystemItem* x = file("x/log.txt", content);
    FileSystemItem* y = file("y/log.txt", content);
    FileSystemItem* lone = file("z/log.txt", noise(100000, 2));
    const FileSeparatorMap result = separate({x, y, lone});
    EXPECT_EQ(sets(result, 2), (std::set<std::set<std::string>>{{"x/log.txt", "y/log.txt"}}));
    EXPECT_EQ(keyOf(result, x), md5sum(x->path()));
    EXPECT_EQ(keyOf(result, lone),
              ContentHasher::hashforFilePartlyWithSizeHashPartBlockLengthForFilesGreatherThan(lone->path(), 100000,
                                                                                             8192, 24576));
    EXPECT_NE(keyOf(result, lone), md5sum(lone->path()));
}

// A PNG whose first image data starts with the given bytes, padded to 100000
// bytes with noise after its IDAT chunk.
std::string pngWithImageData(const std::string& firstBytes) {
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    bytes += std::string("\0\0\0\x0dIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0\x12\x34\x56\x78", 25);
    bytes += std::string("\0\0\0\x40IDAT", 8) + firstBytes + std::string(64 - firstBytes.size(), '\0') + "CRC!";
    return bytes + noise(100000 - bytes.size(), 3);
}

TEST_F(FileSeparatorTest, PngsWithStoredImageDataAreConfirmed) {
    auto differentPair = [&](const std::string& folder, const std::string& firstBytes) {
        const std::string content = pngWithImageData(firstBytes);
        std::string different = content;
        different[30000] ^= 1;
        return std::vector<FileSystemItem*>{file(folder + "/a.png", content), file(folder + "/b.png", different)};
    };
    EXPECT_EQ(sets(separate(differentPair("stored", std::string("\x78\x01\x00", 3))), 2).size(), 0u);
    EXPECT_EQ(sets(separate(differentPair("deflated", std::string("\x78\x9c\x00", 3))), 2).size(), 1u);
}

TEST_F(FileSeparatorTest, ForcedFullHashAndBlockLengthSetting) {
    const std::string content = noise(20000, 4);
    std::string different = content;
    different[12000] ^= 1;

    // 20000 bytes is under three default blocks: full keys, told apart.
    EXPECT_EQ(sets(separate({file("1/a.jpg", content), file("1/b.jpg", different)}), 2).size(), 0u);

    // With 2048-byte blocks (read when a separation starts) the byte at 12000
    // lies outside start [0, 2048), middle [8192, 10240) and end [16384, 20000).
    Settings::standard().setHashBlockSize(2048);
    EXPECT_EQ(sets(separate({file("2/a.jpg", content), file("2/b.jpg", different)}), 2).size(), 1u);

    // The forced-full-hash switch makes every key a full one.
    ForcedFullHash forced(true);
    FileSystemItem* a = file("3/a.jpg", content);
    const FileSeparatorMap result = separate({a, file("3/b.jpg", different)});
    EXPECT_EQ(sets(result, 2).size(), 0u);
    EXPECT_EQ(keyOf(result, a), md5sum(a->path()));
}

TEST_F(FileSeparatorTest, EmptyFilesMatchByName) {
    FileSystemItem* first = file("one/notes.txt", "");
    FileSystemItem* second = file("two/notes.txt", "");
    const FileSeparatorMap result = separate({first, second, file("three/list.txt", "")});
    EXPECT_EQ(sets(result), (std::set<std::set<std::string>>{{"one/notes.txt", "two/notes.txt"}, {"three/list.txt"}}));
    EXPECT_EQ(keyOf(result, first), "notes.txt:#filename#");
}

TEST_F(FileSeparatorTest, UnreadableItemsGetNoKey) {
    // A FIFO (as scanned, and one that became a FIFO since the scan), a file
    // deleted since the scan, and two readable copies.
    const std::string fifo = m_files / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((m_files / "was-a-file").c_str(), 0600), 0);
    FileSystemItem* pipe = item("pipe", 50000, FileKind::fifo);
    FileSystemItem* changed = item("was-a-file", 50000);
    FileSystemItem* deleted = file("gone.jpg", noise(50000, 5));
    ASSERT_EQ(::unlink(deleted->path().c_str()), 0);
    FileSystemItem* a = file("a.jpg", noise(50000, 6));
    FileSystemItem* b = file("b.jpg", noise(50000, 6));

    const FileSeparatorMap result = separate({pipe, changed, deleted, a, b});
    EXPECT_EQ(sets(result), (std::set<std::set<std::string>>{{"a.jpg", "b.jpg"}}));
    // Handed to hashing all the same.
    EXPECT_TRUE(deleted->isCheckedForDuplicates());
    EXPECT_TRUE(pipe->isCheckedForDuplicates());
}

TEST_F(FileSeparatorTest, FileGrowingWhileHashed) {
    ForcedFullHash forced(true);
    const std::string growingPath = m_files.writeFile("grow.bin", noise(4 << 20, 7));
    FileSystemItem* growing = item("grow.bin", 4 << 20);
    FileSystemItem* other = file("other.bin", noise(4 << 20, 7));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::ofstream out(growingPath, std::ios::binary | std::ios::app);
        const std::string chunk = noise(65536, 8);
        for (int i = 0; i < 256 && !done; ++i) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    });
    const FileSeparatorMap result = separate({growing, other});
    done = true;
    writer.join();
    EXPECT_FALSE(keyOf(result, growing).empty());
    EXPECT_EQ(keyOf(result, other), md5sum(other->path()));
}

TEST_F(FileSeparatorTest, StopDuringTheConfirmationPass) {
    // 30 text files share a partial key (they differ only outside the blocks),
    // so the confirmation pass takes them; two identical photos and a lone
    // text file do not take part in it.
    const std::string content = noise(60000, 9);
    std::vector<FileSystemItem*> confirmed;
    std::vector<FileSystemItem*> items;
    for (int i = 0; i < 30; ++i) {
        std::string bytes = content;
        bytes[40000] = static_cast<char>(i);  // between the middle [24576, 32768) and the end [49152, 60000)
        confirmed.push_back(file("t/" + std::to_string(i) + ".txt", bytes));
    }
    items = confirmed;
    std::vector<FileSystemItem*> bystanders{file("p/a.jpg", noise(60000, 13)), file("p/b.jpg", noise(60000, 13)),
                                            file("p/lone.txt", noise(60000, 10))};
    items.insert(items.end(), bystanders.begin(), bystanders.end());

    auto listener = std::make_shared<RecordingListener>();
    auto separator = FileSeparator::create();
    std::vector<bool> passes;
    // Stop is queued as the second pass begins, before any of its keys can come back.
    separator->setPassStartHandlerForTesting([&, weak = std::weak_ptr(separator)](bool fullHash) {
        passes.push_back(fullHash);
        if (fullHash)
            if (auto s = weak.lock()) s->stop();
    });
    separator->separateItemsWithListener(items, listener);
    const auto result = listener->wait();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->empty());
    EXPECT_EQ(listener->calls, 1);
    EXPECT_EQ(passes, (std::vector<bool>{false, true}));
    for (FileSystemItem* i : confirmed) EXPECT_FALSE(i->isCheckedForDuplicates()) << i->name();
    for (FileSystemItem* i : bystanders) EXPECT_TRUE(i->isCheckedForDuplicates()) << i->name();

    // A later stop changes nothing and reports nothing more.
    separator->stop();
    FileSeparator::workingQueue().drain();
    EXPECT_EQ(listener->calls, 1);
    for (FileSystemItem* i : bystanders) EXPECT_TRUE(i->isCheckedForDuplicates());
}

TEST_F(FileSeparatorTest, StopAtTheStartAndBeforeTheStart) {
    std::vector<FileSystemItem*> items;
    for (int i = 0; i < 15; ++i) items.push_back(file(std::to_string(i) + ".jpg", noise(5000, 11)));

    // Stopped as the first pass begins: nothing stays marked, the map is empty.
    auto listener = std::make_shared<RecordingListener>();
    auto separator = FileSeparator::create();
    separator->setPassStartHandlerForTesting([weak = std::weak_ptr(separator)](bool) {
        if (auto s = weak.lock()) s->stop();
    });
    separator->separateItemsWithListener(items, listener);
    auto result = listener->wait();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->empty());
    for (FileSystemItem* i : items) EXPECT_FALSE(i->isCheckedForDuplicates());

    // Stopped before it was started: it still reports once, with nothing.
    auto early = std::make_shared<RecordingListener>();
    auto stopped = FileSeparator::create();
    stopped->stop();
    stopped->separateItemsWithListener(items, early);
    result = early->wait();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->empty());
    EXPECT_EQ(early->calls, 1);
    for (FileSystemItem* i : items) EXPECT_FALSE(i->isCheckedForDuplicates());
}

TEST_F(FileSeparatorTest, ListenerGoneBeforeTheEnd) {
    // Nobody to tell: the separation still runs to its end without harm.
    std::vector<FileSystemItem*> items{file("a.jpg", noise(40000, 12)), file("b.jpg", noise(40000, 12))};
    auto separator = FileSeparator::create();
    {
        auto listener = std::make_shared<RecordingListener>();
        separator->separateItemsWithListener(items, listener);
    }
    std::weak_ptr<FileSeparator> weak = separator;
    separator.reset();
    // The work it queued keeps it alive until it finishes, then it goes.
    for (int i = 0; i < 3000 && !weak.expired(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(weak.expired());
    for (FileSystemItem* i : items) EXPECT_TRUE(i->isCheckedForDuplicates());
}

}  // namespace
}  // namespace kestrane
