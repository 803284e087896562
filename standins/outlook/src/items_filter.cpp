#include "items_filter.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cwctype>

#include "dual_interface.h"

namespace outlook::objects {

namespace {

constexpr LONGLONG kMinute = 600000000;  // FILETIME ticks

// The local time zone's offset from UTC now, in FILETIME ticks, to the minute.
LONGLONG LocalOffset() {
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    GetLocalTime(&local);
    FILETIME utcTime{}, localTime{};
    SystemTimeToFileTime(&utc, &utcTime);
    SystemTimeToFileTime(&local, &localTime);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<LONGLONG>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
    };
    const LONGLONG offset = ticks(localTime) - ticks(utcTime);
    return (offset >= 0 ? offset + kMinute / 2 : offset - kMinute / 2) / kMinute * kMinute;
}

bool TicksToDate(ULONGLONG ticks, DATE* date) {
    const FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME time{};
    return FileTimeToSystemTime(&fileTime, &time) && SystemTimeToVariantTime(&time, date);
}

LONGLONG LocalTicks(const mailstore::Message& message) {
    return static_cast<LONGLONG>(message.ReceivedTime().ticks) + LocalOffset();
}

// The received time in local time, its seconds dropped: filters compare to the minute.
std::optional<DATE> ReceivedMinute(const mailstore::Message& message) {
    DATE date = 0;
    if (!TicksToDate(static_cast<ULONGLONG>(LocalTicks(message) / kMinute * kMinute), &date))
        return std::nullopt;
    return date;
}

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t ch) { return static_cast<wchar_t>(std::towlower(ch)); });
    return lower;
}

int CompareText(std::wstring_view a, std::wstring_view b) {
    return Lower(a).compare(Lower(b));
}

// ---- Dates -------------------------------------------------------------------

struct DateToken {
    enum Kind { Number, Word, Slash, Colon } kind;
    std::wstring text;
    int number = 0;
};

std::optional<std::vector<DateToken>> DateTokens(std::wstring_view text) {
    std::vector<DateToken> tokens;
    for (std::size_t at = 0; at < text.size();) {
        const wchar_t ch = text[at];
        if (std::iswspace(ch) || ch == L',') {
            ++at;
        } else if (std::iswdigit(ch)) {
            std::size_t end = at;
            int number = 0;
            while (end < text.size() && std::iswdigit(text[end]) && end - at < 5)
                number = number * 10 + (text[end++] - L'0');
            tokens.push_back({DateToken::Number, std::wstring(text.substr(at, end - at)), number});
            at = end;
        } else if (std::iswalpha(ch)) {
            std::size_t end = at;
            while (end < text.size() && std::iswalpha(text[end]))
                ++end;
            tokens.push_back({DateToken::Word, Lower(text.substr(at, end - at))});
            at = end;
        } else if (ch == L'/' || ch == L':') {
            tokens.push_back({ch == L'/' ? DateToken::Slash : DateToken::Colon, {}});
            ++at;
        } else {
            return std::nullopt;
        }
    }
    return tokens;
}

int MonthNamed(const std::wstring& word) {
    static constexpr std::array<const wchar_t*, 12> kMonths{
        L"january", L"february", L"march",     L"april",   L"may",      L"june",
        L"july",    L"august",   L"september", L"october", L"november", L"december"};
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        const std::wstring_view name(kMonths[i]);
        if (word.size() >= 3 && name.starts_with(word))
            return static_cast<int>(i) + 1;
    }
    return 0;
}

}  // namespace

std::optional<DATE> ParseOutlookDate(std::wstring_view text) {
    const auto tokens = DateTokens(text);
    if (!tokens)
        return std::nullopt;
    const std::vector<DateToken>& t = *tokens;
    std::size_t at = 0;
    const auto is = [&](std::size_t i, DateToken::Kind kind) {
        return i < t.size() && t[i].kind == kind;
    };
    SYSTEMTIME time{};
    if (is(0, DateToken::Number) && is(1, DateToken::Word) && is(2, DateToken::Number)) {
        time.wDay = static_cast<WORD>(t[0].number);
        time.wMonth = static_cast<WORD>(MonthNamed(t[1].text));
        time.wYear = static_cast<WORD>(t[2].number);
        at = 3;
    } else if (is(0, DateToken::Number) && is(1, DateToken::Slash) && is(2, DateToken::Number) &&
               is(3, DateToken::Slash) && is(4, DateToken::Number)) {
        time.wMonth = static_cast<WORD>(t[0].number);
        time.wDay = static_cast<WORD>(t[2].number);
        time.wYear = static_cast<WORD>(t[4].number);
        at = 5;
    } else {
        return std::nullopt;
    }
    if (time.wMonth == 0 || time.wYear < 100)
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (is(at, DateToken::Number)) {
        if (!is(at + 1, DateToken::Colon) || !is(at + 2, DateToken::Number))
            return std::nullopt;
        hour = t[at].number;
        minute = t[at + 2].number;
        at += 3;
        if (is(at, DateToken::Colon)) {
            if (!is(at + 1, DateToken::Number))
                return std::nullopt;
            second = t[at + 1].number;
            at += 2;
        }
        if (is(at, DateToken::Word) && (t[at].text == L"am" || t[at].text == L"pm")) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (t[at].text == L"pm" ? 12 : 0);
            ++at;
        }
    }
    if (at != t.size() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    // Filters compare to the minute: the seconds are dropped.
    DATE date = 0;
    FILETIME check{};
    if (!SystemTimeToFileTime(&time, &check) || !SystemTimeToVariantTime(&time, &date))
        return std::nullopt;
    return date;
}

bool LocalReceivedTime(const mailstore::Message& message, DATE* received) {
    return TicksToDate(static_cast<ULONGLONG>(LocalTicks(message)), received);
}

std::optional<ItemProperty> PropertyNamed(std::wstring_view name) {
    if (name.size() >= 2 && name.front() == L'[' && name.back() == L']')
        name = name.substr(1, name.size() - 2);
    static constexpr std::array<std::pair<const wchar_t*, ItemProperty>, 5> kNames{{
        {L"MessageClass", ItemProperty::MessageClass},
        {L"Subject", ItemProperty::Subject},
        {L"UnRead", ItemProperty::UnRead},
        {L"ReceivedTime", ItemProperty::ReceivedTime},
        {L"Size", ItemProperty::Size},
    }};
    for (const auto& [known, property] : kNames)
        if (SameName(known, name))
            return property;
    return std::nullopt;
}

bool ComesBefore(ItemProperty property, const mailstore::Message& a, const mailstore::Message& b) {
    switch (property) {
        case ItemProperty::MessageClass: {
            const std::string left = a.Class(), right = b.Class();
            return CompareText(std::wstring(left.begin(), left.end()),
                               std::wstring(right.begin(), right.end())) < 0;
        }
        case ItemProperty::Subject:
            return CompareText(a.Subject(), b.Subject()) < 0;
        case ItemProperty::UnRead:
            return a.IsRead() && !b.IsRead();
        case ItemProperty::ReceivedTime:
            return a.ReceivedTime().ticks < b.ReceivedTime().ticks;
        case ItemProperty::Size:
            return a.Size() < b.Size();
    }
    return false;
}

// ---- Filters -----------------------------------------------------------------

namespace {

// Reads a filter from left to right; `rest` is where reading stopped.
class FilterReader {
  public:
    explicit FilterReader(std::wstring_view text) : m_text(text) {}

    std::wstring_view Rest() const { return m_text.substr(m_at); }
    bool AtEnd() {
        SkipBlanks();
        return m_at >= m_text.size();
    }
    std::optional<std::wstring> Bracketed() {
        SkipBlanks();
        if (m_at >= m_text.size() || m_text[m_at] != L'[')
            return std::nullopt;
        const std::size_t close = m_text.find(L']', m_at);
        if (close == std::wstring_view::npos)
            return std::nullopt;
        std::wstring name(m_text.substr(m_at + 1, close - m_at - 1));
        m_at = close + 1;
        return name;
    }
    std::optional<std::wstring> Operator() {
        SkipBlanks();
        for (const wchar_t* op : {L"<>", L"<=", L">=", L"=", L"<", L">"}) {
            if (Rest().starts_with(op)) {
                m_at += std::wstring_view(op).size();
                return std::wstring(op);
            }
        }
        return std::nullopt;
    }
    // A quoted text ('...' or "...", the quote doubled inside) or a bare word.
    std::optional<std::pair<std::wstring, bool>> Value() {
        SkipBlanks();
        if (m_at >= m_text.size())
            return std::nullopt;
        const wchar_t quote = m_text[m_at];
        if (quote == L'\'' || quote == L'"') {
            std::wstring value;
            for (std::size_t i = m_at + 1; i < m_text.size(); ++i) {
                if (m_text[i] != quote) {
                    value += m_text[i];
                } else if (i + 1 < m_text.size() && m_text[i + 1] == quote) {
                    value += quote;
                    ++i;
                } else {
                    m_at = i + 1;
                    return std::pair{value, true};
                }
            }
            return std::nullopt;
        }
        std::size_t end = m_at;
        while (end < m_text.size() &&
               (std::iswalnum(m_text[end]) || m_text[end] == L'.' || m_text[end] == L'-'))
            ++end;
        if (end == m_at)
            return std::nullopt;
        std::wstring word(m_text.substr(m_at, end - m_at));
        m_at = end;
        return std::pair{word, false};
    }
    bool Keyword(std::wstring_view word) {
        SkipBlanks();
        const std::wstring_view rest = Rest();
        if (rest.size() <= word.size() || !SameName(rest.substr(0, word.size()), word) ||
            !std::iswspace(rest[word.size()]))
            return false;
        m_at += word.size();
        return true;
    }

  private:
    void SkipBlanks() {
        while (m_at < m_text.size() && std::iswspace(m_text[m_at]))
            ++m_at;
    }
    std::wstring_view m_text;
    std::size_t m_at = 0;
};

std::optional<LONG> NumberOf(const std::wstring& text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](wchar_t ch) { return std::iswdigit(ch); }))
        return std::nullopt;
    return std::stol(text);
}

}  // namespace

std::optional<ItemFilter> ItemFilter::Parse(std::wstring_view text, std::wstring& error) {
    FilterReader reader(text);
    ItemFilter filter;
    const auto fail = [&](std::wstring_view at) {
        error = L"Cannot parse condition. Error at \"" + std::wstring(at) + L"\".";
        return std::nullopt;
    };
    do {
        const std::wstring_view start = reader.Rest();
        const auto name = reader.Bracketed();
        const auto property = name ? PropertyNamed(*name) : std::nullopt;
        if (!property)
            return fail(start);
        const std::wstring_view beforeOperator = reader.Rest();
        const auto op = reader.Operator();
        if (!op)
            return fail(beforeOperator);
        static constexpr std::array<std::pair<const wchar_t*, Comparison>, 6> kComparisons{{
            {L"=", Comparison::Equal},
            {L"<>", Comparison::NotEqual},
            {L"<", Comparison::Less},
            {L"<=", Comparison::LessOrEqual},
            {L">", Comparison::Greater},
            {L">=", Comparison::GreaterOrEqual},
        }};
        Comparison comparison = Comparison::Equal;
        for (const auto& [written, meant] : kComparisons)
            if (*op == written)
                comparison = meant;
        const std::wstring_view beforeValue = reader.Rest();
        const auto value = reader.Value();
        if (!value)
            return fail(beforeValue);
        const auto& [written, quoted] = *value;
        Condition condition{*property, comparison, std::wstring()};
        switch (*property) {
            case ItemProperty::MessageClass:
            case ItemProperty::Subject:
                if (!quoted)
                    return fail(beforeValue);
                condition.value = written;
                break;
            case ItemProperty::UnRead: {
                const bool ordered =
                    comparison != Comparison::Equal && comparison != Comparison::NotEqual;
                const auto number = quoted ? std::nullopt : NumberOf(written);
                if (ordered || quoted)
                    return fail(beforeValue);
                if (SameName(written, L"true") || SameName(written, L"false"))
                    condition.value = SameName(written, L"true");
                else if (number)
                    condition.value = *number != 0;
                else
                    return fail(beforeValue);
                break;
            }
            case ItemProperty::ReceivedTime: {
                const auto date = quoted ? ParseOutlookDate(written) : std::nullopt;
                if (!date)
                    return fail(beforeValue);
                condition.value = *date;
                break;
            }
            case ItemProperty::Size: {
                const auto number = NumberOf(written);
                if (!number)
                    return fail(beforeValue);
                condition.value = *number;
                break;
            }
        }
        filter.m_conditions.push_back(std::move(condition));
        if (reader.AtEnd())
            return filter;
    } while (reader.Keyword(L"AND"));
    return fail(reader.Rest());
}

bool ItemFilter::Matches(const mailstore::Message& message) const {
    return std::all_of(m_conditions.begin(), m_conditions.end(),
                       [&](const Condition& condition) { return Holds(condition, message); });
}

bool ItemFilter::Holds(const Condition& condition, const mailstore::Message& message) {
    int order = 0;  // the item's value against the condition's
    switch (condition.property) {
        case ItemProperty::MessageClass: {
            const std::string name = message.Class();
            order = CompareText(std::wstring(name.begin(), name.end()),
                                std::get<std::wstring>(condition.value));
            break;
        }
        case ItemProperty::Subject:
            order = CompareText(message.Subject(), std::get<std::wstring>(condition.value));
            break;
        case ItemProperty::UnRead:
            order = (!message.IsRead()) == std::get<bool>(condition.value) ? 0 : 1;
            break;
        case ItemProperty::ReceivedTime: {
            const auto received = ReceivedMinute(message);
            if (!received)
                return false;
            const DATE wanted = std::get<DATE>(condition.value);
            order = *received < wanted ? -1 : (*received > wanted ? 1 : 0);
            break;
        }
        case ItemProperty::Size: {
            const auto size = static_cast<LONGLONG>(message.Size());
            const LONGLONG wanted = std::get<LONG>(condition.value);
            order = size < wanted ? -1 : (size > wanted ? 1 : 0);
            break;
        }
    }
    switch (condition.comparison) {
        case Comparison::Equal:
            return order == 0;
        case Comparison::NotEqual:
            return order != 0;
        case Comparison::Less:
            return order < 0;
        case Comparison::LessOrEqual:
            return order <= 0;
        case Comparison::Greater:
            return order > 0;
        case Comparison::GreaterOrEqual:
            return order >= 0;
    }
    return false;
}

}  // namespace outlook::objects
