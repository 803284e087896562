// bench_startup: what the add-in's start and its toolbar cost Outlook, in
// real time.
//
//   bench_startup [--root DIR] [--runs N]
//
// Outlook starts N times (default 20) with the add-in installed, the filter
// service's stand-in answering and one explorer open. Each start times the
// add-in's OnConnection (which logs in and builds the first explorer's bar)
// and its OnStartupComplete, as Outlook times them; then a second explorer
// opens and is activated, which builds that explorer's bar, timed from the
// activation to its return. Outlook disables an add-in whose start takes
// over a second, so the bar must stay a small share of the start. Prints one
// "name value" pair per line: the medians and the largest times.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "bench_support.h"
#include "outlook_process.h"
#include "runner.h"

namespace {

using Clock = std::chrono::steady_clock;

int Usage() {
    std::cerr << "usage: bench_startup [--root DIR] [--runs N]\n";
    return 2;
}

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    unsigned long runs = 20;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::strtoul(argv[++i], nullptr, 10);
        else
            return Usage();
    }
    if (runs == 0)
        return Usage();
    const bench::Root machine(root, "bench-startup");
    if (!machine.ok())
        return 2;

    olsim::Profile profile;
    olsim::PrepareProcess(profile);
    olsim::OutlookProcess process(profile);
    std::vector<std::string> done;
    std::string message;
    if (!process.Install(done, message)) {
        std::cerr << "bench_startup: installation failed: " << message << "\n";
        return 1;
    }

    std::vector<double> connections, starts, bars;
    for (unsigned long run = 0; run < runs; ++run) {
        if (!process.Start(message) || process.crash()) {
            std::cerr << "bench_startup: Outlook did not start: " << message << "\n";
            return 1;
        }
        connections.push_back(process.lastStart().onConnectionMs);
        starts.push_back(process.lastStart().onConnectionMs +
                         process.lastStart().onStartupCompleteMs);

        if (!process.OpenExplorer(L"Second explorer", message, false)) {
            std::cerr << "bench_startup: " << message << "\n";
            return 1;
        }
        const int second = process.Explorers().back().id;
        const auto beforeBar = Clock::now();
        if (!process.ActivateExplorer(second, message) || process.crash()) {
            std::cerr << "bench_startup: " << message << "\n";
            return 1;
        }
        bars.push_back(Milliseconds(beforeBar, Clock::now()));
        // The bar must be there: a run that built none measured nothing.
        const auto shown = process.Bars(second);
        if (std::none_of(shown.begin(), shown.end(),
                         [](const auto& bar) { return bar.name == L"Brevint toolbar"; })) {
            std::cerr << "bench_startup: the second explorer got no bar\n";
            return 1;
        }
        if (!process.Quit(message)) {
            std::cerr << "bench_startup: " << message << "\n";
            return 1;
        }
    }
    std::printf(
        "runs %zu\nconnection_median_ms %.3f\nconnection_max_ms %.3f\n"
        "startup_median_ms %.3f\nstartup_max_ms %.3f\n"
        "bar_median_ms %.3f\nbar_max_ms %.3f\n",
        connections.size(), bench::Median(connections), bench::Largest(connections),
        bench::Median(starts), bench::Largest(starts), bench::Median(bars), bench::Largest(bars));
    return 0;
}
