// Interaction tracks: an operation of the map that spans several mouse events (zoom, pan,
// measuring) is an object that receives the events while it is current. Tracks live on one
// process-wide stack, so that a short track (a zoom) can interrupt a long one (a measurement)
// and hand control back when it ends. Ended tracks are deleted later, at the next purge, since
// a track usually ends itself from inside one of its own event handlers.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace kov {

class StdTrack;

// The run-time class of a track: its name and its base, so that a track can be tested for
// being of a class or one derived from it, and created by its name (trackFactory).
struct TrackClass {
    const char* name;
    const TrackClass* base;
};

class StdTrack {
public:
    // Marks a track between construction and destruction.
    static constexpr uint32_t kAliveMarker = 0x24B19BF;
    // A track of this level is suspended by any new track.
    static constexpr int kSuspendAlways = 9;

    static const TrackClass classStdTrack;

    explicit StdTrack(int level);
    virtual ~StdTrack();
    StdTrack(const StdTrack&) = delete;
    StdTrack& operator=(const StdTrack&) = delete;

    virtual const TrackClass* GetRuntimeClass() const { return &classStdTrack; }
    bool IsKindOf(const TrackClass* cls) const;

    // False: a new track of the same level is refused instead of replacing this one.
    virtual bool CanReplace() { return true; }
    // Leaves the track (the stack calls it when the track is popped or replaced).
    virtual void End() { ReleaseCapture(); }
    virtual void Suspend() {}
    virtual void Resume() {}
    // Ends the track and pops it.
    virtual void Finish();

    // The mouse capture; the base keeps only the flag, a track bound to a window grabs it.
    virtual void SetCapture() { captured_ = true; }
    virtual void ReleaseCapture() { captured_ = false; }
    bool captured() const { return captured_; }

    int level() const { return level_; }
    StdTrack* previous() const { return previous_; }
    uint32_t aliveMarker() const { return alive_; }
    // Whether the track is between construction and destruction. Asked of the pointer, not of
    // the object: a destroyed track's memory must not be read (its marker included).
    static bool isAlive(const StdTrack* track);

private:
    friend bool PushTrack(StdTrack* track);
    friend void EndTrack(StdTrack* track);
    friend struct TrackStackAccess;

    StdTrack* previous_ = nullptr;
    int32_t level_;
    bool captured_ = false;
    uint32_t alive_ = kAliveMarker;
};

// Makes the track current, or refuses it (the caller keeps and deletes a refused track):
// an empty stack takes it; a track holding the capture refuses; a current track of level 9 or
// of a lower level is suspended under it; a higher level refuses; the same level is replaced
// (ended and deleted at once) unless it refuses by CanReplace. The stack owns accepted tracks.
bool PushTrack(StdTrack* track);
// Pops the current track (the one being ended) and files it for deletion; the track below is
// resumed. Does nothing when nested in another EndTrack; a current track that is no longer alive
// (destroyed behind the stack's back) is dropped without a call into it.
void EndTrack(StdTrack* track);
// Deletes the ended tracks, first ended first.
void PurgeEndedTracks();
StdTrack* currentTrack();
// How many ended tracks wait for deletion.
int endedTrackCount();

// Creating tracks by class name.
using TrackCreator = std::function<std::unique_ptr<StdTrack>()>;
void registerTrackClass(const TrackClass& cls, TrackCreator creator);
std::unique_ptr<StdTrack> createTrack(const QString& className);

}  // namespace kov
