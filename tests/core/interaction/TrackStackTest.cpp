#include "core/interaction/TrackStack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kov {
namespace {

// A track that writes what the stack does with it into a shared log.
class LoggedTrack : public StdTrack {
public:
    LoggedTrack(std::string name, int level, std::vector<std::string>& log)
        : StdTrack(level), name_(std::move(name)), log_(log) {}
    ~LoggedTrack() override { log_.push_back("delete " + name_); }
    void End() override {
        log_.push_back("end " + name_);
        StdTrack::End();
    }
    void Suspend() override { log_.push_back("suspend " + name_); }
    void Resume() override { log_.push_back("resume " + name_); }
    bool CanReplace() override { return replaceable; }
    bool replaceable = true;

private:
    std::string name_;
    std::vector<std::string>& log_;
};

class TrackStackTest : public ::testing::Test {
protected:
    void TearDown() override {
        while (StdTrack* t = currentTrack())
            EndTrack(t);
        PurgeEndedTracks();
    }
    LoggedTrack* make(const std::string& name, int level) {
        return new LoggedTrack(name, level, log);
    }
    std::vector<std::string> log;
};

TEST_F(TrackStackTest, AHigherLevelSuspendsTheCurrentTrackAndResumesItWhenItEnds) {
    LoggedTrack* measure = make("measure", 0);
    LoggedTrack* zoom = make("zoom", 2);
    ASSERT_TRUE(PushTrack(measure));
    ASSERT_TRUE(PushTrack(zoom));
    EXPECT_EQ(currentTrack(), zoom);
    EXPECT_EQ(zoom->previous(), measure);
    zoom->Finish();
    EXPECT_EQ(currentTrack(), measure);
    // The zoom is not deleted while its own code may still run; the next purge deletes it.
    EXPECT_EQ(endedTrackCount(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"suspend measure", "end zoom", "end zoom",
                                             "resume measure"}));
    PurgeEndedTracks();
    EXPECT_EQ(log.back(), "delete zoom");
}

TEST_F(TrackStackTest, LowerLevelsAndCapturingTracksRefuseANewTrack) {
    LoggedTrack* zoom = make("zoom", 2);
    ASSERT_TRUE(PushTrack(zoom));
    LoggedTrack* measure = make("measure", 0);
    EXPECT_FALSE(PushTrack(measure));
    zoom->SetCapture();
    LoggedTrack* other = make("zoom2", 2);
    EXPECT_FALSE(PushTrack(other));
    EXPECT_EQ(currentTrack(), zoom);
    delete measure;
    delete other;
    // Level 9 is suspended by any track, even a lower one.
    zoom->ReleaseCapture();
    zoom->Finish();
    LoggedTrack* nine = make("nine", StdTrack::kSuspendAlways);
    ASSERT_TRUE(PushTrack(nine));
    LoggedTrack* low = make("low", 0);
    EXPECT_TRUE(PushTrack(low));
    EXPECT_EQ(low->previous(), nine);
}

TEST_F(TrackStackTest, TheSameLevelReplacesAtOnceUnlessTheCurrentTrackRefuses) {
    LoggedTrack* slope = make("slope", 0);
    ASSERT_TRUE(PushTrack(slope));
    LoggedTrack* area = make("area", 0);
    ASSERT_TRUE(PushTrack(area));
    EXPECT_EQ(currentTrack(), area);
    EXPECT_EQ(area->previous(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"end slope", "delete slope"}));
    area->replaceable = false;
    LoggedTrack* third = make("third", 0);
    EXPECT_FALSE(PushTrack(third));
    delete third;
    EXPECT_EQ(currentTrack(), area);
}

// A track that ends itself again while it is being ended.
class ReentrantTrack : public StdTrack {
public:
    ReentrantTrack() : StdTrack(2) {}
    void End() override {
        ++ends;
        EndTrack(this);
        StdTrack::End();
    }
    int ends = 0;
};

TEST_F(TrackStackTest, ANestedEndDoesNothingAndAWrongMarkerDropsTheTrackUntouched) {
    LoggedTrack* below = make("below", 0);
    ASSERT_TRUE(PushTrack(below));
    auto* reentrant = new ReentrantTrack;
    ASSERT_TRUE(PushTrack(reentrant));
    EndTrack(reentrant);
    EXPECT_EQ(reentrant->ends, 1);
    EXPECT_EQ(currentTrack(), below);
    below->Finish();

    // A track destroyed behind the stack's back: the end makes no call into it.
    std::vector<std::string> ghostLog;
    auto* ghost = new LoggedTrack("ghost", 0, ghostLog);
    ASSERT_TRUE(PushTrack(ghost));
    ghost->~LoggedTrack();  // the marker is cleared, the memory stays ours
    ghostLog.clear();
    EndTrack(ghost);
    EXPECT_EQ(currentTrack(), nullptr);
    EXPECT_TRUE(ghostLog.empty());
    ::operator delete(ghost);
}

TEST(TrackFactory, CreatesTracksByClassNameAndTestsTheirClass) {
    static const TrackClass derived = {"DerivedTrack", &StdTrack::classStdTrack};
    class Derived : public StdTrack {
    public:
        Derived() : StdTrack(1) {}
        const TrackClass* GetRuntimeClass() const override { return &derived; }
    };
    registerTrackClass(derived, [] { return std::make_unique<Derived>(); });
    const std::unique_ptr<StdTrack> t = createTrack(QStringLiteral("DerivedTrack"));
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->IsKindOf(&derived));
    EXPECT_TRUE(t->IsKindOf(&StdTrack::classStdTrack));
    const StdTrack base(0);
    EXPECT_FALSE(base.IsKindOf(&derived));
    EXPECT_EQ(createTrack(QStringLiteral("NoSuchTrack")), nullptr);
}

}  // namespace
}  // namespace kov
