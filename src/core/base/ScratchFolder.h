// SPDX-License-Identifier: MIT
// Writing a file with its companions (a shapefile's .shx/.dbf/.prj, a grid's .prj, a VRT's tiles)
// so that readers see the old set or the new one, never a part, and a failure leaves nothing.
#pragma once

#include <filesystem>
#include <string>

namespace kov {

// A folder beside the target (scratchTemplate's name) where a writer puts the target's file and
// its companions under their final names; removed with whatever is left in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& target);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& path() const { return path_; }
    // Where the target's own file is written.
    std::filesystem::path file() const { return path_ / target_.filename(); }

    // Flushes everything written here and moves it beside the target, the target's own file
    // last so that a reader who finds it finds its companions too. A folder replaces the one of
    // its name (the old one is removed once the new one is in place); a file that replaces one
    // keeps the old one's permissions.
    bool moveIntoPlace(std::string* error);

private:
    std::filesystem::path target_;
    std::filesystem::path path_;
};

}  // namespace kov
