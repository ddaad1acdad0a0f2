// SPDX-License-Identifier: MIT
// Fuzzes the XML parser: the input is a whole document. The tree is walked afterwards; every
// name and text in it must be valid UTF-8 and every node must point back to its element.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/base/TextCodec.h"
#include "core/project/KovXmlParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    kov::KovXmlParser parser;
    parser.ParseDocument(std::string_view(reinterpret_cast<const char*>(bytes), size));
    const kov::COXParserElement* root = parser.Root();
    if (!root || root->Name() != "[Root]" || root->Parent()) __builtin_trap();
    std::vector<const kov::COXParserElement*> pending{root};
    while (!pending.empty()) {
        const kov::COXParserElement* element = pending.back();
        pending.pop_back();
        if (!kov::isValidUtf8(element->Name())) __builtin_trap();
        for (int i = 0; i < element->AttributeCount(); ++i) {
            const kov::COXAttribute* attribute = element->Attribute(i);
            if (attribute->name.empty() || !kov::isValidUtf8(attribute->name) ||
                !kov::isValidUtf8(attribute->stringValue))
                __builtin_trap();
        }
        for (int i = 0; i < element->ChildCount(); ++i) {
            const kov::COXParserObject* child = element->Child(i);
            if (!child || child->Parent() != element || !kov::isValidUtf8(child->Text()))
                __builtin_trap();
            if (child->Kind() == kov::XmlNodeKind::Element)
                pending.push_back(static_cast<const kov::COXParserElement*>(child));
        }
    }
    for (const auto& error : parser.Errors()) {
        if (error.line < 1 || error.column < 0) __builtin_trap();
    }
    return 0;
}
