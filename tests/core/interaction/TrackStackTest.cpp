// SPDX-License-Identifier: MIT
#include "core/interaction/TrackStack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kov {
namespace {

using Log = std::vector<std::string>;

// A track that writes what the stack does with it into a shared log.
class LoggedTrack : public StdTrack {
public:
    LoggedTrack(std::string name, int level, Log& log)
        : StdTrack(level), name_(std::move(name)), log_(log) {}
    ~LoggedTrack() override { log_.push_back("delete " + name_); }
    void End() override {
        log_.push_back("end " + name_);
        if (endsAgain) EndTrack(this);
        StdTrack::End();
    }
    void Suspend() override { log_.push_back("suspend " + name_); }
    void Resume() override { log_.push_back("resume " + name_); }
    bool CanReplace() override { return replaceable; }
    bool replaceable = true;
    bool endsAgain = false;

private:
    std::string name_;
    Log& log_;
};

class TrackStackTest : public ::testing::Test {
protected:
    void TearDown() override {
        while (StdTrack* t = currentTrack())
            EndTrack(t);
        PurgeEndedTracks();
    }
    // Pushes a new track; null when the stack refused (and destroyed) it.
    LoggedTrack* push(const std::string& name, int level) {
        auto track = std::make_unique<LoggedTrack>(name, level, log);
        LoggedTrack* pushed = track.get();
        return PushTrack(std::move(track)) ? pushed : nullptr;
    }
    Log log;
};

TEST_F(TrackStackTest, AHigherLevelSuspendsTheCurrentTrackAndResumesItWhenItEnds) {
    LoggedTrack* measure = push("measure", 0);
    LoggedTrack* zoom = push("zoom", 2);
    ASSERT_TRUE(measure && zoom);
    EXPECT_EQ(zoom->previous(), measure);
    zoom->Finish();
    EXPECT_EQ(currentTrack(), measure);
    // The zoom is not deleted while its own code may still run: it waits for the next purge,
    // which comes when the stack is empty, and the last ended track waits again.
    EXPECT_EQ(log, (Log{"suspend measure", "end zoom", "end zoom", "resume measure"}));
    measure->Finish();
    EXPECT_EQ(log.back(), "delete zoom");
    EXPECT_EQ(endedTrackCount(), 1);
    PurgeEndedTracks();
    EXPECT_EQ(log.back(), "delete measure");
}

TEST_F(TrackStackTest, LowerLevelsAndCapturingTracksRefuseANewTrackWhichIsDestroyed) {
    LoggedTrack* zoom = push("zoom", 2);
    EXPECT_EQ(push("measure", 0), nullptr);
    zoom->SetCapture();
    EXPECT_EQ(push("zoom2", 3), nullptr);
    EXPECT_EQ(currentTrack(), zoom);
    EXPECT_EQ(log, (Log{"delete measure", "delete zoom2"}));
    // Level 9 is suspended by any track, even a lower one.
    zoom->ReleaseCapture();
    zoom->Finish();
    LoggedTrack* nine = push("nine", StdTrack::kSuspendAlways);
    LoggedTrack* low = push("low", 0);
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(low->previous(), nine);
}

TEST_F(TrackStackTest, TheSameLevelReplacesAtOnceUnlessTheCurrentTrackRefuses) {
    push("slope", 0);
    LoggedTrack* area = push("area", 0);
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(currentTrack(), area);
    EXPECT_EQ(area->previous(), nullptr);
    EXPECT_EQ(log, (Log{"end slope", "delete slope"}));
    area->replaceable = false;
    EXPECT_EQ(push("third", 0), nullptr);
    EXPECT_EQ(currentTrack(), area);
}

TEST_F(TrackStackTest, ATrackEndingItselfAgainIsPoppedOnceAndADestroyedOneIsDroppedUntouched) {
    LoggedTrack* below = push("below", 0);
    LoggedTrack* reentrant = push("reentrant", 2);
    reentrant->endsAgain = true;
    log.clear();
    EndTrack(reentrant);
    EXPECT_EQ(log, (Log{"end reentrant", "resume below"}));
    EXPECT_EQ(currentTrack(), below);
    // Replaced, a track that pops itself while it ends leaves the new one on the track below.
    push("again", 2)->endsAgain = true;
    LoggedTrack* replacing = push("replacing", 2);
    ASSERT_NE(replacing, nullptr);
    EXPECT_EQ(replacing->previous(), below);
    replacing->Finish();
    below->Finish();

    // A track destroyed behind the stack's back: the end makes no call into it.
    LoggedTrack* ghost = push("ghost", 0);
    ghost->~LoggedTrack();  // it leaves the alive set, the memory stays ours
    log.clear();
    EndTrack(ghost);
    EXPECT_EQ(currentTrack(), nullptr);
    EXPECT_TRUE(log.empty());
    ::operator delete(ghost);
}

}  // namespace
}  // namespace kov
