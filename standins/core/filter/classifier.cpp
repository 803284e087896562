#include "filter/classifier.h"

#include <algorithm>
#include <cmath>

#include "filter/tokenizer.h"

namespace bv::filter {

double TokenProbability(const TokenCounts* counts, uint64_t spamMessages, uint64_t goodMessages,
                        const Tuning& tuning) {
    if (counts == nullptr)
        return tuning.unknownProbability;
    double spamRatio = spamMessages ? double(counts->spam) / double(spamMessages) : 0.0;
    double goodRatio =
        goodMessages ? std::min(1.0, tuning.goodWeight * counts->good / double(goodMessages)) : 0.0;
    double seen = double(counts->spam) + double(counts->good);
    if (spamRatio + goodRatio == 0.0)
        return tuning.unknownProbability;
    double estimate = spamRatio / (spamRatio + goodRatio);
    // Robinson: pull the estimate of a rarely seen token towards the prior.
    return (tuning.priorStrength * tuning.unknownProbability + seen * estimate) /
           (tuning.priorStrength + seen);
}

double ChiSquareQ(double chi2, size_t degrees) {
    // Q = e^-m * sum(m^i / i!, i < degrees/2), summed as logarithms so that
    // many strong clues do not underflow.
    double m = chi2 / 2.0;
    if (m <= 0.0)
        return 1.0;
    double logTerm = -m;
    double logSum = logTerm;
    for (size_t i = 1; i < degrees / 2; ++i) {
        logTerm += std::log(m / double(i));
        double high = std::max(logSum, logTerm);
        logSum = high + std::log(std::exp(logSum - high) + std::exp(logTerm - high));
    }
    return std::min(1.0, std::exp(logSum));
}

Judgement Judge(const TokenCountTable& table, const std::vector<std::string>& tokens,
                const Tuning& tuning, bool keepClues) {
    struct Weighed {
        const std::string* token;
        double probability;
    };
    std::vector<Weighed> clues;
    clues.reserve(tokens.size());
    for (const std::string& token : tokens) {
        double p =
            TokenProbability(table.Find(token), table.SpamMessages(), table.GoodMessages(), tuning);
        if (std::fabs(p - 0.5) >= tuning.minDeviation)
            clues.push_back({&token, p});
    }
    auto stronger = [](const Weighed& a, const Weighed& b) {
        double da = std::fabs(a.probability - 0.5), db = std::fabs(b.probability - 0.5);
        return da != db ? da > db : *a.token < *b.token;
    };
    if (clues.size() > tuning.maxClues) {
        std::nth_element(clues.begin(), clues.begin() + tuning.maxClues, clues.end(), stronger);
        clues.resize(tuning.maxClues);
    }

    Judgement judgement;
    if (!clues.empty()) {
        double logGood = 0.0, logSpam = 0.0;
        for (const Weighed& clue : clues) {
            double p = std::clamp(clue.probability, 1e-9, 1.0 - 1e-9);
            logGood += std::log(p);        // small when the clues say spam
            logSpam += std::log(1.0 - p);  // small when the clues say good
        }
        size_t degrees = 2 * clues.size();
        double spamminess = 1.0 - ChiSquareQ(-2.0 * logSpam, degrees);
        double hamminess = 1.0 - ChiSquareQ(-2.0 * logGood, degrees);
        double indicator = (1.0 + spamminess - hamminess) / 2.0;
        judgement.score = static_cast<int>(std::lround(std::clamp(indicator, 0.0, 1.0) * 100.0));
    }
    if (keepClues) {
        std::sort(clues.begin(), clues.end(), stronger);
        for (const Weighed& clue : clues)
            judgement.clues.push_back({*clue.token, clue.probability});
    }
    return judgement;
}

Judgement JudgeMessage(const LearnedCounts& counts, const std::vector<std::string>& tokens,
                       const Tuning& tuning, bool keepClues) {
    Judgement judgement = Judge(counts.all, tokens, tuning, keepClues);
    const TokenCountTable& html = counts.html;
    if (!IsHtmlForm(tokens) || html.SpamMessages() < tuning.minFormMessages ||
        html.GoodMessages() < tuning.minFormMessages)
        return judgement;
    judgement.formScore = Judge(html, tokens, tuning).score;
    if (judgement.formScore < tuning.formVeto)
        judgement.score = std::min(judgement.score, judgement.formScore);
    return judgement;
}

}  // namespace bv::filter
