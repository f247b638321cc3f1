#include "platform/toolkit/app.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tovimo::tk {
namespace {
QString& pathOverride() {
    static QString path;
    return path;
}
bool& prevInstance() {
    static bool running = false;
    return running;
}
std::function<void()>& endHandler() {
    static std::function<void()> handler;
    return handler;
}

QString lockFilePath() {
    // Read directly: QStandardPaths warns on stderr when the variable is unset.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/tovimo-%1.lock").arg(::getuid());
}
} // namespace

QString App::Path() {
    if (!pathOverride().isEmpty())
        return pathOverride();
    return QCoreApplication::applicationDirPath();
}

bool App::PrevInstance() {
    return prevInstance();
}

void App::registerInstance() {
    const QByteArray path = QFile::encodeName(lockFilePath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return; // no runtime folder: behave as the only instance
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        prevInstance() = true;
        ::close(fd);
    }
    // On success the descriptor stays open for the life of the process.
}

void App::End() {
    if (endHandler())
        endHandler()();
    std::fflush(nullptr);
    std::_Exit(0);
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
