#include "favourites/favourites_store.h"
#include "support/test_paths.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fav = tovimo::favourites;
using tovimo::testing::TempFolder;

namespace {

std::string native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::string allBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    return bytes;
}

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

QStringList entriesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(FavouritesLocation, BesideTheProgramUnlessItsFolderIsNotWritable) {
    const struct {
        bool writable;
        std::string dataHome, expected;
    } cases[] = {
        {true, "/home/u/.local/share", "/opt/tovimo/datadoc.tvq"},
        {false, "/home/u/.local/share", "/home/u/.local/share/tovimo/datadoc.tvq"},
        {false, "", "/opt/tovimo/datadoc.tvq"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fav::favouritesLocation("/opt/tovimo", c.writable, c.dataHome), c.expected);

    const struct {
        const char *xdg, *home, *expected;
    } homes[] = {
        {"/x/data", "/home/u", "/x/data"},
        {nullptr, "/home/u", "/home/u/.local/share"},
        {"", "/home/u", "/home/u/.local/share"},
        {"relative", "/home/u", "/home/u/.local/share"},
        {nullptr, nullptr, ""},
        {nullptr, "relative", ""},
    };
    for (const auto& h : homes)
        EXPECT_EQ(fav::dataHome(h.xdg, h.home), h.expected) << (h.xdg ? h.xdg : "null");

    TempFolder folder;
    EXPECT_TRUE(fav::folderWritable(native(folder.path())));
    EXPECT_FALSE(fav::folderWritable(native(folder.file("missing"))));
}

TEST(FavouritesStore, ReadsEveryByteAndTreatsAMissingFileAsEmpty) {
    TempFolder folder;
    const fav::ReadResult missing = fav::readFileBytes(native(folder.file("datadoc.tvq")));
    EXPECT_EQ(missing.bytes, "");
    EXPECT_EQ(missing.error, 0);

    writeFile(folder.file("datadoc.tvq"), allBytes());
    const fav::ReadResult read = fav::readFileBytes(native(folder.file("datadoc.tvq")));
    EXPECT_EQ(read.bytes, allBytes());
    EXPECT_EQ(read.error, 0);

    EXPECT_EQ(fav::readFileBytes(native(folder.path())).error, EISDIR);
}

TEST(FavouritesStore, ReplaceCreatesFoldersAndLeavesOnlyTheNewContent) {
    TempFolder folder;
    const QString path = folder.path() + QStringLiteral("/data/tovimo/datadoc.tvq");
    ASSERT_EQ(fav::replaceFileBytes(native(path), allBytes()), 0);
    EXPECT_EQ(fav::readFileBytes(native(path)).bytes, allBytes());

    ASSERT_EQ(::chmod(native(path).c_str(), 0640), 0);
    ASSERT_EQ(fav::replaceFileBytes(native(path), ""), 0);
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_TRUE(QFileInfo(path).isFile());
    struct stat st {};
    ASSERT_EQ(::stat(native(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entriesIn(folder.path() + QStringLiteral("/data/tovimo")), QStringList{"datadoc.tvq"});
}

TEST(FavouritesStore, ReplaceWritesThroughASymbolicLink) {
    TempFolder folder;
    writeFile(folder.file("real.tvq"), "old");
    ASSERT_TRUE(QFile::link(folder.file("real.tvq"), folder.file("datadoc.tvq")));
    ASSERT_EQ(fav::replaceFileBytes(native(folder.file("datadoc.tvq")), "new"), 0);
    EXPECT_TRUE(QFileInfo(folder.file("datadoc.tvq")).isSymLink());
    EXPECT_EQ(fav::readFileBytes(native(folder.file("real.tvq"))).bytes, "new");
}

class FailedReplace : public ::testing::Test {
protected:
    void TearDown() override { fav::failReplaceAtForTesting(std::nullopt); }
    TempFolder folder;
};

TEST_F(FailedReplace, KeepsTheOldFileAndLeavesNothingBehind) {
    const QString path = folder.file("datadoc.tvq");
    writeFile(path, "\r\nold@@/a.ogg");
    for (const auto step : {fav::ReplaceStep::Create, fav::ReplaceStep::Write, fav::ReplaceStep::Sync,
                            fav::ReplaceStep::Rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        fav::failReplaceAtForTesting(step);
        EXPECT_EQ(fav::replaceFileBytes(native(path), "new"), EIO);
        EXPECT_EQ(fav::readFileBytes(native(path)).bytes, "\r\nold@@/a.ogg");
        EXPECT_EQ(entriesIn(folder.path()), QStringList{"datadoc.tvq"});
    }
}

TEST_F(FailedReplace, ReportsRealFailures) {
    // Permission bits do not stop root, so the failures come from the tree.
    ASSERT_TRUE(QDir().mkpath(folder.file("datadoc.tvq/inside")));
    EXPECT_EQ(fav::replaceFileBytes(native(folder.file("datadoc.tvq")), "new"), EISDIR);
    EXPECT_TRUE(QFileInfo(folder.file("datadoc.tvq/inside")).isDir());
    EXPECT_EQ(entriesIn(folder.path()), QStringList{"datadoc.tvq"});

    writeFile(folder.file("plain"), "x");
    EXPECT_NE(fav::replaceFileBytes(native(folder.file("plain/tovimo/datadoc.tvq")), "new"), 0);
    EXPECT_EQ(fav::readFileBytes(native(folder.file("plain"))).bytes, "x");
}

} // namespace
