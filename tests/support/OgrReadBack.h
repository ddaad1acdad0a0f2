// SPDX-License-Identifier: MIT
// Vector files read back through OGR's own tool, not our readers: a layer converted to GeoJSON
// by ogr2ogr, in the file's own coordinates, with the code of its coordinate system.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <string>

#include "support/TestSupport.h"

namespace kov::test {

struct OgrLayer {
    QJsonArray features;  // GeoJSON features (empty when ogr2ogr could not read the file)
    std::string crs;      // "urn:ogc:def:crs:EPSG::6677"; empty when OGR found no code
};

// The named layer of the file (the first one when no name is given).
inline OgrLayer readOgrLayer(const std::string& path, const std::string& layer = {}) {
    const std::string json = runCommand("ogr2ogr -f GeoJSON /vsistdout/ '" + path + "'" +
                                        (layer.empty() ? "" : " '" + layer + "'") + " 2>/dev/null");
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    const QJsonValue crs = root["crs"]["properties"]["name"];
    return {root["features"].toArray(), crs.toString().toStdString()};
}

inline QJsonObject propertiesOf(const QJsonArray& features, qsizetype i) {
    return features[i]["properties"].toObject();
}

inline QJsonArray coordinatesOf(const QJsonArray& features, qsizetype i) {
    return features[i]["geometry"]["coordinates"].toArray();
}

}  // namespace kov::test
