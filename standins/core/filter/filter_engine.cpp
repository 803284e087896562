#include "filter/filter_engine.h"

#include "filter/tokenizer.h"

namespace bv::filter {

FilterEngine::FilterEngine(const std::filesystem::path& folder, EngineOptions options)
    : options_(options), storage_(folder), lists_(folder) {
    loaded_ = storage_.Load(counts_);
    lastSequence_ = loaded_.lastSequence;
    votesSinceSnapshot_ = loaded_.replayedVotes;
}

FilterEngine::~FilterEngine() = default;

Explanation FilterEngine::Judge(std::string_view rfc822, bool keepClues) const {
    Explanation explanation;
    explanation.sender = SenderAddress(rfc822);
    explanation.listDecision = lists_.Decide(explanation.sender);
    if (explanation.listDecision == ListDecision::Black) {
        explanation.score = 100;
        return explanation;
    }
    if (explanation.listDecision == ListDecision::White) {
        explanation.score = 0;
        return explanation;
    }
    const std::vector<std::string> tokens = Tokenize(rfc822);
    std::shared_lock lock(tableMutex_);
    Judgement judgement = JudgeMessage(counts_, tokens, options_.tuning, keepClues);
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
    std::lock_guard write(writeMutex_);
    uint64_t sequence = lastSequence_;
    try {
        for (const auto& tokens : tokenSets)
            storage_.AppendVote(++sequence, verdict, tokens);
        // Durable before anyone sees the votes' effect.
        storage_.Sync();
    } catch (const StoreError&) {
        // A half-written record must not stay in front of the next vote's.
        storage_.DiscardUnsynced();
        throw;
    }
    {
        std::unique_lock lock(tableMutex_);
        for (const auto& tokens : tokenSets)
            counts_.Learn(verdict, tokens);
    }
    lastSequence_ = sequence;
    votesSinceSnapshot_ += tokenSets.size();
    if (votesSinceSnapshot_ >= options_.snapshotEvery) {
        try {
            CompactLocked();
        } catch (const StoreError&) {
            // The votes are safe in the journal; the snapshot is tried again
            // after the next vote.
        }
    }
}

void FilterEngine::Compact() {
    std::lock_guard write(writeMutex_);
    CompactLocked();
}

void FilterEngine::CompactLocked() {
    // Scorers go on while the snapshot is written: only votes change the table.
    std::shared_lock lock(tableMutex_);
    storage_.WriteSnapshot(counts_, lastSequence_);
    votesSinceSnapshot_ = 0;
}

EngineStats FilterEngine::Stats() const {
    EngineStats stats;
    stats.loaded = loaded_;
    std::shared_lock lock(tableMutex_);
    stats.spamMessages = counts_.all.SpamMessages();
    stats.goodMessages = counts_.all.GoodMessages();
    stats.tokens = counts_.all.Size();
    stats.htmlSpamMessages = counts_.html.SpamMessages();
    stats.htmlGoodMessages = counts_.html.GoodMessages();
    return stats;
}

}  // namespace bv::filter
