// olsim's state as a page reads it, from a file that may be damaged or of
// another version: any bytes. The only error is `StateError`; a state read
// draws a page, and the page is UTF-8 as its character set says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "state_page.h"
#include "state_view.h"

using namespace olsim::view;

namespace {

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StateView state;
    try {
        state = ReadStateText(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const StateError&) {
        return 0;
    }
    if (!IsUtf8(StatePage(state)))
        std::abort();  // a text was cut inside a character
    return 0;
}
