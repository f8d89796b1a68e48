#include "platform/FileComparison.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::platform {
namespace {

using test::TempDir;
using Result = ByteComparer::Result;

Result compareFiles(const std::string& a, const std::string& b) {
    const auto first = OpenedFile::open(a);
    const auto second = OpenedFile::open(b);
    EXPECT_TRUE(first && second);
    if (!first || !second) return Result::readFailed;
    ByteComparer comparer;
    return comparer.compare(*first, *second);
}

std::string withByteChanged(std::string bytes, std::size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
    return bytes;
}

TEST(FileComparisonTest, EqualFilesOfEverySizeAroundTheReadLengthCompareEqual) {
    TempDir temp;
    constexpr std::size_t kRead = ByteComparer::kReadLength;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kRead - 1, kRead, kRead + 1, 3 * kRead + 17}) {
        const std::string bytes = test::noise(size, static_cast<std::uint32_t>(size));
        const std::string name = std::to_string(size);
        EXPECT_EQ(compareFiles(temp.writeFile(name + ".a", bytes), temp.writeFile(name + ".b", bytes)), Result::equal)
            << size;
    }
}

TEST(FileComparisonTest, OneByteAnywhereOrALengthMakesThemDifferent) {
    TempDir temp;
    constexpr std::size_t kSize = 2 * ByteComparer::kReadLength + 1000;
    const std::string bytes = test::noise(kSize, 7);
    const std::string original = temp.writeFile("original", bytes);
    // The first byte, the last of the first read, the first of the second, the very last.
    for (const std::size_t at : {std::size_t{0}, ByteComparer::kReadLength - 1, ByteComparer::kReadLength, kSize - 1}) {
        const std::string other = temp.writeFile("changed-" + std::to_string(at), withByteChanged(bytes, at));
        EXPECT_EQ(compareFiles(original, other), Result::different) << at;
    }
    EXPECT_EQ(compareFiles(original, temp.writeFile("shorter", bytes.substr(0, kSize - 1))), Result::different);
}

TEST(FileComparisonTest, OpensOnlyTheRegularFileTheFactsDescribe) {
    TempDir temp;
    const std::string file = temp.writeFile("photo.jpg", "picture bytes");
    const auto seen = factsOfPath(file);
    ASSERT_TRUE(seen.has_value());
    EXPECT_TRUE(OpenedFile::openUnchanged(file, *seen).has_value());

    // Written to since: another modification time.
    struct timespec later[2] = {{0, UTIME_OMIT}, {seen->modification.seconds + 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), later, 0), 0);
    EXPECT_FALSE(OpenedFile::openUnchanged(file, *seen).has_value());
    EXPECT_EQ(errno, ESTALE);

    // Replaced by another file with the same bytes and time: another inode.
    const auto current = factsOfPath(file);
    const std::string twin = temp.writeFile("twin", "picture bytes");
    struct timespec same[2] = {{0, UTIME_OMIT},
                               {current->modification.seconds, static_cast<long>(current->modification.nanoseconds)}};
    ASSERT_EQ(::utimensat(AT_FDCWD, twin.c_str(), same, 0), 0);
    ASSERT_EQ(::rename(twin.c_str(), file.c_str()), 0);
    EXPECT_FALSE(OpenedFile::openUnchanged(file, *current).has_value());

    // Neither a link to the file nor a FIFO is opened (and the FIFO does not block).
    ASSERT_EQ(::symlink(file.c_str(), (temp / "link").c_str()), 0);
    EXPECT_FALSE(OpenedFile::open(temp / "link").has_value());
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(OpenedFile::open(temp / "fifo").has_value());
    EXPECT_FALSE(OpenedFile::open(temp.path()).has_value());
}

TEST(FileComparisonTest, AnOpenFileKnowsWhenItWasWrittenTo) {
    TempDir temp;
    const std::string file = temp.writeFile("growing.log", "first line\n");
    const auto opened = OpenedFile::open(file);
    ASSERT_TRUE(opened.has_value());
    EXPECT_TRUE(opened->isUnchangedSinceOpened());
    std::ofstream(file, std::ios::app) << "second line\n";
    EXPECT_FALSE(opened->isUnchangedSinceOpened());
}

}  // namespace
}  // namespace kestrane::platform
