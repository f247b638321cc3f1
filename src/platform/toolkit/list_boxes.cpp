// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/list_boxes.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace tovimo::tk {
namespace {
constexpr int kIndentPixels = 10;

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// One directory entry: its name's own bytes, and the name as shown, where
// bytes that are not valid in the local encoding show as replacement marks.
struct FolderEntry {
    QByteArray name;
    QString shown;
};

bool isFolderEntryKind(int dirFd, const dirent& entry, bool folders) {
    unsigned char type = entry.d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
        // Links count as what they point to; a dangling one as nothing.
        struct stat st {};
        if (::fstatat(dirFd, entry.d_name, &st, 0) != 0)
            return false;
        type = S_ISDIR(st.st_mode) ? DT_DIR : (S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN);
    }
    return folders ? type == DT_DIR : type != DT_DIR && type != DT_UNKNOWN;
}

// The folders or the files of `folder`, hidden ones left out, sorted by the
// shown name as people read it (case aside). Read with readdir, because a
// name that is not valid in the local encoding cannot come back from a
// QString. Throws FolderError when the folder cannot be opened.
std::vector<FolderEntry> entriesIn(const QString& folder, bool folders) {
    DIR* handle = ::opendir(QFile::encodeName(folder).constData());
    if (!handle)
        throw FolderError(
            QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno))).toStdString());
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(handle)) {
        if (entry->d_name[0] == '.' || !isFolderEntryKind(::dirfd(handle), *entry, folders))
            continue;
        QByteArray name(entry->d_name);
        QString shown = QFile::decodeName(name);
        entries.push_back({std::move(name), std::move(shown)});
    }
    ::closedir(handle);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    struct Keyed {
        QCollatorSortKey key;
        FolderEntry entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (FolderEntry& entry : entries)
        keyed.push_back({collator.sortKey(entry.shown), std::move(entry)});
    // Names that collate alike (case aside) keep one order: by their bytes.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int byKey = a.key.compare(b.key);
        return byKey != 0 ? byKey < 0 : a.entry.name < b.entry.name;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        entries[i] = std::move(keyed[i].entry);
    return entries;
}

bool isUnder(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool isUserVolume(const MountedVolume& volume) {
    static constexpr std::array<const char*, 12> kNetworkTypes = {
        "nfs",       "nfs4", "cifs",  "smb3",       "smbfs",       "ceph",
        "glusterfs", "afs",  "davfs", "fuse.sshfs", "fuse.rclone", "9p"};
    if (!volume.mountPoint.startsWith(QLatin1Char('/')))
        return false;
    for (const char* system : {"/proc", "/sys", "/dev"})
        if (isUnder(volume.mountPoint, QLatin1String(system)))
            return false;
    if (volume.type == "squashfs")
        return false;
    return volume.device.startsWith('/') ||
           std::find(kNetworkTypes.begin(), kNetworkTypes.end(), volume.type) != kNetworkTypes.end();
}

} // namespace

// Indents each entry of the folder list by its depth and gives it its icon,
// both read from the list's own layout rather than stored per item, so that
// filling the list is one insertion of texts.
class DirListBox::EntryDelegate : public QStyledItemDelegate {
public:
    explicit EntryDelegate(const DirListBox& box)
        : QStyledItemDelegate(const_cast<DirListBox*>(&box)), box_(box),
          openIcon_(box.style()->standardIcon(QStyle::SP_DirOpenIcon)),
          closedIcon_(box.style()->standardIcon(QStyle::SP_DirClosedIcon)) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted = option;
        shifted.rect.setLeft(option.rect.left() + box_.depthOf(index.row()) * kIndentPixels);
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) +
               QSize(box_.depthOf(index.row()) * kIndentPixels, 0);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->icon = index.row() <= box_.ancestorRows_ ? openIcon_ : closedIcon_;
        option->decorationSize = box_.iconSize().isValid() ? box_.iconSize() : option->decorationSize;
    }

private:
    const DirListBox& box_;
    QIcon openIcon_, closedIcon_;
};

QStringList userVolumes(const QList<MountedVolume>& mounted) {
    QStringList volumes{QStringLiteral("/")};
    for (const MountedVolume& volume : mounted)
        if (isUserVolume(volume) && !volumes.contains(volume.mountPoint))
            volumes.append(volume.mountPoint);
    return volumes;
}

QString volumeContaining(const QStringList& volumes, const QString& path) {
    QString best;
    for (const QString& volume : volumes) {
        const bool holds =
            volume == QLatin1String("/") ? path.startsWith(QLatin1Char('/')) : isUnder(path, volume);
        if (holds && (best.isEmpty() || volume.size() > best.size()))
            best = volume;
    }
    return best;
}

std::int16_t keyCodeFor(int qtKey) {
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<std::int16_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::int16_t>(112 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

std::int16_t shiftStateFor(Qt::KeyboardModifiers modifiers) {
    return static_cast<std::int16_t>((modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
                                     (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
                                     (modifiers.testFlag(Qt::AltModifier) ? 4 : 0));
}

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent), TwipsGeometry(this) {
    setEditable(false);
    setVolumes(machineVolumes());
    try {
        setDrive(QDir::currentPath());
    } catch (const FolderError&) {
        setDrive(QStringLiteral("/"));
    }
    connect(this, qOverload<int>(&QComboBox::activated), this, &DriveListBox::userPicked);
}

QStringList DriveListBox::machineVolumes() {
    QList<MountedVolume> mounted;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        mounted.append({volume.rootPath(), volume.device(), volume.fileSystemType()});
    QStringList volumes = userVolumes(mounted);
    // Containers bind single files over the root volume; they are no drives.
    volumes.removeIf([](const QString& volume) { return !QFileInfo(volume).isDir(); });
    if (!volumes.contains(QStringLiteral("/")))
        volumes.prepend(QStringLiteral("/"));
    return volumes;
}

void DriveListBox::setVolumes(const QStringList& mountPoints) {
    const QString kept = selected_ >= 0 ? itemText(selected_) : QString();
    const QSignalBlocker block(this);
    clear();
    addItems(mountPoints);
    if (!kept.isEmpty() && !mountPoints.contains(kept))
        addItem(kept);
    selected_ = kept.isEmpty() ? -1 : findText(kept, Qt::MatchExactly | Qt::MatchCaseSensitive);
    setCurrentIndex(selected_);
}

QString DriveListBox::volumeOf(const QString& path) const {
    QStringList volumes;
    for (int i = 0; i < count(); ++i)
        volumes.append(itemText(i));
    return volumeContaining(volumes, absoluteClean(path));
}

void DriveListBox::setDrive(const QString& path) {
    const QString folder = absoluteClean(path);
    const QString volume = volumeOf(folder);
    if (volume.isEmpty())
        throw FolderError(QStringLiteral("no drive holds %1").arg(folder).toStdString());
    drivePath_ = folder;
    const int index = findText(volume, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index == selected_)
        return;
    selected_ = index;
    {
        const QSignalBlocker block(this);
        setCurrentIndex(index);
    }
    emit Change();
}

void DriveListBox::userPicked(int index) {
    if (index == selected_ || index < 0)
        return;
    selected_ = index;
    drivePath_ = itemText(index);
    emit Change();
}

void DriveListBox::showPopup() {
    setVolumes(machineVolumes());
    QComboBox::showPopup();
}

namespace {
// Opens the process's current folder, else the home folder, else the root:
// the first of them that can be read.
template <typename FolderListBox> void openStartFolder(FolderListBox& box) {
    for (const QString& start : {QDir::currentPath(), QDir::homePath(), QStringLiteral("/")}) {
        try {
            box.setPath(start);
            return;
        } catch (const FolderError&) {
        }
    }
}
} // namespace

DirListBox::DirListBox(QWidget* parent) : FolderView(parent) {
    setItemDelegate(new EntryDelegate(*this));
    openStartFolder(*this);
}

int DirListBox::depthOf(int row) const {
    return row <= ancestorRows_ ? row : ancestorRows_ + 1;
}

void DirListBox::setPath(const QString& path) {
    const QString folder = absoluteClean(path);
    const std::vector<FolderEntry> subfolders = entriesIn(folder, true);

    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList texts{QStringLiteral("/")};
    std::vector<QByteArray> names{QByteArrayLiteral("/")};
    for (const QString& part : parts) {
        texts.push_back(part);
        names.push_back(QFile::encodeName(part));
    }
    texts.reserve(texts.size() + static_cast<qsizetype>(subfolders.size()));
    names.reserve(names.size() + subfolders.size());
    for (const FolderEntry& entry : subfolders) {
        texts.push_back(entry.shown);
        names.push_back(entry.name);
    }

    clear();
    ancestorRows_ = static_cast<int>(parts.size());
    names_ = std::move(names);
    addItems(texts); // one insertion: thousands of subfolders list at once
    setCurrentRow(ancestorRows_);

    if (folder == path_)
        return;
    path_ = folder;
    emit Change();
}

QString DirListBox::List(int index) const {
    return QFile::decodeName(NativeList(index));
}

QByteArray DirListBox::NativeList(int index) const {
    if (index < 0 || index >= count() || static_cast<std::size_t>(index) >= names_.size())
        throw std::out_of_range("folder list index out of range");
    // Row 0 is the root; each ancestor row adds its name to the one above;
    // subfolders add theirs to the opened folder.
    const int parent = std::min(index, ancestorRows_ + 1) - 1;
    QByteArray path;
    for (int row = 1; row <= parent; ++row)
        path += '/' + names_[static_cast<std::size_t>(row)];
    return index == 0 ? names_[0] : path + '/' + names_[static_cast<std::size_t>(index)];
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (QListWidgetItem* entry = itemAt(event->position().toPoint())) {
        try {
            setPath(List(row(entry)));
        } catch (const FolderError&) {
            QApplication::beep();
        }
    }
}

FileListBox::FileListBox(QWidget* parent) : FolderView(parent) {
    openStartFolder(*this);
}

void FileListBox::setPath(const QString& path) {
    const QString folder = absoluteClean(path);
    const std::vector<FolderEntry> files = entriesIn(folder, false);
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(files.size()));
    names_.clear();
    names_.reserve(files.size());
    for (const FolderEntry& file : files) {
        texts.push_back(file.shown);
        names_.push_back(file.name);
    }
    clear();
    addItems(texts);
    path_ = folder;
}

QString FileListBox::FileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QByteArray FileListBox::NativeFileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return {};
    const int index = row(selected.first());
    return index >= 0 && static_cast<std::size_t>(index) < names_.size()
               ? names_[static_cast<std::size_t>(index)]
               : QByteArray();
}

FolderView::FolderView(QWidget* parent) : QListWidget(parent), TwipsGeometry(this) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every entry is one line high: the view need not measure each one, which
    // for a folder of many thousand entries is most of the time it takes.
    setUniformItemSizes(true);
}

void FolderView::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(keyCodeFor(event->key()), shiftStateFor(event->modifiers()));
    QListWidget::keyPressEvent(event);
}

void FileListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()))
        emit DblClick();
}

} // namespace tovimo::tk
