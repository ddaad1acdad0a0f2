// SPDX-License-Identifier: MIT
// An enhanced metafile (EMF) as a paint device: what a QPainter draws on it (pens, brushes,
// lines, polylines, polygons, rectangles, ellipses, paths as polylines and text) becomes EMF
// records in logical units of a sixteenth of a reference device's pixel. Pictures are not
// recorded.
#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <memory>
#include <string>

namespace kov {

class EmfPaintEngine;

// The device the metafile refers to: its size in pixels and in millimetres (a screen of
// 1920 x 1080 pixels at 96 dpi: 508 x 285.75 mm). The resolution follows from the two.
struct EmfReference {
    QSize pixels{1920, 1080};
    QSizeF millimetres{508.0, 285.75};
    double dpiX() const;
    double dpiY() const;
};

class EmfDevice : public QPaintDevice {
public:
    // size: the drawing area in reference pixels (the header's frame); title: the second part
    // of the description "KovView\0<title>\0\0".
    EmfDevice(QSize size, const EmfReference& reference, const QString& title);
    ~EmfDevice() override;

    QPaintEngine* paintEngine() const override;
    // The whole file once the painter has ended; empty before.
    const QByteArray& bytes() const { return bytes_; }
    // Writes the finished file (atomically); false with the reason when it cannot.
    bool save(const std::string& path, std::string* error = nullptr) const;

    QSize size() const { return size_; }
    const EmfReference& reference() const { return reference_; }
    const QString& title() const { return title_; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    friend class EmfPaintEngine;
    QSize size_;
    EmfReference reference_;
    QString title_;
    QByteArray bytes_;
    std::unique_ptr<EmfPaintEngine> engine_;
};

// Record types the writer uses (the [MS-EMF] numbers).
namespace emr {
inline constexpr uint32_t kHeader = 1;
inline constexpr uint32_t kPolygon = 3;
inline constexpr uint32_t kPolyline = 4;
inline constexpr uint32_t kSetWindowExtEx = 9;
inline constexpr uint32_t kSetViewportExtEx = 11;
inline constexpr uint32_t kEof = 14;
inline constexpr uint32_t kSetMapMode = 17;
inline constexpr uint32_t kSetBkMode = 18;
inline constexpr uint32_t kSetTextAlign = 22;
inline constexpr uint32_t kSetTextColor = 24;
inline constexpr uint32_t kSelectObject = 37;
inline constexpr uint32_t kCreatePen = 38;
inline constexpr uint32_t kCreateBrushIndirect = 39;
inline constexpr uint32_t kDeleteObject = 40;
inline constexpr uint32_t kEllipse = 42;
inline constexpr uint32_t kRectangle = 43;
inline constexpr uint32_t kExtCreateFontIndirectW = 82;
inline constexpr uint32_t kExtTextOutW = 84;
}  // namespace emr

}  // namespace kov
