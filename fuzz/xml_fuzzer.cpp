// The footer document from the service: any bytes. Parsing gives a document
// or false, and a document that did not parse answers no path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/xml_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    standins::core::XmlDocument document;
    bool parsed = document.Parse(text);
    for (std::string_view path : {"MailTag.PlainTxt", "MailTag.HtmlTxt", "MailTag", "", "."}) {
        if (!parsed && document.Text(path))
            std::abort();  // a document that is not well-formed answered
    }
    return 0;
}
