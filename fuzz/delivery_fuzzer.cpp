// A message file delivered into the mail store: any bytes. Reading it gives
// the properties a delivered message has, or, only for what is no message at
// all (empty, or not starting with a header field), a StoreError saying so;
// the bodies it gives convert between plain and HTML without fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <mailstore/model.h>

#include "rfc822.h"

using namespace mailstore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view message(reinterpret_cast<const char*>(data), size);
    try {
        const auto properties = rfc822::ReadProperties(message);
        // The transport headers are the message's first bytes, unchanged.
        const auto headers = properties.find(tags::kTransportHeaders);
        if (headers != properties.end() &&
            !message.starts_with(std::get<std::string>(headers->second))) {
            std::abort();
        }
        for (const auto& [tag, value] : properties) {
            if (const auto* text = std::get_if<std::wstring>(&value)) {
                (void)rfc822::PlainFromHtml(*text);
                (void)rfc822::HtmlFromPlain(*text);
            }
        }
    } catch (const StoreError& error) {
        // Refused: only what has no header block to read.
        const std::string_view reason = error.what();
        if (!reason.starts_with("the message is empty") &&
            !reason.starts_with("the message has no header block")) {
            std::abort();
        }
    }
    (void)rfc822::ParseAddressList(message);
    (void)rfc822::ParseContentType(message);
    return 0;
}
