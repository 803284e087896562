#include "corpus.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>

namespace olsim {
namespace {

std::string_view AsText(const mailstore::Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool IsEnvelopeLine(std::string_view text) {
    return text.rfind("From ", 0) == 0;
}

std::string_view FirstLine(std::string_view text) {
    return text.substr(0, text.find('\n'));
}

// The Date header's value, unfolded far enough for a date (its first line).
std::optional<std::string_view> DateHeader(std::string_view text) {
    size_t offset = 0;
    while (offset < text.size()) {
        size_t end = text.find('\n', offset);
        std::string_view line = text.substr(
            offset, end == std::string_view::npos ? std::string_view::npos : end - offset);
        if (line.empty() || line == "\r")
            return std::nullopt;  // the header block ended
        if (line.size() > 5 &&
            std::equal(line.begin(), line.begin() + 5, "date:", [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            }))
            return line.substr(5);
        if (end == std::string_view::npos)
            break;
        offset = end + 1;
    }
    return std::nullopt;
}

std::optional<int> Number(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    return std::stoi(text);
}

std::optional<unsigned> MonthOf(std::string token) {
    static const std::array<const char*, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                    "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3)
        return std::nullopt;
    for (auto& c : token)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (unsigned m = 0; m < months.size(); ++m)
        if (token.compare(0, 3, months[m]) == 0)
            return m + 1;
    return std::nullopt;
}

// "hh:mm" or "hh:mm:ss" in seconds.
std::optional<int> TimeOfDay(const std::string& text) {
    int h = 0, m = 0, s = 0;
    char c1 = 0, c2 = 0;
    std::istringstream in(text);
    if (!(in >> h >> c1 >> m) || c1 != ':')
        return std::nullopt;
    if (in >> c2 && !(c2 == ':' && in >> s))
        return std::nullopt;
    if (h > 23 || m > 59 || s > 60)
        return std::nullopt;
    return h * 3600 + m * 60 + s;
}

// "+0200" / "-0400" in seconds east of UTC; zone names count as UTC.
int ZoneOffset(const std::string& text) {
    if (text.size() == 5 && (text[0] == '+' || text[0] == '-'))
        if (auto n = Number(text.substr(1)))
            return (text[0] == '-' ? -1 : 1) * ((*n / 100) * 3600 + (*n % 100) * 60);
    return 0;
}

// A date in either form: "Thu Aug 22 12:36:23 2002" (the envelope's) or
// "Thu, 22 Aug 2002 12:36:23 -0400" (the Date header's).
std::optional<std::int64_t> ParseDate(std::string_view text) {
    std::string spaced(text);
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream in(spaced);
    std::vector<std::string> tokens{std::istream_iterator<std::string>(in), {}};
    for (size_t m = 0; m < tokens.size(); ++m) {
        auto month = MonthOf(tokens[m]);
        if (!month || m + 2 >= tokens.size())
            continue;
        std::optional<int> day, year, seconds;
        int zone = 0;
        if (m > 0 && Number(tokens[m - 1])) {  // dd Mmm yyyy hh:mm:ss zone
            day = Number(tokens[m - 1]);
            year = Number(tokens[m + 1]);
            seconds = TimeOfDay(tokens[m + 2]);
            if (m + 3 < tokens.size())
                zone = ZoneOffset(tokens[m + 3]);
        } else if (m + 3 < tokens.size()) {  // Mmm dd hh:mm:ss yyyy
            day = Number(tokens[m + 1]);
            seconds = TimeOfDay(tokens[m + 2]);
            year = Number(tokens[m + 3]);
        }
        if (!day || !year || !seconds || *day < 1 || *day > 31)
            continue;
        int fullYear = *year < 50 ? 2000 + *year : *year < 100 ? 1900 + *year : *year;
        std::chrono::year_month_day date{std::chrono::year(fullYear), std::chrono::month(*month),
                                         std::chrono::day(static_cast<unsigned>(*day))};
        if (!date.ok())
            continue;
        auto days = std::chrono::sys_days(date).time_since_epoch().count();
        return static_cast<std::int64_t>(days) * 86400 + *seconds - zone;
    }
    return std::nullopt;
}

}  // namespace

const std::vector<CorpusGroup>& SpamCorpusGroups() {
    static const std::vector<CorpusGroup> groups{{"easy-ham-1", false},
                                                 {"easy-ham-2", false},
                                                 {"hard-ham-1", false},
                                                 {"spam-1", true},
                                                 {"spam-2", true}};
    return groups;
}

std::optional<CorpusSplit> SplitCorpus(const std::filesystem::path& folder,
                                       const std::vector<CorpusGroup>& groups,
                                       std::string& problem) {
    CorpusSplit split;
    for (const auto& group : groups) {
        std::error_code error;
        std::filesystem::directory_iterator entries(folder / group.name, error);
        if (error) {
            problem = "the corpus has no group " + group.name + " in " + folder.string();
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (const auto& entry : entries) {
            std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".txt") == 0)
                names.push_back(name);
        }
        std::sort(names.begin(), names.end());  // by bytes, as LC_ALL=C sort does
        for (size_t i = 0; i < names.size(); ++i)
            (i % 2 == 0 ? split.train : split.test)
                .push_back({folder / group.name / names[i], group.spam});
    }
    return split;
}

mailstore::Bytes WithoutEnvelope(const mailstore::Bytes& file) {
    std::string_view text = AsText(file);
    if (!IsEnvelopeLine(text))
        return file;
    size_t end = text.find('\n');
    if (end == std::string_view::npos)
        return {};
    return mailstore::Bytes(file.begin() + static_cast<std::ptrdiff_t>(end + 1), file.end());
}

std::optional<std::int64_t> ArrivalTime(const mailstore::Bytes& file) {
    std::string_view text = AsText(file);
    if (IsEnvelopeLine(text))
        if (auto time = ParseDate(FirstLine(text).substr(5)))
            return time;
    const mailstore::Bytes message = WithoutEnvelope(file);
    if (auto date = DateHeader(AsText(message)))
        return ParseDate(*date);
    return std::nullopt;
}

std::vector<ArrivingMessage> InArrivalOrder(std::vector<ArrivingMessage> messages) {
    std::stable_sort(messages.begin(), messages.end(),
                     [](const ArrivingMessage& a, const ArrivingMessage& b) {
                         if (a.arrival && b.arrival)
                             return *a.arrival < *b.arrival;
                         return a.arrival.has_value() && !b.arrival.has_value();
                     });
    return messages;
}

bool ReadFileBytes(const std::filesystem::path& file, mailstore::Bytes& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace olsim
