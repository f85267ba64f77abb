#pragma once
// Files that are never seen half written: the new contents go to a file beside the target, are
// flushed to the disk, and then take the target's place in one step. A program killed (or a
// machine losing power) at any moment leaves the old file or the new one, never a mix.
// Paths are UTF-8.
#include <string>
#include <string_view>

namespace tw {

// The file beside `path` that new contents are written to before they replace it.
std::string PendingFileFor(const std::string& path);

// Makes the file at `from` (complete and closed) the file at `to` in one step, replacing what is
// there: its contents reach the disk first, then the change of name. False when the system
// refused; `from` then remains.
bool ReplaceFileInOneStep(const std::string& from, const std::string& to);

// Writes `bytes` to the pending file of `path`, flushes it, and replaces `path` with it. False
// when any step failed; `path` then holds what it held before.
bool WriteFileInOneStep(const std::string& path, std::string_view bytes);

}  // namespace tw
