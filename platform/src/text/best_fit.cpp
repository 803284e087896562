#include "text/best_fit.h"

#include <algorithm>
#include <iterator>

namespace platform::text {
namespace {

struct BestFit {
    char16_t from;
    unsigned char to;
};

constexpr BestFit kBestFits[] = {
#include "text/best_fit_table.inc"
};

static_assert(std::is_sorted(std::begin(kBestFits), std::end(kBestFits),
                             [](const BestFit& a, const BestFit& b) { return a.from < b.from; }));

bool Encodes(const Codec& codec, char32_t c) {
    return !codec.Encode(std::u32string_view(&c, 1), "?").usedDefault;
}

}  // namespace

char32_t BestFitOf(char32_t c) {
    auto found = std::lower_bound(std::begin(kBestFits), std::end(kBestFits), c,
                                  [](const BestFit& fit, char32_t key) { return fit.from < key; });
    return found != std::end(kBestFits) && found->from == c ? found->to : c;
}

bool ApplyBestFit(const Codec& codec, std::u32string& text) {
    bool replaced = false;
    for (char32_t& c : text) {
        const char32_t fit = BestFitOf(c);
        if (fit != c && !Encodes(codec, c) && Encodes(codec, fit)) {
            c = fit;
            replaced = true;
        }
    }
    return replaced;
}

}  // namespace platform::text
