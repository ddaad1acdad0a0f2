// kovtool on input that needs more memory than it can have: it answers with a message and a
// failing exit status, never aborts. (FIFOs and oversized files are refused by the readers
// themselves; their tests are with the readers.)
#include <gtest/gtest.h>

#include "cli/Kovtool.h"

namespace kov {
namespace {

class KovtoolHostileInputTest : public ::testing::Test, protected test::KovtoolRuns {};

TEST_F(KovtoolHostileInputTest, MemoryThatCannotBeHadEndsTheCommandWithAMessage) {
#ifdef KOV_SANITIZED_BUILD
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit an address-space limit";
#endif
    test::writeTile({}, dir.file("t.kov"));
    // A 200 MB line on stdin under a 400 MB address space: its buffer cannot grow.
    int code = -1;
    kovtool("elev '" + dir.file("t.kov") + "'", &code,
            "ulimit -v 400000; perl -e 'print \"1\" x 200000000' | ");
    EXPECT_EQ(code, 1) << lastError();
    EXPECT_NE(lastError().find("kovtool elev: out of memory"), std::string::npos) << lastError();
}

}  // namespace
}  // namespace kov
