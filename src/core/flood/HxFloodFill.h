// A scanline seed fill over a raster: spans of non-boundary cells joined through the rows above
// and below, with an overridable boundary test. The mesh flood fill builds on it.
#pragma once

#include <cstdint>
#include <vector>

namespace kov {

// A bottom-up device-independent bitmap: row y is stored at (height - y - 1) * stride. Pixels of
// 1 bit (most significant bit first), 4 bits (even x in the low nibble), 8, 24 and 32 bits.
struct HxDib {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int stride = 0;
    uint8_t* bits = nullptr;
    std::vector<uint32_t> palette;  // 0x00BBGGRR, for 1, 4 and 8 bits per pixel
};

// Inclusive rectangle of cells: x from left to right, y from top to bottom (top <= bottom).
struct FillRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
};

class HxFloodFill {
public:
    static constexpr int kDefaultStackCapacity = 1024;
    static constexpr int kPaint = 1;  // Fill flag: paint the filled spans into the destination

    HxFloodFill() = default;
    virtual ~HxFloodFill() = default;
    HxFloodFill(const HxFloodFill&) = delete;
    HxFloodFill& operator=(const HxFloodFill&) = delete;

    // The number of pending spans allocated up front. A full stack grows (doubling), so a fill
    // always completes; its memory stays bounded by twice the cells of the clip.
    void SetStackCapacity(int n) { capacity_ = n > 0 ? n : 1; }
    int stackCapacity() const { return capacity_; }
    // The raster that the default GetPixel reads (not owned; null for none).
    void SetSource(const HxDib* source) { source_ = source; }
    // Where Fill paints with kPaint: the colour itself for more than 8 bits per pixel, otherwise
    // the palette index of an entry with the colour's red, green and blue (the colour value
    // itself when no entry matches). offsetX/Y are subtracted from a cell before it is painted.
    void SetDestination(HxDib* destination, uint32_t color, int offsetX, int offsetY);

    // Fills the region of the start cell inside clip: the start cell itself is not tested (it is
    // always filled); from it every 4-connected non-boundary cell is reached once. bounds
    // receives the rectangle of the filled cells. Answers the number of cells filled; 0 when
    // the start lies outside clip or the working memory cannot be had. Working memory is one
    // byte per cell of the rows the fill touches; what classifyRow throws passes through.
    int64_t Fill(int x, int y, const FillRect& clip, FillRect& bounds, int flags);

    // The most spans that were pending at once during the last Fill.
    int64_t peakPending() const { return peakPending_; }

    // The value handed to the boundary test.
    uint32_t boundaryValue = 0;

    // Default: the source pixel equals the boundary value.
    virtual bool IsBoundary(int x, int y, uint32_t value);
    // Default: the source pixel value; 0xFFFFFFFF (-1) outside the source raster.
    virtual uint32_t GetPixel(int x, int y);

protected:
    // Marks the cells x0..x1 of row y: out[k] = 1 for a boundary cell x0 + k, 0 otherwise. The
    // default asks IsBoundary cell by cell; a subclass may answer a row at once.
    virtual void classifyRow(int y, int x0, int x1, uint8_t* out);
    // A span of row y was filled (after it was painted).
    virtual void spanFilled(int /*y*/, int /*left*/, int /*right*/) {}

private:
    void paintSpan(int y, int left, int right);

    int capacity_ = kDefaultStackCapacity;
    const HxDib* source_ = nullptr;
    HxDib* destination_ = nullptr;
    uint32_t fillValue_ = 0;
    int offsetX_ = 0;
    int offsetY_ = 0;
    int64_t peakPending_ = 0;
};

// The pixel value of a bottom-up raster; 0xFFFFFFFF outside it.
uint32_t dibPixel(const HxDib& dib, int x, int y);

}  // namespace kov
