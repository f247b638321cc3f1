// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

namespace tovimo::testing {

TempFolder::TempFolder() {
    QString base = qEnvironmentVariable("TOVIMO_TEST_TMP");
    if (base.isEmpty())
        base = QDir::tempPath();
    path_ = base + QStringLiteral("/t-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDir().mkpath(path_);
}

TempFolder::~TempFolder() {
    // Give read-only subfolders back their write bit so they can be removed.
    QDirIterator it(path_, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    while (it.hasNext())
        QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(path_).removeRecursively();
}

} // namespace tovimo::testing
