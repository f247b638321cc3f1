// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/small_file_system.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace tovimo::testing {

SmallFileSystem::SmallFileSystem(const QString& folder, int kilobytes) : folder_(folder) {
    const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0700";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.c_str()) == 0)
        mounted_ = true;
    else
        error_ = QString::fromLocal8Bit(std::strerror(errno));
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_)
        ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
}

bool SmallFileSystem::fill(const QString& name) const {
    const QByteArray path = QFile::encodeName(folder_ + QLatin1Char('/') + name);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // Down to single bytes, so that not even a page is left.
    char block[4096] = {};
    std::size_t size = sizeof block;
    for (;;) {
        const ssize_t put = ::write(fd, block, size);
        if (put > 0)
            continue;
        if (put < 0 && errno == EINTR)
            continue;
        if (size == 1)
            break;
        size /= 2;
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
}

} // namespace tovimo::testing
