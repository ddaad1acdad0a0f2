// SPDX-License-Identifier: MIT
#include "core/data/dem/FgGmlTuples.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "core/data/dem/GeoGrid.h"

namespace kov {
namespace {

constexpr size_t kMaxTupleBytes = 64;
constexpr int64_t kNoDataMillimetres = -9999000;
// Elevations a DEM may hold; anything beyond is damage.
constexpr int64_t kLowestMillimetres = -1000000, kHighestMillimetres = 10000000;
constexpr int64_t kOutOfRange = int64_t{1} << 40;  // a bound on the digits read

enum class CellClass { Ground, Water, NoData, Unknown };

CellClass classOf(std::string_view type) {
    if (type == "地表面" || type == "表層面" || type == "その他") return CellClass::Ground;
    if (type == "海水面" || type == "内水面") return CellClass::Water;
    if (type == "データなし") return CellClass::NoData;
    return CellClass::Unknown;
}

// A piece of the file for a message: at most a tuple's length.
std::string quoted(std::string_view text) {
    return "\"" + std::string(text.substr(0, kMaxTupleBytes)) + "\"";
}

// The millimetres of a decimal "-12.345" (rounded half away from zero at the fourth decimal),
// exactly, without a detour through binary fractions. False for any other form of number.
bool parseMillimetres(const char* p, const char* end, int64_t& millimetres) {
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    const char* digits = p;
    int64_t whole = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        if (whole < kOutOfRange) whole = whole * 10 + (*p - '0');
    bool anyDigit = p > digits;
    int64_t fraction = 0;
    if (p < end && *p == '.') {
        ++p;
        int places = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p, ++places, anyDigit = true) {
            if (places < 3) fraction = fraction * 10 + (*p - '0');
            if (places == 3 && *p >= '5') ++fraction;  // fraction now counts 3 places
        }
        for (; places < 3; ++places)
            fraction *= 10;
    }
    if (p != end || !anyDigit) return false;
    millimetres = whole * 1000 + fraction;
    if (negative) millimetres = -millimetres;
    return true;
}

// White space separates tuples; other control characters are refused where they stand.
bool isSeparator(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

const char* endOfTuple(const char* p, const char* end) {
    while (p < end && !isSeparator(*p))
        ++p;
    return p;
}

}  // namespace

void TupleList::begin(int64_t capacity, long firstLine, size_t textBytes) {
    capacity_ = capacity;
    line_ = firstLine;
    codes_.clear();
    // A tuple takes at least 12 bytes of text ("地表面,0" and a line end).
    codes_.reserve(static_cast<size_t>(std::min<int64_t>(capacity, textBytes / 12 + 1)));
    carry_.clear();
    error_.clear();
}

bool TupleList::fail(const std::string& reason) {
    error_ = reason + " at line " + std::to_string(line_);
    return false;
}

bool TupleList::take(std::string_view tuple) {
    if (static_cast<int64_t>(codes_.size()) >= capacity_)
        return fail("the tuple list is longer than the grid of " + std::to_string(capacity_) +
                    " cells");
    // The types are three or five characters of three bytes: look there before searching.
    const size_t comma = tuple.size() > 9 && tuple[9] == ','     ? 9
                         : tuple.size() > 15 && tuple[15] == ',' ? 15
                                                                 : tuple.find(',');
    if (comma == std::string_view::npos)
        return fail("the tuple " + quoted(tuple) + " has no comma");
    const CellClass cellClass = classOf(tuple.substr(0, comma));
    if (cellClass == CellClass::Unknown)
        return fail("an unknown cell type " + quoted(tuple.substr(0, comma)));
    const char* first = tuple.data() + comma + 1;
    const char* last = tuple.data() + tuple.size();
    int64_t millimetres = 0;
    if (!parseMillimetres(first, last, millimetres)) {
        // Rarer forms ("1.5e2"): through a double.
        double metres = 0.0;
        const auto result = std::from_chars(first, last, metres);
        if (result.ec != std::errc() || result.ptr != last || !std::isfinite(metres))
            return fail("the value " + quoted({first, last}) + " is not a number");
        millimetres = std::abs(metres) < kOutOfRange ? millimetreCode(metres) : kOutOfRange;
    }
    // Water cells carry -9999. as their value in the files: the type decides before the value.
    if (cellClass == CellClass::Water) {
        codes_.push_back(MESH_WATER);
    } else if (cellClass == CellClass::NoData || millimetres == kNoDataMillimetres) {
        codes_.push_back(MESH_NODATA);
    } else if (millimetres < kLowestMillimetres || millimetres > kHighestMillimetres) {
        return fail("the elevation " + quoted({first, last}) + " is out of range");
    } else {
        codes_.push_back(static_cast<int32_t>(millimetres));
    }
    return true;
}

bool TupleList::feed(std::string_view piece) {
    const char* p = piece.data();
    const char* end = p + piece.size();
    if (!carry_.empty()) {
        const char* tupleEnd = endOfTuple(p, end);
        if (carry_.size() + (tupleEnd - p) > kMaxTupleBytes) return fail("a tuple too long");
        carry_.append(p, tupleEnd);
        if (tupleEnd == end) return true;
        if (!take(carry_)) return false;
        carry_.clear();
        p = tupleEnd;
    }
    while (p < end) {
        for (; p < end && isSeparator(*p); ++p) {
            if (*p == '\n') {
                ++line_;
            } else if (*p != ' ' && *p != '\r' && *p != '\t') {
                return fail("a control character");
            }
        }
        const char* start = p;
        p = endOfTuple(p, end);
        if (start == p) break;
        if (p == end) {  // cut by the end of the piece: finished by the next one
            if (p - start > static_cast<ptrdiff_t>(kMaxTupleBytes)) return fail("a tuple too long");
            carry_.assign(start, p);
            break;
        }
        if (!take({start, static_cast<size_t>(p - start)})) return false;
    }
    return true;
}

bool TupleList::finish() {
    if (carry_.empty()) return true;
    const bool taken = take(carry_);
    carry_.clear();
    return taken;
}

}  // namespace kov
