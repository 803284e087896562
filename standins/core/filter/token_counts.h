// What the filter has learned: per token, in how many spam and good messages
// it was seen, with the number of messages of each kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bv::filter {

struct TokenCounts {
    uint32_t spam = 0;
    uint32_t good = 0;
};

// A vote as the store records it: spam (+1) or good (-1).
enum class Verdict : int8_t { Good = -1, Spam = 1 };

class TokenCountTable {
  public:
    // Each token counts once per message. A message learned before (the same
    // tokens) is not counted twice: the same verdict again changes nothing,
    // the other verdict moves its counts over, as when a user corrects a vote.
    void Learn(Verdict verdict, const std::vector<std::string>& tokens);
    void RememberVote(uint64_t fingerprint, Verdict verdict) { m_votes[fingerprint] = verdict; }
    void Set(std::string token, TokenCounts counts) { m_tokens[std::move(token)] = counts; }
    void SetMessages(uint64_t spam, uint64_t good) {
        m_spamMessages = spam;
        m_goodMessages = good;
    }

    const TokenCounts* Find(std::string_view token) const;
    uint64_t SpamMessages() const { return m_spamMessages; }
    uint64_t GoodMessages() const { return m_goodMessages; }
    size_t Size() const { return m_tokens.size(); }

    template <typename Visit>
    void ForEach(Visit&& visit) const {
        for (const auto& [token, counts] : m_tokens)
            visit(token, counts);
    }
    template <typename Visit>
    void ForEachVote(Visit&& visit) const {
        for (const auto& [fingerprint, verdict] : m_votes)
            visit(fingerprint, verdict);
    }
    size_t VotesRemembered() const { return m_votes.size(); }

    // Identifies a message by its token set, whatever the tokens' order.
    static uint64_t Fingerprint(const std::vector<std::string>& tokens);

  private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, TokenCounts, Hash, std::equal_to<>> m_tokens;
    void Count(Verdict verdict, const std::vector<std::string>& tokens);
    void Uncount(Verdict verdict, const std::vector<std::string>& tokens);

    std::unordered_map<uint64_t, Verdict> m_votes;
    uint64_t m_spamMessages = 0;
    uint64_t m_goodMessages = 0;
};

// What the filter has learned, kept twice: from every message, and from the
// messages with an HTML part alone. Good HTML mail is mostly newsletters and
// offers the user asked for, a small share of all good mail but the form most
// spam takes; judged against all mail, its layout and offers are the spam's.
// Judged against HTML mail alone, it meets its like (see JudgeMessage).
struct LearnedCounts {
    TokenCountTable all;
    TokenCountTable html;

    void Learn(Verdict verdict, const std::vector<std::string>& tokens);
};

}  // namespace bv::filter
