// SPDX-License-Identifier: MIT
// The PDF module: qpdf reads a PDF, and every text map it holds is mended by the program's rule.
// qpdf without its old smart pointer type.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <string>

#include "core/base/ModuleLoader.h"
#include "core/base/PdfModule.h"

namespace kov {
namespace {

bool mendTextMaps(const char* bytes, size_t size, std::string (*mend)(const std::string&),
                  std::string& out) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("page", bytes, size);
        for (QPDFObjectHandle& object : pdf.getAllObjects()) {
            if (!object.isDictionary() || !object.hasKey("/ToUnicode")) continue;
            QPDFObjectHandle map = object.getKey("/ToUnicode");
            if (!map.isStream()) continue;
            const std::shared_ptr<Buffer> data = map.getStreamData(qpdf_dl_generalized);
            const std::string text(reinterpret_cast<const char*>(data->getBuffer()),
                                   data->getSize());
            const std::string mended = mend(text);
            if (mended != text)
                map.replaceStreamData(mended, QPDFObjectHandle::newNull(),
                                      QPDFObjectHandle::newNull());
        }
        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.write();
        const std::shared_ptr<Buffer> written = writer.getBufferSharedPointer();
        out.assign(reinterpret_cast<const char*>(written->getBuffer()), written->getSize());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace
}  // namespace kov

extern "C" __attribute__((visibility("default"))) const void* kovPdfEntryPoints() {
    static const std::string tag = kov::moduleTag(sizeof(kov::PdfEntryPoints));
    static const kov::PdfEntryPoints table = {tag.c_str(), kov::mendTextMaps};
    return &table;
}
