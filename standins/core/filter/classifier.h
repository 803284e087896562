// Combines the learned evidence of a message's tokens into a score from 0
// (good) to 100 (spam): Robinson's per-token estimate, Fisher's chi-square
// combination of its clues.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "filter/token_counts.h"

namespace bv::filter {

struct Tuning {
    // The estimate of a token never seen, and how many messages' worth of
    // weight that prior carries against the token's own counts.
    double unknownProbability = 0.5;
    double priorStrength = 0.45;
    // Tokens whose estimate lies closer than this to 0.5 are no clue.
    double minDeviation = 0.25;
    // At most this many clues, the strongest, are combined. No bound by
    // default: every clue counts. Keeping only a long message's strongest
    // clues let more spam through for the same good mail lost.
    size_t maxClues = std::numeric_limits<size_t>::max();
    // Evidence of good mail weighs this much more than that of spam, so that
    // a token seen in both leans good: a lost good mail costs more than a
    // spam let through. Kept small: doubling it let a third of all spam
    // through while the threshold already keeps good mail out.
    double goodWeight = 1.1;
    // A message with an HTML part that the HTML mail learned alone scores
    // under this is judged by that second opinion when it is the lower: good
    // HTML mail is set apart from the spam it resembles only by what the other
    // HTML mail taught. Below the uncertain middle, so that the second opinion
    // only ever keeps a message its like has shown to be good.
    int formVeto = 5;
    // The second opinion is asked only once the HTML mail learned holds this
    // many messages of each kind; with fewer, its few tokens seen on one side
    // only would speak for every HTML message.
    uint64_t minFormMessages = 20;
};

struct Clue {
    std::string token;
    double probability = 0.5;
};

struct Judgement {
    int score = 50;           // 0..100
    std::vector<Clue> clues;  // strongest first
    // The score against the HTML mail learned alone, when that second opinion
    // was asked (an HTML message, enough HTML mail learned); else -1.
    int formScore = -1;
};

// One table's evidence combined.
Judgement Judge(const TokenCountTable& table, const std::vector<std::string>& tokens,
                const Tuning& tuning, bool keepClues = false);
// A message's score: the evidence of all mail learned, and for a message with
// an HTML part the second opinion of the HTML mail alone, which has the last
// word when it is sure the message is good. The clues are all mail's.
Judgement JudgeMessage(const LearnedCounts& counts, const std::vector<std::string>& tokens,
                       const Tuning& tuning, bool keepClues = false);

// The spam probability of one token under the tuning (exposed for tests).
double TokenProbability(const TokenCounts* counts, uint64_t spamMessages, uint64_t goodMessages,
                        const Tuning& tuning);

// Probability that a chi-square variable with `degrees` (even) degrees of
// freedom exceeds `chi2`.
double ChiSquareQ(double chi2, size_t degrees);

}  // namespace bv::filter
