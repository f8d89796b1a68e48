#include "platform/MimeDatabase.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrane::platform {
namespace {

// Each extension with the type expected for it ("" for none).
void expectTypes(const MimeDatabase& database, const std::vector<std::pair<const char*, const char*>>& cases) {
    for (const auto& [extension, type] : cases)
        EXPECT_EQ(database.mimeTypeForExtension(extension).value_or(""), type) << "extension: " << extension;
}

MimeDatabase databaseWithGlobs(const char* globs) {
    MimeDatabase database;
    database.addDirectoryContents(globs, "", "");
    return database;
}

TEST(MimeDatabaseTest, GlobsMatchExtensionsIgnoringCaseAndPreferTheHeaviest) {
    const MimeDatabase database = databaseWithGlobs(
        "# a comment\n"
        "\n"
        "80:text/html:*.html\n"
        "50:application/xhtml+xml:*.html\n"
        "50:image/jpeg:*.JPG\n"
        "50:application/x-first:*.both\n"
        "50:application/x-second:*.both\n"
        "40:application/x-light:*.weight\n"
        "60:application/x-heavy:*.weight\n"
        "not a glob line\n"
        "x:application/x-bad-weight:*.bad\n"
        "50::*.notype\n"
        "50:text/x-makefile:makefile\n"
        "50:application/x-compressed-tar:*.tar.gz\n"
        "50:application/x-trash:*~\n");
    expectTypes(database, {
        {"html", "text/html"}, {"HTML", "text/html"}, {"jpg", "image/jpeg"}, {"Jpg", "image/jpeg"},
        {"both", "application/x-first"},  // equal weight: first in the file
        {"weight", "application/x-heavy"},
        // Malformed lines, whole-name globs and multi-part suffixes say nothing about an extension.
        {"bad", ""}, {"notype", ""}, {"makefile", ""}, {"gz", ""}, {"tar.gz", ""}, {"", ""}, {"unknown", ""},
    });
    EXPECT_EQ(database.globCount(), 7u);
}

TEST(MimeDatabaseTest, CaseSensitiveAndWildcardGlobs) {
    // As the real database has it: "x.C" is C++, "x.c" is C.
    expectTypes(databaseWithGlobs("50:text/x-c++src:*.C:cs\n"
                                  "50:text/x-c++src:*.C\n"
                                  "50:text/x-csrc:*.c:cs\n"
                                  "50:text/x-csrc:*.c\n"
                                  "50:text/x-genie:*.gs:cs\n"
                                  "50:text/x-other:*.Q:cs,other-flag\n"),
                {{"C", "text/x-c++src"}, {"c", "text/x-csrc"}, {"gs", "text/x-genie"}, {"GS", ""},
                 {"Q", "text/x-other"}, {"q", ""}});
    // Both of the last two match "1" with the same weight: the longer pattern wins.
    expectTypes(databaseWithGlobs("50:application/x-troff-man:*.[1-9]\n"
                                  "50:video/x-anim:*.anim[1-9j]\n"
                                  "50:text/x-one:*.1\n"),
                {{"3", "application/x-troff-man"}, {"ANIMJ", "video/x-anim"}, {"anim0", ""},
                 {"1", "application/x-troff-man"}});
}

TEST(MimeDatabaseTest, TheUsersFolderComesFirstAndCanDropTheSystemsGlobs) {
    MimeDatabase database;
    // The user's folder: redefines one type's globs, adds an equal-weight rival for another.
    database.addDirectoryContents(
        "50:application/x-mine:__NOGLOBS__\n"
        "50:application/x-mine:*.mine2\n"
        "50:application/x-user:*.shared\n",
        "", "application/x-alias application/x-user\n");
    // The system's folder.
    database.addDirectoryContents(
        "50:application/x-mine:*.mine\n"
        "50:application/x-system:*.shared\n"
        "60:application/x-system:*.heavier\n"
        "50:application/x-user:*.heavier\n",
        "", "application/x-alias application/x-system\n");
    expectTypes(database, {{"mine", ""}, {"mine2", "application/x-mine"}, {"shared", "application/x-user"},
                           {"heavier", "application/x-system"}});  // weight beats folder order
    EXPECT_EQ(database.canonicalType("application/x-alias"), "application/x-user");
}

TEST(MimeDatabaseTest, ConformanceFollowsSubclassesAliasesAndTheImplicitRules) {
    MimeDatabase database;
    database.addDirectoryContents(
        "",
        "application/epub+zip application/zip\n"
        "application/vnd.android.package-archive application/x-java-archive\n"
        "application/x-java-archive application/zip\n"
        "application/xml text/plain\n"
        "image/svg+xml application/xml\n"
        "application/x-loop-a application/x-loop-b\n"
        "application/x-loop-b application/x-loop-a\n"
        "malformed-line\n",
        "application/x-zip-compressed application/zip\n"
        "application/x-apk application/vnd.android.package-archive\n");

    EXPECT_TRUE(database.conformsTo("application/epub+zip", "application/epub+zip"));
    EXPECT_TRUE(database.conformsTo("application/epub+zip", "application/zip"));
    EXPECT_FALSE(database.conformsTo("application/zip", "application/epub+zip"));
    EXPECT_TRUE(database.conformsTo("application/vnd.android.package-archive", "application/zip"));  // transitive
    EXPECT_TRUE(database.conformsTo("application/x-apk", "application/x-zip-compressed"));  // aliases on both sides
    EXPECT_TRUE(database.conformsTo("image/svg+xml", "text/plain"));
    EXPECT_TRUE(database.conformsTo("text/x-csrc", "text/plain"));  // every text/* type
    EXPECT_FALSE(database.conformsTo("text/plain", "text/x-csrc"));
    EXPECT_TRUE(database.conformsTo("image/png", "application/octet-stream"));
    EXPECT_FALSE(database.conformsTo("inode/directory", "application/octet-stream"));
    EXPECT_FALSE(database.conformsTo("image/png", "image/jpeg"));
    EXPECT_FALSE(database.conformsTo("", "application/octet-stream"));
    EXPECT_TRUE(database.conformsTo("application/x-loop-a", "application/x-loop-b"));  // a cycle ends

    const std::vector<std::string> supers = database.superTypesOf("application/x-apk");
    const std::vector<std::string> expected = {"application/vnd.android.package-archive", "application/x-java-archive",
                                               "application/zip", "application/octet-stream"};
    EXPECT_EQ(supers, expected);
}

// The XDG folders are the environment's: put XDG_DATA_DIRS back afterwards.
class MimeDatabaseFilesTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        if (const char* old = std::getenv("XDG_DATA_DIRS")) m_oldDataDirs = old;
    }
    void TearDown() override {
        if (m_oldDataDirs)
            ::setenv("XDG_DATA_DIRS", m_oldDataDirs->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_DIRS");
        IsolatedHomeTest::TearDown();
    }
    std::optional<std::string> m_oldDataDirs;
};

TEST_F(MimeDatabaseFilesTest, ReadsFoldersAndFindsThemInTheXdgDataFolders) {
    const std::string user = m_sandbox.makeDir("data-home/mime");
    m_sandbox.writeFile("data-home/mime/globs2", "50:application/x-user-type:*.mine\n");
    m_sandbox.writeFile("system/mime/globs2", "50:application/x-system-type:*.mine\n50:image/png:*.png\n");
    m_sandbox.writeFile("system/mime/subclasses", "application/x-system-type application/zip\n");
    m_sandbox.writeFile("system/mime/aliases", "image/x-png image/png\n");
    ::setenv("XDG_DATA_HOME", (m_sandbox / "data-home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS",
             ("relative/ignored:" + m_sandbox.path() + "/system/:" + m_sandbox.path() + "/missing").c_str(), 1);

    const std::vector<std::string> folders = MimeDatabase::standardDirectories();
    EXPECT_EQ(folders, (std::vector<std::string>{user, m_sandbox / "system/mime", m_sandbox / "missing/mime"}));
    const MimeDatabase database = MimeDatabase::fromDirectories(folders);
    expectTypes(database, {{"mine", "application/x-user-type"}, {"PNG", "image/png"}});
    EXPECT_TRUE(database.conformsTo("application/x-system-type", "application/zip"));
    EXPECT_EQ(database.canonicalType("image/x-png"), "image/png");

    MimeDatabase empty;
    EXPECT_FALSE(empty.addDirectory(m_sandbox / "missing/mime"));
    EXPECT_TRUE(empty.isEmpty());

    // Without XDG_DATA_DIRS the standard system folders are used.
    ::setenv("XDG_DATA_DIRS", "", 1);
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(MimeDatabase::standardDirectories(),
              (std::vector<std::string>{m_home + "/.local/share/mime", "/usr/local/share/mime", "/usr/share/mime"}));
}

TEST(MimeDatabaseSystemTest, TheInstalledDatabaseKnowsCommonFormats) {
    const MimeDatabase& database = MimeDatabase::system();
    ASSERT_FALSE(database.isEmpty()) << "shared-mime-info is not installed (scripts/setup.sh installs it)";
    EXPECT_EQ(&database, &MimeDatabase::system());
    expectTypes(database, {{"jpg", "image/jpeg"}, {"JPEG", "image/jpeg"}, {"pdf", "application/pdf"},
                           {"C", "text/x-c++src"}, {"c", "text/x-csrc"},
                           {"iso", "application/x-cd-image"},  // the heaviest of many
                           {"no-such-extension", ""}});
    EXPECT_TRUE(database.conformsTo("application/epub+zip", "application/zip"));
    EXPECT_TRUE(database.conformsTo("image/x-nikon-nef", "image/tiff"));
    EXPECT_TRUE(database.conformsTo("application/x-compressed-tar", "application/x-gzip"));  // alias of gzip
    EXPECT_TRUE(database.conformsTo("application/json", "text/plain"));
    EXPECT_FALSE(database.conformsTo("application/zip", "text/plain"));
}

}  // namespace
}  // namespace kestrane::platform
