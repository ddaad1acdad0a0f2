// kovtool on inputs that are no regular files, too large, or more than the memory allows: it
// answers at once with a message and a failing exit status, never hangs or aborts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/project/KovXmlParser.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

class KovtoolHostileInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TileSpec tile;
        test::writeTile(tile, dir.file("t.kov"));
    }
    // Runs kovtool under the given shell prefix; stderr is kept in lastError.
    std::string kovtool(const std::string& args, int* exitCode,
                        const std::string& prefix = std::string()) {
        const std::string out = test::runCommand(
            prefix + "'" + KOVTOOL_PATH + "' " + args + " 2>" + dir.file("stderr"), exitCode);
        lastError = test::readFile(dir.file("stderr"));
        return out;
    }
    test::TempDir dir;
    std::string lastError;
};

TEST_F(KovtoolHostileInputTest, AFifoIsUnreadableWithoutBlocking) {
    for (const char* name : {"f.kov", "f.kovv5"}) {
        ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0600), 0);
        int code = -1;
        EXPECT_TRUE(test::endsWithoutBlocking(dir.file(name), [&] {
            kovtool("info '" + dir.file(name) + "'", &code);
        })) << name;
        EXPECT_EQ(code, 1) << name << ": " << lastError;
    }
}

TEST_F(KovtoolHostileInputTest, AnOversizedProjectIsRefusedWithAMessage) {
    test::writeFile(dir.file("big.kovv5"), "<?xml version='1.0'?><MeshProject><Mesh>" +
                                               dir.file("t.kov") + "</Mesh></MeshProject>");
    std::filesystem::resize_file(dir.file("big.kovv5"), KovXmlParser::kMaxFileBytes + 1);
    int code = -1;
    kovtool("info '" + dir.file("big.kovv5") + "'", &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(lastError.find("larger than 64 MiB"), std::string::npos) << lastError;
}

TEST_F(KovtoolHostileInputTest, MemoryThatCannotBeHadEndsTheCommandWithAMessage) {
#ifdef KOV_SANITIZED_BUILD
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit an address-space limit";
#endif
    // A 200 MB line on stdin under a 400 MB address space: its buffer cannot grow.
    int code = -1;
    kovtool("elev '" + dir.file("t.kov") + "'", &code,
            "ulimit -v 400000; perl -e 'print \"1\" x 200000000' | ");
    EXPECT_EQ(code, 1) << lastError;
    EXPECT_NE(lastError.find("kovtool elev: out of memory"), std::string::npos) << lastError;
}

}  // namespace
}  // namespace kov
