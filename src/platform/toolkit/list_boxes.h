// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/toolkit/controls.h"

#include <QComboBox>
#include <QListWidget>
#include <QStringList>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tovimo::tk {

// A folder that cannot be listed (missing, not a folder, not readable). The
// list that raised it keeps showing what it showed before.
class FolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A mounted file system, as QStorageInfo names it.
struct MountedVolume {
    QString mountPoint;
    QByteArray device;
    QByteArray type;
};

// The mount points a user calls drives: block devices and network shares,
// the root folder first (always present), then the others in the order
// given, each once. Kernel and memory filesystems, read-only images and
// anything under /proc, /sys or /dev are left out.
QStringList userVolumes(const QList<MountedVolume>& mounted);

// The entry of `volumes` that holds `path`: the longest mount point that is
// `path` itself or a whole-folder prefix of it. Empty when none does.
QString volumeContaining(const QStringList& volumes, const QString& path);

// The key code a KeyDown event passes for a Qt key: 13 for Return and Enter,
// capital letters and digits by their character, the classic virtual-key
// numbers for navigation, editing, modifier and function keys; 0 otherwise.
std::int16_t keyCodeFor(int qtKey);
// The shift state a KeyDown event passes: 1 Shift, 2 Ctrl, 4 Alt, summed.
std::int16_t shiftStateFor(Qt::KeyboardModifiers modifiers);

// The machine's drives, as userVolumes() of QStorageInfo::mountedVolumes().
//
// Drive reads the selected drive as a folder: the whole path it was last set
// to, or the volume's mount point once the user has picked that volume from
// the list. So setting Drive from a folder and reading it back gives that
// folder, not the top of its volume. Change is raised when the selected
// volume changes, by the user or by setDrive; choosing the volume already
// selected raises nothing. At creation the process's current folder is set.
class DriveListBox : public QComboBox, public TwipsGeometry {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent);

    QString Drive() const { return drivePath_; }
    // Selects the volume holding `path` (made absolute against the current
    // folder). Throws FolderError when no volume holds it.
    void setDrive(const QString& path);
    // The listed volume holding `path` (made absolute); empty when none does.
    QString volumeOf(const QString& path) const;

    // Replaces the volumes offered (at creation, the machine's own); keeps
    // the selected one when it is still listed.
    void setVolumes(const QStringList& mountPoints);
    // The mounted volumes of this machine that are folders.
    static QStringList machineVolumes();

signals:
    void Change();

protected:
    // The list is read afresh each time it drops down, so a volume mounted
    // while the window is open appears.
    void showPopup() override;

private:
    void userPicked(int index);

    QString drivePath_;
    int selected_ = -1;
};

// What the folder and file lists share: the folder shown, and the key code
// of every key pressed, raised before the list's own handling of the key.
class FolderView : public QListWidget, public TwipsGeometry {
    Q_OBJECT
public:
    explicit FolderView(QWidget* parent);
    QString Path() const { return path_; }

signals:
    void KeyDown(std::int16_t KeyCode, std::int16_t Shift);

protected:
    void keyPressEvent(QKeyEvent* event) override;

    QString path_;
};

// A folder and its surroundings: the opened folder's ancestors from the root
// down to the folder itself, then its subfolders (hidden ones left out),
// indented by depth. Entries are numbered from 0 at the root; List(i) is an
// entry's full path and ListIndex the highlighted entry, which setPath puts
// on the opened folder. A double-click opens the entry; the arrow keys only
// move the highlight. Change is raised when the opened folder changes.
class DirListBox : public FolderView {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent);

    // Opens `path` (made absolute against the current folder and cleaned).
    // Throws FolderError, changing nothing, when it cannot be listed.
    void setPath(const QString& path);
    // Throws std::out_of_range outside 0..ListCount()-1.
    QString List(int index) const;
    // List(index) as the file system's own bytes, which a name that is not
    // valid in the local encoding keeps.
    QByteArray NativeList(int index) const;
    std::int16_t ListIndex() const { return static_cast<std::int16_t>(currentRow()); }
    std::int16_t ListCount() const { return static_cast<std::int16_t>(count()); }

signals:
    void Change();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    class EntryDelegate;
    // 0 for the root, then one more for each level, the subfolders one below
    // the opened folder.
    int depthOf(int row) const;

    int ancestorRows_ = 0;          // rows 0..ancestorRows_: the root, the ancestors, the opened folder
    std::vector<QByteArray> names_; // each row's own name, as bytes ("/" for the root)
};

// The files of one folder (no folders, no hidden files, no name filter),
// sorted by name. FileName is the selected file's name without its folder,
// empty while none is selected.
class FileListBox : public FolderView {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent);

    // Lists `path` (made absolute and cleaned). Throws FolderError, changing
    // nothing, when it cannot be listed.
    void setPath(const QString& path);
    QString FileName() const;
    // FileName as the directory entry's own bytes: a name that is not valid
    // in the local encoding shows with replacement marks but keeps its bytes
    // here. Empty while no file is selected.
    QByteArray NativeFileName() const;

signals:
    // A double-click on a file (which selects it first).
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::vector<QByteArray> names_; // each row's name, as bytes
};

} // namespace tovimo::tk
