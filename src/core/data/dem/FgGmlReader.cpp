// SPDX-License-Identifier: MIT
#include "core/data/dem/FgGmlReader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/data/dem/FgGmlTuples.h"

namespace kov {
namespace {

constexpr std::string_view kFgdNamespace = "http://fgd.gsi.go.jp/spec/2008/FGD_GMLSchema";
constexpr size_t kMaxFieldBytes = 256;   // the text of one header element
constexpr int kChunkBytes = 1 << 20;     // what the parser is handed at a time
constexpr double kArcSecondMetres = 25;  // nominal: a 0.2" grid is the 5 m DEM

// Japan and its seas, degrees: an envelope outside is refused.
constexpr double kSouthmost = 20, kNorthmost = 46, kWestmost = 122, kEastmost = 154;

// The header elements whose text the reader keeps.
enum Field {
    kMesh,
    kType,
    kLowerCorner,
    kUpperCorner,
    kGridLow,
    kGridHigh,
    kSequence,
    kStart,
    kFieldCount
};
constexpr const char* kFieldNames[kFieldCount] = {"mesh", "type", "lowerCorner",  "upperCorner",
                                                  "low",  "high", "sequenceRule", "startPoint"};

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Whitespace-separated numbers into out: exactly count of them, or false.
template <typename Number>
bool parseNumbers(std::string_view text, std::vector<Number>& out, size_t count) {
    out.clear();
    size_t at = 0;
    while (true) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string_view::npos) break;
        size_t end = text.find_first_of(" \t\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        Number value{};
        const auto result = std::from_chars(text.data() + at, text.data() + end, value);
        if (result.ec != std::errc() || result.ptr != text.data() + end) return false;
        if constexpr (std::is_floating_point_v<Number>) {
            if (!std::isfinite(value)) return false;
        }
        out.push_back(value);
        if (out.size() > count) return false;
        at = end;
    }
    return out.size() == count;
}

// What the parse collects from the SAX events.
struct DemParse {
    xmlParserCtxtPtr context = nullptr;
    bool headerOnly = false;
    std::string error;  // the first fault, ours or the parser's
    bool stopped = false;

    int depth = 0;
    bool rootChecked = false;
    int demDepth = 0;  // depth of the DEM element while inside it, else 0
    int demCount = 0;
    int field = -1;  // the header element whose text is being kept
    std::string texts[kFieldCount];
    bool seen[kFieldCount] = {};  // read to their end tags
    std::string srsName;
    bool sawSrsName = false;
    std::string sequenceOrder;
    bool sawTuples = false;
    bool inTuples = false;
    bool headerDone = false;  // the tuple list began: everything before it was seen
    FgGmlHeader header;
    TupleList tuples;
    // The fast route: the list's text was cut out of the document and a marker put in its place
    // (see parseSpliced); presetText is that text, markers counts the markers the parse met.
    std::string_view presetText;
    bool preset = false;
    int markers = 0;

    void fail(std::string reason) {
        if (error.empty()) error = std::move(reason);
        stopped = true;
        xmlStopParser(context);
    }
    long line() const { return xmlSAX2GetLineNumber(context); }
};

bool fillHeader(DemParse& parse);

std::string_view attribute(int count, const xmlChar** attributes, std::string_view name) {
    for (int i = 0; i < count; ++i) {
        const xmlChar** a = attributes + 5 * i;  // localname, prefix, URI, value, end
        if (view(a[0]) == name) {
            return std::string_view(reinterpret_cast<const char*>(a[3]),
                                    static_cast<size_t>(a[4] - a[3]));
        }
    }
    return {};
}

bool hasAttribute(int count, const xmlChar** attributes, std::string_view name) {
    for (int i = 0; i < count; ++i)
        if (view(attributes[5 * i]) == name) return true;
    return false;
}

void beginTuples(DemParse& parse) {
    if (parse.sawTuples) return parse.fail("the document holds more than one tuple list");
    parse.sawTuples = true;
    if (!fillHeader(parse)) return parse.fail(parse.error);
    parse.headerDone = true;
    if (parse.headerOnly) {
        parse.stopped = true;
        xmlStopParser(parse.context);
        return;
    }
    parse.inTuples = true;
    parse.tuples.begin(int64_t{parse.header.cols} * parse.header.rows, parse.line(),
                       parse.presetText.size());
    if (parse.preset && !(parse.tuples.feed(parse.presetText) && parse.tuples.finish()))
        parse.fail(parse.tuples.error());
}

void onStartElement(void* user, const xmlChar* localname, const xmlChar*, const xmlChar* uri, int,
                    const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
    auto& parse = *static_cast<DemParse*>(user);
    if (parse.stopped) return;
    ++parse.depth;
    const std::string_view name = view(localname);
    if (!parse.rootChecked) {
        parse.rootChecked = true;
        if (name != "Dataset" || view(uri) != kFgdNamespace)
            return parse.fail("not an FG-GML document: its root is not an FGD Dataset");
    }
    if (parse.field >= 0 || parse.inTuples)
        return parse.fail("unexpected element <" + std::string(name) + "> at line " +
                          std::to_string(parse.line()));
    if (name == "DEM") {
        if (parse.demDepth) return parse.fail("a DEM element inside a DEM element");
        if (++parse.demCount > 1) return parse.fail("the document holds more than one DEM");
        parse.demDepth = parse.depth;
        return;
    }
    if (!parse.demDepth) return;
    if (name == "Envelope") {
        if (parse.sawSrsName) return parse.fail("the DEM has more than one envelope");
        parse.sawSrsName = hasAttribute(attributeCount, attributes, "srsName");
        parse.srsName = trimmed(attribute(attributeCount, attributes, "srsName"));
        if (!parse.sawSrsName) return parse.fail("the envelope names no srsName");
        return;
    }
    if (name == "tupleList") return beginTuples(parse);
    for (int f = 0; f < kFieldCount; ++f) {
        if (name != kFieldNames[f]) continue;
        if (parse.seen[f])
            return parse.fail("more than one <" + std::string(name) + "> at line " +
                              std::to_string(parse.line()));
        parse.field = f;
        if (f == kSequence)
            parse.sequenceOrder = trimmed(attribute(attributeCount, attributes, "order"));
        return;
    }
}

void onEndElement(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto& parse = *static_cast<DemParse*>(user);
    if (parse.stopped) return;
    if (parse.inTuples) {
        parse.inTuples = false;
        if (!parse.preset && !parse.tuples.finish()) return parse.fail(parse.tuples.error());
    }
    // A field counts once its end tag is read: a head cut inside it does not hold it.
    if (parse.field >= 0) parse.seen[parse.field] = true;
    parse.field = -1;
    if (parse.depth == parse.demDepth) parse.demDepth = 0;
    --parse.depth;
}

void onCharacters(void* user, const xmlChar* text, int length) {
    auto& parse = *static_cast<DemParse*>(user);
    if (parse.stopped) return;
    const std::string_view chunk(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    if (parse.inTuples) {
        if (parse.preset) return parse.fail("text beside the tuple list's marker");
        if (!parse.tuples.feed(chunk)) parse.fail(parse.tuples.error());
        return;
    }
    if (parse.field < 0) return;
    std::string& kept = parse.texts[parse.field];
    if (kept.size() + chunk.size() > kMaxFieldBytes)
        return parse.fail("the <" + std::string(kFieldNames[parse.field]) + "> element at line " +
                          std::to_string(parse.line()) + " is too long");
    kept.append(chunk);
}

constexpr std::string_view kMarker = "kov-tuples";

void onProcessingInstruction(void* user, const xmlChar* target, const xmlChar*) {
    auto& parse = *static_cast<DemParse*>(user);
    if (parse.stopped || view(target) != kMarker) return;
    ++parse.markers;
    if (!parse.preset || !parse.inTuples || parse.markers > 1)
        parse.fail("a tuple list marker out of place");
}

// A document type declaration could declare entities: FG-GML files have none, so none is read.
void onInternalSubset(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
    static_cast<DemParse*>(user)->fail("the document has a document type declaration");
}

void onXmlError(void* user, xmlErrorPtr error) {
    auto& parse = *static_cast<DemParse*>(user);
    if (!error || error->level < XML_ERR_ERROR || !parse.error.empty()) return;
    std::string message(error->message ? trimmed(error->message) : "unknown fault");
    parse.error = "malformed XML at line " + std::to_string(error->line) + ": " + message;
}

void ignoreMessage(void*, const char*, ...) {}

bool isUtf8(const xmlChar* declared) {
    if (!declared) return true;
    std::string name(view(declared));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name == "UTF-8" || name == "UTF8";
}

std::string haltText(int status) {
    if (status == XML_ERR_INVALID_ENCODING || status == XML_ERR_UNSUPPORTED_ENCODING ||
        status == XML_I18N_CONV_FAILED) {
        return "malformed XML: the bytes are not in the document's encoding";
    }
    return "malformed XML (libxml2 error " + std::to_string(status) + ")";
}

// libxml2 reports a few faults (encoding conversion) only to its generic error function, which
// prints; readers never print, so it is silenced on this thread while a document is parsed.
class QuietGenericErrors {
public:
    QuietGenericErrors() : function_(xmlGenericError), context_(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, ignoreMessage);
    }
    ~QuietGenericErrors() { xmlSetGenericErrorFunc(context_, function_); }
    QuietGenericErrors(const QuietGenericErrors&) = delete;
    QuietGenericErrors& operator=(const QuietGenericErrors&) = delete;

private:
    xmlGenericErrorFunc function_;
    void* context_;
};

struct ContextFree {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

// Runs the SAX parse over text; the whole of it, or (headerOnly) up to the tuple list.
bool runParse(std::string_view text, DemParse& parse) {
    // Documents are parsed on several threads at once: libxml2 is set up once, before any.
    static std::once_flag initialised;
    std::call_once(initialised, xmlInitParser);
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = onStartElement;
    sax.endElementNs = onEndElement;
    sax.characters = onCharacters;
    sax.ignorableWhitespace = onCharacters;
    sax.internalSubset = onInternalSubset;
    sax.processingInstruction = onProcessingInstruction;
    sax.serror = onXmlError;
    sax.error = ignoreMessage;
    sax.warning = ignoreMessage;
    std::unique_ptr<xmlParserCtxt, ContextFree> context(
        xmlCreatePushParserCtxt(&sax, &parse, nullptr, 0, nullptr));
    if (!context) {
        parse.error = "out of memory";
        return false;
    }
    xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOCDATA);
    parse.context = context.get();
    const QuietGenericErrors quiet;
    size_t at = 0;
    int status = 0;
    do {
        const size_t size = std::min(text.size() - at, static_cast<size_t>(kChunkBytes));
        const bool last = at + size == text.size() && !parse.headerOnly;
        status = xmlParseChunk(context.get(), text.data() + at, static_cast<int>(size), last);
        at += size;
    } while (at < text.size() && !parse.stopped && parse.error.empty() && status == 0);
    // Some faults (bytes not in the declared encoding) halt the parser without an error event.
    if (status != 0 && !parse.stopped && parse.error.empty()) parse.error = haltText(status);
    if (parse.headerOnly) return parse.headerDone || fillHeader(parse);
    if (parse.error.empty() && !context->wellFormed) parse.error = "malformed XML";
    if (parse.preset && parse.error.empty() && !isUtf8(context->encoding))
        parse.error = "not UTF-8";
    return parse.error.empty();
}

// The fast route for the common document: libxml2 checks the document with the tuple list's
// text cut out and a marker in its place, and the list is read straight from the text. It is
// taken only when it gives what the full parse would: the list's text holds nothing but tuples
// and white space (so no markup), the marker was met once, inside the list, and the document is
// UTF-8. Anything else, faults included, goes the full way, which also names the faults.
bool parseSpliced(std::string_view text, DemParse& parse) {
    constexpr std::string_view open = "<gml:tupleList>", close = "</gml:tupleList>";
    const size_t openAt = text.find(open);
    if (openAt == std::string_view::npos) return false;
    const size_t bodyAt = openAt + open.size();
    const size_t closeAt = text.find(close, bodyAt);
    if (closeAt == std::string_view::npos) return false;
    std::string spliced;
    spliced.reserve(text.size() - (closeAt - bodyAt) + 16);
    spliced.append(text.substr(0, bodyAt)).append("<?").append(kMarker).append("?>");
    spliced.append(text.substr(closeAt));
    parse.preset = true;
    parse.presetText = text.substr(bodyAt, closeAt - bodyAt);
    return runParse(spliced, parse) && parse.markers == 1;
}

// Both routes; the grid's header and tuples are in parse.
bool parseDocument(std::string_view text, DemParse& parse) {
    if (parseSpliced(text, parse)) return true;
    parse = DemParse();
    return runParse(text, parse);
}

bool fieldNumbers(DemParse& parse, Field field, std::vector<double>& out, size_t count) {
    if (!parse.seen[field]) {
        parse.error = std::string("the DEM has no <") + kFieldNames[field] + ">";
        return false;
    }
    if (!parseNumbers(parse.texts[field], out, count)) {
        parse.error = std::string("the <") + kFieldNames[field] + "> element holds \"" +
                      std::string(trimmed(parse.texts[field])) + "\", not " +
                      std::to_string(count) + " numbers";
        return false;
    }
    return true;
}

bool readDatum(DemParse& parse) {
    std::string name = parse.srsName;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "fguuid:jgd2000.bl") {
        parse.header.datumName = "JGD2000";
    } else if (name == "fguuid:jgd2011.bl") {
        parse.header.datumName = "JGD2011";
    } else if (name == "fguuid:jgd2024.bl") {
        parse.header.datumName = "JGD2024";
    } else {
        parse.error = "the envelope's srsName \"" + parse.srsName +
                      "\" is not one of fguuid:jgd2000.bl, fguuid:jgd2011.bl, fguuid:jgd2024.bl";
        return false;
    }
    return true;
}

bool readEnvelope(DemParse& parse) {
    if (!parse.sawSrsName) {
        parse.error = "the DEM has no envelope";
        return false;
    }
    std::vector<double> lower, upper;
    if (!fieldNumbers(parse, kLowerCorner, lower, 2) ||
        !fieldNumbers(parse, kUpperCorner, upper, 2) || !readDatum(parse)) {
        return false;
    }
    FgGmlHeader& h = parse.header;
    h.south = lower[0], h.west = lower[1], h.north = upper[0], h.east = upper[1];
    if (!(h.south < h.north && h.west < h.east)) {
        parse.error = "the envelope's lower corner is not south-west of its upper corner";
        return false;
    }
    if (h.south < kSouthmost || h.north > kNorthmost || h.west < kWestmost || h.east > kEastmost) {
        parse.error = "the envelope (latitude " + std::to_string(h.south) + " to " +
                      std::to_string(h.north) + ", longitude " + std::to_string(h.west) + " to " +
                      std::to_string(h.east) + ") is not in Japan";
        return false;
    }
    return true;
}

bool readGridSize(DemParse& parse) {
    std::vector<int64_t> low, high;
    for (auto [field, out] : {std::pair{kGridLow, &low}, std::pair{kGridHigh, &high}}) {
        if (!parse.seen[field] || !parseNumbers(parse.texts[field], *out, 2)) {
            parse.error = std::string("the grid envelope's <") + kFieldNames[field] +
                          "> is missing or not two whole numbers";
            return false;
        }
    }
    const int64_t limit = INT_MAX;
    if (low[0] < 0 || low[1] < 0 || high[0] < low[0] || high[1] < low[1] || high[0] >= limit ||
        high[1] >= limit) {
        parse.error = "the grid envelope's limits are not a grid";
        return false;
    }
    const int64_t cols = high[0] - low[0] + 1, rows = high[1] - low[1] + 1;
    if (cols > kMaxFgGmlCells / rows) {
        parse.error = "the grid of " + std::to_string(cols) + " x " + std::to_string(rows) +
                      " cells is larger than " + std::to_string(kMaxFgGmlCells) + " cells";
        return false;
    }
    parse.header.cols = static_cast<int>(cols);
    parse.header.rows = static_cast<int>(rows);
    return true;
}

// "5mメッシュ（標高）" and the like: the type names the spacing; a "DEM5A" in it names all.
void readDemType(DemParse& parse) {
    const std::string_view type = trimmed(parse.texts[kType]);
    const size_t dem = type.find("DEM");
    if (dem != std::string_view::npos) {
        size_t end = dem + 3;
        while (end < type.size() && std::isalnum(static_cast<unsigned char>(type[end])))
            ++end;
        parse.header.demType = type.substr(dem + 3, end - dem - 3);
        return;
    }
    size_t digits = 0;
    while (digits < type.size() && std::isdigit(static_cast<unsigned char>(type[digits])))
        ++digits;
    if (digits && digits < type.size() && type[digits] == 'm')
        parse.header.demType = type.substr(0, digits);
}

bool fillHeader(DemParse& parse) {
    if (!parse.error.empty()) return false;
    if (!parse.demCount) {
        parse.error = "not an FG-GML DEM document: it holds no DEM element";
        return false;
    }
    const std::string_view mesh = trimmed(parse.texts[kMesh]);
    if (!parse.seen[kMesh] || mesh.empty() || mesh.size() > 10 ||
        !std::all_of(mesh.begin(), mesh.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        parse.error = "the DEM's <mesh> is not a mesh code";
        return false;
    }
    parse.header.meshCode = mesh;
    readDemType(parse);
    return readEnvelope(parse) && readGridSize(parse);
}

// The cell at which the list starts, and that it runs "+x-y": row by row from the north-west.
bool readStartCell(DemParse& parse, int64_t& start) {
    const std::string_view order = parse.sequenceOrder;
    if (!order.empty() && order != "+x-y") {
        parse.error = "the sequence rule's order \"" + std::string(order) + "\" is not +x-y";
        return false;
    }
    start = 0;
    if (!parse.seen[kStart]) return true;
    std::vector<int64_t> point;
    if (!parseNumbers(parse.texts[kStart], point, 2) || point[0] < 0 || point[1] < 0 ||
        point[0] >= parse.header.cols || point[1] >= parse.header.rows) {
        parse.error = "the start point \"" + std::string(trimmed(parse.texts[kStart])) +
                      "\" is not a cell of the grid";
        return false;
    }
    start = point[1] * parse.header.cols + point[0];
    return true;
}

void nameKindAndCrs(const FgGmlHeader& header, GeoGrid& grid) {
    const bool jgd2000 = header.datumName == "JGD2000";
    grid.crs.epsg = jgd2000 ? 4612 : 6668;
    grid.crs.geographic = true;
    grid.crs.name = std::string(jgd2000 ? "JGD2000" : "JGD2011") + " (latitude, longitude)";
    grid.datumName = header.datumName;
    grid.kind = "FG-GML DEM" + header.demType;
    const int spacing = std::atoi(header.demType.c_str());
    grid.nominalSpacing = spacing > 0 ? spacing : std::round(grid.stepY * 3600 * kArcSecondMetres);
}

}  // namespace

std::string fgGmlDemTypeOfName(std::string_view fileName) {
    const size_t dem = fileName.rfind("-DEM");
    if (dem == std::string_view::npos) return {};
    size_t end = dem + 4;
    while (end < fileName.size() && std::isdigit(static_cast<unsigned char>(fileName[end])))
        ++end;
    if (end == dem + 4 || end == fileName.size() ||
        !std::isupper(static_cast<unsigned char>(fileName[end]))) {
        return {};
    }
    return std::string(fileName.substr(dem + 4, end + 1 - dem - 4));
}

bool looksLikeFgGmlDem(std::string_view head) {
    return head.find(kFgdNamespace) != std::string_view::npos &&
           head.find("<Dataset") != std::string_view::npos &&
           head.find("<DEM") != std::string_view::npos;
}

bool readFgGmlHeader(std::string_view text, FgGmlHeader& header, std::string* error) {
    DemParse parse;
    parse.headerOnly = true;
    if (!runParse(text, parse)) {
        if (error) *error = parse.error.empty() ? "no FG-GML DEM header" : parse.error;
        return false;
    }
    header = parse.header;
    return true;
}

bool readFgGmlDem(std::string_view text, GeoGrid& grid, std::string* error) {
    auto refuse = [&](const std::string& reason) {
        if (error) *error = reason;
        return false;
    };
    if (text.size() > static_cast<size_t>(INT_MAX))
        return refuse("the document is larger than 2 GiB");
    DemParse parse;
    if (!parseDocument(text, parse)) return refuse(parse.error);
    if (!parse.headerDone)
        return refuse(parse.demCount ? "the DEM holds no tuple list"
                                     : "not an FG-GML DEM document");
    int64_t start = 0;
    if (!readStartCell(parse, start)) return refuse(parse.error);
    const FgGmlHeader& h = parse.header;
    const int64_t cells = int64_t{h.cols} * h.rows;
    const std::vector<int32_t>& codes = parse.tuples.codes();
    if (start + static_cast<int64_t>(codes.size()) > cells)
        return refuse("the tuple list is longer than the grid: " + std::to_string(codes.size()) +
                      " cells from the start point on, where " + std::to_string(cells - start) +
                      " remain");

    GeoGrid read;
    read.cols = h.cols;
    read.rows = h.rows;
    read.west = h.west;
    read.north = h.north;
    read.stepX = (h.east - h.west) / h.cols;
    read.stepY = (h.north - h.south) / h.rows;
    read.codes.assign(static_cast<size_t>(cells), MESH_NODATA);
    std::copy(codes.begin(), codes.end(), read.codes.begin() + start);
    nameKindAndCrs(h, read);
    countCells(read);
    grid = std::move(read);
    return true;
}

}  // namespace kov
