#include "filter/token_counts.h"

#include <limits>

namespace bv::filter {

void TokenCountTable::Learn(Verdict verdict, const std::vector<std::string>& tokens) {
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    for (const std::string& token : tokens) {
        auto it = tokens_.find(std::string_view(token));
        if (it == tokens_.end())
            it = tokens_.emplace(token, TokenCounts{}).first;
        uint32_t& count = verdict == Verdict::Spam ? it->second.spam : it->second.good;
        if (count < kMax)
            ++count;
    }
    ++(verdict == Verdict::Spam ? spamMessages_ : goodMessages_);
}

const TokenCounts* TokenCountTable::Find(std::string_view token) const {
    auto it = tokens_.find(token);
    return it == tokens_.end() ? nullptr : &it->second;
}

}  // namespace bv::filter
