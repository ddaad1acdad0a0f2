// SPDX-License-Identifier: MIT
#include "core/data/MeshCells.h"

#include <algorithm>
#include <limits>
#include <new>
#include <numeric>

#include "core/base/VectorClones.h"
#include "core/data/CellResidency.h"
#include "core/data/ZarHMesh.h"

static_assert(kov::MESH_NODATA == static_cast<int32_t>(0xF0000001u) &&
              kov::MESH_WATER == static_cast<int32_t>(0xF0000002u));

namespace kov {

KOV_VECTOR_CLONES void decodeCompact(const uint16_t* values, size_t n, const CompactCoding& coding,
                                     int32_t* out) {
    // The coding in locals (out may alias it) and selects rather than branches: the loop runs on
    // vectors. Nearly every tile has step 1, which needs no multiply.
    const int32_t offset = coding.offset, step = coding.step;
    const auto decode = [&](auto scaled) {
        for (size_t i = 0; i < n; ++i) {
            const uint16_t v = values[i];
            int32_t code = offset + scaled(static_cast<int32_t>(v));
            code = v == CompactCoding::kWater ? static_cast<int32_t>(0xF0000002u) : code;
            out[i] = v == CompactCoding::kNoData ? static_cast<int32_t>(0xF0000001u) : code;
        }
    };
    if (step == 1)
        decode([](int32_t v) { return v; });
    else
        decode([step](int32_t v) { return v * step; });
}

MeshCells::~MeshCells() {
    if (residency_) residency_->forget(*this);
}

bool MeshCells::allocate(size_t count, int32_t fill) {
    setSource(nullptr);  // new cells: nothing brings them back
    try {
        // Exactly `count` codes: assign would keep a larger earlier capacity.
        if (full_.capacity() == count)
            full_.assign(count, fill);
        else
            decltype(full_)(count, fill).swap(full_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    decltype(ownCompact_)().swap(ownCompact_);
    compact_ = nullptr;
    keep_.reset();
    count_ = count;
    residentBytes_ = static_cast<int64_t>(count * sizeof(int32_t));
    resident_.store(true, std::memory_order_release);
    return true;
}

void MeshCells::clear() {
    if (residency_) residency_->forget(*this);
    residency_ = nullptr;
    source_.reset();
    dropStorage();
    count_ = 0;
    residentBytes_ = 0;
    resident_.store(true, std::memory_order_release);
}

void MeshCells::dropStorage() {
    decltype(full_)().swap(full_);
    decltype(ownCompact_)().swap(ownCompact_);
    compact_ = nullptr;
    keep_.reset();
}

void MeshCells::widen() {
    if (!compact_) return;
    decltype(full_) wide(count_);
    decodeCompact(compact_, count_, coding_, wide.data());
    decltype(ownCompact_)().swap(ownCompact_);
    compact_ = nullptr;
    keep_.reset();
    full_.swap(wide);
    residentBytes_ = static_cast<int64_t>(count_ * sizeof(int32_t));
}

int32_t* MeshCells::data() {
    if (!isResident() && !fetch()) return nullptr;
    // Edited cells can no longer come back from the source.
    setSource(nullptr);
    widen();
    return full_.data();
}

void MeshCells::touch() const {
    if (residency_) lastUse_.store(residency_->now(), std::memory_order_relaxed);
}

int32_t MeshCells::operator[](size_t index) const {
    if (!isResident() && !fetch()) return MESH_NODATA;
    touch();
    if (!compact_) return full_[index];
    return decodeCompactValue(compact_[index], coding_);
}

bool MeshCells::ready() const {
    if (!isResident() && !fetch()) return false;
    touch();
    return true;
}

const int32_t* MeshCells::codes(size_t start, size_t n, int32_t* scratch) const {
    if (!isResident() && !fetch()) return nullptr;
    touch();
    if (!compact_) return full_.data() + start;
    decodeCompact(compact_ + start, n, coding_, scratch);
    return scratch;
}

namespace {

// The coding that holds every code exactly in 16 bits, if there is one.
bool chooseCoding(const int32_t* codes, size_t n, CompactCoding& coding) {
    int64_t lowest = std::numeric_limits<int64_t>::max(),
            highest = std::numeric_limits<int64_t>::min();
    for (size_t i = 0; i < n; ++i) {
        if (isSpecialCode(codes[i])) continue;
        lowest = std::min<int64_t>(lowest, codes[i]);
        highest = std::max<int64_t>(highest, codes[i]);
    }
    if (lowest > highest) {  // no elevation at all
        coding = {};
        return true;
    }
    const int64_t range = highest - lowest;
    int64_t step = 1;
    if (range > CompactCoding::kMaxValue) {
        // Codes finer than their data (millimetres of centimetre heights) share a step; the
        // step only shrinks as cells are met, so stop once it is too small to help.
        step = 0;
        for (size_t i = 0; i < n; ++i) {
            if (isSpecialCode(codes[i])) continue;
            step = std::gcd(step, codes[i] - lowest);
            if (step != 0 && range / step > CompactCoding::kMaxValue) return false;
        }
        if (step > std::numeric_limits<int32_t>::max()) return false;
    }
    coding.offset = static_cast<int32_t>(lowest);
    coding.step = static_cast<int32_t>(step);
    return true;
}

}  // namespace

bool MeshCells::compact() {
    if (compact_) return true;
    if (!isResident() || full_.empty()) return false;
    CompactCoding coding;
    if (!chooseCoding(full_.data(), count_, coding)) return false;
    decltype(ownCompact_) values;
    try {
        values.resize(count_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (size_t i = 0; i < count_; ++i) {
        const int32_t code = full_[i];
        values[i] = code == MESH_NODATA ? CompactCoding::kNoData
                    : code == MESH_WATER
                        ? CompactCoding::kWater
                        : static_cast<uint16_t>((code - coding.offset) / coding.step);
    }
    CellResidency* residency = residency_;  // counted again at the new size
    setResidency(nullptr);
    decltype(full_)().swap(full_);
    ownCompact_.swap(values);
    compact_ = ownCompact_.data();
    coding_ = coding;
    residentBytes_ = static_cast<int64_t>(count_ * sizeof(uint16_t));
    setResidency(residency);
    return true;
}

void MeshCells::adoptCompact(const uint16_t* values, size_t count, CompactCoding coding,
                             std::shared_ptr<const void> keep) {
    dropStorage();
    compact_ = values;
    keep_ = std::move(keep);
    coding_ = coding;
    count_ = count;
    residentBytes_ = static_cast<int64_t>(count * sizeof(uint16_t));
}

void MeshCells::adoptFull(std::vector<int32_t, LargeBlockAllocator<int32_t>> codes) {
    dropStorage();
    full_ = std::move(codes);
    count_ = full_.size();
    residentBytes_ = static_cast<int64_t>(count_ * sizeof(int32_t));
}

int64_t MeshCells::memoryBytes() const {
    return isResident() ? residentBytes_ : 0;
}

void MeshCells::setSource(std::shared_ptr<const CellSource> source) {
    CellResidency* residency = residency_;
    setResidency(nullptr);
    source_ = std::move(source);
    setResidency(residency);
}

void MeshCells::setResidency(CellResidency* residency) {
    if (residency_) residency_->forget(*this);
    residency_ = residency;
    // Only cells that can come back are the residency's to let go.
    if (residency_ && source_ && isResident()) residency_->noteFetched(*this);
}

bool MeshCells::release() {
    if (!source_) return false;
    const std::lock_guard hold(fetchLock_);
    if (!isResident()) return true;
    if (residency_) residency_->noteReleased(*this);
    dropStorage();
    resident_.store(false, std::memory_order_release);
    return true;
}

bool MeshCells::fetch() const {
    const std::lock_guard hold(fetchLock_);
    if (isResident()) return true;
    auto& self = const_cast<MeshCells&>(*this);  // the cells come back; the mesh is unchanged
    const size_t expected = count_;
    if (!source_ || !source_->fetch(self) || self.count_ != expected) {
        self.dropStorage();
        self.count_ = expected;
        return false;
    }
    resident_.store(true, std::memory_order_release);
    if (residency_) residency_->noteFetched(self);
    return true;
}

}  // namespace kov
