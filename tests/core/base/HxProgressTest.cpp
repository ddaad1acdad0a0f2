#include "core/base/HxProgress.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

TEST(HxProgress, BaseReporterStepMaskAndCancelFlag) {
    HxProgress progress;
    const struct {
        long long total;
        long long mask;
    } cases[] = {{0, 63}, {127 * 62, 63}, {127 * 63, 63}, {127 * 64, 127}, {127 * 1000, 1023}};
    for (const auto& c : cases)
        EXPECT_EQ(progress.StepMask(c.total), c.mask) << c.total;
    EXPECT_EQ(progress.Begin(), 0);
    EXPECT_EQ(progress.SetPos(5, 10), 0) << "the base reporter never asks to stop";
    EXPECT_EQ(progress.IsCancelled(), 0);
    progress.SetCancelled(1);
    EXPECT_EQ(progress.IsCancelled(), 1);
}

}  // namespace
}  // namespace kov
