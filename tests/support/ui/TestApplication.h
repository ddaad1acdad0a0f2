// SPDX-License-Identifier: MIT
// The one QApplication of a test program that shows windows (offscreen under ctest).
#pragma once

#include <gtest/gtest.h>

namespace kov::test {

// Makes the application on first use; later calls do nothing.
void ensureApplication();

// Registered with ::testing::AddGlobalTestEnvironment by test files whose tests all need it.
class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ensureApplication(); }
};

}  // namespace kov::test
