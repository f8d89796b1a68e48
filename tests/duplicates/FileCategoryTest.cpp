#include "duplicates/FileCategory.h"

#include "duplicates/ExtensionCategoryCache.h"
#include "platform/MimeDatabase.h"
#include "platform/Text.h"
#include "scan/ExcludeChecker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kestrane {
namespace {

// These use the installed shared-mime-info database, which scripts/setup.sh installs.
class FileCategoryOfNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (platform::MimeDatabase::system().isEmpty()) GTEST_SKIP() << "shared-mime-info is not installed";
    }
};

TEST_F(FileCategoryOfNameTest, CommonFormatsByKind) {
    // Each line: a category and the names (space-separated) that belong to it.
    const std::vector<std::pair<FileCategory, std::string>> kinds = {
        // Photos and camera raws; the last three are unknown to the database and come from the built-in table.
        {FileCategory::image, "a.jpg a.jpeg a.JPG a.png a.gif a.heic a.webp a.tiff a.bmp a.svg a.nef a.cr2 a.cr3 "
                             "a.arw a.dng a.raf a.orf a.rw2 a.srw a.3fr a.IIQ /home/me/Pictures/IMG_0001.JPG"},
        {FileCategory::video, "a.mp4 a.mov a.mkv a.avi a.m4v a.webm a.mts a.3gp a.wmv a.rm a.r3d relative/dir/movie.mkv"},
        {FileCategory::music, "a.mp3 a.m4a a.flac a.ogg a.opus a.wav a.aiff a.wma a.mka a.m4b"},
        // Office files, e-books (several of them zip files, DjVu registered as an image), text, source code, data.
        {FileCategory::document, "a.pdf a.doc a.docx a.xls a.xlsx a.ppt a.pptx a.odt a.ods a.odp a.rtf a.txt a.md "
                                "a.csv a.pages a.key a.numbers a.epub a.mobi a.azw3 a.azw a.fb2 a.djvu a.cbz a.c a.C "
                                "a.cpp a.h a.py a.js a.rs a.go a.java a.html a.json a.xml a.yaml a.eml a.sqlite3 "
                                "/home/me/.config/settings.json"},
        // Archives and disk images.
        {FileCategory::archive, "a.zip a.tar a.gz a.tgz a.7z a.rar a.xz a.bz2 a.zst a.jar a.deb a.iso a.dmg a.img "
                               "a.sparseimage backup.tar.gz /srv/archive.d/backup.zip/"},
        // Programs, unknown extensions and names without one; a "." in a folder name is no extension.
        {FileCategory::other, "a.exe libz.so main.o firmware.bin font.ttf a.kestrane-no-such-extension README "
                             ".bashrc trailing. /home/me/photos.d/README"},
    };
    for (const auto& [category, names] : kinds) {
        std::istringstream words(names);
        for (std::string name; words >> name;) EXPECT_EQ(typeOfFileAtPath(name), category) << "file name: " << name;
    }
    EXPECT_EQ(typeOfFileAtPath(""), FileCategory::other);
}

TEST_F(FileCategoryOfNameTest, ExtensionsAreCachedExactlyAsWritten) {
    ExtensionCategoryCache& cache = ExtensionCategoryCache::cache();
    cache.removeAllObjects();

    EXPECT_EQ(typeOfFileAtPath("archive.ZIP"), FileCategory::archive);
    EXPECT_EQ(cache.categoryForExtension("ZIP"), FileCategory::archive);
    EXPECT_EQ(cache.categoryForExtension("zip"), std::nullopt);
    EXPECT_EQ(typeOfFileAtPath("archive.zip"), FileCategory::archive);
    EXPECT_EQ(cache.count(), 2u);

    // A cached answer is taken as it is.
    cache.setCategoryForExtension(FileCategory::music, "kestranetest");
    EXPECT_EQ(typeOfFileAtPath("x.kestranetest"), FileCategory::music);
    // Names without an extension are not cached.
    const std::size_t before = cache.count();
    EXPECT_EQ(typeOfFileAtPath("Makefile"), FileCategory::other);
    EXPECT_EQ(cache.count(), before);
    cache.removeAllObjects();
}

TEST_F(FileCategoryOfNameTest, ManyThreadsGetTheSameAnswersWhileTheCacheIsEmptied) {
    const std::vector<std::string> names = {
        "a.jpg", "b.JPG", "c.mp4", "d.flac", "e.pdf", "f.docx", "g.epub", "h.zip", "i.ZIP", "j.exe",
        "k.nef", "l.srw", "m.tar.gz", "n", ".hidden", "o.cpp", "p.mkv", "q.iso", "r.unknownext", "s.heic",
    };
    ExtensionCategoryCache::cache().removeAllObjects();
    std::vector<std::optional<FileCategory>> expected;
    for (const std::string& name : names)
        expected.push_back(fileCategoryOfExtension(platform::pathExtension(name), platform::MimeDatabase::system()));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 500; ++round) {
                for (std::size_t i = 0; i < names.size(); ++i) {
                    const std::size_t index = (i + static_cast<std::size_t>(t) * 3) % names.size();
                    if (typeOfFileAtPath(names[index]) != expected[index]) ++mismatches;
                }
                if (t == 0 && round % 100 == 0) ExtensionCategoryCache::cache().removeAllObjects();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(FileCategoryRulesTest, TheNearestKindWithARuleDecides) {
    platform::MimeDatabase database;
    database.addDirectoryContents("50:application/epub+zip:*.epub\n"
                                  "50:application/x-kestrane-pack:*.kpack\n"
                                  "50:audio/x-ms-wma:*.wma\n"
                                  "50:video/x-ms-wmv:*.wmv\n"
                                  "50:application/vnd.ms-asf:*.asf\n"
                                  "50:image/svg+xml:*.svg\n"
                                  "50:image/vnd.djvu:*.djvu\n"
                                  "50:text/x-csrc:*.c\n"
                                  "50:application/x-sqlite3:*.db3\n"
                                  "50:application/x-sharedlib:*.so\n"
                                  "50:video/x-mjpeg:*.mjpeg\n"
                                  "50:application/vnd.android.package-archive:*.apk\n",
                                  "application/epub+zip application/zip\n"
                                  "application/x-kestrane-pack application/x-bzip2\n"
                                  "audio/x-ms-wma application/vnd.ms-asf\n"
                                  "video/x-ms-wmv application/vnd.ms-asf\n"
                                  "image/svg+xml application/xml\n"
                                  "application/xml text/plain\n"
                                  "video/x-mjpeg image/jpeg\n"
                                  "application/vnd.android.package-archive application/x-java-archive\n"
                                  "application/x-java-archive application/zip\n",
                                  "application/x-bzip2 application/x-bzip\n"
                                  "application/x-sqlite3 application/vnd.sqlite3\n");

    EXPECT_EQ(fileCategoryOfExtension("epub", database), FileCategory::document);  // a zip, but a book first
    EXPECT_EQ(fileCategoryOfExtension("kpack", database), FileCategory::archive);  // via an alias of a listed type
    EXPECT_EQ(fileCategoryOfExtension("wma", database), FileCategory::music);
    EXPECT_EQ(fileCategoryOfExtension("wmv", database), FileCategory::video);
    EXPECT_EQ(fileCategoryOfExtension("asf", database), FileCategory::other);
    EXPECT_EQ(fileCategoryOfExtension("svg", database), FileCategory::image);  // an image before XML text
    EXPECT_EQ(fileCategoryOfExtension("djvu", database), FileCategory::document);
    EXPECT_EQ(fileCategoryOfExtension("C", database), FileCategory::document);
    EXPECT_EQ(fileCategoryOfExtension("db3", database), FileCategory::document);  // data
    EXPECT_EQ(fileCategoryOfExtension("so", database), FileCategory::other);
    EXPECT_EQ(fileCategoryOfExtension("mjpeg", database), FileCategory::video);  // its own kind before image/jpeg
    EXPECT_EQ(fileCategoryOfExtension("apk", database), FileCategory::archive);  // no rule: its nearest listed kind
    EXPECT_EQ(fileCategoryOfExtension("", database), FileCategory::other);

    EXPECT_EQ(fileCategoryOfMimeType("font/ttf", database), FileCategory::other);
    EXPECT_EQ(fileCategoryOfMimeType("video/x-kestrane", database), FileCategory::video);
    EXPECT_EQ(fileCategoryOfMimeType("application/vnd.oasis.opendocument.text", database), FileCategory::document);
    EXPECT_EQ(fileCategoryOfMimeType("", database), FileCategory::other);
}

TEST(FileCategoryRulesTest, WithoutADatabaseTheBuiltInTableSortsTheCommonFormats) {
    const platform::MimeDatabase empty;
    const std::vector<std::pair<const char*, FileCategory>> expectations = {
        {"jpg", FileCategory::image},    {"HEIC", FileCategory::image},   {"NEF", FileCategory::image},
        {"srw", FileCategory::image},    {"mp4", FileCategory::video},    {"mov", FileCategory::video},
        {"mp3", FileCategory::music},    {"flac", FileCategory::music},   {"pdf", FileCategory::document},
        {"docx", FileCategory::document}, {"mobi", FileCategory::document}, {"zip", FileCategory::archive},
        {"dmg", FileCategory::archive},  {"exe", FileCategory::other},    {"whatever", FileCategory::other},
    };
    for (const auto& [extension, category] : expectations)
        EXPECT_EQ(fileCategoryOfExtension(extension, empty), category) << "extension: " << extension;
}


TEST(ExtensionCategoryCacheTest, KeepsAnswersPerExactExtensionAndEmptiesItselfWhenFull) {
    ExtensionCategoryCache cache(3);
    cache.setCategoryForExtension(FileCategory::image, "jpg");
    cache.setCategoryForExtension(FileCategory::archive, "zip");
    cache.setCategoryForExtension(FileCategory::archive, "ZIP");
    EXPECT_EQ(cache.count(), 3u);
    EXPECT_EQ(cache.categoryForExtension("jpg"), FileCategory::image);
    EXPECT_EQ(cache.categoryForExtension("Jpg"), std::nullopt);

    cache.setCategoryForExtension(FileCategory::video, "jpg");  // replacing an answer does not evict
    EXPECT_EQ(cache.count(), 3u);
    EXPECT_EQ(cache.categoryForExtension("jpg"), FileCategory::video);

    cache.setCategoryForExtension(FileCategory::music, "mp3");  // a fourth extension
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.categoryForExtension("mp3"), FileCategory::music);
    EXPECT_EQ(cache.categoryForExtension("zip"), std::nullopt);
}

}  // namespace
}  // namespace kestrane
