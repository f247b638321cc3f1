// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tovimo::testing {

// A tmpfs of a few kilobytes mounted on an existing folder of the test's own
// for the object's lifetime, to see what a full disk does. Mounting needs
// root, as the tests have in CI; elsewhere mounted() is false and the caller
// skips.
class SmallFileSystem {
public:
    SmallFileSystem(const QString& folder, int kilobytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool mounted() const { return mounted_; }
    const QString& error() const { return error_; }

    // Takes all the space that is left with a file named `name` in the
    // folder; true when the file system is then full.
    bool fill(const QString& name) const;

private:
    QString folder_;
    QString error_;
    bool mounted_ = false;
};

} // namespace tovimo::testing
