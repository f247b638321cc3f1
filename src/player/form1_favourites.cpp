// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/form1.h"

#include "favourites/entry_text.h"
#include "favourites/favourites_file.h"
#include "favourites/favourites_store.h"
#include "platform/toolkit/app.h"
#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/events.h"

#include <QFile>
#include <cstdlib>
#include <cstring>

namespace tovimo::player {
namespace {
namespace fav = favourites;

// Combo1 keeps each entry's file bytes beside its shown text, so that a
// rewrite gives back exactly what was read, whatever its code page.
constexpr int kEntryBytesRole = Qt::UserRole;

std::string entryBytes(const tk::ComboBox& entries, int index) {
    const QVariant bytes = entries.itemData(index, kEntryBytesRole);
    return bytes.isValid() ? bytes.toByteArray().toStdString() : fav::storedBytes(entries.itemText(index));
}

std::string nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void tellFailure(const QString& what, const QString& path, int error) {
    tk::MsgBox(what, {}, QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace

QString Form1::favouritesFilePath() const {
    // The first use fixes the path for the rest of the run, so that the
    // folder's writability changing midway cannot split the favourites over
    // two files.
    if (favouritesPath_.isEmpty()) {
        const std::string programFolder = nativePath(tk::App::Path());
        const std::string location =
            fav::favouritesLocation(programFolder, fav::folderWritable(programFolder),
                                    fav::dataHome(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
        favouritesPath_ = QFile::decodeName(QByteArray::fromStdString(location));
    }
    return favouritesPath_;
}

void Form1::ReloadFavourites() {
    // A missing or unreadable file shows as no favourites; an add refuses to
    // write over a file it could not read.
    const fav::ReadResult file = fav::readFileBytes(nativePath(favouritesFilePath()));
    FavouriteLines = fav::splitLines(file.bytes);
    FavouriteLast = static_cast<std::int32_t>(FavouriteLines.size()) - 1;

    QStringList entries, titles;
    QList<QVariant> rawEntries;
    for (const std::string& line : FavouriteLines) {
        if (line.empty())
            continue;
        entries.push_back(fav::displayText(line));
        titles.push_back(fav::displayText(fav::titleOf(line)));
        rawEntries.push_back(QByteArray::fromStdString(line));
    }
    Combo1.Clear();
    Combo1.AddItems(entries, rawEntries, kEntryBytesRole);
    Combo2.Clear();
    Combo2.AddItems(titles);
}

void Form1::Command5_Click() {
    if (Text2.Text().isEmpty() && Combo2.Text().isEmpty())
        return;
    const QString title = tk::InputBox(QStringLiteral("Title:"), QStringLiteral("Add to favorites"));
    if (title.isEmpty())
        return;

    const std::string entry = fav::joinEntry(fav::storedBytes(title), Text2.NativeText().toStdString());
    if (fav::titleOf(entry).size() != fav::storedBytes(title).size()) {
        // The first "@@" of a line ends the title, so a title that holds "@@",
        // or ends in "@" before the separator, would read back cut short.
        tk::MsgBox(QStringLiteral("A favourite's title cannot hold \"@@\" or end in \"@\"."));
        return;
    }
    if (!fav::fitsOneLine(entry)) {
        tk::MsgBox(QStringLiteral("A favourite cannot hold a line break."));
        return;
    }
    const QString path = favouritesFilePath();
    if (const int error = fav::appendEntry(nativePath(path), entry); error != 0) {
        tellFailure(QStringLiteral("The favourite could not be saved."), path, error);
        return;
    }
    tk::DoEvents();
    ReloadFavourites();
}

void Form1::Command6_Click() {
    if (Combo2.Text().isEmpty())
        return;
    const int k = Combo2.ListIndex();
    if (k < 0 || k >= Combo1.count())
        return;

    // Another player may have changed the file since this list was read: the
    // removal finds the chosen entry in the file as it is now, by its bytes
    // and by how many equal entries stand before it, and the lists then show
    // the file as written.
    const std::string chosen = entryBytes(Combo1, k);
    int occurrence = 0;
    for (int i = 0; i < k; ++i)
        occurrence += fav::trimSpaces(entryBytes(Combo1, i)) == fav::trimSpaces(chosen) ? 1 : 0;
    const QString path = favouritesFilePath();
    const fav::RemoveResult result = fav::removeEntry(nativePath(path), chosen, occurrence);
    ReloadFavourites();
    if (result.error != 0)
        tellFailure(QStringLiteral("The favourite could not be removed."), path, result.error);
}

void Form1::Combo2_Click() {
    const int k = Combo2.ListIndex();
    if (k < 0 || k >= Combo1.count())
        return;
    const std::string path(fav::pathOf(entryBytes(Combo1, k)));
    Text2.setNativeText(QByteArray::fromStdString(path), fav::displayText(path));
}

} // namespace tovimo::player
