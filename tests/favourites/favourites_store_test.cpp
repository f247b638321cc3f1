// SPDX-License-Identifier: GPL-3.0-or-later
#include "favourites/favourites_file.h"
#include "favourites/favourites_store.h"
#include "support/small_file_system.h"
#include "support/test_paths.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

    // Root may write the folders packages install into; the file still goes
    // to the data home, so that removing the package leaves nothing behind.
    const struct {
        const char* programFolder;
        bool system;
    } folders[] = {
        {"/usr/bin", true},     {"/usr/local/bin", true}, {"/usr/games", true},
        {"/usr", true},         {"/bin", true},           {"/sbin", true},
        {"/opt/tovimo", false}, {"/usrx/bin", false},     {"/home/u/tovimo/build/app", false},
        {"/binaries", false},
    };
    for (const auto& f : folders) {
        EXPECT_EQ(fav::isSystemProgramFolder(f.programFolder), f.system) << f.programFolder;
        const std::string expected = f.system ? "/root/.local/share/tovimo/datadoc.tvq"
                                              : std::string(f.programFolder) + "/datadoc.tvq";
        EXPECT_EQ(fav::favouritesLocation(f.programFolder, true, "/root/.local/share"), expected)
            << f.programFolder;
    }

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

TEST(FavouritesStore, ReplaceKeepsModeAndOwnerAndWritesADanglingLinksTarget) {
    TempFolder folder;
    const std::string path = native(folder.file("datadoc.tvq"));
    // A new file is private whatever the umask: it is never wider, not even
    // for a moment.
    const mode_t savedMask = ::umask(0);
    ASSERT_EQ(fav::replaceFileBytes(path, "a"), 0);
    ::umask(savedMask);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // The tests run as root, which may hand the file to another owner.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
        ASSERT_EQ(fav::replaceFileBytes(path, "b"), 0);
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
        EXPECT_EQ(st.st_mode & 07777, 0664u);
    }

    ASSERT_TRUE(QDir().mkpath(folder.file("real")));
    const std::string link = native(folder.file("link.tvq"));
    ASSERT_EQ(::symlink("real/missing.tvq", link.c_str()), 0);
    EXPECT_EQ(fav::writeTarget(link), native(folder.file("real/missing.tvq")));
    ASSERT_EQ(fav::replaceFileBytes(link, "c"), 0);
    EXPECT_TRUE(QFileInfo(folder.file("link.tvq")).isSymLink());
    EXPECT_EQ(fav::readFileBytes(native(folder.file("real/missing.tvq"))).bytes, "c");
}

TEST(FavouritesStore, SavesDeleteNoOtherFile) {
    // Names people give their copies, and what a crashed writer of this
    // program or of an earlier one would have left where the file system
    // cannot make unnamed files: nothing proves the last ones are not the
    // user's too, so every one stays as it was.
    TempFolder folder;
    const QStringList others{"datadoc.tvq.Before", "datadoc.tvq.backup", "datadoc.tvq.new-99999-0",
                             "datadoc.tvq.orig",   "datadoc.tvq.qZxWvY", "other.new-1"};
    for (const QString& name : others)
        writeFile(folder.file(name), "kept: " + name.toStdString());
    const std::string path = native(folder.file("datadoc.tvq"));
    ASSERT_EQ(fav::appendEntry(path, "A@@/a"), 0);
    ASSERT_EQ(fav::appendEntry(path, "B@@/b"), 0);
    ASSERT_TRUE(fav::removeEntry(path, "A@@/a", 0).removed);
    EXPECT_EQ(fav::readFileBytes(path).bytes, "B@@/b\r\n");
    EXPECT_EQ(entriesIn(folder.path()), QStringList{"datadoc.tvq"} + others);
    for (const QString& name : others)
        EXPECT_EQ(fav::readFileBytes(native(folder.file(name))).bytes, "kept: " + name.toStdString());
}

TEST(FavouritesStore, AFullDiskLeavesTheOldFileByteForByte) {
    // A small file is written whole at the flush, a large one in the write
    // itself; both must fail without touching the file.
    const struct {
        const char* what;
        std::size_t entries;
    } sizes[] = {{"three entries", 3}, {"a large file", 4000}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.what);
        TempFolder folder;
        const tovimo::testing::SmallFileSystem disk(folder.path(), 1024);
        if (!disk.mounted())
            GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error().toStdString();
        std::string old;
        for (std::size_t i = 0; i < size.entries; ++i)
            old += "\r\nTitle " + std::to_string(i) + "@@/media/film-" + std::to_string(i) + ".mkv";
        writeFile(folder.file("datadoc.tvq"), old);
        ASSERT_TRUE(disk.fill("filler"));

        const std::string path = native(folder.file("datadoc.tvq"));
        EXPECT_EQ(fav::appendEntry(path, "New@@/media/new.mkv"), ENOSPC);
        EXPECT_EQ(fav::readFileBytes(path).bytes, old);
        const fav::RemoveResult removal = fav::removeEntry(path, "Title 1@@/media/film-1.mkv", 0);
        EXPECT_EQ(removal.error, ENOSPC);
        EXPECT_FALSE(removal.removed);
        EXPECT_EQ(fav::readFileBytes(path).bytes, old);
        EXPECT_EQ(entriesIn(folder.path()), (QStringList{"datadoc.tvq", "filler"}));
    }
}

TEST(FavouritesStore, RemovalFindsTheChosenEntryInTheFileAsItIsNow) {
    TempFolder folder;
    const std::string path = native(folder.file("datadoc.tvq"));
    writeFile(folder.file("datadoc.tvq"), "\r\nA@@/1\r\nB@@/2\r\nA@@/1\r\n C@@/3 ");
    const struct {
        const char* entry;
        int occurrence;
        bool removed;
        const char* after;
    } steps[] = {
        {"A@@/1", 1, true, "A@@/1\r\nB@@/2\r\nC@@/3\r\n"}, // the second of two equal entries
        {" C@@/3 ", 0, true, "A@@/1\r\nB@@/2\r\n"},        // spaces aside, as a rewrite trims them
        {"A@@/1", 1, false, "A@@/1\r\nB@@/2\r\n"},         // gone already: nothing is written
        {"Z@@/9", 0, false, "A@@/1\r\nB@@/2\r\n"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.entry);
        const fav::RemoveResult result = fav::removeEntry(path, step.entry, step.occurrence);
        EXPECT_EQ(result.error, 0);
        EXPECT_EQ(result.removed, step.removed);
        EXPECT_EQ(fav::readFileBytes(path).bytes, step.after);
    }
}

TEST(FavouritesStore, TwoProcessesAddingAndRemovingLoseNothing) {
    TempFolder folder;
    const std::string path = native(folder.file("datadoc.tvq"));
    constexpr int kAdds = 200, kRemovals = 25;
    std::string start;
    for (int i = 0; i < 2 * kRemovals; ++i)
        start += "\r\nOld" + std::to_string(i) + "@@/old";
    writeFile(folder.file("datadoc.tvq"), start);

    // Each process adds its own entries and removes its own half of the old
    // ones, interleaved with the other's.
    pid_t children[2] = {};
    for (int who = 0; who < 2; ++who) {
        children[who] = ::fork();
        ASSERT_GE(children[who], 0);
        if (children[who] == 0) {
            int failures = 0;
            for (int i = 0; i < kAdds; ++i) {
                const std::string name = std::string(who ? "B" : "A") + std::to_string(i);
                failures += fav::appendEntry(path, name + "@@/" + name) != 0;
                if (i % 8 == 0 && i / 8 < kRemovals) {
                    const std::string old = "Old" + std::to_string(who * kRemovals + i / 8) + "@@/old";
                    failures += !fav::removeEntry(path, old, 0).removed;
                }
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const std::vector<std::string> entries = fav::entriesOf(fav::splitLines(fav::readFileBytes(path).bytes));
    std::set<std::string> expected;
    for (const char* who : {"A", "B"})
        for (int i = 0; i < kAdds; ++i)
            expected.insert(who + std::to_string(i) + "@@/" + who + std::to_string(i));
    EXPECT_EQ(entries.size(), expected.size());
    EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()), expected);
    EXPECT_EQ(entriesIn(folder.path()), QStringList{"datadoc.tvq"});
}

class FailedReplace : public ::testing::Test {
protected:
    void TearDown() override { fav::failReplaceAtForTesting(std::nullopt); }
    TempFolder folder;
};

TEST_F(FailedReplace, KeepsTheOldFileAndLeavesNothingBehind) {
    const QString path = folder.file("datadoc.tvq");
    writeFile(path, "\r\nold@@/a.ogg");
    for (const auto step : {fav::ReplaceStep::Create, fav::ReplaceStep::Write, fav::ReplaceStep::Flush,
                            fav::ReplaceStep::Sync, fav::ReplaceStep::Rename}) {
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
