// SPDX-License-Identifier: MIT
#include "core/project/LoadProblem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/base/PathNames.h"

namespace kov {
namespace {

LoadProblem problemOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return LoadProblem::NotFound;
        case EACCES:
        case EPERM:
            return LoadProblem::NoPermission;
        default:
            return LoadProblem::ReadError;
    }
}

}  // namespace

LoadProblem fileProblem(const std::string& path, uint64_t maxBytes, std::string* text) {
    auto say = [text](LoadProblem problem, std::string why) {
        if (text) *text = std::move(why);
        return problem;
    };
    if (isInternetPath(path)) return LoadProblem::None;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return say(problemOfErrno(errno), std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return say(LoadProblem::Folder, "a folder, not a file");
    if (!S_ISREG(st.st_mode))
        return say(LoadProblem::NotRegularFile, "not a regular file (a FIFO or a device)");
    if (static_cast<uint64_t>(st.st_size) > maxBytes)
        return say(LoadProblem::TooLarge, "larger than " + std::to_string(maxBytes >> 20) + " MiB");
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return say(problemOfErrno(errno), std::strerror(errno));
    ::close(fd);
    return LoadProblem::None;
}

}  // namespace kov
