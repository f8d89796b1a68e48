#include "merge/MergeFeasibility.h"
#include "merge/MergeNaming.h"
#include "merge/MergeTexts.h"
#include "platform/VolumeInfo.h"
#include "support/FakeVolumes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

namespace kestrane {
namespace {

std::string freeAmong(std::string_view name, bool isFolder, const std::set<std::string, std::less<>>& taken) {
    return MergeNaming::freeName(name, isFolder, [&](std::string_view candidate) { return taken.contains(candidate); });
}

TEST(MergeNamingTest, ArrivingNamesFollowTheRuleAndNeverTakeAnExistingOne) {
    EXPECT_EQ(freeAmong("report.pdf", false, {}), "report.pdf");
    EXPECT_EQ(freeAmong("report.pdf", false, {"report.pdf", "report 1.pdf"}), "report 2.pdf");
    // A folder's name is never split at a dot; a file's is, at its last one.
    EXPECT_EQ(freeAmong("photos.2019", true, {"photos.2019"}), "photos.2019 1");
    EXPECT_EQ(freeAmong("photos.2019", false, {"photos.2019"}), "photos 1.2019");
    EXPECT_EQ(freeAmong("archive.tar.gz", false, {"archive.tar.gz"}), "archive.tar 1.gz");
    // Names without an extension take the number at their end.
    EXPECT_EQ(freeAmong("README", false, {"README"}), "README 1");
    EXPECT_EQ(freeAmong(".bashrc", false, {".bashrc"}), ".bashrc 1");
    EXPECT_EQ(freeAmong("notes.", false, {"notes."}), "notes. 1");
    // Bytes that are not UTF-8 are kept as they are.
    EXPECT_EQ(freeAmong("\xff\xfe.jpg", false, {"\xff\xfe.jpg"}), "\xff\xfe 1.jpg");
    // Numbering goes on past the single digits.
    std::set<std::string, std::less<>> taken{"a.txt"};
    for (int k = 1; k <= 11; ++k) taken.insert("a " + std::to_string(k) + ".txt");
    EXPECT_EQ(freeAmong("a.txt", false, taken), "a 12.txt");
}

TEST(MergeNamingTest, NumberedNamesStayWithinTheLongestNameWithoutCuttingACharacter) {
    const std::string longBase(251, 'x');
    const std::string numbered = MergeNaming::numberedName(longBase + ".jpg", false, 12);
    EXPECT_EQ(numbered.size(), MergeNaming::kMaximalNameLength);
    EXPECT_TRUE(numbered.ends_with(" 12.jpg"));
    // "é" is two bytes: the cut falls before it rather than inside it.
    std::string accented(249, 'x');
    for (int i = 0; i < 3; ++i) accented += "\xc3\xa9";
    const std::string cut = MergeNaming::numberedName(accented, true, 1);
    EXPECT_LE(cut.size(), MergeNaming::kMaximalNameLength);
    EXPECT_TRUE(cut.ends_with("\xc3\xa9 1") || cut.ends_with("x 1")) << cut;
}

TEST(MergeTextsTest, PreviewReadsTheCountTheActionAndBothNames) {
    auto preview = MergeTexts::preview(0, MergeAction::Copy, "Old Photos", "Photos");
    EXPECT_EQ(preview.message, "There is nothing to merge from \"Old Photos\" to \"Photos\" folder.");
    EXPECT_EQ(preview.hint, "Change Merge options or direction to process.");
    // Without an action nothing is merged, whatever the count.
    preview = MergeTexts::preview(5, std::nullopt, "A", "B");
    EXPECT_EQ(preview.message, "There is nothing to merge from \"A\" to \"B\" folder.");

    preview = MergeTexts::preview(1, MergeAction::Copy, "A", "B");
    EXPECT_EQ(preview.message, "1 file from \"A\" will be copied to \"B\" folder.");
    EXPECT_EQ(preview.hint, "You can customize Merge using the options below or changing direction.");
    preview = MergeTexts::preview(12, MergeAction::Move, "A", "B");
    EXPECT_EQ(preview.message, "12 files from \"A\" will be moved to \"B\" folder.");
}

TEST(MergeTextsTest, ResultLinesCountFilesWithTheParticipleOfTheAction) {
    EXPECT_EQ(MergeTexts::successLine(1, MergeAction::Copy), "1 file was copied succesfully.");
    EXPECT_EQ(MergeTexts::successLine(3, MergeAction::Move), "3 files were moved succesfully.");
    EXPECT_EQ(MergeTexts::successLine(0, std::nullopt), "0 files were merged succesfully.");
    EXPECT_EQ(MergeTexts::failureLine(1, MergeAction::Move), "1 file could not be moved.");
    EXPECT_EQ(MergeTexts::failureLine(2, MergeAction::Copy), "2 files could not be copied.");
}

class MergeFeasibilityTest : public ::testing::Test {
protected:
    void TearDown() override { platform::setVolumeInfoProvider(nullptr); }
    test::TempDir m_dir;
};

TEST_F(MergeFeasibilityTest, EachFailedCheckHasItsMessageInOrder) {
    const std::string source = m_dir.makeDir("vol/Old");
    const std::string destination = m_dir.makeDir("vol/New");
    EXPECT_EQ(MergeFeasibility::check(source, destination, MergeAction::Move), std::nullopt);

    EXPECT_EQ(MergeFeasibility::check(source, m_dir / "vol/Gone", MergeAction::Copy),
              "The destination \"Gone\" does not exist.");
    EXPECT_EQ(MergeFeasibility::check(m_dir / "vol/Gone", destination, MergeAction::Copy),
              "The source \"Gone\" does not exist.");
    // A file is not a folder to merge into.
    EXPECT_EQ(MergeFeasibility::check(source, m_dir.writeFile("vol/file", "x"), MergeAction::Copy),
              "The destination \"file\" does not exist.");

    const std::string readOnly = m_dir.makeDir("ro/Old");
    const std::string ntfs = m_dir.makeDir("ntfs/Old");
    platform::setVolumeInfoProvider(test::FakeVolumes::of({test::FakeVolumes::volume(m_dir / "vol"),
                                                           test::FakeVolumes::volume(m_dir / "ro", "ext4", true),
                                                           test::FakeVolumes::volume(m_dir / "ntfs", "ntfs3", true)}));
    EXPECT_EQ(MergeFeasibility::check(source, readOnly, MergeAction::Copy),
              "The destination \"Old\" is located on a disk with Read Only permission.");
    EXPECT_EQ(MergeFeasibility::check(source, ntfs, MergeAction::Copy),
              "The destination \"Old\" is located on the NTFS formatted disk.\nYou should install a special "
              "extension to have the ability to write to the disk.");
    // A copy only reads its source; a move writes it too.
    EXPECT_EQ(MergeFeasibility::check(readOnly, destination, MergeAction::Copy), std::nullopt);
    EXPECT_EQ(MergeFeasibility::check(readOnly, destination, MergeAction::Move),
              "The source \"Old\" is located on a disk with Read Only permission.");
    EXPECT_EQ(MergeFeasibility::check(ntfs, destination, MergeAction::Move),
              "The source \"Old\" is located on the NTFS formatted disk.\nYou should install a special extension "
              "to have the ability to write to the disk.");
}

TEST_F(MergeFeasibilityTest, AFolderThisUserCannotChangeIsRefused) {
    const std::string source = m_dir.makeDir("Old");
    const std::string destination = m_dir.makeDir("New");
    ::chmod(m_dir.path().c_str(), 0755);
    ::chmod(destination.c_str(), 0555);
    test::expectAsUnprivilegedUser([&] {
        return MergeFeasibility::check(source, destination, MergeAction::Copy) ==
               MergeFeasibility::destinationNotWritable("New");
    });
    ::chmod(destination.c_str(), 0777);
    ::chmod(source.c_str(), 0555);
    test::expectAsUnprivilegedUser([&] {
        return MergeFeasibility::check(source, destination, MergeAction::Copy) == std::nullopt &&
               MergeFeasibility::check(source, destination, MergeAction::Move) ==
                   MergeFeasibility::sourceNotWritable("Old");
    });
    ::chmod(source.c_str(), 0755);
}

}  // namespace
}  // namespace kestrane
