// SPDX-License-Identifier: MIT
#include "core/data/MeshCells.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "core/data/CellResidency.h"
#include "core/data/ZarHMesh.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

std::vector<int32_t> decoded(const MeshCells& cells) {
    std::vector<int32_t> out(cells.size());
    const int32_t* codes = cells.codes(0, out.size(), out.data());
    if (!codes) return {};
    return std::vector<int32_t>(codes, codes + out.size());
}

void fill(MeshCells& cells, const std::vector<int32_t>& codes) {
    ASSERT_TRUE(cells.allocate(codes.size(), 0));
    std::copy(codes.begin(), codes.end(), cells.data());
}

TEST(MeshCells, CompactFormKeepsEveryCodeExactly) {
    struct Case {
        const char* what;
        std::vector<int32_t> codes;
        bool compact;
    };
    // Rows past the vector width: the decoding's main loop, not only its tail.
    std::vector<int32_t> metres(70), centimetres(70);
    for (int i = 0; i < 70; ++i) {
        const int32_t special = i % 9 == 4 ? MESH_WATER : i % 11 == 3 ? MESH_NODATA : 0;
        metres[static_cast<size_t>(i)] = special ? special : i * i % 1000 - 300;
        centimetres[static_cast<size_t>(i)] = special ? special : i * 10 - 300;
    }
    const Case cases[] = {
        {"a long row of decimetres", metres, true},
        {"a long row of centimetres in millimetres", centimetres, true},
        {"decimetres under 6,553.3 m", {-5, 65527, MESH_WATER, 0, MESH_NODATA, 12345}, true},
        {"millimetres of centimetre heights", {-1000, 600000, MESH_WATER, 54320, 10}, true},
        {"a range beyond 16 bits without a shared step", {0, 65534, 1}, false},
        {"nothing but special codes", {MESH_NODATA, MESH_WATER}, true},
        {"extreme codes", {INT32_MIN + 3, INT32_MAX, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MeshCells cells;
        fill(cells, c.codes);
        EXPECT_EQ(cells.compact(), c.compact);
        EXPECT_EQ(cells.memoryBytes(), static_cast<int64_t>(c.codes.size() * (c.compact ? 2 : 4)));
        EXPECT_EQ(decoded(cells), c.codes);
        for (size_t i = 0; i < c.codes.size(); ++i)
            EXPECT_EQ(cells[i], c.codes[i]) << i;
        // Writing widens again without losing a code.
        cells.data()[1] = 7;
        std::vector<int32_t> edited = c.codes;
        edited[1] = 7;
        EXPECT_EQ(decoded(cells), edited);
    }
}

TEST(MeshCells, LeastRecentlyUsedCellsGoAndComeBackOnTheNextRead) {
    CellResidency residency;
    std::vector<std::unique_ptr<MeshCells>> meshes;
    std::vector<std::shared_ptr<test::CopySource>> sources;
    for (int m = 0; m < 3; ++m) {
        const std::vector<int32_t> codes(100, 10 * m + 1);
        meshes.push_back(std::make_unique<MeshCells>());
        fill(*meshes.back(), codes);
        sources.push_back(std::make_shared<test::CopySource>(codes));
        meshes.back()->setSource(sources.back());
        meshes.back()->setResidency(&residency);
    }
    EXPECT_EQ(residency.residentBytes(), 1200);
    // Read 0, then 2 and 1 after a trim: 0 is the least recently used.
    EXPECT_EQ((*meshes[0])[5], 1);
    residency.trim(1200);
    EXPECT_EQ((*meshes[2])[5], 21);
    EXPECT_EQ((*meshes[1])[5], 11);
    EXPECT_EQ(residency.trim(800), 400);
    EXPECT_EQ(std::tuple(meshes[0]->isResident(), meshes[1]->isResident(), meshes[2]->isResident(),
                         meshes[0]->memoryBytes(), residency.residentBytes()),
              std::tuple(false, true, true, 0, 800));

    // The next read fetches the cells again; a source that fails reads as no data.
    EXPECT_EQ(decoded(*meshes[0]), std::vector<int32_t>(100, 1));
    EXPECT_EQ(std::pair(sources[0]->fetches, residency.residentBytes()),
              std::pair(1, int64_t{1200}));
    residency.trim(0);
    sources[1]->fail = true;
    EXPECT_EQ((*meshes[1])[0], MESH_NODATA);
    EXPECT_EQ(meshes[1]->codes(0, 100, nullptr), nullptr);
    EXPECT_EQ((*meshes[2])[0], 21);
    // A mesh going away is forgotten by the residency.
    meshes[2].reset();
    EXPECT_EQ(residency.residentBytes(), 0);
}

TEST(MeshCells, NoMoreThanTheMappingsAProcessMayHoldStayInMemory) {
    CellResidency residency;
    const auto source = std::make_shared<test::CopySource>(std::vector<int32_t>{1});
    std::vector<MeshCells> meshes(CellResidency::kMaxResident + 10);
    for (MeshCells& cells : meshes) {
        fill(cells, {1});
        cells.setSource(source);
        cells.setResidency(&residency);
    }
    EXPECT_EQ(residency.trim(int64_t{1} << 40), 40) << "ten meshes of 4 bytes over the count";
    EXPECT_EQ(residency.residentBytes(), int64_t{CellResidency::kMaxResident} * 4);
}

}  // namespace
}  // namespace kov
