// SPDX-License-Identifier: MIT
// A test suite over the default sample data set, written once into a temporary folder, with
// kovtool runs whose standard error is kept for the failure messages.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sample/SampleData.h"
#include "support/TestSupport.h"

namespace kov::test {

class SampleSetSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        std::string error;
        ASSERT_TRUE(sample::writeSampleDataSet(dir->path(), {}, &error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    // Runs kovtool with the arguments, its messages in English; answers its standard output.
    static std::string kovtool(const std::string& args, int* exitCode) {
        return runCommand("LC_ALL=C.UTF-8 " + std::string(KOVTOOL_PATH) + " " + args + " 2>" +
                              dir->file("stderr"),
                          exitCode);
    }
    static int exitOf(const std::string& args) {
        int code = -1;
        kovtool(args, &code);
        return code;
    }
    static std::string lastError() { return readFile(dir->file("stderr")); }
    static inline TempDir* dir = nullptr;
};

}  // namespace kov::test
