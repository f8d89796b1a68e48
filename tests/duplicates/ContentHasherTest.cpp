#include "duplicates/ContentHasher.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

using test::md5sum;
using test::noise;

using test::TempDir;

std::optional<std::string> partial(const std::string& path, std::uint64_t size, std::uint64_t block,
                                   ContentHasher::FileKind kind = ContentHasher::FileKind::unknown) {
    return ContentHasher::hashForFilePartly(path, size, block, 3 * block, kind);
}

TEST(ContentHasherTest, FullKeysMatchTheReferenceDigests) {
    TempDir dir;
    const std::pair<const char*, const char*> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : vectors)
        EXPECT_EQ(ContentHasher::hashForFile(dir.writeFile("vector", text)), digest) << '"' << text << '"';

    // Sizes around the read chunk and well past it, against md5sum.
    for (std::size_t size : {1u, 8191u, 8192u, 8193u, 65543u, 1000003u}) {
        const std::string path = dir.writeFile("f" + std::to_string(size), noise(size, static_cast<std::uint32_t>(size)));
        EXPECT_EQ(ContentHasher::hashForFile(path), md5sum(path)) << size << " bytes";
    }
}

TEST(ContentHasherTest, PartialKeyBlocksAndThreshold) {
    // The key is the digest of the start block, then the end block (to the end
    // of the file), then the middle block: at natural offsets up to 12288
    // bytes, 4096-aligned from 12289 on (middle at R / 2, end at R, each
    // rounded down). A block longer than the 8192-byte read chunk is read in
    // whole chunks until it is covered.
    struct Case {
        std::size_t size, block;
        std::size_t startEnd, endFrom, middleFrom, middleEnd;
    };
    const Case cases[] = {
        {24576, 8192, 8192, 16384, 8192, 16384},    // exactly three blocks: they tile the file, in another order
        {6144, 2048, 2048, 4096, 2048, 4096},       // a small file keeps the natural, unaligned offsets
        {6145, 2048, 2048, 4097, 2048, 4096},       // R = 4097: end at 4097, middle at 2048
        {12288, 2048, 2048, 10240, 5120, 7168},     // the last size with natural offsets
        {12289, 2048, 2048, 8192, 4096, 6144},      // the first aligned one
        {100000, 8192, 8192, 90112, 45056, 53248},  // a large file
        {60000, 10000, 16384, 49152, 24576, 40960}, // a block wider than the read chunk: two whole chunks
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, blocks of " + std::to_string(c.block));
        const std::string bytes = noise(c.size, static_cast<std::uint32_t>(c.size));
        const std::string path = dir.writeFile("file", bytes);
        const std::string blocks = bytes.substr(0, c.startEnd) + bytes.substr(c.endFrom) +
                                   bytes.substr(c.middleFrom, c.middleEnd - c.middleFrom);
        EXPECT_EQ(partial(path, c.size, c.block), md5sum(dir.writeFile("blocks", blocks)));
        EXPECT_NE(partial(path, c.size, c.block), md5sum(path));
    }

    // The full key instead: below three blocks, size 0, size under the threshold, block length 0.
    const std::string below = dir.writeFile("below", noise(24575, 1));
    EXPECT_EQ(partial(below, 24575, 8192), md5sum(below));
    const std::string large = dir.writeFile("large", noise(100000, 5));
    EXPECT_EQ(partial(large, 0, 8192), md5sum(large));
    EXPECT_EQ(ContentHasher::hashForFilePartly(large, 100000, 8192, 100001),
              md5sum(large));
    EXPECT_EQ(partial(large, 100000, 0), md5sum(large));

    // Only the three blocks count.
    std::string outside = noise(100000, 5);
    outside[30000] ^= 1;  // between the start and the middle block
    std::string inside = noise(100000, 5);
    inside[50000] ^= 1;  // inside the middle block [45056, 53248)
    EXPECT_EQ(partial(dir.writeFile("outside", outside), 100000, 8192), partial(large, 100000, 8192));
    EXPECT_NE(partial(dir.writeFile("inside", inside), 100000, 8192), partial(large, 100000, 8192));
}

TEST(ContentHasherTest, FilesThatChangeOrAreNotRegularGiveAKeyFromWhatWasReadOrNone) {
    TempDir dir;
    const std::string target = dir.writeFile("target", "content");
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link").c_str()), 0);
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    dir.makeDir("folder");
    // Whether or not the caller vouches for a regular file (a scan saw one
    // there, so the path is opened without being looked at first), nothing
    // else is ever read.
    for (const auto kind : {ContentHasher::FileKind::unknown, ContentHasher::FileKind::regular}) {
        SCOPED_TRACE(kind == ContentHasher::FileKind::regular ? "said to be regular" : "unknown");
        EXPECT_EQ(ContentHasher::hashForFile(target, kind), md5sum(target));
        EXPECT_EQ(ContentHasher::hashForFile(dir / "missing", kind), std::nullopt);
        EXPECT_EQ(partial(dir / "missing", 100000, 8192, kind), std::nullopt);
        EXPECT_EQ(ContentHasher::hashForFile(dir / "folder", kind), std::nullopt);

        // A symbolic link is not followed, even to a regular file.
        EXPECT_EQ(ContentHasher::hashForFile(dir / "link", kind), std::nullopt);
        EXPECT_EQ(partial(dir / "link", 7, 8192, kind), std::nullopt);

        // A FIFO without a writer would block a reader forever: it is refused
        // without waiting (the hash runs on another thread so that a hang
        // fails the test instead of stalling it).
        auto fifoKeys = std::async(std::launch::async, [fifo, kind] {
            return std::make_pair(ContentHasher::hashForFile(fifo, kind), partial(fifo, 100000, 8192, kind));
        });
        ASSERT_EQ(fifoKeys.wait_for(std::chrono::seconds(10)), std::future_status::ready)
            << "a FIFO was opened for reading";
        EXPECT_EQ(fifoKeys.get(), std::make_pair(std::optional<std::string>{}, std::optional<std::string>{}));
    }
    EXPECT_FALSE(ContentHasher::isNeedFullCheckPNGAtPath(fifo));

    // Shrunk since its size was taken: the blocks past the end read nothing
    // and the key covers what was there.
    const std::string shrunkBytes = noise(30000, 8);
    const std::string shrunk = dir.writeFile("shrunk", shrunkBytes);
    EXPECT_EQ(partial(shrunk, 100000, 8192), md5sum(dir.writeFile("start", shrunkBytes.substr(0, 8192))));

    // Growing while it is read: some key, and no harm.
    const std::string growing = dir.writeFile("growing", noise(1 << 20, 9));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::ofstream out(growing, std::ios::binary | std::ios::app);
        const std::string chunk = noise(65536, 10);
        for (int i = 0; i < 256 && !done; ++i) {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            out.flush();
        }
    });
    for (int i = 0; i < 20; ++i) {
        const auto key = ContentHasher::hashForFile(growing);
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->size(), 32u);
        EXPECT_TRUE(partial(growing, 1 << 20, 8192).has_value());
    }
    done = true;
    writer.join();
}

TEST(ContentHasherTest, NameKeyAndFullCheckExtensions) {
    EXPECT_EQ(ContentHasher::nameKey("notes.txt"), "notes.txt:#filename#");
    for (const std::string& extension : ContentHasher::fullCheckExtensions())
        EXPECT_TRUE(!extension.empty() && std::none_of(extension.begin(), extension.end(), ::isupper)) << extension;

    // No file is read for these: the paths need not exist.
    for (const char* path : {"/x/notes.txt", "/x/PHOTO.NEF", "/x/Scan.TiFf", "/x/main.c++", "/x/.editorconfig",
                             "/x/raw.3FR", "/x/query.PgSql"})
        EXPECT_TRUE(ContentHasher::isNeedFullHashBuildForPath(path)) << path;
    for (const char* path : {"/x/photo.jpg", "/x/movie.mp4", "/x/README", "/x/notes.txt/inside", "/x/song.mp3",
                             "/x/missing.png", "/x/file.txt.jpg", "/x/b.c/name", "/x/trailing."})
        EXPECT_FALSE(ContentHasher::isNeedFullHashBuildForPath(path)) << path;
}

// A minimal PNG: signature, IHDR, optionally a text chunk, then an IDAT
// chunk holding the given data (its length field may claim more).
std::string png(const std::string& idatData, bool withTextChunk = false, std::uint32_t idatLength = 0) {
    auto chunk = [](const char* type, const std::string& data, std::uint32_t length) {
        std::string out;
        for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((length >> shift) & 0xff);
        out += std::string(type, 4);
        out += data;
        out += std::string("\x12\x34\x56\x78", 4);  // CRC, not checked
        return out;
    };
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    bytes += chunk("IHDR", std::string("\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 13), 13);
    if (withTextChunk) bytes += chunk("tEXt", std::string("Comment\0made by hand", 20), 20);
    std::string idat = chunk("IDAT", idatData, idatLength ? idatLength : static_cast<std::uint32_t>(idatData.size()));
    if (idatLength) idat.resize(8 + idatData.size());  // cut right after the data given
    return bytes + idat;
}

TEST(ContentHasherTest, PngTestLooksAtTheFirstImageDataBytes) {
    TempDir dir;
    const auto check = [&](const std::string& bytes) {
        return ContentHasher::isNeedFullCheckPNGAtPath(dir.writeFile("t.png", bytes));
    };
    const std::string rest(64, '\x55');
    const std::vector<std::pair<std::string, bool>> firstBytes = {
        {std::string("\x78\x01\x00", 3), true},
        {std::string("\x78\x01\x9f", 3), true},  // only 0x40 and 0x20 matter
        {std::string("\x78\x01\x20", 3), false},
        {std::string("\x78\x01\x40", 3), false},
        {std::string("\x78\x9c\x00", 3), false},  // ordinary compression
        {std::string("\x79\x01\x00", 3), false},
    };
    for (const auto& [bytes, passes] : firstBytes) {
        EXPECT_EQ(check(png(bytes + rest)), passes) << testing::PrintToString(bytes);
        EXPECT_EQ(check(png(bytes + rest, true)), passes) << "after a text chunk";
    }

    // Malformed or truncated files say no.
    const std::string whole = png(std::string("\x78\x01\x00", 3) + rest);
    std::string badSignature = whole;
    badSignature[1] = 'Q';
    EXPECT_FALSE(check(badSignature));
    EXPECT_FALSE(check(std::string("\x89PNG\r\n", 6)));
    EXPECT_FALSE(check(png(std::string("\x78\x01", 2), false, 100)));  // file ends inside the IDAT data
    EXPECT_FALSE(check(whole.substr(0, 8 + 25 + 6)));                  // ends inside the IDAT chunk header
    std::string noImageData = png(std::string("\x78\x01\x00", 3));
    noImageData.replace(8 + 25 + 4, 4, "IEND");
    EXPECT_FALSE(check(noImageData));
    std::string jumpsPastEnd = whole;
    jumpsPastEnd.replace(8, 4, std::string("\x7f\xff\xff\xff", 4));  // IHDR claims 2 GiB
    EXPECT_FALSE(check(jumpsPastEnd));
    EXPECT_FALSE(ContentHasher::isNeedFullCheckPNGAtPath(dir / "missing.png"));

    // Through the full-check decision, whatever the case of the extension.
    EXPECT_TRUE(ContentHasher::isNeedFullHashBuildForPath(dir.writeFile("Shot.PNG", whole)));
    EXPECT_FALSE(ContentHasher::isNeedFullHashBuildForPath(
        dir.writeFile("other.png", png(std::string("\x78\xda\x00", 3) + rest))));
}

}  // namespace
}  // namespace kestrane
