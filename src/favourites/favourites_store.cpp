#include "favourites/favourites_store.h"

#include "favourites/favourites_file.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
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
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
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

constexpr std::string_view kTemporaryMark = ".new-";

std::string folderOf(const std::string& file) {
    return std::filesystem::path(file).parent_path().string();
}

// Holds an exclusive flock on a folder for its lifetime; error() is the errno
// when the folder could not be opened or locked.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) {
        fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = closeKeepingErrno(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0)
            ::close(fd_); // closing the last descriptor releases the flock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

// Temporaries of `target` that a writer which crashed between creating and
// renaming them left behind. Only called under the folder's lock, when no
// other writer can be midway.
void removeLeftoverTemporaries(const std::string& target) {
    const std::filesystem::path targetPath(target);
    const std::string prefix = targetPath.filename().string() + std::string(kTemporaryMark);
    const std::string folder = targetPath.parent_path().string();
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// The folder of `path`'s write target, created and locked; the target's name
// in `target`.
struct LockedTarget {
    explicit LockedTarget(const std::string& path) : target(writeTarget(path)) {
        std::error_code ec;
        if (const std::string folder = folderOf(target); !folder.empty())
            std::filesystem::create_directories(folder, ec);
        if (ec) {
            error = ec.value();
            return;
        }
        lock.emplace(folderOf(target));
        error = lock->error();
        if (error == 0)
            removeLeftoverTemporaries(target);
    }
    std::string target;
    std::optional<FolderLock> lock;
    int error = 0;
};

} // namespace

std::string writeTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path target = path;
    // The kernel's own limit on links followed in one lookup.
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(target, ec))
            break;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec)
            break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.lexically_normal().string();
}

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
    const std::string targetName = writeTarget(path);
    const std::string folder = folderOf(targetName);
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
    if (::stat(targetName.c_str(), &old) == 0) {
        // Owner first: changing it may clear set-id bits that fchmod restores.
        // Only root may hand a file to another user; anyone else keeps the
        // file as their own, which a replacement in a folder they may write
        // could do anyway.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
    }
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

int appendEntry(const std::string& path, std::string_view entry) {
    const LockedTarget locked(path);
    if (locked.error != 0)
        return locked.error;
    ReadResult file = readFileBytes(locked.target);
    if (file.error != 0)
        return file.error; // never write over what could not be read
    file.bytes.append(kLineBreak).append(entry);
    return replaceFileBytes(locked.target, file.bytes);
}

RemoveResult removeEntry(const std::string& path, std::string_view entry, int occurrence) {
    const LockedTarget locked(path);
    if (locked.error != 0)
        return {locked.error, false};
    const ReadResult file = readFileBytes(locked.target);
    if (file.error != 0)
        return {file.error, false};
    std::vector<std::string> entries = entriesOf(splitLines(file.bytes));
    const std::string_view wanted = trimSpaces(entry);
    int seen = 0;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (trimSpaces(*it) != wanted || seen++ != occurrence)
            continue;
        entries.erase(it);
        const int error = replaceFileBytes(locked.target, rewrittenContent(entries));
        return {error, error == 0};
    }
    return {};
}

void failReplaceAtForTesting(std::optional<ReplaceStep> step) {
    injectedFailure() = step;
}

} // namespace tovimo::favourites
