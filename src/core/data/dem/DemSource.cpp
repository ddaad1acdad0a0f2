// SPDX-License-Identifier: MIT
#include "core/data/dem/DemSource.h"

#include <fstream>

#include "core/base/PathNames.h"
#include "core/data/HxFile.h"
#include "core/data/dem/FgGmlReader.h"
#include "core/data/dem/RasterDem.h"
#include "core/data/dem/RasterProbeCache.h"
#include "core/data/dem/ZipArchive.h"

namespace kov {
namespace {

// The envelope of an FG-GML DEM file stands within its first few kilobytes.
constexpr size_t kProbeBytes = 16384;

std::string readHead(const std::string& path) {
    if (!isReadableFile(path)) return {};
    std::ifstream in(path, std::ios::binary);
    std::string head(kProbeBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

bool isXmlHead(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    return head.substr(0, 5) == "<?xml";
}

void setCentre(DemProbe& probe, const FgGmlHeader& header) {
    probe.hasCentre = true;
    probe.latitude = (header.south + header.north) / 2;
    probe.longitude = (header.west + header.east) / 2;
}

// A zip is an FG-GML source when it holds XML files or zips (whose content is judged when they
// are read: a member that is no FG-GML DEM is named then).
DemProbe probeZip(const std::string& path) {
    DemProbe probe;
    std::string error;
    const auto archive = ZipArchive::openFile(path, &error);
    if (!archive) {
        probe.why = "a zip file that cannot be opened: " + error;
        return probe;
    }
    for (const ZipArchive::Entry& entry : archive->entries()) {
        const std::string extension = fileExtension(entry.name);
        if (entry.directory) continue;
        if (equalsIgnoringCase(extension, ".xml") || equalsIgnoringCase(extension, ".zip")) {
            probe.kind = DemFileKind::FgGmlZip;
            return probe;
        }
    }
    probe.why = "a zip file without FG-GML DEM files";
    return probe;
}

}  // namespace

DemProbe probeDemFile(const std::string& path) {
    DemProbe probe;
    if (isInternetPath(path)) return probe;
    ArchivePath inArchive;
    if (splitArchivePath(path, inArchive)) {
        // A member of a zip: what it holds is judged when it is read.
        const std::string& last = inArchive.members.back();
        if (equalsIgnoringCase(fileExtension(last), ".xml"))
            probe.kind = DemFileKind::FgGml;
        else
            probe.why = "a zip member that is not an XML file";
        return probe;
    }
    const std::string head = readHead(path);
    if (head.empty()) return probe;
    if (looksLikeZip(head)) return probeZip(path);
    if (looksLikeFgGmlDem(head)) {
        probe.kind = DemFileKind::FgGml;
        FgGmlHeader header;
        if (readFgGmlHeader(head, header, nullptr)) setCentre(probe, header);
        return probe;
    }
    if (isXmlHead(head)) {
        probe.why = "an XML file that is not an FG-GML DEM";
        return probe;
    }
    const RasterProbe raster = probeRasterCached(path);
    switch (raster.role) {
        case RasterRole::Elevation:
            probe.kind = DemFileKind::RasterDem;
            probe.hasCentre = raster.hasCentre;
            probe.latitude = raster.centreLatitude;
            probe.longitude = raster.centreLongitude;
            break;
        case RasterRole::Picture:
            probe.why =
                "a " + raster.driver + " picture (" + raster.why + "), not an elevation raster";
            break;
        case RasterRole::NotRaster:
            if (raster.gdalMissing) probe.why = raster.why;
            // A raster GDAL reads but of no kind we use (one band of UInt32, complex numbers).
            if (!raster.driver.empty() && !raster.why.empty())
                probe.why = "a " + raster.driver + " raster of " + raster.why;
            break;
    }
    return probe;
}

}  // namespace kov
