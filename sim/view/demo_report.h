// The demo's figures as a page: the scores of good and spam mail as two
// histograms with the threshold, the false positives and negatives over the
// arrival order, the time each delivery took, the folders at the end, and the
// table the demo prints. The plots are inline SVG.
#pragma once

#include <string>
#include <vector>

namespace olsim::view {

struct DemoArrival {
    bool spam = false;         // the corpus's word
    bool movedToSpam = false;  // the add-in moved it into the spam folder
    int score = -1;            // the core's score, 0 to 100; -1 when unknown
    double latencyMs = 0;      // the delivery, from the store's news to Outlook idle again
};

struct DemoFolder {
    std::string path;
    size_t good = 0;
    size_t spam = 0;
};

struct DemoReport {
    std::vector<DemoArrival> arrivals;  // in arrival order
    std::vector<DemoFolder> folders;    // those holding delivered mail at the end
    int threshold = 77;
    std::string figures;  // the table the demo printed
};

std::string DemoReportPage(const DemoReport& report);

}  // namespace olsim::view
