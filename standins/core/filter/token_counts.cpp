#include "filter/token_counts.h"

#include <limits>

#include "filter/tokenizer.h"

namespace bv::filter {

void TokenCountTable::Learn(Verdict verdict, const std::vector<std::string>& tokens) {
    auto [vote, first] = m_votes.try_emplace(Fingerprint(tokens), verdict);
    if (!first) {
        if (vote->second == verdict)
            return;
        Uncount(vote->second, tokens);
        vote->second = verdict;
    }
    Count(verdict, tokens);
}

void TokenCountTable::Count(Verdict verdict, const std::vector<std::string>& tokens) {
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    for (const std::string& token : tokens) {
        auto it = m_tokens.find(std::string_view(token));
        if (it == m_tokens.end())
            it = m_tokens.emplace(token, TokenCounts{}).first;
        uint32_t& count = verdict == Verdict::Spam ? it->second.spam : it->second.good;
        if (count < kMax)
            ++count;
    }
    ++(verdict == Verdict::Spam ? m_spamMessages : m_goodMessages);
}

void TokenCountTable::Uncount(Verdict verdict, const std::vector<std::string>& tokens) {
    for (const std::string& token : tokens) {
        auto it = m_tokens.find(std::string_view(token));
        if (it == m_tokens.end())
            continue;
        uint32_t& count = verdict == Verdict::Spam ? it->second.spam : it->second.good;
        if (count > 0)
            --count;
        if (it->second.spam == 0 && it->second.good == 0)
            m_tokens.erase(it);
    }
    uint64_t& messages = verdict == Verdict::Spam ? m_spamMessages : m_goodMessages;
    if (messages > 0)
        --messages;
}

uint64_t TokenCountTable::Fingerprint(const std::vector<std::string>& tokens) {
    // FNV-1a per token, spread by a 64-bit finalizer and summed: stable across
    // builds (it is stored) and independent of the tokens' order.
    uint64_t sum = 0;
    for (const std::string& token : tokens) {
        uint64_t h = 0xcbf29ce484222325ull;
        for (char c : token)
            h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
        h *= 0xc4ceb9fe1a85ec53ull;
        h ^= h >> 33;
        sum += h;
    }
    return sum;
}

void LearnedCounts::Learn(Verdict verdict, const std::vector<std::string>& tokens) {
    all.Learn(verdict, tokens);
    if (IsHtmlForm(tokens))
        html.Learn(verdict, tokens);
}

const TokenCounts* TokenCountTable::Find(std::string_view token) const {
    auto it = m_tokens.find(token);
    return it == m_tokens.end() ? nullptr : &it->second;
}

}  // namespace bv::filter
