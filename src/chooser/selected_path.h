// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace tovimo::chooser {

// The full path of `fileName` in `folder`, as the chooser hands it to the
// player. One "/" joins them unless the folder already ends in one (the root
// folder "/"), so a file at the root gives "/name". If a doubled "//" then
// remains anywhere after the first character, every "//" in the path becomes
// "/"; a path whose only doubled separator is its beginning ("//host/share")
// keeps it. An empty name gives the folder followed by "/".
QString joinFolderAndFileName(const QString& folder, const QString& fileName);
// The same join on the file system's bytes.
QByteArray joinFolderAndFileName(const QByteArray& folder, const QByteArray& fileName);

} // namespace tovimo::chooser
