// SPDX-License-Identifier: MIT
#include "core/base/SharedWork.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace kov {

int coreCount() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int workersFor(size_t pieces) {
    return static_cast<int>(std::clamp<size_t>(pieces, 1, static_cast<size_t>(coreCount())));
}

void shareAmongCores(size_t pieces, const std::function<void(size_t piece, int worker)>& work) {
    if (pieces == 0) return;
    const int workers = workersFor(pieces);
    std::atomic<size_t> next = 1;
    const auto doRest = [&](int worker) {
        for (size_t piece = next++; piece < pieces; piece = next++)
            work(piece, worker);
    };
    std::vector<std::exception_ptr> failures(static_cast<size_t>(workers));
    {
        std::vector<std::jthread> threads;
        for (int worker = 1; worker < workers; ++worker) {
            try {
                threads.emplace_back([&doRest, &failures, worker] {
                    try {
                        doRest(worker);
                    } catch (...) {
                        failures[static_cast<size_t>(worker)] = std::current_exception();
                    }
                });
            } catch (const std::system_error&) {
                break;
            }
        }
        try {
            work(0, 0);
            doRest(0);
        } catch (...) {
            // The others stop at the next piece; they are joined before the failure is raised.
            next = pieces;
            failures[0] = std::current_exception();
        }
    }  // the threads join here
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}

}  // namespace kov
