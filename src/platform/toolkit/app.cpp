// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/app.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovimo::tk {
namespace {
QString& pathOverride() {
    static QString path;
    return path;
}
int& instanceLockFd() {
    static int fd = -1;
    return fd;
}

bool& prevInstance() {
    static bool running = false;
    return running;
}
void (*&lastStep())() {
    static void (*step)() = nullptr;
    return step;
}
std::function<void()>& endHandler() {
    static std::function<void()> handler;
    return handler;
}

// The folder's descriptor when it is a folder of this user that nobody else
// may enter or write; -1 otherwise.
int openPrivateFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The runtime folder when it is private, as the system makes it, else the
// user's own folder in the temporary folder.
int openLockFolder(const QString& runtimeFolder, const QString& tempFolder) {
    if (runtimeFolder.startsWith(QLatin1Char('/')))
        if (const int fd = openPrivateFolder(QFile::encodeName(runtimeFolder)); fd >= 0)
            return fd;
    const QByteArray own = QFile::encodeName(tempFolder + QStringLiteral("/tovimo-%1").arg(::geteuid()));
    ::mkdir(own.constData(), 0700); // an existing one is checked like a new one
    return openPrivateFolder(own);
}
} // namespace

QString App::Path() {
    if (!pathOverride().isEmpty())
        return pathOverride();
    // Started as `ld.so PROGRAM` (no interpreter was loaded for the process),
    // the process's executable, which Qt goes by, is the loader; the loader
    // names the program it loaded. Read at the first call, before the
    // current folder can change.
    static const QString loadedProgramFolder = []() -> QString {
        Dl_info info{};
        if (::getauxval(AT_BASE) != 0 || !::dladdr(reinterpret_cast<void*>(&App::Path), &info) ||
            !info.dli_fname || !*info.dli_fname)
            return {};
        return QFileInfo(QFile::decodeName(info.dli_fname)).canonicalPath();
    }();
    return loadedProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : loadedProgramFolder;
}

bool App::PrevInstance() {
    return prevInstance();
}

App::InstanceLock App::takeInstanceLock(const QString& runtimeFolder, const QString& tempFolder) {
    const int folder = openLockFolder(runtimeFolder, tempFolder);
    if (folder < 0)
        return {};
    const int fd = ::openat(folder, "tovimo.lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    ::close(folder);
    if (fd < 0)
        return {};
    int result = 0;
    do
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return {LockState::Taken, fd};
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return {held ? LockState::HeldElsewhere : LockState::Unavailable, -1};
}

void App::registerInstance() {
    // Read directly: QStandardPaths warns on stderr when the variable is unset.
    // On success the descriptor stays open for the life of the process.
    const InstanceLock lock = takeInstanceLock(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath());
    prevInstance() = lock.state == LockState::HeldElsewhere;
    instanceLockFd() = lock.fd;
}

void App::releaseInstance() {
    if (instanceLockFd() >= 0)
        ::flock(instanceLockFd(), LOCK_UN);
}

void App::End() {
    if (endHandler())
        endHandler()();
    std::fflush(nullptr);
    if (lastStep())
        lastStep()();
    std::_Exit(0);
}

void App::setLastStep(void (*step)()) {
    lastStep() = step;
}

void App::setPathForTesting(const QString& path) {
    pathOverride() = path;
}
void App::setPrevInstanceForTesting(bool running) {
    prevInstance() = running;
}
void App::setEndHandlerForTesting(std::function<void()> handler) {
    endHandler() = std::move(handler);
}

} // namespace tovimo::tk
