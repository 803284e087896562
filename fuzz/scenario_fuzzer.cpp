// A scenario file as a person writes it: any bytes. Parsing gives the
// scenario or a ParseError naming the line, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)olsim::ParseScenario(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const olsim::ParseError&) {
        // the first bad line, named
    }
    return 0;
}
