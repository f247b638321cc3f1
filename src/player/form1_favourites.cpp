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

    const QString path = favouritesFilePath();
    const std::string entry = fav::joinEntry(fav::storedBytes(title), fav::storedBytes(Text2.Text()));
    if (!fav::fitsOneLine(entry)) {
        tk::MsgBox(QStringLiteral("A favourite cannot hold a line break."));
        return;
    }
    fav::ReadResult file = fav::readFileBytes(nativePath(path));
    int error = file.error;
    if (error == 0)
        error = fav::replaceFileBytes(nativePath(path), file.bytes.append(fav::kLineBreak).append(entry));
    if (error != 0) {
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

    std::vector<std::string> kept;
    kept.reserve(static_cast<std::size_t>(Combo1.count()));
    for (int i = 0; i < Combo1.count(); ++i)
        if (i != k)
            kept.push_back(entryBytes(Combo1, i));
    const QString path = favouritesFilePath();
    if (const int error = fav::replaceFileBytes(nativePath(path), fav::rewrittenContent(kept)); error != 0) {
        ReloadFavourites();
        tellFailure(QStringLiteral("The favourite could not be removed."), path, error);
        return;
    }
    Combo2.RemoveItem(k);
    Combo1.RemoveItem(k);
}

void Form1::Combo2_Click() {
    const int k = Combo2.ListIndex();
    if (k < 0 || k >= Combo1.count())
        return;
    Text2.setText(fav::displayText(fav::pathOf(entryBytes(Combo1, k))));
}

} // namespace tovimo::player
