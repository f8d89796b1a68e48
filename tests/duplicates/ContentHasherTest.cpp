#include "duplicates/ContentHasher.h"

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
#include <string>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

using test::TempDir;

// Deterministic bytes that repeat nowhere within a file.
std::string noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// The digest that coreutils' md5sum gives for the file: an implementation
// that shares nothing with ours.
std::string md5sum(const std::string& path) {
    FILE* pipe = ::popen(("md5sum -- " + shellQuote(path)).c_str(), "r");
    if (!pipe) return "popen failed";
    char digest[33] = {};
    const std::size_t read = std::fread(digest, 1, 32, pipe);
    ::pclose(pipe);
    return read == 32 ? std::string(digest, 32) : "md5sum failed";
}

// md5sum of the given bytes, through a scratch file.
std::string md5sumOfBytes(const TempDir& dir, const std::string& bytes) {
    return md5sum(dir.writeFile("scratch.bin", bytes));
}

std::string slice(const std::string& bytes, std::size_t from, std::size_t to) {
    return bytes.substr(from, to - from);
}

std::optional<std::string> partial(const std::string& path, std::uint64_t size, std::uint64_t block) {
    return ContentHasher::hashforFilePartlyWithSizeHashPartBlockLengthForFilesGreatherThan(path, size, block,
                                                                                          3 * block);
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
    int n = 0;
    for (const auto& [text, digest] : vectors) {
        const std::string path = dir.writeFile("v" + std::to_string(n++), text);
        EXPECT_EQ(ContentHasher::hashforFile(path), digest) << '"' << text << '"';
    }

    // Sizes around the read chunk and well past it, against md5sum.
    for (std::size_t size : {1u, 8191u, 8192u, 8193u, 65543u, 1000003u}) {
        const std::string path =
            dir.writeFile("f" + std::to_string(size), noise(size, static_cast<std::uint32_t>(size)));
        EXPECT_EQ(ContentHasher::hashforFile(path), md5sum(path)) << size << " bytes";
    }
}

TEST(ContentHasherTest, PartialKeyBlocksAndThreshold) {
    TempDir dir;

    // Default block length: below three blocks the key is the full one.
    const std::string below = dir.writeFile("below", noise(24575, 1));
    EXPECT_EQ(partial(below, 24575, 8192), md5sum(below));

    // Exactly three blocks: start, then the 4096-aligned end to EOF, then the
    // aligned middle (here they tile the file, but in another order).
    const std::string exactBytes = noise(24576, 2);
    const std::string exact = dir.writeFile("exact", exactBytes);
    const auto exactKey = partial(exact, 24576, 8192);
    EXPECT_EQ(exactKey, md5sumOfBytes(dir, slice(exactBytes, 0, 8192) + slice(exactBytes, 16384, 24576) +
                                                slice(exactBytes, 8192, 16384)));
    EXPECT_NE(exactKey, md5sum(exact));

    // A small file (under 12289 bytes) keeps the natural, unaligned offsets.
    const std::string smallBytes = noise(6144, 3);
    const std::string small = dir.writeFile("small", smallBytes);
    EXPECT_EQ(partial(small, 6144, 2048), md5sumOfBytes(dir, slice(smallBytes, 0, 2048) +
                                                                 slice(smallBytes, 4096, 6144) +
                                                                 slice(smallBytes, 2048, 4096)));
    const std::string oddBytes = noise(6145, 4);  // R = 4097: end at 4097, middle at 2048
    const std::string odd = dir.writeFile("odd", oddBytes);
    EXPECT_EQ(partial(odd, 6145, 2048), md5sumOfBytes(dir, slice(oddBytes, 0, 2048) + slice(oddBytes, 4097, 6145) +
                                                              slice(oddBytes, 2048, 4096)));

    // Alignment starts at 12289 bytes: 12288 keeps the natural offsets
    // (middle 5120, end 10240), 12289 has middle 4096 and end 8192 to EOF.
    const std::string lastNaturalBytes = noise(12288, 11);
    const std::string lastNatural = dir.writeFile("natural", lastNaturalBytes);
    EXPECT_EQ(partial(lastNatural, 12288, 2048),
              md5sumOfBytes(dir, slice(lastNaturalBytes, 0, 2048) + slice(lastNaturalBytes, 10240, 12288) +
                                     slice(lastNaturalBytes, 5120, 7168)));
    const std::string firstAlignedBytes = noise(12289, 12);
    const std::string firstAligned = dir.writeFile("aligned", firstAlignedBytes);
    EXPECT_EQ(partial(firstAligned, 12289, 2048),
              md5sumOfBytes(dir, slice(firstAlignedBytes, 0, 2048) + slice(firstAlignedBytes, 8192, 12289) +
                                     slice(firstAlignedBytes, 4096, 6144)));

    // A large file: middle at (R / 2) rounded down to 4096, end from R rounded
    // down to the end of the file.
    const std::string largeBytes = noise(100000, 5);
    const std::string large = dir.writeFile("large", largeBytes);
    EXPECT_EQ(partial(large, 100000, 8192), md5sumOfBytes(dir, slice(largeBytes, 0, 8192) +
                                                                   slice(largeBytes, 90112, 100000) +
                                                                   slice(largeBytes, 45056, 53248)));

    // A block longer than the read chunk is read in whole chunks until the
    // block is covered, so the start and middle blocks take two full chunks.
    const std::string wideBytes = noise(60000, 6);
    const std::string wide = dir.writeFile("wide", wideBytes);
    EXPECT_EQ(partial(wide, 60000, 10000), md5sumOfBytes(dir, slice(wideBytes, 0, 16384) +
                                                                  slice(wideBytes, 49152, 60000) +
                                                                  slice(wideBytes, 24576, 40960)));

    // Full key instead: size 0, size under the threshold, block length 0.
    EXPECT_EQ(partial(large, 0, 8192), md5sum(large));
    EXPECT_EQ(ContentHasher::hashforFilePartlyWithSizeHashPartBlockLengthForFilesGreatherThan(large, 100000, 8192,
                                                                                             100001),
              md5sum(large));
    EXPECT_EQ(partial(large, 100000, 0), md5sum(large));
}

TEST(ContentHasherTest, PartialKeySeesOnlyItsThreeBlocks) {
    TempDir dir;
    const std::string original = noise(100000, 7);
    std::string outside = original;
    outside[30000] ^= 1;  // between the start and the middle block
    std::string inside = original;
    inside[50000] ^= 1;  // inside the middle block [45056, 53248)

    const std::string a = dir.writeFile("a", original);
    const std::string b = dir.writeFile("b", outside);
    const std::string c = dir.writeFile("c", inside);
    EXPECT_EQ(partial(a, 100000, 8192), partial(b, 100000, 8192));
    EXPECT_NE(partial(a, 100000, 8192), partial(c, 100000, 8192));
    EXPECT_NE(ContentHasher::hashforFile(a), ContentHasher::hashforFile(b));
}

TEST(ContentHasherTest, FilesThatChangeOrAreNotRegularGiveAKeyFromWhatWasReadOrNone) {
    TempDir dir;
    EXPECT_EQ(ContentHasher::hashforFile(dir / "missing"), std::nullopt);
    EXPECT_EQ(partial(dir / "missing", 100000, 8192), std::nullopt);
    EXPECT_EQ(ContentHasher::hashforFile(dir.makeDir("folder")), std::nullopt);

    // A symbolic link is not followed, even to a regular file.
    const std::string target = dir.writeFile("target", "content");
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link").c_str()), 0);
    EXPECT_EQ(ContentHasher::hashforFile(dir / "link"), std::nullopt);

    // A FIFO without a writer would block a reader forever: it is refused
    // without waiting (the hash runs on another thread so that a hang fails
    // the test instead of stalling it).
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto fifoKeys = std::async(std::launch::async, [fifo] {
        return std::make_pair(ContentHasher::hashforFile(fifo), partial(fifo, 100000, 8192));
    });
    ASSERT_EQ(fifoKeys.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "a FIFO was opened for reading";
    EXPECT_EQ(fifoKeys.get(), std::make_pair(std::optional<std::string>{}, std::optional<std::string>{}));
    EXPECT_FALSE(ContentHasher::isNeedFullCheckPNGAtPath(fifo));

    // Shrunk since its size was taken: the blocks past the end read nothing
    // and the key covers what was there.
    const std::string shrunkBytes = noise(30000, 8);
    const std::string shrunk = dir.writeFile("shrunk", shrunkBytes);
    EXPECT_EQ(partial(shrunk, 100000, 8192), md5sumOfBytes(dir, slice(shrunkBytes, 0, 8192)));

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
        const auto key = ContentHasher::hashforFile(growing);
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->size(), 32u);
        EXPECT_TRUE(partial(growing, 1 << 20, 8192).has_value());
    }
    done = true;
    writer.join();
}

TEST(ContentHasherTest, NameKeyAndFullCheckExtensions) {
    EXPECT_EQ(ContentHasher::nameKey("notes.txt"), "notes.txt:#filename#");

    const auto& extensions = ContentHasher::fullCheckExtensions();
    EXPECT_EQ(extensions.size(), 127u);
    for (const std::string& extension : extensions) {
        EXPECT_FALSE(extension.empty());
        for (char c : extension) EXPECT_FALSE(c >= 'A' && c <= 'Z') << extension;
    }

    EXPECT_EQ(ContentHasher::pathExtension("/a/b.c/name"), "");
    EXPECT_EQ(ContentHasher::pathExtension("/a/archive.tar.gz"), "gz");
    EXPECT_EQ(ContentHasher::pathExtension("/a/.editorconfig"), "editorconfig");
    EXPECT_EQ(ContentHasher::pathExtension("/a/trailing."), "");

    // No file is read for these: the paths need not exist.
    for (const char* path : {"/x/notes.txt", "/x/PHOTO.NEF", "/x/Scan.TiFf", "/x/main.c++", "/x/.editorconfig",
                             "/x/raw.3FR", "/x/query.PgSql"})
        EXPECT_TRUE(ContentHasher::isNeedFullHashBuildForPath(path)) << path;
    for (const char* path : {"/x/photo.jpg", "/x/movie.mp4", "/x/README", "/x/notes.txt/inside", "/x/song.mp3",
                             "/x/missing.png", "/x/file.txt.jpg"})
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
    auto check = [&](const std::string& bytes) {
        return ContentHasher::isNeedFullCheckPNGAtPath(dir.writeFile("t.png", bytes));
    };
    const std::string rest(64, '\x55');

    EXPECT_TRUE(check(png(std::string("\x78\x01\x00", 3) + rest)));
    EXPECT_TRUE(check(png(std::string("\x78\x01\x1f", 3) + rest, true)));  // skips the text chunk
    EXPECT_TRUE(check(png(std::string("\x78\x01\x9f", 3) + rest)));        // only 0x40 and 0x20 matter
    EXPECT_FALSE(check(png(std::string("\x78\x01\x20", 3) + rest)));
    EXPECT_FALSE(check(png(std::string("\x78\x01\x40", 3) + rest)));
    EXPECT_FALSE(check(png(std::string("\x78\x9c\x00", 3) + rest)));  // ordinary compression
    EXPECT_FALSE(check(png(std::string("\x79\x01\x00", 3) + rest)));

    // Malformed or truncated files say no.
    std::string badSignature = png(std::string("\x78\x01\x00", 3) + rest);
    badSignature[1] = 'Q';
    EXPECT_FALSE(check(badSignature));
    EXPECT_FALSE(check(std::string("\x89PNG\r\n", 6)));
    EXPECT_FALSE(check(png(std::string("\x78\x01", 2), false, 100)));  // file ends inside the IDAT data
    const std::string whole = png(std::string("\x78\x01\x00", 3) + rest);
    EXPECT_FALSE(check(whole.substr(0, 8 + 25 + 6)));  // ends inside the IDAT chunk header
    std::string noImageData = png(std::string("\x78\x01\x00", 3));
    noImageData.replace(8 + 25 + 4, 4, "IEND");
    EXPECT_FALSE(check(noImageData));
    std::string jumpsPastEnd = whole;
    jumpsPastEnd.replace(8, 4, std::string("\x7f\xff\xff\xff", 4));  // IHDR claims 2 GiB
    EXPECT_FALSE(check(jumpsPastEnd));
    EXPECT_FALSE(ContentHasher::isNeedFullCheckPNGAtPath(dir / "missing.png"));

    // Through the full-check decision, whatever the case of the extension.
    const std::string passing = dir.writeFile("Shot.PNG", png(std::string("\x78\x01\x00", 3) + rest));
    const std::string failing = dir.writeFile("other.png", png(std::string("\x78\xda\x00", 3) + rest));
    EXPECT_TRUE(ContentHasher::isNeedFullHashBuildForPath(passing));
    EXPECT_FALSE(ContentHasher::isNeedFullHashBuildForPath(failing));
}

}  // namespace
}  // namespace kestrane
