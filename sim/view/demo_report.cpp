#include "demo_report.h"

#include <algorithm>

#include "html.h"
#include "svg_chart.h"

namespace olsim::view {
namespace {

constexpr const char* kStyle = R"(
body { font: 13px "Segoe UI", Tahoma, Arial, sans-serif; margin: 20px; color: #222; background: #fafafa; }
h1 { font-size: 20px; } h2 { font-size: 15px; margin-top: 24px; }
pre.figures { background: #fff; border: 1px solid #ccc; padding: 10px; font: 12px Consolas, "DejaVu Sans Mono", monospace; }
.chart { background: #fff; border: 1px solid #ccc; display: block; margin: 8px 0; }
.chart text { font: 11px "Segoe UI", Tahoma, Arial, sans-serif; fill: #333; }
.chart .chart-title { font-weight: bold; font-size: 12px; }
.chart .axis line { stroke: #333; }
.chart .good rect, .chart .legend.good rect { fill: #3a7bd5; fill-opacity: .75; }
.chart .spam rect, .chart .legend.spam rect { fill: #d9534f; fill-opacity: .75; }
.chart .line { fill: none; stroke-width: 1.5; }
.chart .line.positives, .chart .line.positives-corrected { stroke: #d9534f; }
.chart .line.negatives, .chart .line.negatives-corrected { stroke: #e0a000; }
.chart .legend.positives rect { fill: #d9534f; } .chart .legend.negatives rect { fill: #e0a000; }
.chart .points.latency, .chart .legend.latency rect { fill: #2a8a4a; }
.chart .marker line { stroke: #000; stroke-dasharray: 4 3; }
.chart .marker text { font-weight: bold; }
table { border-collapse: collapse; background: #fff; } td, th { border: 1px solid #ccc; padding: 3px 8px; text-align: right; } th:first-child, td:first-child { text-align: left; }
)";

using Points = std::vector<std::pair<double, double>>;

constexpr int kBin = 5;  // scores per bar of the histograms

std::string ScoreHistograms(const DemoReport& report) {
    std::vector<double> good(100 / kBin, 0);
    std::vector<double> spam(100 / kBin, 0);
    for (const auto& arrival : report.arrivals) {
        if (arrival.score < 0)
            continue;
        const size_t bin =
            std::min<size_t>(static_cast<size_t>(arrival.score / kBin), good.size() - 1);
        (arrival.spam ? spam : good)[bin] += 1;
    }
    double highest = 1;
    Points goodBars;
    Points spamBars;
    for (size_t bin = 0; bin < good.size(); ++bin) {
        // Over each other, see-through: the two rarely share a bin.
        goodBars.emplace_back(static_cast<double>(bin * kBin), good[bin]);
        spamBars.emplace_back(static_cast<double>(bin * kBin), spam[bin]);
        highest = std::max({highest, good[bin], spam[bin]});
    }
    SvgChart chart("The core's scores of the arriving mail", {"score (0 good, 100 spam)", 0, 100},
                   {"messages", 0, highest});
    chart.Bars(goodBars, kBin, "good", "good mail");
    chart.Bars(spamBars, kBin, "spam", "spam");
    chart.Marker(report.threshold, "threshold", "threshold " + std::to_string(report.threshold));
    return chart.Svg();
}

// Good mail the add-in moved and spam it left, counted as the mail arrives.
std::string ErrorsOverArrival(const DemoReport& report) {
    Points positives{{0, 0}};
    Points negatives{{0, 0}};
    double falsePositives = 0;
    double falseNegatives = 0;
    for (size_t i = 0; i < report.arrivals.size(); ++i) {
        const auto& arrival = report.arrivals[i];
        falsePositives += !arrival.spam && arrival.movedToSpam;
        falseNegatives += arrival.spam && !arrival.movedToSpam;
        positives.emplace_back(static_cast<double>(i + 1), falsePositives);
        negatives.emplace_back(static_cast<double>(i + 1), falseNegatives);
    }
    SvgChart chart("False positives and negatives over the arrival order",
                   {"messages arrived", 0, static_cast<double>(report.arrivals.size())},
                   {"errors so far", 0, std::max({falsePositives, falseNegatives, 1.0})});
    chart.Line(positives, "positives", "false positives (good mail moved)");
    chart.Line(negatives, "negatives", "false negatives (spam left)");
    return chart.Svg();
}

std::string LatencyOverRun(const DemoReport& report) {
    Points points;
    double slowest = 1;
    for (size_t i = 0; i < report.arrivals.size(); ++i) {
        points.emplace_back(static_cast<double>(i + 1), report.arrivals[i].latencyMs);
        slowest = std::max(slowest, report.arrivals[i].latencyMs);
    }
    SvgChart chart("The time each delivery took, new-mail news to Outlook idle",
                   {"messages arrived", 0, static_cast<double>(report.arrivals.size())},
                   {"milliseconds", 0, slowest});
    chart.Points(points, "latency", "one message");
    return chart.Svg();
}

std::string FoldersAtTheEnd(const DemoReport& report) {
    Points good;
    Points spam;
    std::vector<std::string> names;
    double highest = 1;
    std::string table =
        "<table class=\"folders\"><tr><th>Folder</th><th>good</th><th>spam</th></tr>";
    for (size_t i = 0; i < report.folders.size(); ++i) {
        const auto& folder = report.folders[i];
        good.emplace_back(static_cast<double>(i) + 0.1, static_cast<double>(folder.good));
        spam.emplace_back(static_cast<double>(i) + 0.5, static_cast<double>(folder.spam));
        highest =
            std::max({highest, static_cast<double>(folder.good), static_cast<double>(folder.spam)});
        names.push_back(folder.path);
        table += "<tr><td>" + Escape(folder.path) + "</td><td>" + std::to_string(folder.good) +
                 "</td><td>" + std::to_string(folder.spam) + "</td></tr>";
    }
    SvgChart chart("The folders at the end",
                   {"", 0, static_cast<double>(std::max<size_t>(names.size(), 1))},
                   {"messages", 0, highest});
    chart.Bars(good, 0.4, "good", "good mail");
    chart.Bars(spam, 0.4, "spam", "spam");
    chart.Categories(names);
    return chart.Svg() + table + "</table>";
}

}  // namespace

std::string DemoReportPage(const DemoReport& report) {
    std::string body = "<h1>The demo: " + std::to_string(report.arrivals.size()) +
                       " messages arrived as new mail</h1>";
    body += "<pre class=\"figures\">" + Escape(report.figures) + "</pre>";
    body += "<h2>Scores</h2>" + ScoreHistograms(report);
    body += "<h2>Errors</h2>" + ErrorsOverArrival(report);
    body += "<h2>Time per message</h2>" + LatencyOverRun(report);
    body += "<h2>Folders</h2>" + FoldersAtTheEnd(report);
    return Document("olsim demo report", kStyle, body);
}

}  // namespace olsim::view
