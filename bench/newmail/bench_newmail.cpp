// bench_newmail: the add-in's new-mail path over the corpus's arriving half,
// timed per message from the new-mail event to the message handled.
//
//   bench_newmail CORPUS_DATA [--root DIR] [--limit N]
//
// The filter core is trained on the corpus's training half as the demo
// trains it, Outlook starts with the add-in, and each arriving message is
// delivered into the Inbox on its own. The clock starts when the store raises
// "new mail" (this program's subscription is the store's first, made before
// Outlook starts, so it hears the event before the add-in's library does) and
// stops when the message loop is idle again with the worker threads settled:
// the add-in has moved the message or left it. Prints one "name value" pair
// per line.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>

#include "bench_support.h"
#include "core_training.h"
#include "corpus.h"
#include "mail.h"
#include "outlook_process.h"
#include "runner.h"

namespace {

using Clock = std::chrono::steady_clock;

int Usage() {
    std::cerr << "usage: bench_newmail CORPUS_DATA [--root DIR] [--limit N]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    std::filesystem::path corpus = argv[1];
    std::string root;
    size_t limit = SIZE_MAX;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "--limit" && i + 1 < argc)
            limit = std::strtoul(argv[++i], nullptr, 10);
        else
            return Usage();
    }
    const bench::Root machine(root, "bench-newmail");
    if (!machine.ok())
        return 2;

    std::string problem;
    auto split = olsim::SplitCorpus(corpus, olsim::SpamCorpusGroups(), problem);
    if (!split) {
        std::cerr << "bench_newmail: " << problem << "\n";
        return 2;
    }
    if (split->test.size() > limit)
        split->test.resize(limit);

    olsim::Profile profile;
    olsim::PrepareProcess(profile);
    olsim::OutlookProcess process(profile);
    std::vector<std::string> done;
    std::string message;
    if (!process.Install(done, message)) {
        std::cerr << "bench_newmail: installation failed: " << message << "\n";
        return 1;
    }
    {
        olsim::CoreTrainer trainer;  // let go before Outlook starts
        for (const auto& m : split->train) {
            mailstore::Bytes bytes;
            std::string error;
            if (!olsim::ReadFileBytes(m.file, bytes)) {
                std::cerr << "bench_newmail: " << m.file << ": cannot open\n";
                return 1;
            }
            if (!trainer.Vote(olsim::WithoutEnvelope(bytes),
                              m.spam ? olsim::kSpamVote : olsim::kGoodVote, error)) {
                std::cerr << "bench_newmail: " << m.file << ": " << error << "\n";
                return 1;
            }
        }
    }

    auto inbox = olsim::DefaultInbox();
    std::optional<Clock::time_point> newMail;
    inbox->OwningStore()->Advise(0x2 /* new mail */,
                                 [&](const mailstore::Notification&) { newMail = Clock::now(); });
    if (!process.Start(message) || process.crash()) {
        std::cerr << "bench_newmail: Outlook did not start: " << message << "\n";
        return 1;
    }
    process.Advance(10000);

    std::vector<olsim::ArrivingMessage> arriving;
    for (const auto& m : split->test) {
        mailstore::Bytes file;
        if (olsim::ReadFileBytes(m.file, file))
            arriving.push_back({m, olsim::WithoutEnvelope(file), olsim::ArrivalTime(file)});
    }
    arriving = olsim::InArrivalOrder(std::move(arriving));

    std::vector<double> ms;
    size_t refused = 0;
    for (const auto& m : arriving) {
        newMail.reset();
        std::string error;
        bool delivered = process.DeliverMail(inbox, m.bytes, error);
        const auto handled = Clock::now();
        if (process.crash()) {
            std::cerr << "bench_newmail: " << process.crash()->Describe() << "\n";
            return 1;
        }
        if (!delivered || !newMail) {
            ++refused;
            continue;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(handled - *newMail).count());
    }
    process.Quit(message);

    double total = 0;
    for (double t : ms)
        total += t;
    std::printf(
        "messages %zu\nrefused %zu\nmedian_ms %.3f\np99_ms %.3f\nmax_ms %.3f\n"
        "total_ms %.1f\n",
        ms.size(), refused, bench::Percentile(ms, 0.5), bench::Percentile(ms, 0.99),
        bench::Percentile(ms, 1.0), total);
    return 0;
}
