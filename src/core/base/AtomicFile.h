// Replacing a file so that a failure never loses the previous one and readers never see a part.
#pragma once

#include <string>
#include <string_view>

namespace kov {

// Writes bytes to a temporary file created exclusively (unique name) in the target's folder,
// checks every write, flushes it to disk and renames it over the target; then the folder is
// flushed. On any failure the temporary file is removed, the target is untouched and false is
// returned with the reason in *error (when given).
// - A symbolic link is followed: the file it points to is replaced, the link stays.
// - An existing target keeps its permission bits; a new file gets 0666 less the umask.
// - A target without any write permission bit is refused (also for root), as is a target that
//   is not a regular file.
bool replaceFileAtomically(const std::string& path, std::string_view bytes,
                           std::string* error = nullptr);

}  // namespace kov
