// olsim: Outlook's process, simulated.
//
//   olsim run FILE [--state OUT.json] [--root DIR] [--verbose]
//   olsim demo [--root DIR] [--corpus DIR] [--report PAGE.html] [--interactive] [SCENARIO]
//   olsim view STATE.json [-o PAGE.html]
//   olsim help

#include <platform/clock.h>
#include <platform/root.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "demo.h"
#include "page_files.h"
#include "runner.h"
#include "verbs.h"

namespace {

int Usage() {
    std::cerr
        << "usage: olsim run FILE [--state OUT.json] [--root DIR] [--verbose]\n"
           "       olsim demo [--root DIR] [--corpus DIR] [--report PAGE.html] [--interactive]\n"
           "                  [SCENARIO]\n"
           "       olsim view STATE.json [-o PAGE.html]\n"
           "       olsim help\n";
    return 2;
}

// Ends the process at once after a crash: an add-in that crashed is not torn
// down by the module's own destructors.
[[noreturn]] void ExitAfterCrash(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

// `olsim view STATE.json [-o PAGE.html]`: the state drawn as a page.
int View(int argc, char** argv) {
    std::string state;
    std::string page;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc && page.empty())
            page = argv[++i];
        else if (state.empty() && arg.rfind("-", 0) != 0)
            state = arg;
        else
            return Usage();
    }
    if (state.empty())
        return Usage();
    std::string error;
    if (!olsim::view::WriteStatePage(state, page, error)) {
        std::cerr << "olsim view: " << error << "\n";
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    // On the virtual clock, time passes by itself whenever Outlook's thread
    // and every worker wait: a quit that waits for a worker asleep in a
    // pause, or the end of a run, gets to the deadline instead of hanging.
    platform::host::AdvanceWhenAllWait(true);
    std::string job = argv[1];
    if (job == "view")
        return View(argc, argv);
    if (job == "help" && argc == 2) {
        std::cout << "The scenario language (docs/sim/scenarios.md), one step per line.\n\n"
                  << olsim::UsageText();
        return 0;
    }
    std::string file;
    olsim::RunOptions options;
    std::string root;
    olsim::DemoOptions demo;
    demo.corpus = OLSIM_DEFAULT_CORPUS;
    demo.fetchHint =
        "Fetch the corpus with scripts/fetch-corpus (scripts/setup demo does it too),\n"
        "or name its data folder with --corpus DIR.\n";
    bool interactive = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--state" && i + 1 < argc)
            options.stateFile = argv[++i];
        else if (arg == "--root" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "--verbose")
            options.verbose = true;
        else if (job == "demo" && arg == "--corpus" && i + 1 < argc)
            demo.corpus = argv[++i];
        else if (job == "demo" && arg == "--report" && i + 1 < argc)
            demo.reportFile = argv[++i];
        else if (job == "demo" && arg == "--interactive")
            interactive = true;
        else if (job == "demo" && demo.scenarioFile.empty() && arg.rfind("--", 0) != 0)
            demo.scenarioFile = arg;
        else if (job == "run" && file.empty() && arg.rfind("--", 0) != 0)
            file = arg;
        else
            return Usage();
    }

    if (job == "demo") {
        if (!root.empty())
            platform::host::SetRoot(root);
        if (interactive)
            demo.commands = &std::cin;
        bool crashed = false;
        int status = olsim::RunDemo(demo, std::cout, crashed);
        if (crashed)
            ExitAfterCrash(1);
        return status;
    }
    if (job != "run" || file.empty())
        return Usage();

    std::ifstream in(file);
    if (!in) {
        std::cerr << file << ": cannot be read\n";
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    olsim::Scenario scenario;
    try {
        scenario = olsim::ParseScenario(text.str());
    } catch (const olsim::ParseError& error) {
        std::cerr << file << ":" << error.what() << "\n";
        return 2;
    }

    // A fresh root for each run unless one is given.
    bool temporary = root.empty();
    if (temporary) {
        std::string pattern = (std::filesystem::temp_directory_path() / "olsim-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::cerr << "olsim: cannot make a temporary root\n";
            return 2;
        }
        root = pattern;
    }
    platform::host::SetRoot(root);
    options.directory = std::filesystem::path(file).parent_path().string();
    std::ostringstream report;
    auto result = olsim::RunScenario(scenario, options, report);
    bool ok = result.ok;
    std::cout << report.str();
    std::cout << file << ": " << (ok ? "every expectation held" : "FAILED") << "\n";
    if (temporary) {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    if (result.crashed)
        ExitAfterCrash(ok ? 0 : 1);
    return ok ? 0 : 1;
}
