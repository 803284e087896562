// Windows' best fit: a character a code page cannot hold is written as a
// close one it can (an accented letter as its base letter, a full-width form
// as its ASCII letter) before the default character is used, unless the
// caller asks for WC_NO_BEST_FIT_CHARS.
#pragma once

#include <string>

#include "text/codec.h"

namespace platform::text {

// The character `c` falls back on, or `c` itself when it has none.
char32_t BestFitOf(char32_t c);

// Replaces each character of `text` that `codec` cannot encode by its best
// fit, where the codec can encode that. True when anything was replaced.
bool ApplyBestFit(const Codec& codec, std::u32string& text);

}  // namespace platform::text
