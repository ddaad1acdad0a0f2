// SPDX-License-Identifier: MIT
// Work cut into numbered pieces and shared among the processor's cores.
#pragma once

#include <cstddef>
#include <functional>

namespace kov {

// The cores the program may use (at least 1).
int coreCount();

// The threads shareAmongCores uses for so many pieces: one per core, at most one per piece.
int workersFor(size_t pieces);

// Does work(piece, worker) for every piece on workersFor(pieces) threads, the calling thread
// (worker 0) among them: it does piece 0 first, then each thread takes the next piece not taken
// yet, so that a thread the system holds back leaves its share to the others. Should no other
// thread start, the calling thread does every piece. A failure is raised on the calling thread
// once every thread has finished.
void shareAmongCores(size_t pieces, const std::function<void(size_t piece, int worker)>& work);

}  // namespace kov
