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
// a system folder, in the "tovimo" folder of the data home. With no data home
// the program's folder stays the answer.
std::string favouritesLocation(const std::string& programFolder, bool programFolderWritable,
                               const std::string& dataHome);

// True when the current user may create files in the folder.
bool folderWritable(const std::string& folder);

struct ReadResult {
    std::string bytes; // the whole file; empty when it does not exist
    int error = 0;     // errno when the file exists but cannot be read
};
ReadResult readFileBytes(const std::string& path);

// Replaces the file's content in one step, so that the file always holds
// either its old or its new content: the bytes go to a new file in the same
// folder, which is flushed to disk and renamed over the old one (a symbolic
// link is followed, the new file keeps the old one's permission bits).
// Creates missing folders on the way. Returns 0, or the errno of the step
// that failed, in which case the old file is untouched and nothing is left
// behind.
int replaceFileBytes(const std::string& path, std::string_view bytes);

// Test seam: makes every later replacement fail at the given step with EIO,
// before that step touches anything; nullopt restores normal work.
enum class ReplaceStep { Create, Write, Sync, Rename };
void failReplaceAtForTesting(std::optional<ReplaceStep> step);

} // namespace tovimo::favourites
