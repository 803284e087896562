#include "page_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "state_page.h"
#include "state_view.h"

namespace olsim::view {

bool IsPageFile(std::string_view name) {
    constexpr std::string_view kExtension = ".html";
    return name.size() >= kExtension.size() &&
           std::equal(
               kExtension.begin(), kExtension.end(), name.end() - kExtension.size(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool WriteStatePage(const std::string& stateFile, std::string pageFile, std::string& error) {
    std::ifstream in(stateFile, std::ios::binary);
    if (!in) {
        error = stateFile + ": cannot be read";
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::string page;
    try {
        page = StatePage(ReadStateText(text));
    } catch (const StateError& reason) {
        error = stateFile + ": " + reason.what();
        return false;
    }
    if (pageFile.empty())
        pageFile = std::filesystem::path(stateFile).replace_extension(".html").string();
    std::ofstream out(pageFile, std::ios::binary);
    out << page;
    if (!out.flush()) {
        error = pageFile + ": cannot be written";
        return false;
    }
    return true;
}

}  // namespace olsim::view
