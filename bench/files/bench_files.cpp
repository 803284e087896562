// bench_files: one line appended to a file the way the add-in's trace log
// appends it (open, write, flush, close, no handle kept between lines),
// through the platform's C runtime on a Windows path and through the host's
// plain C library on the same file, side by side in one run.
//
//   bench_files [--root DIR] [--lines N]
//
// The platform's way runs twice: with the path in the letter case the folders
// have on disk (as the add-in names its log) and in another case (which
// Windows finds as well). The ways take turns in blocks of 100 lines, so
// that the machine's load falls on all alike. Prints one "name value" pair
// per line: the median microseconds per line of each and the ratios to the
// plain C library.
#include <platform/filesystem.h>
#include <platform/root.h>
#include <share.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kLine[] = "2026\\12\\7 11:0:0 CConnect::ProcessNewMail - SPAM: 93\n";

template <class Append>
double Timed(Append&& append) {
    const auto start = Clock::now();
    const bool written = append();
    const auto end = Clock::now();
    if (!written) {
        std::cerr << "bench_files: a line could not be written\n";
        std::exit(1);
    }
    return std::chrono::duration<double, std::micro>(end - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    unsigned long lines = 20000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "--lines" && i + 1 < argc)
            lines = std::strtoul(argv[++i], nullptr, 10);
        else {
            std::cerr << "usage: bench_files [--root DIR] [--lines N]\n";
            return 2;
        }
    }
    const bench::Root machine(root, "bench-files");
    if (!machine.ok())
        return 2;
    // The log's own place: a few folders down under the user's data.
    const std::wstring folder = L"C:\\Users\\User\\AppData\\Roaming\\Brevint\\Logs";
    std::filesystem::create_directories(platform::host::HostPathFromWindows(folder));
    const std::wstring windowsPath = folder + L"\\OLClient.log";
    const std::wstring otherCasePath =
        L"c:\\users\\user\\appdata\\roaming\\BREVINT\\logs\\olclient.LOG";
    const std::filesystem::path hostPath =
        platform::host::HostPathFromWindows(folder) / "Plain.log";

    auto platformLine = [&](const std::wstring& path) {
        FILE* file = _wfsopen(path.c_str(), L"a", _SH_DENYNO);
        if (!file)
            return false;
        fwrite(kLine, 1, sizeof kLine - 1, file);
        const bool flushed = fflush(file) == 0;
        return fclose(file) == 0 && flushed;
    };
    auto plainLine = [&] {
        FILE* file = std::fopen(hostPath.c_str(), "a");
        if (!file)
            return false;
        std::fwrite(kLine, 1, sizeof kLine - 1, file);
        const bool flushed = std::fflush(file) == 0;
        return std::fclose(file) == 0 && flushed;
    };

    std::vector<double> platformTimes, otherCaseTimes, plainTimes;
    constexpr unsigned long kBlock = 100;
    for (unsigned long done = 0; done < lines; done += kBlock) {
        for (unsigned long i = 0; i < kBlock; ++i)
            platformTimes.push_back(Timed([&] { return platformLine(windowsPath); }));
        for (unsigned long i = 0; i < kBlock; ++i)
            otherCaseTimes.push_back(Timed([&] { return platformLine(otherCasePath); }));
        for (unsigned long i = 0; i < kBlock; ++i)
            plainTimes.push_back(Timed(plainLine));
    }
    const double platformMedian = bench::Median(platformTimes);
    const double otherCaseMedian = bench::Median(otherCaseTimes);
    const double plainMedian = bench::Median(plainTimes);
    auto ratio = [&](double median) { return plainMedian > 0 ? median / plainMedian : 0.0; };
    std::printf(
        "lines %zu\nplatform_median_us %.2f\nplatform_other_case_median_us %.2f\n"
        "plain_median_us %.2f\nratio %.2f\nratio_other_case %.2f\n",
        platformTimes.size(), platformMedian, otherCaseMedian, plainMedian, ratio(platformMedian),
        ratio(otherCaseMedian));
    return 0;
}
