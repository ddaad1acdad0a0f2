// SPDX-License-Identifier: MIT
// Replacing a file so that a failure never loses the previous one and readers never see a part.
#pragma once

#include <optional>
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
// - Scratch files a killed write left beside the target are removed first (removeStaleScratch).
bool replaceFileAtomically(const std::string& path, std::string_view bytes,
                           std::string* error = nullptr);

// The file a write to path replaces or creates: path with its symbolic links followed. None,
// with the reason in *error, when an existing target is not a regular file or has no write
// permission bit (also for root).
std::optional<std::string> replaceableTarget(const std::string& path, std::string* error);

// The name of a scratch file or folder beside target, for mkstemp, mkdtemp or QTemporaryDir:
// "<target>.tmp-<process id>-XXXXXX". The writer's process id in the name tells a write in
// progress from one that was killed (kill -9 runs no clean-up).
std::string scratchTemplate(const std::string& target);

// Removes the scratch files and folders of target's name (scratchTemplate) whose process no
// longer runs on this machine. Names of any other form, and the scratch of a running process
// (another write in progress), are left alone; so is a folder holding anything but files.
void removeStaleScratch(const std::string& target);

}  // namespace kov
