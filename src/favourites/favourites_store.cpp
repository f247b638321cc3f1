#include "favourites/favourites_store.h"

#include "favourites/favourites_file.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tovimo::favourites {
namespace {

std::optional<ReplaceStep>& injectedFailure() {
    static std::optional<ReplaceStep> step;
    return step;
}

bool failsAt(ReplaceStep step) {
    if (injectedFailure() != step)
        return false;
    errno = EIO;
    return true;
}

int closeKeepingErrno(int fd) {
    const int saved = errno;
    ::close(fd);
    return saved;
}

bool writeFully(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A fresh file beside `target`, created exclusively; -1 with errno set.
int createSibling(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd); // the rename is done; a failure here cannot be undone
    ::close(fd);
}

} // namespace

std::string dataHome(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/')
        return xdgDataHome;
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share";
    return {};
}

std::string favouritesLocation(const std::string& programFolder, bool programFolderWritable,
                               const std::string& dataHome) {
    const std::string folder =
        programFolderWritable || dataHome.empty() ? programFolder : dataHome + "/tovimo";
    return folder + "/" + std::string(kFileName);
}

bool folderWritable(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

ReadResult readFileBytes(const std::string& path) {
    ReadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            result.error = errno;
        return result;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = closeKeepingErrno(fd);
            result.bytes.clear();
            return result;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return result;
}

int replaceFileBytes(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    const std::string targetName = target.string();
    const std::string folder = target.parent_path().string();
    if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec)
            return ec.value();
    }

    std::string siblingName;
    const int fd = failsAt(ReplaceStep::Create) ? -1 : createSibling(targetName, siblingName);
    if (fd < 0)
        return errno;
    const auto abandon = [&] {
        const int saved = closeKeepingErrno(fd);
        ::unlink(siblingName.c_str());
        return saved;
    };
    struct stat old {};
    if (::stat(targetName.c_str(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    if (failsAt(ReplaceStep::Write) || !writeFully(fd, bytes))
        return abandon();
    if (failsAt(ReplaceStep::Sync) || ::fsync(fd) != 0)
        return abandon();
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(siblingName.c_str());
        return saved;
    }
    if (failsAt(ReplaceStep::Rename) || ::rename(siblingName.c_str(), targetName.c_str()) != 0) {
        const int saved = errno;
        ::unlink(siblingName.c_str());
        return saved;
    }
    syncFolder(folder);
    return 0;
}

void failReplaceAtForTesting(std::optional<ReplaceStep> step) {
    injectedFailure() = step;
}

} // namespace tovimo::favourites
