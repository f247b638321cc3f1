// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where the favourites file lives and how it is read and replaced. Paths are
// native byte strings.
namespace tovimo::favourites {

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share; empty
// when neither gives one. Either argument may be null.
std::string dataHome(const char* xdgDataHome, const char* home);

// The favourites file beside the program when the user can write its folder
// (a build tree, a portable copy); otherwise, as for a program installed into
// a system folder, in the "tovimo" folder of the data home. A system folder
// (see isSystemProgramFolder) never holds it, writable or not: root may write
// /usr/bin, but a file there belongs to no package and outlives its removal.
// With no data home the program's folder stays the answer.
std::string favouritesLocation(const std::string& programFolder, bool programFolderWritable,
                               const std::string& dataHome);

// True for the folders that installs and packages put programs in: /usr and
// everything under it (/usr/bin, /usr/local/bin, /usr/games), /bin and /sbin.
bool isSystemProgramFolder(const std::string& folder);

// True when the current user may create files in the folder.
bool folderWritable(const std::string& folder);

struct ReadResult {
    std::string bytes; // the whole file; empty when it does not exist
    int error = 0;     // errno when the file exists but cannot be read
};
ReadResult readFileBytes(const std::string& path);

// The file that a write to `path` changes: symbolic links followed, also a
// dangling last one, so that a link named like the favourites file keeps
// pointing at the file it names. Relative link targets are taken from the
// link's own folder. `path` itself when there is no link.
std::string writeTarget(const std::string& path);

// Replaces the file's content in one step, so that the file always holds
// either its old or its new content (QSaveFile: the bytes go to a new file in
// the same folder, which is flushed to disk and renamed over the old one).
// Symbolic links are followed as writeTarget does; the new file takes the old
// one's permission bits and, where the user may give it, its owner and group,
// and a file made new is private (0600). Creates missing folders on the way.
// Returns 0, or the errno of the step that failed, in which case the old file
// is untouched and nothing is left behind.
int replaceFileBytes(const std::string& path, std::string_view bytes);

// The read-modify-writes that players running side by side may make at the
// same time. Each holds an flock on the folder of the file's writeTarget for
// its whole read and write (the folder, not a file beside the favourites, so
// that the folder holds nothing else; a lock file would be replaced by the
// rename). They delete nothing: a name such as "datadoc.tvq.backup" may be
// the user's own copy, and a temporary that a crashed writer left (only
// where the file system cannot make unnamed files) cannot be told from one.
// Both return 0 or an errno; on a failure the file is as it was.
//
// Appends CR LF and `entry` to the file as it is now.
int appendEntry(const std::string& path, std::string_view entry);

// Removes the `occurrence`-th (0-based) entry that equals `entry`, leading and
// trailing spaces aside, from the file as it is now, and rewrites it as a
// removal does. When the file holds fewer such entries (another player
// removed it), nothing is written and `removed` is false.
struct RemoveResult {
    int error = 0;
    bool removed = false;
};
RemoveResult removeEntry(const std::string& path, std::string_view entry, int occurrence);

// Test seam: makes every later replacement fail at the given step with EIO,
// before that step touches anything; nullopt restores normal work.
enum class ReplaceStep { Create, Write, Flush, Sync, Rename };
void failReplaceAtForTesting(std::optional<ReplaceStep> step);

} // namespace tovimo::favourites
