// bvfilter: trains, scores and inspects a filter store from message files,
// for people and for benchmarks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
using bv::filter::ListKind;

namespace {

constexpr const char* kUsage =
    "usage: bvfilter [--store DIR] COMMAND ...\n"
    "  train [--each] spam|good PATH...  learn the messages (files, or folders of\n"
    "                                 files); --each syncs every vote on its own\n"
    "  score [--threshold N] PATH...  print each message's score (0..100) and path;\n"
    "                                 with a threshold, also how many reach it\n"
    "  explain FILE                   the score and the strongest clues behind it\n"
    "  stats                          what the store has learned\n"
    "  list show KIND                 KIND: white-addresses, white-domains,\n"
    "  list add KIND ADDRESS [NAME]         black-addresses, black-domains\n"
    "  compact                        write a snapshot and empty the journal\n"
    "The store folder is DIR, else $BVFILTER_STORE, else ./bvfilter-store.\n";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

// Files in the given order; a folder gives its regular files, sorted.
std::vector<fs::path> MessageFiles(const std::vector<std::string>& arguments) {
    std::vector<fs::path> files;
    for (const std::string& argument : arguments) {
        if (fs::is_directory(argument)) {
            std::vector<fs::path> inFolder;
            for (const auto& entry : fs::recursive_directory_iterator(argument))
                if (entry.is_regular_file())
                    inFolder.push_back(entry.path());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else {
            files.emplace_back(argument);
        }
    }
    return files;
}

bool ParseKind(const std::string& name, ListKind& kind) {
    if (name == "white-addresses")
        kind = ListKind::WhiteAddresses;
    else if (name == "white-domains")
        kind = ListKind::WhiteDomains;
    else if (name == "black-addresses")
        kind = ListKind::BlackAddresses;
    else if (name == "black-domains")
        kind = ListKind::BlackDomains;
    else
        return false;
    return true;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Train(FilterEngine& engine, std::vector<std::string> arguments) {
    bool each = !arguments.empty() && arguments[0] == "--each";
    if (each)
        arguments.erase(arguments.begin());
    if (arguments.size() < 2 || (arguments[0] != "spam" && arguments[0] != "good"))
        return Usage();
    int vote = arguments[0] == "spam" ? bv::filter::kSpamVote : bv::filter::kGoodVote;
    std::vector<std::string> messages;
    for (const fs::path& file :
         MessageFiles(std::vector<std::string>(arguments.begin() + 1, arguments.end())))
        messages.push_back(bv::filter::ReadMessageFile(file));
    auto start = std::chrono::steady_clock::now();
    if (each) {
        for (const std::string& message : messages)
            engine.Vote(message, vote);
    } else {
        engine.VoteAll(messages, vote);
    }
    double seconds = SecondsSince(start);
    std::fprintf(stderr, "learned %zu %s messages in %.3f s (%.0f messages/s)\n", messages.size(),
                 arguments[0].c_str(), seconds, seconds > 0 ? messages.size() / seconds : 0.0);
    return 0;
}

int Score(const FilterEngine& engine, std::vector<std::string> arguments) {
    long threshold = -1;
    if (arguments.size() >= 2 && arguments[0] == "--threshold") {
        char* end = nullptr;
        threshold = std::strtol(arguments[1].c_str(), &end, 10);
        if (*end != '\0' || threshold < 0 || threshold > 100)
            return Usage();
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.empty())
        return Usage();
    std::vector<fs::path> files = MessageFiles(arguments);
    std::vector<std::string> messages;
    messages.reserve(files.size());
    for (const fs::path& file : files)
        messages.push_back(bv::filter::ReadMessageFile(file));
    size_t reached = 0;
    std::string output;
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < messages.size(); ++i) {
        int score = engine.Score(messages[i]);
        if (threshold >= 0 && score >= threshold)
            ++reached;
        output += std::to_string(score) + '\t' + files[i].string() + '\n';
    }
    double seconds = SecondsSince(start);
    std::fwrite(output.data(), 1, output.size(), stdout);
    std::fprintf(stderr, "scored %zu messages in %.3f s (%.0f messages/s)\n", messages.size(),
                 seconds, seconds > 0 ? messages.size() / seconds : 0.0);
    if (threshold >= 0)
        std::fprintf(stderr, "%zu of %zu reach the threshold %ld\n", reached, messages.size(),
                     threshold);
    return 0;
}

int Explain(const FilterEngine& engine, const std::vector<std::string>& arguments) {
    if (arguments.size() != 1)
        return Usage();
    bv::filter::Explanation explanation = engine.Explain(bv::filter::ReadMessageFile(arguments[0]));
    std::printf("score %d\nsender %s\n", explanation.score, explanation.sender.c_str());
    if (explanation.listDecision != bv::filter::ListDecision::None)
        std::printf(
            "decided by the %s list\n",
            explanation.listDecision == bv::filter::ListDecision::Black ? "black" : "white");
    if (explanation.formScore >= 0)
        std::printf("HTML mail's score %d\n", explanation.formScore);
    size_t shown = 0;
    for (const auto& clue : explanation.clues) {
        if (++shown > 30)
            break;
        std::printf("%.4f\t%s\n", clue.probability, clue.token.c_str());
    }
    return 0;
}

int Stats(const FilterEngine& engine) {
    bv::filter::EngineStats stats = engine.Stats();
    std::printf("spam messages\t%llu\ngood messages\t%llu\ntokens\t%llu\n",
                static_cast<unsigned long long>(stats.spamMessages),
                static_cast<unsigned long long>(stats.goodMessages),
                static_cast<unsigned long long>(stats.tokens));
    std::printf("of them with an HTML part\t%llu spam, %llu good\n",
                static_cast<unsigned long long>(stats.htmlSpamMessages),
                static_cast<unsigned long long>(stats.htmlGoodMessages));
    std::printf("journal votes replayed at open\t%llu\ntorn journal bytes cut off\t%llu\n",
                static_cast<unsigned long long>(stats.loaded.replayedVotes),
                static_cast<unsigned long long>(stats.loaded.discardedBytes));
    std::printf("damaged journal records skipped\t%llu\nrecovered after them\t%llu\n",
                static_cast<unsigned long long>(stats.loaded.skippedRecords),
                static_cast<unsigned long long>(stats.loaded.recoveredRecords));
    return 0;
}

int List(FilterEngine& engine, const std::vector<std::string>& arguments) {
    ListKind kind;
    if (arguments.size() < 2 || !ParseKind(arguments[1], kind))
        return Usage();
    bool domains = kind == ListKind::WhiteDomains || kind == ListKind::BlackDomains;
    bool black = kind == ListKind::BlackAddresses || kind == ListKind::BlackDomains;
    if (arguments[0] == "show" && arguments.size() == 2) {
        std::cout << bv::filter::FormatAddressList(engine.Lists().Entries(kind));
        return 0;
    }
    if (arguments[0] == "add" && arguments.size() >= 3 && arguments.size() <= 4) {
        bool added = domains ? engine.Lists().AddDomain(black, arguments[2])
                             : engine.Lists().AddAddress(black, arguments[2],
                                                         arguments.size() == 4 ? arguments[3] : "");
        if (!added) {
            std::cerr << "bvfilter: \"" << arguments[2] << "\" is not "
                      << (domains ? "an address or domain" : "an e-mail address") << "\n";
            return 1;
        }
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    fs::path store =
        std::getenv("BVFILTER_STORE") ? std::getenv("BVFILTER_STORE") : "bvfilter-store";
    if (arguments.size() >= 2 && arguments[0] == "--store") {
        store = arguments[1];
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.empty())
        return Usage();
    std::string command = arguments.front();
    arguments.erase(arguments.begin());
    try {
        FilterEngine engine(store);
        if (std::string notice = engine.Stats().loaded.DamageNotice(); !notice.empty())
            std::cerr << "bvfilter: " << notice << "\n";
        if (command == "train")
            return Train(engine, arguments);
        if (command == "score")
            return Score(engine, arguments);
        if (command == "explain")
            return Explain(engine, arguments);
        if (command == "stats" && arguments.empty())
            return Stats(engine);
        if (command == "list")
            return List(engine, arguments);
        if (command == "compact" && arguments.empty()) {
            engine.Compact();
            return 0;
        }
        return Usage();
    } catch (const std::exception& error) {
        std::cerr << "bvfilter: " << error.what() << "\n";
        return 1;
    }
}
