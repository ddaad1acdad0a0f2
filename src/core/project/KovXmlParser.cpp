// SPDX-License-Identifier: MIT
#include "core/project/KovXmlParser.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "core/base/TextCodec.h"
#include "core/data/HxFile.h"

namespace kov {
namespace {

constexpr int kEndOfBuffer = 102;
constexpr int kOutOfMemory = 103;
constexpr int kNoToken = 104;
constexpr int kIllegalCharacter = 105;
constexpr int kUnexpectedToken = 106;
constexpr int kMissingEndTag = 107;
constexpr int kBadEntity = 108;
constexpr int kBadEndTag = 110;
constexpr int kUnexpectedEndTag = 201;

// Text that entity references may add to one document. Declared entities are replaced one level
// deep only, but many references to one long value could still multiply the input.
constexpr size_t kMaxEntityText = size_t{64} << 20;

bool isWhite(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '-' || c == '.' || c >= 0x80;
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// "#65" or "#x41": the low 8 bits of the value.
bool characterReference(std::string_view name, unsigned& low8) {
    if (name.size() < 2 || name[0] != '#') return false;
    unsigned value = 0;
    if (name[1] == 'x') {
        if (name.size() < 3) return false;
        for (const char c : name.substr(2)) {
            const int digit = hexValue(static_cast<unsigned char>(c));
            if (digit < 0) return false;
            value = (value * 16 + static_cast<unsigned>(digit)) & 0xFF;
        }
    } else {
        for (const char c : name.substr(1)) {
            if (!isDigit(static_cast<unsigned char>(c))) return false;
            value = (value * 10 + static_cast<unsigned>(c - '0')) & 0xFF;
        }
    }
    low8 = value;
    return true;
}

// The byte of a character reference in UTF-8: ASCII stays, the CP932 half-width katakana bytes
// become their characters, anything else the replacement character.
void appendReferencedByte(std::string& out, unsigned low8) {
    if (low8 < 0x80) {
        out += static_cast<char>(low8);
    } else if (low8 >= 0xA1 && low8 <= 0xDF) {
        appendUtf8(out, 0xFF61 + (low8 - 0xA1));
    } else {
        appendUtf8(out, 0xFFFD);
    }
}

// Invalid UTF-8 sequences become U+FFFD, one per byte that starts no valid sequence.
std::string validUtf8(std::string_view text) {
    if (isValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    size_t i = 0;
    while (i < text.size()) {
        const size_t start = i;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
        }
        if (c >= 0x80 && length > 1 && start + length <= text.size() &&
            isValidUtf8(text.substr(start, length))) {
            out.append(text.substr(start, length));
            i += length;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            appendUtf8(out, 0xFFFD);
            ++i;
        }
    }
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

// --- Tree -----------------------------------------------------------------------------------

COXParserElement::~COXParserElement() {
    // Children are moved onto a work list before their element dies, so no destructor ever
    // finds grandchildren to destroy and the depth of the tree never reaches the call stack.
    std::vector<std::unique_ptr<COXParserObject>> pending = std::move(children_);
    while (!pending.empty()) {
        std::unique_ptr<COXParserObject> node = std::move(pending.back());
        pending.pop_back();
        if (auto* element = dynamic_cast<COXParserElement*>(node.get())) {
            for (auto& child : element->children_)
                pending.push_back(std::move(child));
            element->children_.clear();
        }
    }
}

COXParserObject* COXParserElement::Child(int index) const {
    if (index < 0 || index >= ChildCount()) return nullptr;
    return children_[static_cast<size_t>(index)].get();
}

const COXAttribute* COXParserElement::Attribute(int index) const {
    if (index < 0 || index >= AttributeCount()) return nullptr;
    return &attributes_[static_cast<size_t>(index)];
}

COXParserObject* COXParserElement::AddChild(std::unique_ptr<COXParserObject> child) {
    children_.push_back(std::move(child));
    return children_.back().get();
}

COXAttribute& COXParserElement::AddAttribute(COXAttribute attribute) {
    attributes_.push_back(std::move(attribute));
    return attributes_.back();
}

// --- Parser ---------------------------------------------------------------------------------

// One parse of one buffer. The document is walked once, front to back; open elements are
// tracked through the current element and its parent pointers, never through recursion.
class COXParser::Impl {
public:
    Impl(COXParser& owner, std::string_view text, const ParseOptions& options)
        : owner_(owner), text_(text), options_(options) {}

    bool Run();

private:
    enum class Result { Continue, Fail, Stop };
    enum class NameEnd { Ok, EndOfBuffer, Illegal };

    // Reading.
    bool atEnd() const { return pos_ >= text_.size(); }
    unsigned char peek() const { return atEnd() ? 0 : static_cast<unsigned char>(text_[pos_]); }
    bool looksAt(std::string_view s) const { return text_.substr(pos_).starts_with(s); }
    bool looksAtNoCase(std::string_view s) const {
        return equalsNoCase(text_.substr(pos_, s.size()), s);
    }
    size_t charLength() const {
        if (options_.pairShiftJisBytes && isSjisLeadByte(peek()) && pos_ + 1 < text_.size())
            return 2;
        return 1;
    }
    // Moves over one character, counting lines and columns: CR LF is one character, LF starts a
    // new line at column 0, and a UTF-8 character counts once.
    void Step() {
        const unsigned char c = peek();
        const bool paired = charLength() == 2;
        pos_ += paired ? 2 : 1;
        if (c == '\n') {
            ++line_;
            column_ = 0;
        } else if (c == '\r' && peek() == '\n') {
            // counted with the LF
        } else if (!paired && !options_.pairShiftJisBytes && (c & 0xC0) == 0x80) {
            // UTF-8 continuation byte
        } else {
            ++column_;
        }
    }
    void take(std::string& out) {
        out.append(text_.substr(pos_, charLength()));
        Step();
    }
    void skipWhite() {
        while (!atEnd() && isWhite(peek()))
            Step();
    }
    // Takes characters up to the terminator and moves past it; false at the end of the buffer.
    bool takeUntil(std::string_view terminator, std::string& out) {
        while (!atEnd()) {
            if (looksAt(terminator)) {
                for (size_t i = 0; i < terminator.size(); ++i)
                    Step();
                return true;
            }
            take(out);
        }
        return false;
    }
    NameEnd readName(std::string& name) {
        while (!atEnd() && isNameChar(peek()))
            take(name);
        if (atEnd()) return NameEnd::EndOfBuffer;
        const unsigned char c = peek();
        if (c == '>' || c == '/' || c == '=' || isWhite(c)) return NameEnd::Ok;
        return NameEnd::Illegal;
    }

    void Report(int code, std::string message);
    Result fail(int code, std::string message) {
        Report(code, std::move(message));
        return Result::Fail;
    }
    Result illegalInName() {
        return fail(kIllegalCharacter, std::string("Illegal character (") +
                                           static_cast<char>(peek()) +
                                           ") encountered while parsing name.");
    }
    void addNode(XmlNodeKind kind, std::string text) {
        auto node = std::make_unique<COXParserObject>(kind, current_);
        node->MutableText() = std::move(text);
        current_->AddChild(std::move(node));
    }

    // Parts of the document.
    // Markup whose text runs from after its opening (open bytes) up to the terminator.
    Result section(int open, std::string_view terminator, XmlNodeKind kind, const char* atEnd) {
        for (int i = 0; i < open; ++i)
            Step();
        std::string text;
        if (!takeUntil(terminator, text)) return fail(kEndOfBuffer, atEnd);
        addNode(kind, std::move(text));
        return Result::Continue;
    }
    Result StartTag();
    Result Attribute(const std::string& element, COXAttribute& attribute);
    Result EndTag();
    Result Text();
    bool Reference(std::string& out);
    Result Instruction();
    Result Doctype();
    bool InternalSubset(std::string& text);
    bool EntityDeclaration(std::string& text);
    bool TakeQuoted(std::string& out);
    bool TakeMarkup(std::string& out);

    COXParser& owner_;
    std::string_view text_;
    ParseOptions options_;
    size_t pos_ = 0;
    int64_t line_ = 1;
    int64_t column_ = 1;
    COXParserElement* current_ = nullptr;
    size_t entityText_ = 0;
};

void COXParser::Impl::Report(int code, std::string message) {
    const auto clamp = [](int64_t v) {
        return static_cast<int>(std::min<int64_t>(v, std::numeric_limits<int>::max()));
    };
    owner_.keepError({code, clamp(line_), clamp(column_), std::move(message)}, options_);
}

bool COXParser::Impl::Run() {
    current_ = owner_.root_.get();
    COXParserElement* const root = current_;
    for (;;) {
        skipWhite();
        if (atEnd()) {
            if (current_ == root) return true;
            Report(kMissingEndTag, "Missing end tag '" + current_->Name() + "'.");
            return false;
        }
        Result result;
        if (peek() != '<') {
            result = Text();
        } else if (looksAt("</")) {
            result = EndTag();
        } else if (looksAt("<?")) {
            result = Instruction();
        } else if (looksAt("<!--")) {
            result = section(4, "-->", XmlNodeKind::Comment,
                             "Unexpected end of buffer while parsing comment.");
        } else if (looksAt("<![CDATA[")) {
            result = section(9, "]]>", XmlNodeKind::CData, "Unexpected end of buffer while CDATA.");
        } else if (looksAt("<!DOCTYPE")) {
            result = Doctype();
        } else if (looksAt("<!")) {
            result = section(2, ">", XmlNodeKind::Declaration,
                             "Unexpected end of buffer while parsing markup.");
        } else {
            result = StartTag();
        }
        if (result != Result::Continue) return false;
    }
}

COXParser::Impl::Result COXParser::Impl::StartTag() {
    Step();  // "<"
    skipWhite();
    if (atEnd())
        return fail(kEndOfBuffer, "Unexpected end of buffer while searching for tag name.");
    if (!isNameChar(peek())) return fail(kUnexpectedToken, "Expecting tag name - none found.");
    std::string name;
    switch (readName(name)) {
        case NameEnd::Ok:
            break;
        case NameEnd::EndOfBuffer:
            return fail(kEndOfBuffer, "Unexpected end of buffer while name.");
        case NameEnd::Illegal:
            return illegalInName();
    }
    auto element = std::make_unique<COXParserElement>(name, current_);
    for (;;) {
        skipWhite();
        if (atEnd()) return fail(kEndOfBuffer, "Unexpected end of buffer.");
        const unsigned char c = peek();
        if (c == '>') {
            Step();
            current_ = static_cast<COXParserElement*>(current_->AddChild(std::move(element)));
            return Result::Continue;
        }
        if (looksAt("/>")) {
            Step(), Step();
            current_->AddChild(std::move(element));
            return Result::Continue;
        }
        if (!isNameChar(c) || c == '/')
            return fail(kBadEndTag, "Closing bracket for start tag '" + name + "' not found.");
        COXAttribute attribute;
        const Result result = Attribute(name, attribute);
        if (result != Result::Continue) return result;
        element->AddAttribute(std::move(attribute));
    }
}

COXParser::Impl::Result COXParser::Impl::Attribute(const std::string& element,
                                                   COXAttribute& attribute) {
    switch (readName(attribute.name)) {
        case NameEnd::Ok:
            break;
        case NameEnd::EndOfBuffer:
            return fail(kEndOfBuffer, "Unexpected end of buffer while name.");
        case NameEnd::Illegal:
            return illegalInName();
    }
    const std::string where = "(element " + element + ", name " + attribute.name + ").";
    skipWhite();
    if (atEnd()) return fail(kNoToken, "Error while parsing attribute " + where);
    if (peek() != '=')
        return fail(kUnexpectedToken, "Unexpected token while parsing attribute " + where);
    Step();
    skipWhite();
    if (atEnd()) return fail(kNoToken, "Error while parsing attribute " + where);
    const unsigned char c = peek();
    if (c == '"' || c == '\'') {
        Step();
        while (!atEnd() && peek() != c)
            take(attribute.stringValue);
        if (atEnd()) return fail(kEndOfBuffer, "Unexpected end of buffer while parsing string.");
        Step();
        return Result::Continue;
    }
    if (c != '+' && c != '-' && !isDigit(c))
        return fail(kUnexpectedToken, "Unexpected token while parsing attribute " + where);
    const bool negative = c == '-';
    if (!isDigit(c)) Step();
    if (atEnd()) return fail(kEndOfBuffer, "Unexpected end of buffer while parsing integer.");
    if (!isDigit(peek()))
        return fail(kUnexpectedToken, "Unexpected token while parsing attribute " + where);
    // Values beyond 32 bits stop at the largest value of their sign.
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    int64_t magnitude = 0;
    while (!atEnd() && isDigit(peek())) {
        magnitude = std::min(limit, magnitude * 10 + (peek() - '0'));
        Step();
    }
    if (atEnd()) return fail(kEndOfBuffer, "Unexpected end of buffer while parsing integer.");
    attribute.isInteger = true;
    attribute.intValue = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return Result::Continue;
}

COXParser::Impl::Result COXParser::Impl::EndTag() {
    Step(), Step();  // "</"
    skipWhite();
    if (atEnd()) return fail(kNoToken, "Unexpected end of buffer while parsing endtag.");
    if (!isNameChar(peek())) return fail(kUnexpectedToken, "Missing end tag name.");
    std::string name;
    switch (readName(name)) {
        case NameEnd::Ok:
            break;
        case NameEnd::EndOfBuffer:
            return fail(kNoToken, "Unexpected end of buffer while parsing endtag.");
        case NameEnd::Illegal:
            return illegalInName();
    }
    skipWhite();
    if (atEnd()) return fail(kNoToken, "Unexpected end of buffer while parsing endtag.");
    if (peek() != '>')
        return fail(kNoToken, "Missing end bracket while parsing end tag '" + name + "'.");
    Step();
    if (current_ == owner_.root_.get()) {
        Report(kUnexpectedEndTag, "Unexpected end tag '" + name + "'.");
        return Result::Continue;
    }
    if (name != current_->Name()) {
        Report(kMissingEndTag, "Expecting end tag '" + current_->Name() + "'. Found end tag '" +
                                   name + "' instead.");
        if (owner_.strictEndTags_) return Result::Fail;
    }
    current_ = current_->Parent();
    return Result::Continue;
}

COXParser::Impl::Result COXParser::Impl::Text() {
    // Content that starts with a markup token other than "<" is not text.
    if (looksAt(">") || looksAt("/>") || looksAt("-->") || looksAt("=") || looksAt("\"") ||
        looksAt("'"))
        return fail(kUnexpectedToken, "Unexpected token.");
    // Leading white space is already skipped; trailing white space written in the document is
    // dropped, but characters that references produce are kept (an encoded TAB survives).
    std::string text;
    size_t keep = 0;
    while (!atEnd() && peek() != '<') {
        if (peek() == '&') {
            if (!Reference(text)) return Result::Fail;
            keep = text.size();
            continue;
        }
        const bool white = isWhite(peek());
        take(text);
        if (!white) keep = text.size();
    }
    text.resize(keep);
    if (!text.empty()) addNode(XmlNodeKind::Text, std::move(text));
    return Result::Continue;
}

bool COXParser::Impl::Reference(std::string& out) {
    Step();  // "&"
    std::string name;
    while (!atEnd() && peek() != ';' && peek() != '<' && !isWhite(peek()))
        take(name);
    if (atEnd() || peek() != ';') {
        Report(kBadEntity, "Missing ';' on character entity '&" + name + "'.");
        out += '&';
        out += name;
        return true;
    }
    Step();  // ";"
    unsigned low8 = 0;
    if (characterReference(name, low8)) {
        appendReferencedByte(out, low8);
        return true;
    }
    const auto entity = owner_.entities_.find(name);
    if (entity == owner_.entities_.end()) {
        Report(kBadEntity, "Bad character entity '&" + name + ";' encountered.");
        out += '&';
        out += name;
        out += ';';
        return true;
    }
    entityText_ += entity->second.size();
    if (entityText_ > kMaxEntityText) {
        Report(kOutOfMemory, "Unable to expand character entity '&" + name + ";'.");
        return false;
    }
    out += entity->second;
    return true;
}

COXParser::Impl::Result COXParser::Impl::Instruction() {
    Step(), Step();  // "<?"
    std::string text;
    if (!takeUntil("?>", text))
        return fail(kEndOfBuffer, "Unexpected end of buffer while parsing processing instruction.");
    const bool topLevel = current_ == owner_.root_.get();
    addNode(XmlNodeKind::ProcessingInstruction, text);
    if (topLevel && !owner_.OnTopLevelInstruction(text)) return Result::Stop;
    return Result::Continue;
}

// A quoted string, quotes included.
bool COXParser::Impl::TakeQuoted(std::string& out) {
    const unsigned char quote = peek();
    take(out);
    while (!atEnd() && peek() != quote)
        take(out);
    if (atEnd()) return false;
    take(out);
    return true;
}

// Markup up to its ">" (included), quoted strings read whole.
bool COXParser::Impl::TakeMarkup(std::string& out) {
    while (!atEnd()) {
        const unsigned char c = peek();
        if (c == '"' || c == '\'') {
            if (!TakeQuoted(out)) return false;
            continue;
        }
        take(out);
        if (c == '>') return true;
    }
    return false;
}

COXParser::Impl::Result COXParser::Impl::Doctype() {
    Step(), Step();  // "<!"
    std::string text;
    for (;;) {
        if (atEnd()) break;
        const unsigned char c = peek();
        if (c == '>') {
            Step();
            addNode(XmlNodeKind::Declaration, std::move(text));
            return Result::Continue;
        }
        if (c == '"' || c == '\'') {
            if (!TakeQuoted(text)) break;
        } else if (c == '[') {
            take(text);
            if (!InternalSubset(text)) break;
        } else {
            take(text);
        }
    }
    return fail(kEndOfBuffer, "Unexpected end of buffer while parsing DOCTYPE entry.");
}

// The declarations between "[" and "]" (the "]" taken too); ENTITY declarations add entities.
bool COXParser::Impl::InternalSubset(std::string& text) {
    while (!atEnd()) {
        const unsigned char c = peek();
        if (c == ']') {
            take(text);
            return true;
        }
        if (looksAt("<!--")) {
            for (int i = 0; i < 4; ++i)
                take(text);
            if (!takeUntil("-->", text)) return false;
            text += "-->";
        } else if (looksAtNoCase("<!ENTITY") && pos_ + 8 < text_.size() &&
                   isWhite(static_cast<unsigned char>(text_[pos_ + 8]))) {
            if (!EntityDeclaration(text)) return false;
        } else if (c == '"' || c == '\'') {
            if (!TakeQuoted(text)) return false;
        } else {
            take(text);
        }
    }
    return false;
}

// <!ENTITY name "value"> or with single quotes; parameter and external entities are read
// past without adding anything. The first declaration of a name is the one that counts.
bool COXParser::Impl::EntityDeclaration(std::string& text) {
    for (int i = 0; i < 8; ++i)
        take(text);  // "<!ENTITY"
    while (!atEnd() && isWhite(peek()))
        take(text);
    std::string name;
    while (!atEnd() && isNameChar(peek())) {
        const size_t from = text.size();
        take(text);
        name.append(text, from);
    }
    while (!atEnd() && isWhite(peek()))
        take(text);
    std::string value;
    bool quoted = false;
    if (!name.empty() && (peek() == '"' || peek() == '\'')) {
        const size_t from = text.size();
        if (!TakeQuoted(text)) return false;
        value.assign(text, from + 1, text.size() - from - 2);
        quoted = true;
    }
    if (!TakeMarkup(text)) return false;
    if (quoted) owner_.entities_.emplace(std::move(name), std::move(value));
    return true;
}

COXParser::COXParser() {
    ResetTree();
}

COXParser::~COXParser() = default;

void COXParser::ResetTree() {
    root_ = std::make_unique<COXParserElement>("[Root]", nullptr);
    errors_.clear();
    errorCount_ = 0;
}

void COXParser::keepError(Error error, const ParseOptions& options) {
    ++errorCount_;
    if (errors_.size() >= kMaxKeptErrors) return;
    if (options.reportErrors) OnError(error);
    errors_.push_back(std::move(error));
}

bool COXParser::ParseBuffer(std::string_view text) {
    return ParseWith(text, ParseOptions{});
}

bool COXParser::ParseWith(std::string_view text, const ParseOptions& options) {
    ResetTree();
    if (text.data() == nullptr) {
        keepError({101, 1, 1, "NULL buffer supplied."}, options);
        return false;
    }
    entities_ = {{"gt", ">"}, {"lt", "<"}, {"amp", "&"}, {"apos", "'"}, {"quot", "\""}};
    // A zero byte ends the input, as the end of the buffer does.
    const size_t zero = text.find('\0');
    if (zero != std::string_view::npos) text = text.substr(0, zero);
    return Impl(*this, text, options).Run();
}

void COXParser::OnError(const Error&) {}

bool COXParser::OnTopLevelInstruction(const std::string&) {
    return true;
}

// --- KovXmlParser ---------------------------------------------------------------------------

bool KovXmlParser::ParseFile(const std::string& path, std::string* unreadable) {
    encoding_ = NotSeen;
    ResetTree();
    const std::unique_ptr<HxFile> file = openFile(path, {}, unreadable, kMaxFileBytes);
    if (!file) return false;
    return ParseDocument(file->contents());
}

bool KovXmlParser::ParseDocument(std::string_view document) {
    encoding_ = NotSeen;
    ResetTree();
    if (!document.starts_with("<?xml")) return false;

    // First pass over the bytes as they are, only to find the declared encoding; it stops at
    // the declaration. Its errors are not reported: the real parse repeats them.
    detecting_ = true;
    ParseWith(document, ParseOptions{true, false});
    detecting_ = false;

    std::string text;
    bool converted = false;
    switch (encoding_) {
        case Native:
            converted = cp932ToUtf8(document, text);
            break;
        case EucJp:
            converted = eucJpToUtf8(document, text);
            break;
        case NotSeen:
            if (isValidUtf8(document)) {
                text.assign(document);
                converted = true;
            } else {
                converted = cp932ToUtf8(document, text);
            }
            break;
        case Utf8:
            break;
    }
    // Without a converter (or for UTF-8) the tree still holds valid UTF-8 only.
    if (!converted) text = validUtf8(document);
    return ParseWith(text, ParseOptions{});
}

void KovXmlParser::OnError(const Error& error) {
    if (!log_) return;
    std::fprintf(log_, "XMLParser: %s (%d) at line %d, col %d: %s\r\n",
                 error.code == kUnexpectedEndTag ? "Warning" : "Error", error.code, error.line,
                 error.column, error.message.c_str());
}

bool KovXmlParser::OnTopLevelInstruction(const std::string& text) {
    if (!detecting_ || encoding_ != NotSeen) return true;
    constexpr std::string_view kKey = "encoding=";
    const size_t at = text.find(kKey);
    if (at == std::string::npos || at + kKey.size() >= text.size()) return true;
    const char quote = text[at + kKey.size()];
    const size_t start = at + kKey.size() + 1;
    const size_t end = text.find(quote, start);
    if (end == std::string::npos) return true;
    const std::string_view value = std::string_view(text).substr(start, end - start);
    if (equalsNoCase(value, "UTF-8")) {
        encoding_ = Utf8;
    } else if (equalsNoCase(value, "EUC-JP")) {
        encoding_ = EucJp;
    } else if (equalsNoCase(value, "Shift_JIS") || equalsNoCase(value, "UTF-16")) {
        encoding_ = Native;
    } else {
        return true;
    }
    // Known now: the whole document is converted and parsed again from the start.
    return false;
}

}  // namespace kov
