// olsim's state as a page reads it, from a file that may be damaged or of
// another version: any bytes. The only error is `StateError`; a state read
// draws a page, and the page is UTF-8 as its character set says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "state_page.h"
#include "state_view.h"

using namespace olsim::view;

namespace {

// Well-formed UTF-8, as Windows judges it when asked to refuse what is not.
bool IsUtf8(const std::string& text) {
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
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
