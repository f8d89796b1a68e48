// How a failure is grouped from what is found on disk, and what each group
// says to the person.
#include "removal/DefaultRemoverErrorsContainer.h"
#include "removal/RemoveAlertsController.h"
#include "removal/RemoveErrorInfo.h"

#include "platform/FileFlags.h"
#include "support/FakeVolumes.h"
#include "support/FlagsReset.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrane {
namespace {

using test::FakeVolumes;

class RemoveErrorsTest : public test::IsolatedHomeTest {
protected:
    void TearDown() override {
        platform::setVolumeInfoProvider(nullptr);
        IsolatedHomeTest::TearDown();
    }
    // The sandbox as one volume of the given kind.
    void presentSandboxAs(const std::string& type, bool readOnly, bool local = true) {
        auto volume = FakeVolumes::volume(m_sandbox.path(), type, readOnly);
        volume.isLocal = local;
        platform::setVolumeInfoProvider(FakeVolumes::of({FakeVolumes::volume("/"), volume}));
    }
    RemoveErrorInfo failureAt(const std::string& path, bool isFolder = false) {
        return RemoveErrorInfo(nullptr, path, isFolder, Error{"posix", 1, "Operation not permitted", path});
    }
};

TEST_F(RemoveErrorsTest, TheVolumeComesFirstThenTheNetworkThenLocksThenPermissions) {
    const std::string file = m_sandbox.writeFile("photos/x.jpg", "x");
    presentSandboxAs("ext4", false);
    EXPECT_EQ(failureAt(file).removeGroupType(), RemoveGroupType::unknown);

    presentSandboxAs("ext4", true);
    EXPECT_EQ(failureAt(file).removeGroupType(), RemoveGroupType::readOnlyDisk);
    presentSandboxAs("ntfs3", true);
    EXPECT_EQ(failureAt(file).removeGroupType(), RemoveGroupType::readOnlyNTFSDisk);
    presentSandboxAs("fuseblk", false);
    EXPECT_EQ(failureAt(file).removeGroupType(), RemoveGroupType::unknown) << "a writable NTFS volume is no reason";
    presentSandboxAs("nfs4", false, false);
    EXPECT_EQ(failureAt(file).removeGroupType(), RemoveGroupType::networkDisk);

    if (::geteuid() != 0) GTEST_SKIP() << "setting the immutable flag needs root";
    const test::FlagsReset reset(file);
    if (platform::setFileFlags(file, {.immutable = true})) GTEST_SKIP() << "this file system keeps no immutable flag";
    presentSandboxAs("ext4", false);
    EXPECT_EQ(failureAt(file).removeGroupType(), RemoveGroupType::lockedFiles);
    EXPECT_TRUE(failureAt(file).hasErrorType(RemoveErrorType::itemLocked));
    // A locked file on a read-only volume is a read-only matter first.
    presentSandboxAs("ext4", true);
    EXPECT_EQ(failureAt(file).removeGroupType(), RemoveGroupType::readOnlyDisk);
    // A folder has no hard links on Linux.
    EXPECT_FALSE(failureAt(m_sandbox / "photos", true).hasErrorType(RemoveErrorType::folderWithHardLinks));
}

TEST_F(RemoveErrorsTest, APermanentRemovalHasNoNetworkGroupSoSuchFailuresAreUnknown) {
    const std::string first = m_sandbox.writeFile("share/a.jpg", "a");
    presentSandboxAs("cifs", false, false);

    DefaultRemoverErrorsContainer permanent(false);
    permanent.addError(failureAt(first));
    ASSERT_NE(permanent.nextGroup(), nullptr);
    EXPECT_EQ(permanent.nextGroup()->type(), RemoveGroupType::unknown);
    const Question question = RemoveAlertsController::questionForGroup(
        RemoveGroupType::unknown, permanent.nextGroup()->errors(), false);
    EXPECT_EQ(question.title, "The file \"a.jpg\" was not removed");
    EXPECT_EQ(question.text, "Removal of the file requires your confirmation in the Finder.\nDo you confirm removal?");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Confirm", "Cancel", "Read More"}));

    DefaultRemoverErrorsContainer toTrash(true);
    toTrash.addError(failureAt(first));
    EXPECT_EQ(toTrash.nextGroup()->type(), RemoveGroupType::networkDisk);
    EXPECT_EQ(helperRemoverTypeOfGroup(RemoveGroupType::networkDisk), HelperRemoverType::permanentAsUser);
}

TEST_F(RemoveErrorsTest, TitlesSayTheNameOfOneItemAndTheCountOfSeveral) {
    const std::vector<RemoveErrorInfo> unnamed = {RemoveErrorInfo(nullptr, "", false, std::nullopt)};
    EXPECT_EQ(RemoveAlertsController::questionForGroup(RemoveGroupType::readOnlyAccess, unnamed, true).title,
              "The file was not removed due to lack of permission");
    const std::vector<RemoveErrorInfo> folders = {RemoveErrorInfo(nullptr, "/x/Album", true, std::nullopt),
                                                  RemoveErrorInfo(nullptr, "/y/Album", true, std::nullopt)};
    const Question two = RemoveAlertsController::questionForGroup(RemoveGroupType::unknown, folders, false);
    EXPECT_EQ(two.title, "2 folders were not removed");
    EXPECT_EQ(two.text, "Removal of the folders requires your confirmation in the Finder.\nDo you confirm removal?");
    EXPECT_EQ(RemoveAlertsController::questionForGroup(RemoveGroupType::unknown, folders, true).title,
              "2 folders cannot be removed to Trash");
    const Question locked = RemoveAlertsController::questionForGroup(RemoveGroupType::lockedFiles, folders, true);
    EXPECT_EQ(locked.title, "2 files were not removed due to being locked");
    EXPECT_EQ(locked.kind, RemovalQuestionKind::lockedFiles);
    const Question notRemoved = RemoveAlertsController::questionForGroup(RemoveGroupType::notRemoved, folders, true);
    EXPECT_EQ(notRemoved.buttons, (std::vector<std::string>{"OK", "Report Us"}));
    EXPECT_EQ(notRemoved.text, "Cannot remove files due to lack of permission.");
}

TEST_F(RemoveErrorsTest, ReadMoreShowsTheHelpAndAsksAgain) {
    struct Asker final : QuestionAsker {
        void ask(const Question& question, std::function<void(Answer)> answer) override {
            kinds.push_back(question.kind);
            // "Read More" the first time, then "Confirm".
            answer({kinds.size() == 1 ? std::size_t{2} : std::size_t{0}, false});
        }
        std::vector<std::string> kinds;
    };
    auto asker = std::make_shared<Asker>();
    RemoveAlertsController alerts(asker);
    std::optional<bool> confirmed;
    alerts.showAlertForGroup(RemoveGroupType::lockedFiles, {RemoveErrorInfo(nullptr, "/a/b.jpg", false, std::nullopt)},
                             true, [&](bool value) { confirmed = value; });
    EXPECT_EQ(asker->kinds, (std::vector<std::string>{RemovalQuestionKind::lockedFiles, RemovalQuestionKind::readMore,
                                                      RemovalQuestionKind::lockedFiles}));
    EXPECT_EQ(confirmed, true);
}

}  // namespace
}  // namespace kestrane
