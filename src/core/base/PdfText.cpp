// SPDX-License-Identifier: MIT
#include "core/base/PdfText.h"

#include <QFile>

#include <cctype>
#include <cstdio>
#include <optional>

#include "core/base/AtomicFile.h"
#include "core/base/ModuleLoader.h"
#include "core/base/PdfModule.h"

namespace kov {
namespace {

// The ordinary ideograph a radical stands for (its compatibility form), else the code itself.
unsigned ordinaryIdeograph(unsigned code) {
    if (code < 0x2E80 || code > 0x2FDF) return code;
    const char32_t radical = code;
    const QString plain = QString::fromUcs4(&radical, 1).normalized(QString::NormalizationForm_KC);
    if (plain.size() != 1) return code;
    const unsigned ideograph = plain.at(0).unicode();
    return ideograph >= 0x3400 && ideograph <= 0x9FFF ? ideograph : code;
}

std::string hex4(unsigned code) {
    char text[8];
    std::snprintf(text, sizeof text, "<%04X>", code & 0xFFFF);
    return text;
}

// Reads the CMap program of a text map: its hex strings, and everything else copied as it is.
class TextMapReader {
public:
    explicit TextMapReader(const std::string& text) : text_(text) {}

    bool atEnd() const { return at_ >= text_.size(); }
    bool startsWith(std::string_view word) const {
        return text_.compare(at_, word.size(), word) == 0;
    }
    char peek() const { return atEnd() ? '\0' : text_[at_]; }
    void copy(std::string& out, size_t count = 1) {
        count = std::min(count, text_.size() - at_);
        out.append(text_, at_, count);
        at_ += count;
    }
    void copySpace(std::string& out) {
        while (!atEnd() && std::isspace(static_cast<unsigned char>(text_[at_])))
            copy(out);
    }
    // A hex string "<...>": its digits, or nothing (and nothing read) when there is none.
    std::optional<std::string> hexString() {
        if (peek() != '<') return std::nullopt;
        const size_t close = text_.find('>', at_);
        if (close == std::string::npos) return std::nullopt;
        std::string digits = text_.substr(at_ + 1, close - at_ - 1);
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        at_ = close + 1;
        return digits;
    }

private:
    const std::string& text_;
    size_t at_ = 0;
};

unsigned hexValue(const std::string& digits) {
    return digits.empty() || digits.size() > 8 ? 0 : std::stoul(digits, nullptr, 16);
}

// A target of one 16-bit code read as the ordinary ideograph; longer targets (several
// characters, surrogate pairs) stay as they are.
std::string mendedTarget(const std::string& digits) {
    if (digits.size() != 4) return "<" + digits + ">";
    return hex4(ordinaryIdeograph(hexValue(digits)));
}

}  // namespace

std::string mendTextMap(const std::string& cmap) {
    enum class Section { None, Ranges, Chars };
    Section section = Section::None;
    TextMapReader in(cmap);
    std::string out;
    while (!in.atEnd()) {
        if (in.startsWith("beginbfrange")) section = Section::Ranges;
        if (in.startsWith("beginbfchar")) section = Section::Chars;
        if (in.startsWith("endbf")) section = Section::None;
        if (section == Section::None || in.peek() != '<') {
            in.copy(out);
            continue;
        }
        // "<code> <target>", or "<first> <last> <target>" for a run of consecutive targets, or
        // "<first> <last> [<target> ...]".
        const std::optional<std::string> first = in.hexString();
        if (!first) {
            in.copy(out);
            continue;
        }
        out += "<" + *first + ">";
        in.copySpace(out);
        const std::optional<std::string> second = in.hexString();
        if (!second) continue;
        if (section == Section::Chars) {
            out += mendedTarget(*second);
            continue;
        }
        out += "<" + *second + ">";
        in.copySpace(out);
        if (in.peek() == '[') {
            in.copy(out);
            for (in.copySpace(out); in.peek() == '<'; in.copySpace(out)) {
                if (const std::optional<std::string> target = in.hexString())
                    out += mendedTarget(*target);
                else
                    break;
            }
            continue;
        }
        const std::optional<std::string> start = in.hexString();
        if (!start) continue;
        const unsigned from = hexValue(*first);
        const unsigned to = hexValue(*second);
        bool changes = false;
        if (start->size() == 4 && to >= from && to - from < 0x10000) {
            for (unsigned i = 0; i <= to - from && !changes; ++i)
                changes = ordinaryIdeograph(hexValue(*start) + i) != hexValue(*start) + i;
        }
        if (!changes) {
            out += "<" + *start + ">";
            continue;
        }
        // A radical inside the run: the run becomes a list, one target per code.
        out += "[";
        for (unsigned i = 0; i <= to - from; ++i)
            out += (i ? " " : "") + hex4(ordinaryIdeograph(hexValue(*start) + i));
        out += "]";
    }
    return out;
}

QByteArray withSearchableText(const QByteArray& bytes, std::string* error) {
    const PdfEntryPoints* module = loadModuleOnce<PdfEntryPoints>(
        {"libkovpdf.so", kPdfModuleVariable, kPdfEntrySymbol, "qpdf", sizeof(PdfEntryPoints)},
        error);
    if (!module) return {};
    std::string mended;
    if (!module->mendTextMaps(bytes.constData(), static_cast<size_t>(bytes.size()), mendTextMap,
                              mended)) {
        if (error) *error = "the file cannot be read as a PDF";
        return {};
    }
    return QByteArray(mended.data(), static_cast<qsizetype>(mended.size()));
}

bool makeFileTextSearchable(const QString& path, std::string* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString().toStdString();
        return false;
    }
    const QByteArray mended = withSearchableText(file.readAll(), error);
    file.close();
    if (mended.isEmpty()) return false;
    return replaceFileAtomically(path.toStdString(),
                                 std::string_view(mended.constData(), mended.size()), error);
}

}  // namespace kov
