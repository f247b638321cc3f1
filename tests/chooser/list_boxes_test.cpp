// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/list_boxes.h"
#include "support/test_paths.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace tk = tovimo::tk;
using tovimo::testing::TempFolder;

namespace {

QStringList strings(std::initializer_list<const char*> items) {
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

void makeFile(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(MountedVolumes, KeepDrivesUsersKnowRootFirst) {
    const QList<tk::MountedVolume> mounted = {
        {"/proc", "proc", "proc"},
        {"/sys", "sysfs", "sysfs"},
        {"/boot", "/dev/sda2", "ext4"},
        {"/", "overlay", "overlay"},
        {"/run/user/1000", "tmpfs", "tmpfs"},
        {"/media/ana/USB STICK", "/dev/sdb1", "vfat"},
        {"/mnt/nfs", "server:/export", "nfs4"},
        {"/mnt/smb", "//host/share", "cifs"},
        {"/snap/core/100", "/dev/loop3", "squashfs"},
        {"/dev/shm/odd", "/dev/sda1", "ext4"},
        {"/media/ana/USB STICK", "/dev/sdb1", "vfat"},
        {"/media/cdrom", "/dev/sr0", "iso9660"},
    };
    EXPECT_EQ(tk::userVolumes(mounted),
              strings({"/", "/boot", "/media/ana/USB STICK", "/mnt/nfs", "/mnt/smb", "/media/cdrom"}));
    EXPECT_EQ(tk::userVolumes({}), strings({"/"}));
}

struct VolumeCase {
    const char* path;
    const char* expected;
};

class VolumeContaining : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(VolumeContaining, IsTheLongestWholeFolderPrefix) {
    const QStringList volumes = strings({"/", "/media/usb", "/media/usb/inner"});
    EXPECT_EQ(tk::volumeContaining(volumes, QString::fromUtf8(GetParam().path)),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, VolumeContaining,
                         ::testing::Values(VolumeCase{"/", "/"}, VolumeCase{"/home/ana", "/"},
                                           VolumeCase{"/media/usb", "/media/usb"},
                                           VolumeCase{"/media/usb/clips", "/media/usb"},
                                           VolumeCase{"/media/usb2/clips", "/"},
                                           VolumeCase{"/media/usb/inner/a", "/media/usb/inner"},
                                           VolumeCase{"relative/path", ""}));

TEST(VolumeContaining, NoneWithoutTheRoot) {
    EXPECT_EQ(tk::volumeContaining(strings({"/media/usb"}), QStringLiteral("/home")), QString());
}

struct KeyCase {
    int qtKey;
    std::int16_t code;
};

class KeyCodeFor : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyCodeFor, GivesTheClassicCode) {
    EXPECT_EQ(tk::keyCodeFor(GetParam().qtKey), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyCodeFor,
    ::testing::Values(KeyCase{Qt::Key_Return, 13}, KeyCase{Qt::Key_Enter, 13}, KeyCase{Qt::Key_Down, 40},
                      KeyCase{Qt::Key_Up, 38}, KeyCase{Qt::Key_Escape, 27}, KeyCase{Qt::Key_Space, 32},
                      KeyCase{Qt::Key_Home, 36}, KeyCase{Qt::Key_Delete, 46}, KeyCase{Qt::Key_A, 65},
                      KeyCase{Qt::Key_Z, 90}, KeyCase{Qt::Key_5, 53}, KeyCase{Qt::Key_F1, 112},
                      KeyCase{Qt::Key_F12, 123}, KeyCase{Qt::Key_Shift, 16}, KeyCase{Qt::Key_MediaPlay, 0}));

TEST(ShiftStateFor, SumsTheModifiers) {
    EXPECT_EQ(tk::shiftStateFor(Qt::NoModifier), 0);
    EXPECT_EQ(tk::shiftStateFor(Qt::ShiftModifier | Qt::AltModifier), 5);
    EXPECT_EQ(tk::shiftStateFor(Qt::ControlModifier), 2);
}

// A folder with subfolders "b", "A" and ".hidden", files "z.txt", "a.avi" and ".secret".
class ListBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"b", "A", ".hidden"})
            ASSERT_TRUE(QDir(tmp.path()).mkdir(QString::fromUtf8(sub)));
        for (const char* name : {"z.txt", "a.avi", ".secret"})
            makeFile(tmp.file(QString::fromUtf8(name)));
    }
    QStringList entries(const tk::DirListBox& list) const {
        QStringList all;
        for (int i = 0; i < list.ListCount(); ++i)
            all.append(list.List(i));
        return all;
    }
    QStringList texts(const QListWidget& list) const {
        QStringList all;
        for (int i = 0; i < list.count(); ++i)
            all.append(list.item(i)->text());
        return all;
    }
    void doubleClickRow(QListWidget& list, int row) {
        const QPoint centre = list.visualItemRect(list.item(row)).center();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }

    TempFolder tmp;
    const QString folder = QDir::cleanPath(tmp.path());
};

TEST_F(ListBoxes, FolderListShowsAncestorsThenSubfoldersWithTheFolderHighlighted) {
    tk::DirListBox dirs(nullptr);
    QSignalSpy changes(&dirs, &tk::DirListBox::Change);
    dirs.setPath(tmp.path() + QStringLiteral("/b/.."));

    QStringList expected{QStringLiteral("/")};
    QString ancestor;
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        expected.append(ancestor += QLatin1Char('/') + part);
    const int opened = static_cast<int>(expected.size()) - 1;
    expected << folder + QStringLiteral("/A") << folder + QStringLiteral("/b");
    EXPECT_EQ(entries(dirs), expected);
    EXPECT_EQ(dirs.Path(), folder);
    EXPECT_EQ(dirs.ListIndex(), opened);
    EXPECT_EQ(changes.count(), 1);

    dirs.setPath(folder);
    EXPECT_EQ(changes.count(), 1) << "the same folder again is no change";
    EXPECT_THROW(dirs.List(dirs.ListCount()), std::out_of_range);
    EXPECT_THROW(dirs.List(-1), std::out_of_range);

    dirs.setPath(QStringLiteral("/"));
    EXPECT_EQ(dirs.List(0), QStringLiteral("/"));
    EXPECT_EQ(dirs.ListIndex(), 0);
    EXPECT_TRUE(dirs.List(1).startsWith(QLatin1Char('/')) && !dirs.List(1).startsWith(QStringLiteral("//")));
}

TEST_F(ListBoxes, FolderListOpensOnDoubleClickOnlyAndReportsKeys) {
    tk::DirListBox dirs(nullptr);
    dirs.setPath(folder);
    dirs.show();
    QSignalSpy changes(&dirs, &tk::DirListBox::Change);
    QSignalSpy keys(&dirs, &tk::DirListBox::KeyDown);
    const int opened = dirs.ListIndex();

    QTest::keyClick(&dirs, Qt::Key_Down);
    QTest::keyClick(&dirs, Qt::Key_Return);
    EXPECT_EQ(dirs.ListIndex(), opened + 1) << "arrows move the highlight";
    EXPECT_EQ(dirs.Path(), folder) << "keys open nothing";
    EXPECT_EQ(changes.count(), 0);
    ASSERT_EQ(keys.count(), 2);
    EXPECT_EQ(keys.at(0).at(0).value<std::int16_t>(), 40);
    EXPECT_EQ(keys.at(1).at(0).value<std::int16_t>(), 13);

    doubleClickRow(dirs, opened + 2);
    EXPECT_EQ(dirs.Path(), folder + QStringLiteral("/b"));
    EXPECT_EQ(changes.count(), 1);
    doubleClickRow(dirs, 0);
    EXPECT_EQ(dirs.Path(), QStringLiteral("/"));
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(ListBoxes, FolderThatCannotBeListedChangesNothing) {
    tk::DirListBox dirs(nullptr);
    tk::FileListBox files(nullptr);
    dirs.setPath(folder);
    files.setPath(folder);
    const QStringList dirsBefore = entries(dirs);
    const QStringList filesBefore = texts(files);
    QSignalSpy changes(&dirs, &tk::DirListBox::Change);

    for (const QString& bad : {tmp.file(QStringLiteral("missing")), tmp.file(QStringLiteral("z.txt"))}) {
        EXPECT_THROW(dirs.setPath(bad), tk::FolderError) << bad.toStdString();
        EXPECT_THROW(files.setPath(bad), tk::FolderError) << bad.toStdString();
    }
    EXPECT_EQ(dirs.Path(), folder);
    EXPECT_EQ(entries(dirs), dirsBefore);
    EXPECT_EQ(files.Path(), folder);
    EXPECT_EQ(texts(files), filesBefore);
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(ListBoxes, FileListShowsVisibleFilesAndTheSelectedName) {
    tk::FileListBox files(nullptr);
    files.setPath(tmp.path() + QLatin1Char('/'));
    files.show();
    EXPECT_EQ(files.Path(), folder);
    EXPECT_EQ(texts(files), strings({"a.avi", "z.txt"}));
    EXPECT_EQ(files.FileName(), QString()) << "nothing selected yet";

    QSignalSpy doubleClicks(&files, &tk::FileListBox::DblClick);
    doubleClickRow(files, 1);
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(files.FileName(), QStringLiteral("z.txt"));

    QTest::mouseDClick(files.viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(5, files.viewport()->height() - 3));
    EXPECT_EQ(doubleClicks.count(), 1) << "below the last file there is nothing to double-click";
}

TEST_F(ListBoxes, DriveFollowsPathsAndChangesOnlyWithTheVolume) {
    const QString volume = tmp.file(QStringLiteral("A"));
    tk::DriveListBox drives(nullptr);
    drives.setVolumes({QStringLiteral("/"), volume});
    drives.setDrive(QStringLiteral("/"));
    QSignalSpy changes(&drives, &tk::DriveListBox::Change);

    drives.setDrive(volume + QStringLiteral("/deep/er"));
    EXPECT_EQ(drives.currentText(), volume);
    EXPECT_EQ(drives.Drive(), volume + QStringLiteral("/deep/er")) << "reads back the folder it was set to";
    EXPECT_EQ(changes.count(), 1);

    drives.setDrive(volume);
    EXPECT_EQ(drives.Drive(), volume);
    EXPECT_EQ(changes.count(), 1) << "same volume: no change";

    drives.show();
    QTest::keyClick(&drives, Qt::Key_Up);
    EXPECT_EQ(drives.currentText(), QStringLiteral("/"));
    EXPECT_EQ(drives.Drive(), QStringLiteral("/")) << "a volume picked by the user reads as its top";
    EXPECT_EQ(changes.count(), 2);
    QTest::keyClick(&drives, Qt::Key_Up);
    EXPECT_EQ(changes.count(), 2) << "already at the first volume";

    drives.setVolumes({volume});
    EXPECT_EQ(drives.currentText(), QStringLiteral("/")) << "the selected volume stays listed";
}

TEST(DriveListBox, StartsAtTheCurrentFolderOnTheMachinesVolumes) {
    const QStringList volumes = tk::DriveListBox::machineVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.first(), QStringLiteral("/"));
    for (const QString& volume : volumes)
        EXPECT_TRUE(QFileInfo(volume).isDir()) << volume.toStdString();

    tk::DriveListBox drives(nullptr);
    EXPECT_EQ(drives.Drive(), QDir::currentPath());
    EXPECT_EQ(drives.currentText(), tk::volumeContaining(volumes, QDir::currentPath()));
}

} // namespace
