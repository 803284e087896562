#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "filter/classifier.h"
#include "filter/tokenizer.h"

namespace bv::filter {
namespace {

TEST(ChiSquare, MatchesClosedFormsAndDoesNotUnderflow) {
    EXPECT_DOUBLE_EQ(ChiSquareQ(0.0, 4), 1.0);
    EXPECT_NEAR(ChiSquareQ(2.0, 2), std::exp(-1.0), 1e-12);
    EXPECT_NEAR(ChiSquareQ(4.0, 4), std::exp(-2.0) * 3.0, 1e-12);
    // 300 degrees of freedom near the mean: far from 0 although e^-m underflows alone.
    double q = ChiSquareQ(1500.0, 1600);
    EXPECT_GT(q, 0.9);
    EXPECT_LE(q, 1.0);
    EXPECT_LT(ChiSquareQ(2000.0, 300), 1e-100);
}

TEST(Classifier, TokenEstimatesLeanGoodAndTowardsThePriorWhenRare) {
    Tuning tuning;
    EXPECT_DOUBLE_EQ(TokenProbability(nullptr, 10, 10, tuning), tuning.unknownProbability);
    TokenCounts onlySpam{10, 0}, onlyGood{0, 10}, both{5, 5}, once{1, 0};
    EXPECT_GT(TokenProbability(&onlySpam, 10, 10, tuning), 0.95);
    EXPECT_LT(TokenProbability(&onlyGood, 10, 10, tuning), 0.05);
    // Seen equally in both: good evidence weighs more.
    EXPECT_LT(TokenProbability(&both, 10, 10, tuning), 0.5);
    // One sighting is weaker evidence than ten.
    EXPECT_LT(TokenProbability(&once, 10, 10, tuning), TokenProbability(&onlySpam, 10, 10, tuning));
}

TEST(Classifier, UntrainedTableScoresTheMiddleAndCluesOrderByStrength) {
    TokenCountTable table;
    Tuning tuning;
    EXPECT_EQ(Judge(table, {"a", "b"}, tuning).score, 50);

    table.Learn(Verdict::Spam, {"cash", "prize"});
    table.Learn(Verdict::Spam, {"cash"});
    table.Learn(Verdict::Good, {"meeting", "prize"});
    table.Learn(Verdict::Good, {"meeting"});
    Judgement spam = Judge(table, {"cash", "unknown"}, tuning, true);
    Judgement good = Judge(table, {"meeting", "unknown"}, tuning, true);
    EXPECT_GT(spam.score, 90);
    EXPECT_LT(good.score, 10);
    ASSERT_EQ(spam.clues.size(), 1u);  // "unknown" is no clue
    EXPECT_EQ(spam.clues[0].token, "cash");

    tuning.maxClues = 1;
    Judgement capped = Judge(table, {"cash", "prize", "meeting"}, tuning, true);
    ASSERT_EQ(capped.clues.size(), 1u);
    EXPECT_NE(capped.clues[0].token, "prize");  // the weakest one is dropped first
}

TEST(Classifier, EveryClueCountsUnlessBounded) {
    // Many mild spam clues against fewer sharp good ones: with every clue counted the mild ones
    // outweigh the sharp ones; kept to the strongest, only the good clues would be left.
    TokenCountTable table;
    std::vector<std::string> message;
    for (int i = 0; i < 60; ++i) {
        std::string sharpGood = "good" + std::to_string(i);
        table.Learn(Verdict::Good, {sharpGood, sharpGood + "x"});
        message.push_back(sharpGood);
    }
    for (int i = 0; i < 400; ++i) {
        std::string mildSpam = "mild" + std::to_string(i);
        // Seen in 4 spam and 1 good message of 60 each: an estimate near 0.8.
        for (int spam = 0; spam < 4; ++spam)
            table.Learn(Verdict::Spam, {mildSpam, "spam" + std::to_string(spam)});
        table.Learn(Verdict::Good, {mildSpam, "good" + std::to_string(i % 60)});
        message.push_back(mildSpam);
    }
    table.SetMessages(60, 60);
    Tuning tuning;
    double mild = TokenProbability(table.Find("mild0"), 60, 60, tuning);
    ASSERT_GT(mild, 0.5 + tuning.minDeviation);
    ASSERT_LT(mild, 0.9);

    Judgement all = Judge(table, message, tuning, true);
    EXPECT_EQ(all.clues.size(), message.size());
    EXPECT_GT(all.score, 50);
    tuning.maxClues = 150;
    Judgement strongest = Judge(table, message, tuning);
    EXPECT_LT(strongest.score, 50);
}

// Mostly plain good mail, HTML spam selling what a few good HTML newsletters
// announce too: against all mail the newsletter's layout and offer are spam's.
LearnedCounts MailboxWithNewsletters(int newsletters) {
    const std::string html(kHtmlFormToken);
    LearnedCounts counts;
    for (int i = 0; i < 200; ++i)
        counts.Learn(Verdict::Good, {"meeting", "report", "note" + std::to_string(i)});
    for (int i = 0; i < 40; ++i)
        counts.Learn(Verdict::Spam, {html, "html:table", "html:img", "offer", "deal", "unsubscribe",
                                     "pills" + std::to_string(i % 4), "ad" + std::to_string(i)});
    for (int i = 0; i < newsletters; ++i)
        counts.Learn(Verdict::Good, {html, "html:table", "html:img", "offer", "deal", "unsubscribe",
                                     "club", "issue" + std::to_string(i)});
    return counts;
}

TEST(Classifier, TheHtmlMailsOwnOpinionKeepsANewsletterThatAllMailCallsSpam) {
    const std::string html(kHtmlFormToken);
    const std::vector<std::string> newsletter = {html,   "html:table",  "html:img", "offer",
                                                 "deal", "unsubscribe", "club"};
    Tuning tuning;
    LearnedCounts counts = MailboxWithNewsletters(25);
    ASSERT_EQ(counts.html.GoodMessages(), 25u);
    ASSERT_EQ(counts.html.SpamMessages(), 40u);
    int allMail = Judge(counts.all, newsletter, tuning).score;
    ASSERT_GE(allMail, 77);

    Judgement judged = JudgeMessage(counts, newsletter, tuning, true);
    EXPECT_LT(judged.formScore, tuning.formVeto);
    EXPECT_EQ(judged.score, judged.formScore);
    EXPECT_FALSE(judged.clues.empty());  // the clues stay all mail's

    // HTML spam stays spam: the HTML mail's opinion only ever keeps what its like made good.
    Judgement spam = JudgeMessage(counts, {html, "html:table", "offer", "pills1"}, tuning);
    EXPECT_GE(spam.formScore, tuning.formVeto);
    EXPECT_GE(spam.score, 77);

    // The same words in a plain message, or too little HTML mail learned: no second opinion.
    std::vector<std::string> plain(newsletter.begin() + 1, newsletter.end());
    EXPECT_EQ(JudgeMessage(counts, plain, tuning).formScore, -1);
    LearnedCounts few = MailboxWithNewsletters(int(tuning.minFormMessages) - 1);
    Judgement unasked = JudgeMessage(few, newsletter, tuning);
    EXPECT_EQ(unasked.formScore, -1);
    EXPECT_EQ(unasked.score, Judge(few.all, newsletter, tuning).score);
}

}  // namespace
}  // namespace bv::filter
