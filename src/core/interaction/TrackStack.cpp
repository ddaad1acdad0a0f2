#include "core/interaction/TrackStack.h"

#include <map>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace kov {

const TrackClass StdTrack::classStdTrack = {"StdTrack", nullptr};

namespace {

StdTrack* g_current = nullptr;
bool g_popInProgress = false;
std::vector<StdTrack*> g_ended;
std::recursive_mutex g_endedLock;

std::map<QString, TrackCreator>& creators() {
    static std::map<QString, TrackCreator> map;
    return map;
}

}  // namespace

// Lets the stack functions set the chain pointer of a track.
struct TrackStackAccess {
    static void setPrevious(StdTrack* track, StdTrack* previous) { track->previous_ = previous; }
};

bool StdTrack::IsKindOf(const TrackClass* cls) const {
    for (const TrackClass* c = GetRuntimeClass(); c; c = c->base)
        if (c == cls) return true;
    return false;
}

void StdTrack::Finish() {
    End();
    EndTrack(this);
}

bool PushTrack(StdTrack* track) {
    if (!track) return false;
    StdTrack* current = g_current;
    if (!current) {
        TrackStackAccess::setPrevious(track, nullptr);
        g_current = track;
        return true;
    }
    if (current->captured()) return false;
    if (current->level() == StdTrack::kSuspendAlways || current->level() < track->level()) {
        current->Suspend();
        TrackStackAccess::setPrevious(track, current);
        g_current = track;
        return true;
    }
    if (current->level() > track->level()) return false;
    if (!current->CanReplace()) return false;
    current->End();
    TrackStackAccess::setPrevious(track, current->previous());
    // The stack may have popped the replaced track while it ended; it must not be deleted twice.
    if (g_current == current) {
        g_current = nullptr;
        delete current;
    }
    g_current = track;
    return true;
}

namespace {
// The tracks between construction and destruction.
std::mutex g_aliveLock;
std::unordered_set<const StdTrack*> g_alive;
}  // namespace

StdTrack::StdTrack(int level) : level_(level) {
    std::lock_guard lock(g_aliveLock);
    g_alive.insert(this);
}

StdTrack::~StdTrack() {
    alive_ = 0;
    std::lock_guard lock(g_aliveLock);
    g_alive.erase(this);
}

bool StdTrack::isAlive(const StdTrack* track) {
    std::lock_guard lock(g_aliveLock);
    return g_alive.count(track) != 0;
}

void EndTrack(StdTrack* track) {
    (void)track;  // always the current track
    if (!g_current || g_popInProgress) return;
    g_popInProgress = true;
    StdTrack* ended = g_current;
    if (!StdTrack::isAlive(ended) || ended->aliveMarker() != StdTrack::kAliveMarker) {
        g_current = nullptr;
        g_popInProgress = false;
        return;
    }
    StdTrack* below = ended->previous();
    ended->End();
    g_current = below;
    if (below) below->Resume();
    {
        std::lock_guard lock(g_endedLock);
        if (!g_current) PurgeEndedTracks();
        g_ended.push_back(ended);
    }
    g_popInProgress = false;
}

void PurgeEndedTracks() {
    std::lock_guard lock(g_endedLock);
    std::vector<StdTrack*> ended;
    ended.swap(g_ended);
    for (StdTrack* track : ended)
        delete track;
}

StdTrack* currentTrack() {
    return g_current;
}

int endedTrackCount() {
    std::lock_guard lock(g_endedLock);
    return static_cast<int>(g_ended.size());
}

void registerTrackClass(const TrackClass& cls, TrackCreator creator) {
    creators()[QString::fromLatin1(cls.name)] = std::move(creator);
}

std::unique_ptr<StdTrack> createTrack(const QString& className) {
    const auto it = creators().find(className);
    if (it == creators().end() || !it->second) return nullptr;
    return it->second();
}

}  // namespace kov
