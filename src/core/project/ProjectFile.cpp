// SPDX-License-Identifier: MIT
#include "core/project/ProjectFile.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>

#include "core/base/AtomicFile.h"
#include "core/base/GeodeticDatum.h"
#include "core/base/HxProgress.h"
#include "core/base/NumberFormat.h"
#include "core/base/PathNames.h"
#include "core/base/PlaneConverter.h"
#include "core/base/TextCodec.h"
#include "core/base/TextScan.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/InternetFetch.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarHImage.h"
#include "core/data/cache/TileCache.h"
#include "core/project/DemLoading.h"
#include "core/project/KovXmlParser.h"
#include "core/project/LayerRegistry.h"
#include "core/project/StoredPath.h"
#include "core/project/TileReadAhead.h"

namespace kov {
namespace {

constexpr const char* kRootName = "MeshProject";
constexpr int kUnexpectedEndTagWarning = 201;

std::string fixedText(double value, int decimals) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string colorText(uint32_t color) {
    return std::to_string(color & 0xFF) + "," + std::to_string((color >> 8) & 0xFF) + "," +
           std::to_string((color >> 16) & 0xFF);
}

// The four parts of the program's version ("2.0.0" is 2.0.0.0).
std::string versionText() {
    int parts[4] = {0, 0, 0, 0};
    std::string_view version = KOV_VERSION;
    for (int i = 0; i < 4 && !version.empty(); ++i) {
        std::from_chars(version.data(), version.data() + version.size(), parts[i]);
        const size_t dot = version.find('.');
        version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
    }
    char text[64];
    std::snprintf(text, sizeof text, "Version %d.%d%d%d", parts[0], parts[1], parts[2], parts[3]);
    return text;
}

// Absolute, as layer paths are written; internet addresses stay as they are.
std::string storedForm(const std::string& path) {
    return path.empty() || isInternetPath(path) ? path : absolutePath(path);
}

// --- reading ---------------------------------------------------------------------------------

std::string elementText(const COXParserElement& element) {
    for (int i = 0; i < element.ChildCount(); ++i) {
        const COXParserObject* child = element.Child(i);
        if (child->Kind() == XmlNodeKind::Text || child->Kind() == XmlNodeKind::CData)
            return child->Text();
    }
    return {};
}

const COXAttribute* findAttribute(const COXParserElement& element, std::string_view name) {
    for (int i = 0; i < element.AttributeCount(); ++i) {
        const COXAttribute* attribute = element.Attribute(i);
        if (equalsIgnoringCase(attribute->name, name)) return attribute;
    }
    return nullptr;
}

int integerOf(const COXAttribute& attribute) {
    return attribute.isInteger ? attribute.intValue : parseLeadingInt(attribute.stringValue);
}

double realOf(const COXAttribute& attribute) {
    return attribute.isInteger ? attribute.intValue : parseLeadingDouble(attribute.stringValue);
}

// "r,g,b" (separated by any of space, comma, CR, LF, TAB); missing parts are 0.
uint32_t colorOfText(std::string_view text) {
    uint32_t channels[3] = {0, 0, 0};
    int index = 0;
    size_t pos = 0;
    while (index < 3 && pos < text.size()) {
        const size_t start = text.find_first_not_of(" ,\r\n\t", pos);
        if (start == std::string_view::npos) break;
        size_t end = text.find_first_of(" ,\r\n\t", start);
        if (end == std::string_view::npos) end = text.size();
        channels[index++] = static_cast<uint32_t>(parseLeadingInt(text.substr(start, end - start)));
        pos = end;
    }
    return (channels[0] & 0xFF) | ((channels[1] & 0xFF) << 8) | ((channels[2] & 0xFF) << 16);
}

uint32_t colorOf(const COXAttribute& attribute) {
    return attribute.isInteger ? 0 : colorOfText(attribute.stringValue);
}

struct MeshEntry {
    std::string path;
    double upp = 0.0;
};

class ProjectReader {
public:
    ProjectReader(HMeshProject& project, const std::string& path, HxProgress* progress,
                  LoadReport& report, const DemSettings& dem)
        : project_(project), path_(path), progress_(progress), report_(report), dem_(dem) {}

    // Every MeshProject element (root name compared exactly), in document order, adds its
    // layers. The walk is iterative: the tree's depth is the file's to choose.
    void walk(const COXParserElement& root) {
        std::vector<std::pair<const COXParserElement*, int>> stack{{&root, 0}};
        while (!stack.empty()) {
            auto& [element, next] = stack.back();
            if (next == 0 && element->Name() == kRootName) {
                foundProject_ = true;
                ReadProjectElement(*element);
                stack.pop_back();
                continue;
            }
            if (next >= element->ChildCount()) {
                stack.pop_back();
                continue;
            }
            const COXParserObject* child = element->Child(next++);
            if (child->Kind() == XmlNodeKind::Element)
                stack.emplace_back(static_cast<const COXParserElement*>(child), 0);
        }
    }

    bool foundProject() const { return foundProject_; }

private:
    void ReadProjectElement(const COXParserElement& element) {
        std::vector<MeshEntry> meshes;
        std::vector<std::string> images, shapes;
        for (int i = 0; i < element.ChildCount(); ++i) {
            const COXParserObject* node = element.Child(i);
            if (node->Kind() != XmlNodeKind::Element) continue;
            const auto& child = static_cast<const COXParserElement&>(*node);
            const std::string& name = child.Name();
            auto attribute = [&](std::string_view key) { return findAttribute(child, key); };
            if (equalsIgnoringCase(name, "Title")) {
                project_.projectTitle = elementText(child);
            } else if (equalsIgnoringCase(name, "Zukaku")) {
                project_.showSheetInfo = parseLeadingInt(elementText(child));
            } else if (equalsIgnoringCase(name, "Image")) {
                if (auto* a = attribute("Disp")) project_.imageVisible = integerOf(*a);
                if (auto* a = attribute("Alpha")) project_.imageTransparency = integerOf(*a);
            } else if (equalsIgnoringCase(name, "Mesh")) {
                const COXAttribute* upp = attribute("UPP");
                meshes.push_back({elementText(child), upp ? realOf(*upp) : 0.0});
            } else if (equalsIgnoringCase(name, "Zone")) {
                // The zone of the meshes placed from elevation sources; the caller's choice wins.
                const int zone = parseLeadingInt(elementText(child));
                if (!dem_.zone && zone >= 1 && zone <= kZoneCount) dem_.zone = zone;
                if (auto* a = attribute("Datum"); a && dem_.datum == GeodeticDatum::kUnstated)
                    dem_.datum = datumOfText(a->stringValue);
            } else if (equalsIgnoringCase(name, "IMesh")) {
                images.push_back(elementText(child));
            } else if (equalsIgnoringCase(name, "Shp")) {
                shapes.push_back(elementText(child));
            } else if (equalsIgnoringCase(name, "ColorMap")) {
                readColorMap(child);
            } else if (equalsIgnoringCase(name, "StepColor")) {
                if (auto* a = attribute("Enable")) project_.stepMode = integerOf(*a);
                if (auto* a = attribute("Step")) project_.stepHeight = realOf(*a);
            } else if (equalsIgnoringCase(name, "ShapeDisp")) {
                if (auto* a = attribute("PenWidth")) project_.shapePenWidth = realOf(*a);
                if (auto* a = attribute("PenColor")) project_.shapePenColor = colorOf(*a);
                if (auto* a = attribute("FillAlpha")) project_.shapeFillAlpha = integerOf(*a);
                if (auto* a = attribute("FillColor")) project_.shapeFillColor = colorOf(*a);
            }
        }
        LoadLayers(meshes, images, shapes);
    }

    // The first two stops of slot 0 take the file's colours and heights; the map keeps exactly
    // these two stops.
    void readColorMap(const COXParserElement& element) {
        ZarHColorMap& map = *project_.GetColorMap(0);
        std::array<ColorStop, 2> stops = map.firstTwoStops();
        const char* colorKeys[2] = {"C0", "C1"};
        const char* heightKeys[2] = {"H0", "H1"};
        for (int i = 0; i < 2; ++i) {
            if (auto* a = findAttribute(element, colorKeys[i])) stops[i].color = colorOf(*a);
            if (auto* a = findAttribute(element, heightKeys[i])) stops[i].height = realOf(*a);
        }
        if (auto* a = findAttribute(element, "Rvs")) stops[0].reverse = integerOf(*a);
        map.setStops(stops.data(), 2);
    }

    // The file a stored path names now; nothing (and listed as missing) when it is not found.
    std::optional<std::string> resolve(const std::string& stored) {
        ResolvedPath resolved = ResolveStoredPath(stored, path_);
        if (!resolved.found) {
            report_.missing.push_back(stored);
            return std::nullopt;
        }
        return std::move(resolved.path);
    }

    // Adds the layer, or lists it as unreadable, duplicate or over the memory budget.
    void add(const std::string& path, LayerKind kind, LoadedLayer layer) {
        if (!layer.loaded())
            report_.unreadable.push_back({path, std::move(layer.reason), layer.problem, kind});
        else if (addLayer(project_, layer))
            return;
        else if (project_.lastRefusal() == HMeshProject::Refusal::MemoryBudget)
            report_.overBudget.push_back(path);
        else
            report_.duplicates.push_back(path);
    }

    void LoadLayers(const std::vector<MeshEntry>& meshes, const std::vector<std::string>& images,
                    const std::vector<std::string>& shapes) {
        // The meshes to read, found first so that their tiles can be read ahead.
        struct MeshToRead {
            std::string path;
            LayerKind kind;
            double upp;
        };
        std::vector<MeshToRead> toRead;
        std::vector<DemRequest> demSources;
        for (const MeshEntry& mesh : meshes) {
            std::optional<std::string> path = resolve(mesh.path);
            if (!path) continue;
            const LayerKind kind = layerKindOfPath(*path);
            if (!isMeshKind(kind)) {
                report_.unreadable.push_back(
                    {*path, "not an elevation mesh file", LoadProblem::NotAMeshFile, kind});
                continue;
            }
            // A tile read again would be refused as a duplicate: it is not read at all. A DSM
            // file gridded (or a source placed) at another cell size is another mesh.
            const double cellSize = kind == LayerKind::MeshTile ? 0.0 : mesh.upp;
            if (!loadedMeshes_.emplace(*path, cellSize).second) {
                report_.duplicates.push_back(*path);
                continue;
            }
            if (kind == LayerKind::DemSource)
                demSources.push_back({std::move(*path), dem_.cellSize ? 0.0 : mesh.upp});
            else
                toRead.push_back({std::move(*path), kind, mesh.upp});
        }
        std::vector<std::string> paths;
        for (const MeshToRead& mesh : toRead)
            paths.push_back(mesh.path);
        TileReadAhead readAhead(paths);
        const int count = static_cast<int>(toRead.size());
        // Each report may repaint the window: once a tile made 100,000 tiles' load far slower.
        const long long mask = progress_ ? progress_->StepMask(count) : 0;
        for (int i = 0; i < count; ++i) {
            const MeshToRead& mesh = toRead[static_cast<size_t>(i)];
            if (progress_ && (i & mask) == 0) {
                progress_->SetPos(i, count);
                progress_->SetText(baseName(mesh.path));
            }
            std::optional<LoadedLayer> ahead = readAhead.take(static_cast<size_t>(i));
            add(mesh.path, mesh.kind,
                ahead ? std::move(*ahead) : loadLayer(mesh.path, mesh.kind, mesh.upp, progress_));
        }
        if (const std::shared_ptr<TileCache> cache = TileCache::active()) cache->saveIndexes();
        // After the tiles, whose zone the sources then take.
        if (!demSources.empty()) loadDemSources(demSources, dem_, project_, report_, progress_);
        for (const std::string& stored : images) {
            const auto path = resolve(stored);
            if (!path) continue;
            if (!loadedImages_.insert(*path).second) {  // it would be refused as well
                report_.duplicates.push_back(*path);
                continue;
            }
            add(*path, LayerKind::Image, loadLayer(*path, LayerKind::Image, 0.0, nullptr));
        }
        for (const std::string& stored : shapes)
            if (const auto path = resolve(stored))
                add(*path, LayerKind::Shapefile,
                    loadLayer(*path, LayerKind::Shapefile, 0.0, nullptr));
    }

    HMeshProject& project_;
    // The files read so far (meshes with their DSM cell size).
    std::set<std::pair<std::string, double>> loadedMeshes_;
    std::unordered_set<std::string> loadedImages_;
    const std::string& path_;
    HxProgress* progress_;
    LoadReport& report_;
    DemSettings dem_;
    bool foundProject_ = false;
};

}  // namespace

std::string escapeProjectText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '&':
                out += "&amp;";
                break;
            default:
                if (c < 0x20) {
                    char reference[8];
                    std::snprintf(reference, sizeof reference, "&#%02d;", c);
                    out += reference;
                } else {
                    out += ch;  // bytes of multi-byte characters are all above 0x7F
                }
        }
    }
    return out;
}

std::string projectFileComment() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[160];
    std::snprintf(text, sizeof text, "<!-- Generated by KovV3 %s on %d/%02d/%04d %d:%02d -->",
                  versionText().c_str(), local.tm_mon + 1, local.tm_mday, local.tm_year + 1900,
                  local.tm_hour, local.tm_min);
    return text;
}

std::string projectFileText(const HMeshProject& project, const std::string& comment,
                            const char* encoding) {
    const std::string eol = "\r\n";
    std::string text;
    text += std::string("<?xml version='1.0' encoding='") + encoding + "'?>" + eol;
    text += comment + eol + eol;
    text += "<MeshProject>" + eol;
    text += "\t<Title>" + escapeProjectText(project.projectTitle) + "</Title>" + eol;
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh& mesh = *project.GetMesh(i);
        text += "\t<Mesh UPP=\"" + formatShort(mesh.cellSize, 2) + "\">" +
                escapeProjectText(storedForm(mesh.path)) + "</Mesh>" + eol;
    }
    for (int i = 0; i < project.imageCount(); ++i) {
        // Images made in memory (flood results) have no file to name.
        if (project.GetImage(i)->path.empty()) continue;
        text += "\t<IMesh>" + escapeProjectText(storedForm(project.GetImage(i)->path)) +
                "</IMesh>" + eol;
    }
    for (int i = 0; i < project.shapeCount(); ++i)
        text +=
            "\t<Shp>" + escapeProjectText(storedForm(project.GetShape(i)->path)) + "</Shp>" + eol;
    text += "\t<Zukaku>" + std::to_string(project.showSheetInfo) + "</Zukaku>" + eol;
    // Meshes placed from elevation sources need their zone again; only their projects say it.
    if (const ZarHMesh* placed = firstPlacedMesh(project)) {
        const char* datum = datumName(placed->datum);
        text += "\t<Zone Datum=\"" + std::string(*datum ? datum : "JGD2011") + "\">" +
                std::to_string(placed->zone) + "</Zone>" + eol;
    }

    const ZarHColorMap* map = project.colorMapSlot(0);
    const auto [first, second] = map ? map->firstTwoStops() : ZarHColorMap().firstTwoStops();
    text += "\t<ColorMap C0=\"" + colorText(first.color) + "\" H0=\"" +
            formatShort(first.height, 2) + "\" C1=\"" + colorText(second.color) + "\" H1=\"" +
            formatShort(second.height, 2) + "\" Rvs=\"" + std::to_string(first.reverse) + "\"/>" +
            eol;
    text += "\t<StepColor Enable=\"" + std::to_string(project.stepMode) + "\" Step=\"" +
            fixedText(project.stepHeight, 1) + "\" />" + eol + eol;
    text += "\t<Image Disp=\"" + std::to_string(project.imageVisible) + "\" Alpha=\"" +
            std::to_string(project.imageTransparency) + "\" />" + eol;
    text += "\t<ShapeDisp PenWidth=\"" + fixedText(project.shapePenWidth, 2) + "\" PenColor=\"" +
            colorText(project.shapePenColor) + "\" FillAlpha=\"" +
            std::to_string(project.shapeFillAlpha) + "\" FillColor=\"" +
            colorText(project.shapeFillColor) + "\" />" + eol;
    text += "</MeshProject>" + eol + eol + eol;
    text += comment + eol;
    return text;
}

bool isProjectFilePath(const std::string& path) {
    const std::string extension = fileExtension(path);
    return equalsIgnoringCase(extension, ".kovv5") || equalsIgnoringCase(extension, ".kovv");
}

bool LoadProjectFile(HMeshProject& project, const std::string& path, HxProgress* progress,
                     ProjectLoadReport* report, const DemSettings& dem) {
    const FolderListingScope listings;  // each folder is listed at most once per load
    const FetchLoadScope fetches;       // and its internet files share one time limit
    ProjectLoadReport unused;
    ProjectLoadReport& out = report ? *report : unused;
    out = ProjectLoadReport();
    auto fail = [&](LoadProblem problem, std::string text) {
        out.problem = problem;
        out.problemText = std::move(text);
        project.projectPath = path;
        return false;
    };
    std::string unreadable;
    if (const LoadProblem problem = fileProblem(path, KovXmlParser::kMaxFileBytes, &unreadable);
        problem != LoadProblem::None)
        return fail(problem, unreadable);
    KovXmlParser parser;
    // A rejected file leaves an empty or partial tree; both are walked. A file that is no XML
    // document at all has no errors, and no tree to walk.
    const bool parsed = parser.ParseFile(path, &unreadable);
    if (!parsed && parser.Errors().empty()) {
        if (!unreadable.empty()) return fail(LoadProblem::ReadError, unreadable);
        return fail(LoadProblem::NotXml, "not an XML document (it does not begin with <?xml)");
    }
    if (!parsed) {
        out.damaged = true;
        // The error that ended the parse; warnings (unexpected end tags) went on.
        for (const COXParser::Error& error : parser.Errors()) {
            if (error.code == kUnexpectedEndTagWarning) continue;
            out.errorCode = error.code;
            out.errorLine = error.line;
            out.errorColumn = error.column;
            out.errorText = error.message;
            break;
        }
    }
    ProjectReader reader(project, path, progress, out, dem);
    if (parser.Root()) reader.walk(*parser.Root());
    project.projectPath = path;
    project.UpdateExtent();  // the project zone is the first mesh's in file order
    // Every consumer (the view, kovtool, profiles, the flood fill) sees one order: finer meshes
    // last, so that they answer first, whatever order a hand-made file lists them in.
    project.SortMeshes();
    if (project.meshCount() > 0) return true;
    if (!reader.foundProject())
        return fail(LoadProblem::NotAProject, "no <" + std::string(kRootName) + "> element");
    return fail(LoadProblem::NoMesh, "none of its elevation meshes could be read");
}

bool SaveProjectFile(HMeshProject& project, const std::string& path, std::string* error) {
    const std::string comment = projectFileComment();
    std::string bytes;
    // Shift_JIS as the Windows edition writes it; UTF-8 only when some text has no CP932 form.
    if (!utf8ToCp932(projectFileText(project, comment, "Shift_JIS"), bytes))
        bytes = projectFileText(project, comment, "UTF-8");

    // The previous file survives every failure; concurrent saves never mix.
    if (!replaceFileAtomically(path, bytes, error)) return false;
    project.projectPath = path;
    return true;
}

}  // namespace kov
