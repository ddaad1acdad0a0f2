// SPDX-License-Identifier: MIT
// The tuple list of an FG-GML DEM: "type,value" tuples separated by white space (one a line in
// the files), read from the pieces the XML parser hands over, into cell codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

class TupleList {
public:
    // Starts a list of at most capacity cells whose text begins on line firstLine; textBytes,
    // where known, sizes the first allocation.
    void begin(int64_t capacity, long firstLine, size_t textBytes = 0);
    // Reads the next piece of the text; false at the first fault (error() says which line).
    bool feed(std::string_view piece);
    // Reads the last tuple when the text ended inside it.
    bool finish();

    const std::vector<int32_t>& codes() const { return codes_; }
    const std::string& error() const { return error_; }

private:
    bool take(std::string_view tuple);
    bool fail(const std::string& reason);

    std::vector<int32_t> codes_;
    std::string carry_;  // a tuple cut at the end of the previous piece
    std::string error_;
    int64_t capacity_ = 0;
    long line_ = 1;
};

}  // namespace kov
