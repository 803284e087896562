// bench_filter: trains the filter engine on one set of messages and scores
// another, timing both in-process. Every message is read into memory before
// the clock starts, so the figures are the engine's (tokenizing, counting,
// journaling and syncing the votes; tokenizing and judging the scores), not
// the disk's.
//
//   bench_filter [--threshold N] [--sweep] [--good-weight W] [--prior-strength S]
//                [--min-deviation D] [--max-clues N] [--form-veto N] [--min-form-messages N]
//                [--errors FILE] STORE TRAIN_GOOD TRAIN_SPAM TEST_GOOD TEST_SPAM
//
// The four lists name one message file per line. Prints one line:
//   core TRAINED TRAIN_SECONDS SCORED SCORE_SECONDS FALSE_POSITIVES FALSE_NEGATIVES
// and with --sweep, the errors at every threshold from 1 to 100 after it. --errors appends
// "good|spam TAB score TAB file" for each test message judged wrongly at the threshold, for
// looking into the errors of a tuning split.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "filter/file_io.h"
#include "filter/filter_engine.h"

namespace fs = std::filesystem;
using bv::filter::FilterEngine;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> ReadList(const fs::path& list) {
    std::ifstream in(list);
    if (!in)
        throw std::runtime_error(list.string() + ": cannot read");
    std::vector<std::string> files;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            files.push_back(line);
    return files;
}

std::vector<std::string> ReadMessages(const std::vector<std::string>& files) {
    std::vector<std::string> messages;
    messages.reserve(files.size());
    for (const std::string& file : files)
        messages.push_back(bv::filter::ReadMessageFile(file));
    return messages;
}

void AppendErrors(std::ostream& out, const char* kind, const std::vector<std::string>& files,
                  const std::vector<int>& scores, int threshold, bool spam) {
    for (size_t i = 0; i < files.size(); ++i)
        if ((scores[i] >= threshold) != spam)
            out << kind << '\t' << scores[i] << '\t' << files[i] << '\n';
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<int> ScoreAll(const FilterEngine& engine, const std::vector<std::string>& messages) {
    std::vector<int> scores;
    scores.reserve(messages.size());
    for (const std::string& message : messages)
        scores.push_back(engine.Score(message));
    return scores;
}

int CountAtLeast(const std::vector<int>& scores, int threshold) {
    int count = 0;
    for (int score : scores)
        count += score >= threshold ? 1 : 0;
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    int threshold = bv::filter::kDefaultThreshold;
    bool sweep = false;
    std::string errorsFile;
    bv::filter::EngineOptions options;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--threshold" && i + 1 < argc)
            threshold = std::stoi(argv[++i]);
        else if (argument == "--good-weight" && i + 1 < argc)
            options.tuning.goodWeight = std::stod(argv[++i]);
        else if (argument == "--prior-strength" && i + 1 < argc)
            options.tuning.priorStrength = std::stod(argv[++i]);
        else if (argument == "--min-deviation" && i + 1 < argc)
            options.tuning.minDeviation = std::stod(argv[++i]);
        else if (argument == "--max-clues" && i + 1 < argc)
            options.tuning.maxClues = std::stoul(argv[++i]);
        else if (argument == "--form-veto" && i + 1 < argc)
            options.tuning.formVeto = std::stoi(argv[++i]);
        else if (argument == "--min-form-messages" && i + 1 < argc)
            options.tuning.minFormMessages = std::stoul(argv[++i]);
        else if (argument == "--errors" && i + 1 < argc)
            errorsFile = argv[++i];
        else if (argument == "--sweep")
            sweep = true;
        else
            arguments.push_back(argument);
    }
    if (arguments.size() != 5) {
        std::cerr << "usage: bench_filter [--threshold N] [--sweep] STORE TRAIN_GOOD TRAIN_SPAM "
                     "TEST_GOOD TEST_SPAM\n";
        return 2;
    }
    try {
        fs::remove_all(arguments[0]);
        const auto trainGood = ReadMessages(ReadList(arguments[1]));
        const auto trainSpam = ReadMessages(ReadList(arguments[2]));
        const auto testGoodFiles = ReadList(arguments[3]);
        const auto testSpamFiles = ReadList(arguments[4]);
        const auto testGood = ReadMessages(testGoodFiles);
        const auto testSpam = ReadMessages(testSpamFiles);

        FilterEngine engine(arguments[0], options);
        auto trainStart = Clock::now();
        engine.VoteAll(trainGood, bv::filter::kGoodVote);
        engine.VoteAll(trainSpam, bv::filter::kSpamVote);
        double trainSeconds = SecondsSince(trainStart);

        auto scoreStart = Clock::now();
        const auto goodScores = ScoreAll(engine, testGood);
        const auto spamScores = ScoreAll(engine, testSpam);
        double scoreSeconds = SecondsSince(scoreStart);

        int falsePositives = CountAtLeast(goodScores, threshold);
        int falseNegatives = int(spamScores.size()) - CountAtLeast(spamScores, threshold);
        std::printf("core %zu %.6f %zu %.6f %d %d\n", trainGood.size() + trainSpam.size(),
                    trainSeconds, testGood.size() + testSpam.size(), scoreSeconds, falsePositives,
                    falseNegatives);
        if (!errorsFile.empty()) {
            std::ofstream errors(errorsFile, std::ios::app);
            AppendErrors(errors, "good", testGoodFiles, goodScores, threshold, false);
            AppendErrors(errors, "spam", testSpamFiles, spamScores, threshold, true);
            if (!errors)
                throw std::runtime_error(errorsFile + ": cannot write");
        }
        if (sweep)
            for (int t = 1; t <= 100; ++t)
                std::printf("threshold %d fp %d fn %d\n", t, CountAtLeast(goodScores, t),
                            int(spamScores.size()) - CountAtLeast(spamScores, t));
    } catch (const std::exception& error) {
        std::cerr << "bench_filter: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
