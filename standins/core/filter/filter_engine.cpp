#include "filter/filter_engine.h"

#include "filter/tokenizer.h"

namespace bv::filter {

FilterEngine::FilterEngine(const std::filesystem::path& folder, EngineOptions options)
    : m_options(options), m_storage(folder), m_lists(folder) {
    m_loaded = m_storage.Load(m_counts);
    m_lastSequence = m_loaded.lastSequence;
    m_votesSinceSnapshot = m_loaded.replayedVotes;
}

FilterEngine::~FilterEngine() = default;

Explanation FilterEngine::Judge(std::string_view rfc822, bool keepClues) const {
    Explanation explanation;
    explanation.sender = SenderAddress(rfc822);
    explanation.listDecision = m_lists.Decide(explanation.sender);
    if (explanation.listDecision == ListDecision::Black) {
        explanation.score = 100;
        return explanation;
    }
    if (explanation.listDecision == ListDecision::White) {
        explanation.score = 0;
        return explanation;
    }
    const std::vector<std::string> tokens = Tokenize(rfc822);
    std::shared_lock lock(m_tableMutex);
    Judgement judgement = JudgeMessage(m_counts, tokens, m_options.tuning, keepClues);
    explanation.score = judgement.score;
    explanation.formScore = judgement.formScore;
    explanation.clues = std::move(judgement.clues);
    return explanation;
}

int FilterEngine::Score(std::string_view rfc822) const {
    return Judge(rfc822, false).score;
}

Explanation FilterEngine::Explain(std::string_view rfc822) const {
    return Judge(rfc822, true);
}

bool FilterEngine::ToVerdict(int vote, Verdict& verdict) {
    if (vote != kSpamVote && vote != kGoodVote)
        return false;
    verdict = vote == kSpamVote ? Verdict::Spam : Verdict::Good;
    return true;
}

bool FilterEngine::Vote(std::string_view rfc822, int vote) {
    Verdict verdict;
    if (!ToVerdict(vote, verdict))
        return false;
    RecordVotes(verdict, {Tokenize(rfc822)});
    return true;
}

bool FilterEngine::VoteAll(const std::vector<std::string>& messages, int vote) {
    Verdict verdict;
    if (!ToVerdict(vote, verdict))
        return false;
    std::vector<std::vector<std::string>> tokenSets;
    tokenSets.reserve(messages.size());
    for (const std::string& message : messages)
        tokenSets.push_back(Tokenize(message));
    RecordVotes(verdict, tokenSets);
    return true;
}

void FilterEngine::RecordVotes(Verdict verdict,
                               const std::vector<std::vector<std::string>>& tokenSets) {
    std::lock_guard write(m_writeMutex);
    uint64_t sequence = m_lastSequence;
    try {
        for (const auto& tokens : tokenSets)
            m_storage.AppendVote(++sequence, verdict, tokens);
        // Durable before anyone sees the votes' effect.
        m_storage.Sync();
    } catch (const StoreError&) {
        // A half-written record must not stay in front of the next vote's.
        m_storage.DiscardUnsynced();
        throw;
    }
    {
        std::unique_lock lock(m_tableMutex);
        for (const auto& tokens : tokenSets)
            m_counts.Learn(verdict, tokens);
    }
    m_lastSequence = sequence;
    m_votesSinceSnapshot += tokenSets.size();
    if (m_votesSinceSnapshot >= m_options.snapshotEvery) {
        try {
            CompactLocked();
        } catch (const StoreError&) {
            // The votes are safe in the journal; the snapshot is tried again
            // after the next vote.
        }
    }
}

void FilterEngine::Compact() {
    std::lock_guard write(m_writeMutex);
    CompactLocked();
}

void FilterEngine::CompactLocked() {
    // Scorers go on while the snapshot is written: only votes change the table.
    std::shared_lock lock(m_tableMutex);
    m_storage.WriteSnapshot(m_counts, m_lastSequence);
    m_votesSinceSnapshot = 0;
}

EngineStats FilterEngine::Stats() const {
    EngineStats stats;
    stats.loaded = m_loaded;
    std::shared_lock lock(m_tableMutex);
    stats.spamMessages = m_counts.all.SpamMessages();
    stats.goodMessages = m_counts.all.GoodMessages();
    stats.tokens = m_counts.all.Size();
    stats.htmlSpamMessages = m_counts.html.SpamMessages();
    stats.htmlGoodMessages = m_counts.html.GoodMessages();
    return stats;
}

}  // namespace bv::filter
