// SPDX-License-Identifier: MIT
#include "core/data/MeshPointIndex.h"

#include <gtest/gtest.h>

#include <random>

#include "core/data/HMeshProject.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

// The answer by trying every mesh, the later one first, as the collection answers.
const ZarHMesh* bruteForce(const std::vector<const ZarHMesh*>& list, double x, double y) {
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        double z = 0.0;
        if ((*it)->GetElevation(x, y, z)) return *it;
    }
    return nullptr;
}

// Tiles of a block, an overlapping finer tile and a far-off one: at random points, on cell and
// tile edges and outside everything, the indexed lookup finds the same mesh as trying them all.
TEST(MeshPointIndex, FindsWhatTryingEveryMeshFinds) {
    HMeshProject project;
    std::vector<const ZarHMesh*> list;
    auto add = [&](int cols, int rows, double cell, double x0, double y0, int value) {
        auto mesh = test::makeFlatMesh(cols, rows, cell, x0, y0, value);
        list.push_back(mesh.get());
        project.AddMesh(mesh);
    };
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 7; ++i)
            add(40, 30, 5.0, i * 200.0, j * 150.0, 100 * i + j);
    add(100, 100, 1.0, 333.3, 222.2, 9999);
    add(10, 10, 5.0, 50000.0, -3000.0, 7);
    const MeshPointIndex index(list);

    std::mt19937 random(11);
    std::uniform_real_distribution<double> across(-100.0, 1500.0);
    std::uniform_int_distribution<int> edge(0, 280);
    for (int n = 0; n < 20000; ++n) {
        const bool onEdge = n % 2 == 0;
        const double x = onEdge ? edge(random) * 5.0 : across(random);
        const double y = onEdge ? edge(random) * 5.0 - 100.0 : across(random);
        const ZarHMesh* expected = bruteForce(list, x, y);
        const ZarHMesh* found = nullptr;
        for (auto it = index.candidates(x, y).rbegin(); it != index.candidates(x, y).rend(); ++it) {
            double z = 0.0;
            if (list[*it]->GetElevation(x, y, z)) {
                found = list[*it];
                break;
            }
        }
        ASSERT_EQ(found, expected) << x << "," << y;
        double z = 0.0;
        ASSERT_EQ(project.FindElevation(x, y, z), expected) << x << "," << y;
    }
    double z = 0.0;
    EXPECT_EQ(project.FindElevation(50025.0, -2975.0, z), list.back());
    EXPECT_TRUE(index.candidates(20000.0, 20000.0).empty());
    EXPECT_LE(index.candidates(100.0, 100.0).size(), 3u) << "a bucket holds a few tiles, not all";
}

}  // namespace
}  // namespace kov
