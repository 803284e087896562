// A list file as a user or another program may have left it: any bytes.
// Parsing gives the entries or a StoreError naming the line, and what parses
// comes back the same after it is written out and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "filter/file_io.h"
#include "filter/sender_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool domains : {false, true}) {
        try {
            auto entries = bv::filter::ParseAddressList(text, domains, "fuzz");
            auto again = bv::filter::ParseAddressList(bv::filter::FormatAddressList(entries),
                                                      domains, "fuzz again");
            if (again != entries)
                std::abort();  // a list written out does not read back as it was
        } catch (const bv::filter::StoreError&) {
            // a malformed line, named in the error
        }
        (void)bv::filter::DomainOf(text);
    }
    return 0;
}
