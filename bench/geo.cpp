// SPDX-License-Identifier: MIT
// Plane rectangular to geodetic conversions per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "core/base/PlaneConverter.h"

namespace {

struct Points {
    std::vector<double> xyz;  // x, y, z triples
    explicit Points(double range) {
        std::mt19937_64 rng(1);
        std::uniform_real_distribution<double> metres(-range, range);
        xyz.resize(3 * 65536);
        for (std::size_t i = 0; i < xyz.size(); i += 3) {
            xyz[i] = metres(rng);
            xyz[i + 1] = metres(rng);
            xyz[i + 2] = 0.0;
        }
    }
};

void convertAll(benchmark::State& state, double range, bool convergence) {
    kov::PlaneConverter pc;
    pc.setup(9, kov::kEllipsoidGrs80);
    const Points points(range);
    const std::size_t count = points.xyz.size() / 3;
    for (auto _ : state) {
        double sum = 0.0, gamma = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            double out[3];
            pc.planeToGeodetic(&points.xyz[3 * i], out, convergence ? &gamma : nullptr);
            sum += out[0] + out[1] + gamma;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

void BM_PlaneToGeodetic(benchmark::State& state) {
    convertAll(state, 100e3, false);
}
void BM_PlaneToGeodeticWithConvergence(benchmark::State& state) {
    convertAll(state, 100e3, true);
}
// Far outside the zone: the iteration starts from the origin latitude and needs more rounds.
void BM_PlaneToGeodeticFarAway(benchmark::State& state) {
    convertAll(state, 3000e3, false);
}

void BM_Setup(benchmark::State& state) {
    kov::PlaneConverter pc;
    int zone = 0;
    for (auto _ : state) {
        pc.setup(zone % 19 + 1, kov::kEllipsoidGrs80);
        benchmark::DoNotOptimize(pc.s0);
        ++zone;
    }
}

}  // namespace

BENCHMARK(BM_PlaneToGeodetic);
BENCHMARK(BM_PlaneToGeodeticWithConvergence);
BENCHMARK(BM_PlaneToGeodeticFarAway);
BENCHMARK(BM_Setup);
