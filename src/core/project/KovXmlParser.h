// SPDX-License-Identifier: MIT
// A small, forgiving XML parser that turns a whole document held in memory into a tree of
// nodes. It works byte by byte: a multi-byte character is never split or read as markup.
// KovXmlParser adds reading a file, the declared encoding (everything is converted to UTF-8
// before the tree is built), matching end tags and the error texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kov {

enum class XmlNodeKind : int32_t {
    CData = 1,
    Comment = 2,
    Element = 3,
    Declaration = 4,  // "<!" not followed by "--" or "[CDATA["
    Text = 5,
    ProcessingInstruction = 6,
};

class COXParserElement;

class COXParserObject {
public:
    COXParserObject(XmlNodeKind kind, COXParserElement* parent) : kind_(kind), parent_(parent) {}
    virtual ~COXParserObject() = default;
    COXParserObject(const COXParserObject&) = delete;
    COXParserObject& operator=(const COXParserObject&) = delete;

    XmlNodeKind Kind() const { return kind_; }
    const std::string& Text() const { return text_; }
    COXParserElement* Parent() const { return parent_; }
    std::string& MutableText() { return text_; }

private:
    XmlNodeKind kind_;
    std::string text_;
    COXParserElement* parent_;
};

// A quoted value is a string; an unquoted one (optional sign and digits) an integer.
class COXAttribute {
public:
    std::string name;
    bool isInteger = false;
    std::string stringValue;
    int32_t intValue = 0;
};

class COXParserElement : public COXParserObject {
public:
    COXParserElement(std::string name, COXParserElement* parent)
        : COXParserObject(XmlNodeKind::Element, parent), name_(std::move(name)) {}
    // Deep trees are torn down without recursion.
    ~COXParserElement() override;

    const std::string& Name() const { return name_; }
    int ChildCount() const { return static_cast<int>(children_.size()); }
    COXParserObject* Child(int index) const;
    int AttributeCount() const { return static_cast<int>(attributes_.size()); }
    const COXAttribute* Attribute(int index) const;

    COXParserObject* AddChild(std::unique_ptr<COXParserObject> child);
    COXAttribute& AddAttribute(COXAttribute attribute);

private:
    std::string name_;
    std::vector<COXAttribute> attributes_;
    std::vector<std::unique_ptr<COXParserObject>> children_;
};

// The tokenising and tree-building base.
class COXParser {
public:
    COXParser();
    virtual ~COXParser();
    COXParser(const COXParser&) = delete;
    COXParser& operator=(const COXParser&) = delete;

    // Builds the tree under a fresh root named "[Root]", replacing any earlier tree. The nodes
    // built so far stay in the tree when the parse fails.
    bool ParseBuffer(std::string_view text);
    const COXParserElement* Root() const { return root_.get(); }

    struct Error {
        int code = 0;
        int line = 0;
        int column = 0;
        std::string message;
    };
    // The first kMaxKeptErrors errors and warnings of the last parse, in order; a damaged file
    // can hold one in every few bytes. ErrorCount counts them all.
    static constexpr size_t kMaxKeptErrors = 100;
    const std::vector<Error>& Errors() const { return errors_; }
    int64_t ErrorCount() const { return errorCount_; }

protected:
    // Receives each kept error (codes 101..110) and warning (201).
    virtual void OnError(const Error& error);
    // Called at the top level after each processing instruction; answering false stops the
    // parse (used to restart it once the declared encoding is known).
    virtual bool OnTopLevelInstruction(const std::string& text);
    // Strict end-tag checking: a mismatched end tag fails the parse; without it the open element
    // is closed anyway and parsing goes on.
    bool strictEndTags_ = true;

    struct ParseOptions {
        // Take a Shift_JIS lead byte and the byte after it as one character (text that is not
        // UTF-8 yet); otherwise every byte from 0x80 up is simply a name or text byte.
        bool pairShiftJisBytes = false;
        // Pass the kept errors to OnError (they are in Errors() either way).
        bool reportErrors = true;
    };
    bool ParseWith(std::string_view text, const ParseOptions& options);
    // An empty "[Root]" and no errors.
    void ResetTree();

private:
    class Impl;
    std::unique_ptr<COXParserElement> root_;
    void keepError(Error error, const ParseOptions& options);
    std::vector<Error> errors_;
    int64_t errorCount_ = 0;
    std::unordered_map<std::string, std::string> entities_;
};

class KovXmlParser : public COXParser {
public:
    enum EncodingState { NotSeen = 0, Native = 1, Utf8 = 2, EucJp = 4 };

    // A project file is a few kilobytes: ParseFile refuses a file larger than this unread.
    static constexpr uint64_t kMaxFileBytes = uint64_t{64} << 20;

    // Reads the whole file and parses it. The file must begin with the five bytes "<?xml"; it
    // must be a regular file (a FIFO or device is refused without blocking) of at most
    // kMaxFileBytes; *unreadable (when given) says why a file could not be read.
    // Text declared Shift_JIS (or undeclared and not valid UTF-8) is converted from CP932,
    // EUC-JP from EUC-JP; UTF-8 stays.
    bool ParseFile(const std::string& path, std::string* unreadable = nullptr);
    // The same for a document already in memory.
    bool ParseDocument(std::string_view document);

    // Errors are written as lines "XMLParser: Error (%d) at line %d, col %d: %s\r\n" to an
    // attached log file (not owned); none is attached by default.
    void AttachLog(std::FILE* log) { log_ = log; }
    EncodingState DeclaredEncoding() const { return encoding_; }

protected:
    void OnError(const Error& error) override;
    bool OnTopLevelInstruction(const std::string& text) override;

private:
    std::FILE* log_ = nullptr;
    EncodingState encoding_ = NotSeen;
    bool detecting_ = false;  // the first pass, which only looks for the declared encoding
};

}  // namespace kov
