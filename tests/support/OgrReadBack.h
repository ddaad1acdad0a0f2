// Vector files read back through OGR's own tools (not our readers): a layer converted to
// GeoJSON by ogr2ogr, in the file's own coordinates, with its coordinate system named.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <string>

#include "support/TestSupport.h"

namespace kov::test {

struct OgrLayer {
    QJsonArray features;  // GeoJSON features: "geometry", "properties" (null kept as null)
    std::string crs;      // "urn:ogc:def:crs:EPSG::6677"; empty when OGR found no code
    bool read = false;    // ogr2ogr opened the file and wrote GeoJSON
};

// The layer (the only or first one when layer is empty) of the file at path.
inline OgrLayer readOgrLayer(const std::string& path, const std::string& layer = {}) {
    int code = -1;
    const std::string json =
        runCommand("ogr2ogr -f GeoJSON /vsistdout/ '" + path + "' " +
                       (layer.empty() ? "" : "'" + layer + "'") + " 2>/dev/null",
                   &code);
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    OgrLayer out;
    out.read = code == 0 && root.contains(QStringLiteral("features"));
    out.features = root.value(QStringLiteral("features")).toArray();
    out.crs = root.value(QStringLiteral("crs"))
                  .toObject()
                  .value(QStringLiteral("properties"))
                  .toObject()
                  .value(QStringLiteral("name"))
                  .toString()
                  .toStdString();
    return out;
}

inline QJsonObject propertiesOf(const QJsonArray& features, qsizetype i) {
    return features.at(i).toObject().value(QStringLiteral("properties")).toObject();
}

inline QJsonArray coordinatesOf(const QJsonArray& features, qsizetype i) {
    return features.at(i)
        .toObject()
        .value(QStringLiteral("geometry"))
        .toObject()
        .value(QStringLiteral("coordinates"))
        .toArray();
}

}  // namespace kov::test
