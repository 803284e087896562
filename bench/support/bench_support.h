// What the benchmarks share: the figures they print from their timings, and
// the simulated machine's root they run in.
#pragma once

#include <platform/root.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace bench {

// The nearest rank: the smallest value with at least `share` of all at or
// below it (0.5 the median of an odd count, 1.0 the largest).
inline double Percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

inline double Largest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// The root of the simulated machine, set for the process: the folder given,
// or a new temporary one that goes when the benchmark ends. Declare it
// before Outlook's process, so that the process is gone first.
class Root {
  public:
    Root(const std::string& given, const char* prefix) {
        if (!given.empty()) {
            m_path = given;
        } else {
            std::string pattern =
                (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX"))
                    .string();
            if (!mkdtemp(pattern.data()))
                return;
            m_path = pattern;
            m_own = true;
        }
        platform::host::SetRoot(m_path);
    }
    ~Root() {
        std::error_code ignored;
        if (m_own)
            std::filesystem::remove_all(m_path, ignored);
    }
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;

    // False when no temporary folder could be made.
    bool ok() const { return !m_path.empty(); }

  private:
    std::string m_path;
    bool m_own = false;
};

}  // namespace bench
