#include "core/merge_header.h"

#include <optional>

namespace standins::core {
namespace {

struct BlankLine {
    size_t start;  // where the empty line begins
    size_t after;  // where the text after it begins
};

std::optional<BlankLine> FirstBlankLine(std::wstring_view text) {
    for (size_t lineStart = 0;;) {
        size_t end = text.find(L'\n', lineStart);
        if (end == std::wstring_view::npos)
            return std::nullopt;
        size_t length = end - lineStart;
        if (length == 0 || (length == 1 && text[lineStart] == L'\r'))
            return BlankLine{lineStart, end + 1};
        lineStart = end + 1;
    }
}

std::wstring_view TrimLineBreaks(std::wstring_view text) {
    while (!text.empty() && (text.front() == L'\r' || text.front() == L'\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.remove_suffix(1);
    return text;
}

std::wstring_view LineBreakOf(std::wstring_view text) {
    size_t lf = text.find(L'\n');
    if (lf == std::wstring_view::npos)
        return {};
    return lf > 0 && text[lf - 1] == L'\r' ? L"\r\n" : L"\n";
}

}  // namespace

std::wstring MergeHeader(std::wstring_view message, std::wstring_view header) {
    header = TrimLineBreaks(header);
    if (header.empty())
        return std::wstring(message);
    if (std::optional<BlankLine> blank = FirstBlankLine(header))
        header = TrimLineBreaks(header.substr(0, blank->start));

    std::wstring_view body;
    if (std::optional<BlankLine> blank = FirstBlankLine(message))
        body = message.substr(blank->after);

    std::wstring_view lineBreak = LineBreakOf(header);
    if (lineBreak.empty())
        lineBreak = LineBreakOf(message);
    if (lineBreak.empty())
        lineBreak = L"\r\n";

    std::wstring merged(header);
    merged += lineBreak;
    merged += lineBreak;
    merged += body;
    return merged;
}

}  // namespace standins::core
