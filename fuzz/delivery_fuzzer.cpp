// A message file delivered into the mail store: any bytes. Reading it gives
// the properties a delivered message has, or a StoreError naming what is
// wrong with it; the bodies it gives convert between plain and HTML without
// fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <mailstore/model.h>

#include "rfc822.h"

using namespace mailstore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view message(reinterpret_cast<const char*>(data), size);
    try {
        for (const auto& [tag, value] : rfc822::ReadProperties(message)) {
            if (const auto* text = std::get_if<std::wstring>(&value)) {
                (void)rfc822::PlainFromHtml(*text);
                (void)rfc822::HtmlFromPlain(*text);
            }
        }
    } catch (const StoreError&) {
        // malformed: refused with its reason
    }
    (void)rfc822::ParseAddressList(message);
    (void)rfc822::ParseContentType(message);
    return 0;
}
