#include "platform/MimeDatabase.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace kestrane::platform {
namespace {

std::optional<std::string> typeOf(const MimeDatabase& database, std::string_view extension) {
    return database.mimeTypeForExtension(extension);
}

TEST(MimeDatabaseTest, GlobsMatchExtensionsIgnoringCaseAndPreferTheHeaviest) {
    MimeDatabase database;
    database.addDirectoryContents(
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
        "50:application/x-trash:*~\n",
        "", "");

    EXPECT_EQ(typeOf(database, "html"), "text/html");
    EXPECT_EQ(typeOf(database, "HTML"), "text/html");
    EXPECT_EQ(typeOf(database, "jpg"), "image/jpeg");  // the glob's own case does not matter either
    EXPECT_EQ(typeOf(database, "Jpg"), "image/jpeg");
    EXPECT_EQ(typeOf(database, "both"), "application/x-first");  // equal weight: first in the file
    EXPECT_EQ(typeOf(database, "weight"), "application/x-heavy");
    // Malformed lines, whole-name globs and multi-part suffixes say nothing about an extension.
    EXPECT_EQ(typeOf(database, "bad"), std::nullopt);
    EXPECT_EQ(typeOf(database, "notype"), std::nullopt);
    EXPECT_EQ(typeOf(database, "makefile"), std::nullopt);
    EXPECT_EQ(typeOf(database, "gz"), std::nullopt);
    EXPECT_EQ(typeOf(database, "tar.gz"), std::nullopt);
    EXPECT_EQ(typeOf(database, ""), std::nullopt);
    EXPECT_EQ(typeOf(database, "unknown"), std::nullopt);
    EXPECT_EQ(database.globCount(), 7u);
}

TEST(MimeDatabaseTest, CaseSensitiveGlobsWinForTheirExactCase) {
    // As the real database has it: "x.C" is C++, "x.c" is C.
    MimeDatabase database;
    database.addDirectoryContents(
        "50:text/x-c++src:*.C:cs\n"
        "50:text/x-c++src:*.C\n"
        "50:text/x-csrc:*.c:cs\n"
        "50:text/x-csrc:*.c\n"
        "50:text/x-genie:*.gs:cs\n"
        "50:text/x-other:*.Q:cs,other-flag\n",
        "", "");
    EXPECT_EQ(typeOf(database, "C"), "text/x-c++src");
    EXPECT_EQ(typeOf(database, "c"), "text/x-csrc");
    EXPECT_EQ(typeOf(database, "gs"), "text/x-genie");
    EXPECT_EQ(typeOf(database, "GS"), std::nullopt);  // only the exact case matches a cs glob
    EXPECT_EQ(typeOf(database, "Q"), "text/x-other");
    EXPECT_EQ(typeOf(database, "q"), std::nullopt);
}

TEST(MimeDatabaseTest, WildcardGlobsMatchTheExtension) {
    MimeDatabase database;
    database.addDirectoryContents(
        "50:application/x-troff-man:*.[1-9]\n"
        "50:video/x-anim:*.anim[1-9j]\n"
        "50:text/x-one:*.1\n",
        "", "");
    EXPECT_EQ(typeOf(database, "3"), "application/x-troff-man");
    EXPECT_EQ(typeOf(database, "ANIMJ"), "video/x-anim");
    EXPECT_EQ(typeOf(database, "anim0"), std::nullopt);
    // Both match "1" with the same weight: the longer pattern wins.
    EXPECT_EQ(typeOf(database, "1"), "application/x-troff-man");
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

    EXPECT_EQ(typeOf(database, "mine"), std::nullopt);
    EXPECT_EQ(typeOf(database, "mine2"), "application/x-mine");
    EXPECT_EQ(typeOf(database, "shared"), "application/x-user");
    EXPECT_EQ(typeOf(database, "heavier"), "application/x-system");  // weight beats folder order
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
    EXPECT_TRUE(database.conformsTo("text/x-csrc", "application/octet-stream"));
    EXPECT_FALSE(database.conformsTo("inode/directory", "application/octet-stream"));
    EXPECT_FALSE(database.conformsTo("image/png", "image/jpeg"));
    EXPECT_FALSE(database.conformsTo("", "application/octet-stream"));
    EXPECT_TRUE(database.conformsTo("application/x-loop-a", "application/x-loop-b"));  // a cycle ends

    const std::vector<std::string> supers = database.superTypesOf("application/x-apk");
    const std::vector<std::string> expected = {"application/vnd.android.package-archive", "application/x-java-archive",
                                               "application/zip", "application/octet-stream"};
    EXPECT_EQ(supers, expected);
}

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
        const char* old = std::getenv(name);
        if (old != nullptr) m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class MimeDatabaseFilesTest : public test::IsolatedHomeTest {};

TEST_F(MimeDatabaseFilesTest, ReadsFoldersAndFindsThemInTheXdgDataFolders) {
    const std::string user = m_sandbox.makeDir("data-home/mime");
    m_sandbox.writeFile("data-home/mime/globs2", "50:application/x-user-type:*.mine\n");
    m_sandbox.writeFile("system/mime/globs2", "50:application/x-system-type:*.mine\n50:image/png:*.png\n");
    m_sandbox.writeFile("system/mime/subclasses", "application/x-system-type application/zip\n");
    m_sandbox.writeFile("system/mime/aliases", "image/x-png image/png\n");

    const ScopedEnvironment dataHome("XDG_DATA_HOME", m_sandbox / "data-home");
    const ScopedEnvironment dataDirs("XDG_DATA_DIRS", "relative/ignored:" + m_sandbox.path() + "/system/:" +
                                                           m_sandbox.path() + "/missing");

    const std::vector<std::string> folders = MimeDatabase::standardDirectories();
    const std::vector<std::string> expected = {user, m_sandbox / "system/mime", m_sandbox / "missing/mime"};
    EXPECT_EQ(folders, expected);

    const MimeDatabase database = MimeDatabase::fromDirectories(folders);
    EXPECT_EQ(database.mimeTypeForExtension("mine"), "application/x-user-type");
    EXPECT_EQ(database.mimeTypeForExtension("PNG"), "image/png");
    EXPECT_TRUE(database.conformsTo("application/x-system-type", "application/zip"));
    EXPECT_EQ(database.canonicalType("image/x-png"), "image/png");

    MimeDatabase empty;
    EXPECT_FALSE(empty.addDirectory(m_sandbox / "missing/mime"));
    EXPECT_TRUE(empty.isEmpty());
}

TEST_F(MimeDatabaseFilesTest, WithoutXdgDataDirsTheStandardSystemFoldersAreUsed) {
    const ScopedEnvironment dataDirs("XDG_DATA_DIRS", "");
    const std::vector<std::string> folders = MimeDatabase::standardDirectories();
    const std::vector<std::string> expected = {m_home + "/.local/share/mime", "/usr/local/share/mime",
                                               "/usr/share/mime"};
    EXPECT_EQ(folders, expected);
}

TEST(MimeDatabaseSystemTest, TheInstalledDatabaseKnowsCommonFormats) {
    const MimeDatabase& database = MimeDatabase::system();
    ASSERT_FALSE(database.isEmpty()) << "shared-mime-info is not installed (scripts/setup.sh installs it)";
    EXPECT_EQ(&database, &MimeDatabase::system());

    EXPECT_EQ(database.mimeTypeForExtension("jpg"), "image/jpeg");
    EXPECT_EQ(database.mimeTypeForExtension("JPEG"), "image/jpeg");
    EXPECT_EQ(database.mimeTypeForExtension("pdf"), "application/pdf");
    EXPECT_EQ(database.mimeTypeForExtension("C"), "text/x-c++src");
    EXPECT_EQ(database.mimeTypeForExtension("c"), "text/x-csrc");
    EXPECT_EQ(database.mimeTypeForExtension("iso"), "application/x-cd-image");  // the heaviest of many
    EXPECT_EQ(database.mimeTypeForExtension("no-such-extension"), std::nullopt);

    EXPECT_TRUE(database.conformsTo("application/epub+zip", "application/zip"));
    EXPECT_TRUE(database.conformsTo("image/x-nikon-nef", "image/tiff"));
    EXPECT_TRUE(database.conformsTo("application/x-compressed-tar", "application/x-gzip"));  // alias of gzip
    EXPECT_TRUE(database.conformsTo("application/json", "text/plain"));
    EXPECT_FALSE(database.conformsTo("application/zip", "text/plain"));
}

}  // namespace
}  // namespace kestrane::platform
