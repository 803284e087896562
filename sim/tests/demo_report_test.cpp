// The demo's report: the charts' ticks, and the plots drawn from the
// arrivals (histogram bins, the errors counted as mail arrives).
#include <gtest/gtest.h>

#include <regex>

#include "demo_report.h"
#include "svg_chart.h"

namespace {

TEST(SvgChartTicks, StepsOfOneTwoOrFiveTimesAPowerOfTen) {
    EXPECT_EQ(olsim::view::Ticks(0, 100), (std::vector<double>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(olsim::view::Ticks(0, 3023), (std::vector<double>{0, 1000, 2000, 3000}));
    EXPECT_EQ(olsim::view::Ticks(0, 7, 5), (std::vector<double>{0, 2, 4, 6}));
    const auto fractions = olsim::view::Ticks(0.5, 1.2, 5);
    const std::vector<double> expected{0.6, 0.8, 1.0, 1.2};
    ASSERT_EQ(fractions.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(fractions[i], expected[i], 1e-9);
    EXPECT_EQ(olsim::view::Ticks(3, 3), (std::vector<double>{3}));  // nothing to span
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(DemoReportPage, PlotsTheScoresTheErrorsAndTheFolders) {
    olsim::view::DemoReport report;
    report.threshold = 60;
    // Good mail at 0 and 12 (one moved: a false positive), spam at 99 and 100
    // (one left: a false negative), and one message the core gave no score.
    report.arrivals = {{false, false, 0, 5},
                       {false, true, 12, 7},
                       {true, true, 99, 9},
                       {true, false, 100, 4},
                       {true, true, -1, 3}};
    report.folders = {{"Personal Folders/Inbox", 1, 1}, {"Personal Folders/<Brevint>", 1, 2}};
    report.figures = "What happened to the 5 messages:";
    const std::string page = olsim::view::DemoReportPage(report);

    EXPECT_EQ(Count(page, "<svg class=\"chart\""), 4u);
    EXPECT_EQ(Count(page, "<g class=\"axis x\">"), 4u);
    EXPECT_NE(page.find("threshold 60"), std::string::npos);
    // Scores 99 and 100 share the last bin; the unscored spam is in none.
    EXPECT_NE(page.find("<title>95: 2</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("<title>0: 1</title>"), std::string::npos);
    EXPECT_NE(page.find("<title>10: 1</title>"), std::string::npos);
    // The error lines end at one false positive and one false negative each,
    // after the five arrivals: both reach the top of the y axis.
    const std::regex lines("class=\"series line (positives|negatives)\"[^>]*points=\"([^\"]*)\"");
    size_t found = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), lines), end; it != end; ++it) {
        const std::string points = (*it)[2];
        EXPECT_EQ(Count(points, ","), 6u) << points;  // the origin and five arrivals
        EXPECT_NE(points.rfind(" 620.0,46.0 "), std::string::npos) << points;
        ++found;
    }
    EXPECT_EQ(found, 2u);
    EXPECT_NE(page.find("<td>Personal Folders/&lt;Brevint&gt;</td><td>1</td><td>2</td>"),
              std::string::npos);
    EXPECT_NE(page.find("What happened to the 5 messages:"), std::string::npos);
}

}  // namespace
