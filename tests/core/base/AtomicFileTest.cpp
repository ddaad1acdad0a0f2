// SPDX-License-Identifier: MIT
#include "core/base/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kov {
namespace {

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Runs body in a child process; answers its exit status (-1 when it did not exit normally).
template <class Body>
int inChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(AtomicFile, ConcurrentSavesNeverMixAndLeaveNothingBehind) {
    test::TempDir dir;
    const std::string target = dir.file("area.kovv5");
    // An unrelated file with the name a fixed temporary name would take.
    test::writeFile(dir.file("area-.kovv5"), "user data");
    // Large enough that a mixed or partial file would show.
    const std::string a(300000, 'a'), b(200000, 'b');
    ASSERT_TRUE(replaceFileAtomically(target, a));

    for (const std::string* bytes : {&a, &b})
        if (::fork() == 0) {
            for (int i = 0; i < 300; ++i)
                if (!replaceFileAtomically(target, *bytes)) ::_exit(1);
            ::_exit(0);
        }
    // Reads while the two writers save; each writer that ends says whether all its saves worked.
    int running = 2, failed = 0, status = 0;
    while (running > 0) {
        const std::string seen = test::readFile(target);
        ASSERT_TRUE(seen == a || seen == b) << "a read saw " << seen.size() << " mixed bytes";
        for (; running > 0 && ::waitpid(-1, &status, WNOHANG) > 0; --running)
            failed += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    EXPECT_EQ(failed, 0) << "every save succeeded";
    const std::string last = test::readFile(target);
    EXPECT_TRUE(last == a || last == b);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"area-.kovv5", "area.kovv5"}))
        << "no temporary file is left, the unrelated file stays";
    EXPECT_EQ(test::readFile(dir.file("area-.kovv5")), "user data");
}

TEST(AtomicFile, TheNextWriteRemovesOnlyWhatAKilledWriteLeft) {
    test::TempDir dir;
    const std::string target = dir.file("cut.emf");
    // A write killed with -9 halfway: its scratch file and a print's scratch folder stay.
    inChild([&] {
        std::string file = scratchTemplate(target), folder = scratchTemplate(target);
        const int fd = ::mkstemp(file.data());
        if (fd < 0 || ::write(fd, "half", 4) != 4 || !::mkdtemp(folder.data())) return 1;
        test::writeFile(folder + "/page.pdf", "half a page");
        ::raise(SIGKILL);
        return 0;
    });
    ASSERT_EQ(namesIn(dir.path()).size(), 2u);
    // A write in progress (this process) and names of another form are not ours to remove.
    std::string running = scratchTemplate(target);
    const int fd = ::mkstemp(running.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    for (const char* other : {"cut.emf.backup", "cut.emf.tmp-1-abc", "cut.emf.tmp-x-abcdef"})
        test::writeFile(dir.file(other), "user data");

    ASSERT_TRUE(replaceFileAtomically(target, "whole"));
    std::vector<std::string> expected = {"cut.emf", "cut.emf.backup", "cut.emf.tmp-1-abc",
                                         running.substr(running.rfind('/') + 1),
                                         "cut.emf.tmp-x-abcdef"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(dir.path()), expected);
}

TEST(AtomicFile, PermissionsLinksAndReadOnlyTargets) {
    test::TempDir dir;
    const std::string privateFile = dir.file("private.kovv5");
    test::writeFile(privateFile, "old");
    ::chmod(privateFile.c_str(), 0600);
    ASSERT_TRUE(replaceFileAtomically(privateFile, "new"));
    EXPECT_EQ(modeOf(privateFile), 0600u) << "the target keeps its permission bits";

    const std::string readOnly = dir.file("locked.kovv5");
    test::writeFile(readOnly, "keep me");
    ::chmod(readOnly.c_str(), 0444);
    std::string error;
    EXPECT_FALSE(replaceFileAtomically(readOnly, "new", &error)) << "refused even for root";
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::readFile(readOnly), "keep me");
    EXPECT_EQ(modeOf(readOnly), 0444u);

    const std::string real = dir.file("data/real.kovv5");
    test::writeFile(real, "old");
    const std::string link = dir.file("link.kovv5");
    ASSERT_EQ(::symlink("data/real.kovv5", link.c_str()), 0);
    ASSERT_TRUE(replaceFileAtomically(link, "through the link"));
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";
    EXPECT_EQ(test::readFile(real), "through the link");

    EXPECT_FALSE(replaceFileAtomically(dir.path(), "x")) << "a folder is not replaced";
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}

TEST(AtomicFile, FullDiskKeepsThePreviousFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string target = dir.file("picture.png");
    test::writeFile(target, "previous picture");
    // A file-size limit makes writes fail as on a full disk.
    const int status = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool written = replaceFileAtomically(target, std::string(100000, 'x'), &error);
        return written ? 0 : error.find("write") != std::string::npos ? 1 : 2;
    });
    EXPECT_EQ(status, 1) << "the write fails and says so";
    EXPECT_EQ(test::readFile(target), "previous picture");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"picture.png"});
}

}  // namespace
}  // namespace kov
