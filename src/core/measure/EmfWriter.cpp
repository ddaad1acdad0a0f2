// SPDX-License-Identifier: MIT
#include "core/measure/EmfWriter.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextItem>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

#include "core/base/AtomicFile.h"

namespace kov {

double EmfReference::dpiX() const {
    return millimetres.width() > 0 ? pixels.width() * 25.4 / millimetres.width() : 96.0;
}

double EmfReference::dpiY() const {
    return millimetres.height() > 0 ? pixels.height() * 25.4 / millimetres.height() : 96.0;
}

namespace {

// Stock objects and GDI constants.
constexpr uint32_t kStockNullBrush = 0x80000005;
constexpr uint32_t kStockBlackPen = 0x80000007;
constexpr uint32_t kStockSystemFont = 0x8000000D;
constexpr uint32_t kPenSolid = 0;
constexpr uint32_t kPenDash = 1;
constexpr uint32_t kPenDot = 2;
constexpr uint32_t kPenNull = 5;
constexpr uint32_t kTransparent = 1;
constexpr uint32_t kTextAlignBaseline = 24;
// Object table slots: 0 is reserved, then the pen, the brush and the font.
constexpr uint32_t kPenSlot = 1;
constexpr uint32_t kBrushSlot = 2;
constexpr uint32_t kFontSlot = 3;
constexpr uint16_t kHandles = 4;
constexpr int kHeaderSize = 108;  // with both header extensions
constexpr uint32_t kMapModeAnisotropic = 8;
// Logical units per reference pixel: drawings keep their fractions of a pixel, so that an
// enlarged picture shows smooth lines rather than whole-pixel steps.
constexpr int kSubunits = 16;

int32_t rounded(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int32_t>(std::clamp(std::lround(v), -0x3FFFFFFFL, 0x3FFFFFFFL));
}

// Reference pixels as logical units.
int32_t toLogical(double pixels) {
    return rounded(pixels * kSubunits);
}

// Logical units as whole reference pixels, rounded outwards for the low or the high edge.
int32_t pixelFloor(int32_t logical) {
    return static_cast<int32_t>(std::floor(logical / static_cast<double>(kSubunits)));
}
int32_t pixelCeil(int32_t logical) {
    return static_cast<int32_t>(std::ceil(logical / static_cast<double>(kSubunits)));
}

uint32_t colorRef(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

// One record being assembled; the size is filled in by finish().
class Record {
public:
    explicit Record(uint32_t type) {
        u32(type);
        u32(0);
    }
    Record& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    Record& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Record& u16(uint16_t v) {
        bytes_.append(static_cast<char>(v & 0xFF));
        bytes_.append(static_cast<char>(v >> 8));
        return *this;
    }
    Record& u8(uint8_t v) {
        bytes_.append(static_cast<char>(v));
        return *this;
    }
    Record& f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Record& rect(int32_t l, int32_t t, int32_t r, int32_t b) { return i32(l).i32(t).i32(r).i32(b); }
    // UTF-16 text of exactly `units` code units, cut or padded with zeros.
    Record& utf16(const QString& text, int units) {
        for (int i = 0; i < units; ++i)
            u16(i < text.size() ? text.at(i).unicode() : 0);
        return *this;
    }
    void align() {
        while (bytes_.size() % 4)
            bytes_.append('\0');
    }
    int size() const { return static_cast<int>(bytes_.size()); }
    QByteArray finish() {
        align();
        const uint32_t n = static_cast<uint32_t>(bytes_.size());
        for (int i = 0; i < 4; ++i)
            bytes_[4 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
        return bytes_;
    }

private:
    QByteArray bytes_;
};

struct Bounds {
    int32_t l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
    void add(int32_t x, int32_t y, int32_t grow = 0) {
        l = std::min(l, x - grow);
        t = std::min(t, y - grow);
        r = std::max(r, x + grow);
        b = std::max(b, y + grow);
    }
    bool empty() const { return l > r; }
    // Logical bounds as reference pixels, the pixels they touch included.
    Bounds pixels() const {
        return empty() ? *this : Bounds{pixelFloor(l), pixelFloor(t), pixelCeil(r), pixelCeil(b)};
    }
};

}  // namespace

class EmfPaintEngine : public QPaintEngine {
public:
    explicit EmfPaintEngine(EmfDevice* device) : QPaintEngine(AllFeatures), device_(device) {}

    bool begin(QPaintDevice*) override {
        body_.clear();
        records_ = 1;  // the header
        fileBounds_ = Bounds{};
        penMade_ = brushMade_ = fontMade_ = false;
        textColor_ = 0xFFFFFFFF;
        // Logical units are a fraction of a reference pixel.
        const QSize size = device_->size_;
        add(Record(emr::kSetMapMode).u32(kMapModeAnisotropic));
        add(Record(emr::kSetWindowExtEx)
                .i32(size.width() * kSubunits)
                .i32(size.height() * kSubunits));
        add(Record(emr::kSetViewportExtEx).i32(size.width()).i32(size.height()));
        // Text is written at its baseline over whatever lies below.
        add(Record(emr::kSetBkMode).u32(kTransparent));
        add(Record(emr::kSetTextAlign).u32(kTextAlignBaseline));
        return true;
    }

    bool end() override {
        // Leave no object of ours selected, then delete them.
        if (penMade_) add(Record(emr::kSelectObject).u32(kStockBlackPen));
        if (brushMade_) add(Record(emr::kSelectObject).u32(kStockNullBrush));
        if (fontMade_) add(Record(emr::kSelectObject).u32(kStockSystemFont));
        if (penMade_) add(Record(emr::kDeleteObject).u32(kPenSlot));
        if (brushMade_) add(Record(emr::kDeleteObject).u32(kBrushSlot));
        if (fontMade_) add(Record(emr::kDeleteObject).u32(kFontSlot));
        add(Record(emr::kEof).u32(0).u32(16).u32(20));
        device_->bytes_ = header() + body_;
        return true;
    }

    void updateState(const QPaintEngineState& state) override {
        const DirtyFlags flags = state.state();
        if (flags & DirtyPen) pen_ = state.pen();
        if (flags & DirtyBrush) brush_ = state.brush();
        if (flags & DirtyFont) font_ = state.font();
        if (flags & DirtyTransform) transform_ = state.transform();
    }

    void drawLines(const QLineF* lines, int count) override {
        for (int i = 0; i < count; ++i) {
            const QPointF pts[2] = {lines[i].p1(), lines[i].p2()};
            polyRecord(emr::kPolyline, pts, 2);
        }
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        polyRecord(mode == PolylineMode ? emr::kPolyline : emr::kPolygon, points, count);
    }

    void drawRects(const QRectF* rects, int count) override {
        for (int i = 0; i < count; ++i)
            boxRecord(emr::kRectangle, rects[i]);
    }
    void drawEllipse(const QRectF& r) override { boxRecord(emr::kEllipse, r); }

    void drawPath(const QPainterPath& path) override {
        const bool closed = brush_.style() != Qt::NoBrush;
        for (const QPolygonF& part : path.toSubpathPolygons())
            polyRecord(closed ? emr::kPolygon : emr::kPolyline, part.constData(),
                       static_cast<int>(part.size()));
    }

    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QString text = item.text();
        if (text.isEmpty()) return;
        selectFont(item.font());
        const uint32_t color = colorRef(pen_.color());
        if (color != textColor_) {
            add(Record(emr::kSetTextColor).u32(color));
            textColor_ = color;
        }
        const QPointF at = transform_.map(p);
        const int32_t x = toLogical(at.x()), y = toLogical(at.y());
        // Advances of every code unit, so that readers place the characters as we measured.
        const QFontMetricsF metrics(item.font(), device_);
        std::vector<int32_t> dx(static_cast<size_t>(text.size()), 0);
        double run = 0.0;
        int32_t placed = 0;
        for (int i = 0; i < text.size(); ++i) {
            if (text.at(i).isLowSurrogate()) continue;
            const int len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            run += metrics.horizontalAdvance(text.mid(i, len));
            dx[static_cast<size_t>(i)] = toLogical(run) - placed;
            placed = toLogical(run);
        }
        const int32_t width = placed;
        const int32_t ascent = toLogical(metrics.ascent()), descent = toLogical(metrics.descent());
        Bounds box;
        box.add(x, y - ascent);
        box.add(x + width, y + descent);
        fileBounds_.add(box.l, box.t);
        fileBounds_.add(box.r, box.b);
        const Bounds pixels = box.pixels();  // this record's bounds are in device units
        const uint32_t chars = static_cast<uint32_t>(text.size());
        const uint32_t offString = 76;
        const uint32_t offDx = offString + ((chars * 2 + 3) & ~3u);
        Record rec(emr::kExtTextOutW);
        rec.rect(pixels.l, pixels.t, pixels.r, pixels.b).u32(1).f32(0.0f).f32(0.0f);  // no scaling
        rec.i32(x).i32(y).u32(chars).u32(offString).u32(0).rect(0, 0, -1, -1).u32(offDx);
        rec.utf16(text, text.size());
        rec.align();
        for (int32_t d : dx)
            rec.i32(d);
        add(std::move(rec));
    }

    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    Type type() const override { return static_cast<Type>(User + 53); }

private:
    void add(Record record) {
        body_ += record.finish();
        ++records_;
    }

    int32_t penWidth() const {
        if (pen_.style() == Qt::NoPen) return 0;
        return std::max<int32_t>(kSubunits, toLogical(pen_.widthF()));
    }

    void selectPen() {
        const uint32_t style = pen_.style() == Qt::NoPen      ? kPenNull
                               : pen_.style() == Qt::DashLine ? kPenDash
                               : pen_.style() == Qt::DotLine  ? kPenDot
                                                              : kPenSolid;
        const int32_t width = pen_.style() == Qt::NoPen ? 0 : toLogical(pen_.widthF());
        const uint32_t color = colorRef(pen_.color());
        if (penMade_ && style == penStyle_ && width == penWidth_ && color == penColor_) return;
        if (penMade_) {
            add(Record(emr::kSelectObject).u32(kStockBlackPen));
            add(Record(emr::kDeleteObject).u32(kPenSlot));
        }
        add(Record(emr::kCreatePen).u32(kPenSlot).u32(style).i32(width).i32(0).u32(color));
        add(Record(emr::kSelectObject).u32(kPenSlot));
        penMade_ = true;
        penStyle_ = style;
        penWidth_ = width;
        penColor_ = color;
    }

    void selectBrush(bool filled) {
        const bool solid = filled && brush_.style() != Qt::NoBrush;
        const uint32_t color = solid ? colorRef(brush_.color()) : 0xFFFFFFFF;
        if (brushKnown_ && color == brushColor_) return;
        brushKnown_ = true;
        brushColor_ = color;
        if (brushMade_) {
            add(Record(emr::kSelectObject).u32(kStockNullBrush));
            add(Record(emr::kDeleteObject).u32(kBrushSlot));
            brushMade_ = false;
        }
        if (!solid) {
            add(Record(emr::kSelectObject).u32(kStockNullBrush));
            return;
        }
        add(Record(emr::kCreateBrushIndirect).u32(kBrushSlot).u32(0).u32(color).u32(0));
        add(Record(emr::kSelectObject).u32(kBrushSlot));
        brushMade_ = true;
    }

    void selectFont(const QFont& font) {
        int32_t height = toLogical(font.pixelSize());
        if (height <= 0) height = toLogical(font.pointSizeF() * device_->reference_.dpiY() / 72.0);
        const QString face = font.family().left(31);
        const int32_t weight = font.bold() ? 700 : 400;
        const bool italic = font.italic();
        if (fontMade_ && height == fontHeight_ && face == fontFace_ && weight == fontWeight_ &&
            italic == fontItalic_)
            return;
        if (fontMade_) {
            add(Record(emr::kSelectObject).u32(kStockSystemFont));
            add(Record(emr::kDeleteObject).u32(kFontSlot));
        }
        // LOGFONTW (92 bytes) extended to the 320 bytes of the panose form Windows writes.
        Record rec(emr::kExtCreateFontIndirectW);
        rec.u32(kFontSlot);
        rec.i32(-height).i32(0).i32(0).i32(0).i32(weight);  // negative: character height
        rec.u8(italic ? 1 : 0).u8(0).u8(0).u8(1 /* DEFAULT_CHARSET */);
        rec.u8(0).u8(0).u8(0).u8(0);
        rec.utf16(face, 32);
        rec.utf16(face, 64);       // full name
        rec.utf16(QString(), 32);  // style
        for (int i = 0; i < 6; ++i)
            rec.u32(0);  // version, style size, match, reserved, vendor, culture
        for (int i = 0; i < 12; ++i)
            rec.u8(0);  // panose and padding
        add(std::move(rec));
        add(Record(emr::kSelectObject).u32(kFontSlot));
        fontMade_ = true;
        fontHeight_ = height;
        fontFace_ = face;
        fontWeight_ = weight;
        fontItalic_ = italic;
    }

    void polyRecord(uint32_t type, const QPointF* points, int count) {
        if (count < 2) return;
        selectPen();
        if (type == emr::kPolygon) selectBrush(true);
        Bounds box;
        std::vector<std::pair<int32_t, int32_t>> pts;
        pts.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const QPointF q = transform_.map(points[i]);
            pts.emplace_back(toLogical(q.x()), toLogical(q.y()));
            box.add(pts.back().first, pts.back().second);
        }
        const int32_t grow = penWidth() / 2;
        fileBounds_.add(box.l, box.t, grow);
        fileBounds_.add(box.r, box.b, grow);
        Record rec(type);
        rec.rect(box.l, box.t, box.r, box.b).u32(static_cast<uint32_t>(count));
        for (const auto& [x, y] : pts)
            rec.i32(x).i32(y);
        add(std::move(rec));
    }

    void boxRecord(uint32_t type, const QRectF& r) {
        selectPen();
        selectBrush(true);
        const QRectF m = transform_.mapRect(r);
        const int32_t l = toLogical(m.left()), t = toLogical(m.top());
        const int32_t rr = toLogical(m.right()), b = toLogical(m.bottom());
        const int32_t grow = penWidth() / 2;
        fileBounds_.add(l, t, grow);
        fileBounds_.add(rr, b, grow);
        add(Record(type).rect(l, t, rr, b));
    }

    QByteArray header() const {
        const EmfReference& ref = device_->reference_;
        const QString description =
            QStringLiteral("KovView") + QChar(0) + device_->title_ + QChar(0) + QChar(0);
        Record rec(emr::kHeader);
        Bounds b = fileBounds_.pixels();  // the header's bounds are in device units
        if (b.empty()) b = Bounds{0, 0, -1, -1};
        rec.rect(b.l, b.t, b.r, b.b);
        // The frame: the drawing area in 0.01 mm of the reference device.
        const double kx = ref.pixels.width() > 0
                              ? ref.millimetres.width() * 100.0 / ref.pixels.width()
                              : 100.0 * 25.4 / 96.0;
        const double ky = ref.pixels.height() > 0
                              ? ref.millimetres.height() * 100.0 / ref.pixels.height()
                              : 100.0 * 25.4 / 96.0;
        rec.rect(0, 0, rounded(device_->size_.width() * kx), rounded(device_->size_.height() * ky));
        rec.u32(0x464D4520).u32(0x00010000);
        const int descriptionBytes = ((static_cast<int>(description.size()) * 2) + 3) & ~3;
        const uint32_t fileBytes =
            static_cast<uint32_t>(kHeaderSize + descriptionBytes + body_.size());
        rec.u32(fileBytes).u32(static_cast<uint32_t>(records_));
        rec.u16(kHandles).u16(0);
        rec.u32(static_cast<uint32_t>(description.size())).u32(kHeaderSize).u32(0);
        rec.i32(ref.pixels.width()).i32(ref.pixels.height());
        rec.i32(rounded(ref.millimetres.width())).i32(rounded(ref.millimetres.height()));
        rec.u32(0).u32(0).u32(0);  // no pixel format, no OpenGL
        rec.u32(static_cast<uint32_t>(std::lround(ref.millimetres.width() * 1000.0)));
        rec.u32(static_cast<uint32_t>(std::lround(ref.millimetres.height() * 1000.0)));
        rec.utf16(description, static_cast<int>(description.size()));
        return rec.finish();
    }

    EmfDevice* device_;
    QByteArray body_;
    int records_ = 0;
    Bounds fileBounds_;
    QPen pen_;
    QBrush brush_;
    QFont font_;
    QTransform transform_;
    bool penMade_ = false, brushMade_ = false, fontMade_ = false, brushKnown_ = false;
    uint32_t penStyle_ = 0, penColor_ = 0, brushColor_ = 0, textColor_ = 0;
    int32_t penWidth_ = 0, fontHeight_ = 0, fontWeight_ = 0;
    bool fontItalic_ = false;
    QString fontFace_;
};

EmfDevice::EmfDevice(QSize size, const EmfReference& reference, const QString& title)
    : size_(size),
      reference_(reference),
      title_(title),
      engine_(std::make_unique<EmfPaintEngine>(this)) {}

EmfDevice::~EmfDevice() = default;

QPaintEngine* EmfDevice::paintEngine() const {
    return engine_.get();
}

bool EmfDevice::save(const std::string& path, std::string* error) const {
    if (bytes_.isEmpty()) {
        if (error) *error = "nothing was drawn";
        return false;
    }
    return replaceFileAtomically(path, std::string_view(bytes_.constData(), bytes_.size()), error);
}

int EmfDevice::metric(PaintDeviceMetric metric) const {
    switch (metric) {
        case PdmWidth:
            return size_.width();
        case PdmHeight:
            return size_.height();
        case PdmWidthMM:
            return static_cast<int>(std::lround(size_.width() * 25.4 / reference_.dpiX()));
        case PdmHeightMM:
            return static_cast<int>(std::lround(size_.height() * 25.4 / reference_.dpiY()));
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 24;
        case PdmDpiX:
        case PdmPhysicalDpiX:
            return static_cast<int>(std::lround(reference_.dpiX()));
        case PdmDpiY:
        case PdmPhysicalDpiY:
            return static_cast<int>(std::lround(reference_.dpiY()));
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        default:
            return 0;
    }
}

}  // namespace kov
