// SPDX-License-Identifier: MIT
#include "core/interaction/TrackStack.h"

#include <map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kov {

namespace {

// The tracks between construction and destruction; declared first so that it outlives the
// tracks still held below at exit.
std::unordered_set<const StdTrack*> g_alive;
std::unique_ptr<StdTrack> g_current;
bool g_popInProgress = false;
std::vector<std::unique_ptr<StdTrack>> g_ended;

std::map<std::string, TrackCreator>& creators() {
    static std::map<std::string, TrackCreator> map;
    return map;
}

}  // namespace

// Lets the stack functions move the chain of a track.
struct TrackStackAccess {
    static std::unique_ptr<StdTrack>& previous(StdTrack& track) { return track.previous_; }
};

StdTrack::StdTrack(int level) : level_(level) {
    g_alive.insert(this);
}

StdTrack::~StdTrack() {
    g_alive.erase(this);
}

bool StdTrack::isAlive(const StdTrack* track) {
    return g_alive.count(track) != 0;
}

void StdTrack::Finish() {
    End();
    EndTrack(this);
}

bool PushTrack(std::unique_ptr<StdTrack> track) {
    if (!track) return false;
    StdTrack* current = g_current.get();
    if (!current) {
        g_current = std::move(track);
        return true;
    }
    if (current->captured()) return false;
    if (current->level() == StdTrack::kSuspendAlways || current->level() < track->level()) {
        current->Suspend();
        TrackStackAccess::previous(*track) = std::move(g_current);
        g_current = std::move(track);
        return true;
    }
    if (current->level() > track->level()) return false;
    if (!current->CanReplace()) return false;
    current->End();
    // The replaced track may have popped itself while it ended: it then waits among the ended
    // tracks and the track below it is current again.
    std::unique_ptr<StdTrack>& below =
        g_current.get() == current ? TrackStackAccess::previous(*current) : g_current;
    TrackStackAccess::previous(*track) = std::move(below);
    g_current = std::move(track);
    return true;
}

void EndTrack(StdTrack*) {
    // The track ended is always the current one.
    if (!g_current || g_popInProgress) return;
    g_popInProgress = true;
    if (!StdTrack::isAlive(g_current.get())) {
        // Its memory is no longer the stack's to free.
        (void)g_current.release();
        g_popInProgress = false;
        return;
    }
    g_current->End();
    std::unique_ptr<StdTrack> ended = std::move(g_current);
    g_current = std::move(TrackStackAccess::previous(*ended));
    if (g_current) g_current->Resume();
    if (!g_current) PurgeEndedTracks();
    g_ended.push_back(std::move(ended));
    g_popInProgress = false;
}

void PurgeEndedTracks() {
    // Taken out first: a destructor that ends or purges finds an empty list.
    std::vector<std::unique_ptr<StdTrack>> ended;
    ended.swap(g_ended);
    for (std::unique_ptr<StdTrack>& track : ended)
        track.reset();
}

StdTrack* currentTrack() {
    return g_current.get();
}

int endedTrackCount() {
    return static_cast<int>(g_ended.size());
}

void registerTrackClass(const std::string& className, TrackCreator creator) {
    creators()[className] = std::move(creator);
}

std::unique_ptr<StdTrack> createTrack(const std::string& className) {
    const auto it = creators().find(className);
    if (it == creators().end() || !it->second) return nullptr;
    return it->second();
}

}  // namespace kov
