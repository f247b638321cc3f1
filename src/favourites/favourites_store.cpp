// SPDX-License-Identifier: GPL-3.0-or-later
#include "favourites/favourites_store.h"

#include "favourites/favourites_file.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
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

// The errno of the system call that made a QSaveFile call fail, or EIO for
// the failures that Qt reports only in words.
int failure() {
    return errno != 0 ? errno : EIO;
}

// The owner, group and every permission bit of the file being replaced, or
// a private mode for a new one. Owner first: changing it may clear set-id
// bits that fchmod restores. Only root may hand a file to another user;
// anyone else keeps the file as their own, which a replacement in a folder
// they may write could do anyway.
void takeOverAttributes(int fd, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) {
        ::fchmod(fd, 0600);
        return;
    }
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        (void)::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

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
    const bool besideTheProgram = programFolderWritable && !isSystemProgramFolder(programFolder);
    const std::string folder = besideTheProgram || dataHome.empty() ? programFolder : dataHome + "/tovimo";
    return folder + "/" + std::string(kFileName);
}

bool isSystemProgramFolder(const std::string& folder) {
    const auto isOrUnder = [&folder](std::string_view root) {
        return folder.starts_with(root) && (folder.size() == root.size() || folder[root.size()] == '/');
    };
    return isOrUnder("/usr") || isOrUnder("/bin") || isOrUnder("/sbin");
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
    const std::string target = writeTarget(path);
    if (const std::string folder = folderOf(target); !folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec)
            return ec.value();
    }
    if (fs::is_directory(target, ec))
        return EISDIR;

    // Writes to a new file beside the target, flushed to disk and renamed
    // over it at commit; dropped unless committed. QSaveFile::commit() alone
    // is not enough: it flushes the write buffer, where a small content sits
    // whole, and syncs without looking at either outcome, so a full disk
    // would rename an empty file over the old one. Hence the explicit flush
    // and sync, each checked, before it. Once the data is on disk the close
    // that follows the rename has nothing left to fail on.
    QSaveFile file(QFile::decodeName(target.c_str()));
    errno = 0;
    if (failsAt(ReplaceStep::Create) || !file.open(QIODevice::WriteOnly))
        return failure();
    const auto abandon = [&file] {
        const int error = failure();
        file.cancelWriting();
        return error;
    };
    takeOverAttributes(file.handle(), target);
    const auto size = static_cast<qint64>(bytes.size());
    errno = 0;
    if (failsAt(ReplaceStep::Write) || file.write(bytes.data(), size) != size)
        return abandon();
    errno = 0;
    if (failsAt(ReplaceStep::Flush) || !file.flush())
        return abandon();
    errno = 0;
    // EINVAL: a file system that has nothing to sync.
    if (failsAt(ReplaceStep::Sync) || (::fdatasync(file.handle()) != 0 && errno != EINVAL))
        return abandon();
    errno = 0;
    if (file.error() != QFileDevice::NoError)
        return abandon();
    if (failsAt(ReplaceStep::Rename) || !file.commit())
        return failure();
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
