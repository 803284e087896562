// Temporary store folders, small messages and training for the filter
// engine's tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "filter/filter_engine.h"

namespace bv::filter::testing {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bvfilter-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

inline std::string Mail(const std::string& from, const std::string& subject,
                        const std::string& body) {
    return "From: " + from + "\r\nTo: me@example.net\r\nSubject: " + subject +
           "\r\nContent-Type: text/plain\r\n\r\n" + body + "\r\n";
}

inline std::string SpamMail(int n) {
    return Mail("promo" + std::to_string(n) + "@offers.biz", "cheap pills winner",
                "claim your free prize now, casino bonus and discount pills for you");
}

inline std::string GoodMail(int n) {
    return Mail("colleague" + std::to_string(n) + "@work.example.com", "project meeting agenda",
                "the draft report for the budget review is attached, see you at the meeting");
}

inline std::string HtmlMail(const std::string& from, const std::string& subject,
                            const std::string& body) {
    return "From: " + from + "\r\nTo: me@example.net\r\nSubject: " + subject +
           "\r\nContent-Type: text/html\r\n\r\n<html><body><table><tr><td>" + body +
           "</td></tr></table></body></html>\r\n";
}

// Votes 2 * `each` distinct messages, spam and good in turn.
inline void Train(FilterEngine& engine, int each) {
    for (int i = 0; i < each; ++i) {
        ASSERT_TRUE(engine.Vote(SpamMail(i), kSpamVote));
        ASSERT_TRUE(engine.Vote(GoodMail(i), kGoodVote));
    }
}

inline std::filesystem::path JournalOf(const TempFolder& folder) {
    return folder.Path() / TokenStorage::kJournalName;
}

inline void AppendBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

}  // namespace bv::filter::testing
