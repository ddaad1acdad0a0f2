// SPDX-License-Identifier: MIT
// Interaction tracks: an operation of the map that spans several mouse events (zoom, pan,
// measuring) is an object that receives the events while it is current. Tracks live on one
// process-wide stack, so that a short track (a zoom) can interrupt a long one (a measurement)
// and hand control back when it ends. Ended tracks are deleted later, at the next purge, since
// a track usually ends itself from inside one of its own event handlers.
//
// Everything here runs on the GUI thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kov {

class StdTrack {
public:
    // A track of this level is suspended by any new track.
    static constexpr int kSuspendAlways = 9;

    explicit StdTrack(int level);
    virtual ~StdTrack();
    StdTrack(const StdTrack&) = delete;
    StdTrack& operator=(const StdTrack&) = delete;

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
    // The track suspended below this one, or null.
    StdTrack* previous() const { return previous_.get(); }
    // Whether the track is between construction and destruction. Asked of the pointer, not of
    // the object: a destroyed track's memory must not be read.
    static bool isAlive(const StdTrack* track);

private:
    friend struct TrackStackAccess;

    // The stack is a chain: each track owns the one suspended below it.
    std::unique_ptr<StdTrack> previous_;
    int level_;
    bool captured_ = false;
};

// Makes the track current, or refuses and destroys it: an empty stack takes it; a track holding
// the capture refuses; a current track of level 9 or of a lower level is suspended under it; a
// higher level refuses; the same level is replaced (ended and destroyed at once) unless it
// refuses by CanReplace.
bool PushTrack(std::unique_ptr<StdTrack> track);
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
void registerTrackClass(const std::string& className, TrackCreator creator);
std::unique_ptr<StdTrack> createTrack(const std::string& className);

}  // namespace kov
