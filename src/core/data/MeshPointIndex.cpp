// SPDX-License-Identifier: MIT
#include "core/data/MeshPointIndex.h"

#include <algorithm>
#include <cmath>

namespace kov {

namespace {

// Buckets are about as large as a typical mesh, so that a tile block puts one to four meshes in
// a bucket; far-apart meshes leave empty buckets between them, at most this many per mesh.
constexpr double kMostBucketsPerMesh = 16.0;
constexpr double kMostBucketsBase = 1024.0;

int clampIndex(double value, int count) {
    if (!(value > 0.0)) return 0;
    if (value >= count - 1) return count - 1;
    return static_cast<int>(value);
}

}  // namespace

MeshPointIndex::MeshPointIndex(const std::vector<const ZarHMesh*>& list) {
    if (list.empty()) return;
    double x1 = list[0]->xmax, y1 = list[0]->ymax;
    x0_ = list[0]->xmin;
    y0_ = list[0]->ymin;
    for (const ZarHMesh* m : list) {
        x0_ = std::min(x0_, m->xmin);
        y0_ = std::min(y0_, m->ymin);
        x1 = std::max(x1, m->xmax);
        y1 = std::max(y1, m->ymax);
    }
    const double width = x1 - x0_;
    const double height = y1 - y0_;
    if (!(width > 0.0) || !(height > 0.0) || !std::isfinite(width) || !std::isfinite(height)) {
        // Nothing to divide: one bucket with every mesh.
        columns_ = rows_ = 1;
    } else {
        std::vector<double> sides;
        sides.reserve(list.size());
        for (const ZarHMesh* m : list)
            sides.push_back(std::sqrt((m->xmax - m->xmin) * (m->ymax - m->ymin)));
        std::nth_element(sides.begin(), sides.begin() + sides.size() / 2, sides.end());
        const double most =
            kMostBucketsPerMesh * static_cast<double>(list.size()) + kMostBucketsBase;
        double side = std::max(sides[sides.size() / 2], std::sqrt(width * height / most));
        if (!(side > 0.0)) side = std::max(width, height);
        columns_ = std::clamp(static_cast<int>(std::ceil(width / side)), 1, 4096);
        rows_ = std::clamp(static_cast<int>(std::ceil(height / side)), 1, 4096);
    }
    bucketW_ = width > 0.0 ? width / columns_ : 1.0;
    bucketH_ = height > 0.0 ? height / rows_ : 1.0;
    buckets_.resize(static_cast<size_t>(columns_) * rows_);
    // A mesh also goes into the buckets a rounding step beyond its edges, so that every point its
    // own test accepts finds it.
    for (uint32_t i = 0; i < list.size(); ++i) {
        const ZarHMesh& m = *list[i];
        const double slackX = 1e-9 * (std::fabs(m.xmax) + std::fabs(m.xmin) + 1.0);
        const double slackY = 1e-9 * (std::fabs(m.ymax) + std::fabs(m.ymin) + 1.0);
        const int c0 = clampIndex((m.xmin - slackX - x0_) / bucketW_, columns_);
        const int c1 = clampIndex((m.xmax + slackX - x0_) / bucketW_, columns_);
        const int r0 = clampIndex((m.ymin - slackY - y0_) / bucketH_, rows_);
        const int r1 = clampIndex((m.ymax + slackY - y0_) / bucketH_, rows_);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                buckets_[static_cast<size_t>(r) * columns_ + c].push_back(i);
    }
    x1_ = x1;
    y1_ = y1;
}

const std::vector<uint32_t>& MeshPointIndex::candidates(double x, double y) const {
    if (buckets_.empty() || !(x >= x0_ && x <= x1_ && y >= y0_ && y <= y1_)) return none_;
    const int c = clampIndex((x - x0_) / bucketW_, columns_);
    const int r = clampIndex((y - y0_) / bucketH_, rows_);
    return buckets_[static_cast<size_t>(r) * columns_ + c];
}

}  // namespace kov
