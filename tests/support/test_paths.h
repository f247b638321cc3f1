// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tovimo::testing {

// A fresh, empty folder for one test, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const QString& path() const { return path_; }
    QString file(const QString& name) const { return path_ + QLatin1Char('/') + name; }

private:
    QString path_;
};

} // namespace tovimo::testing
