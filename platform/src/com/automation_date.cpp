#include "automation_date.h"

#include "time_conv/civil_date.h"

#include <cmath>
#include <cwctype>
#include <utility>

namespace platform::com {

namespace {

// A small reader over the text, skipping blanks between tokens.
class Scanner {
  public:
    explicit Scanner(const std::wstring& text) : m_text(text) {}
    void SkipBlanks() {
        while (m_pos < m_text.size() && std::iswspace(m_text[m_pos]))
            ++m_pos;
    }
    bool AtEnd() {
        SkipBlanks();
        return m_pos == m_text.size();
    }
    std::optional<int> Number(size_t maxDigits, size_t* digits = nullptr) {
        SkipBlanks();
        size_t count = 0;
        int value = 0;
        while (m_pos < m_text.size() && std::iswdigit(m_text[m_pos]) && count < maxDigits) {
            value = value * 10 + (m_text[m_pos++] - L'0');
            ++count;
        }
        if (digits != nullptr)
            *digits = count;
        return count > 0 ? std::optional<int>(value) : std::nullopt;
    }
    bool Take(wchar_t c) {
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool TakeWord(const wchar_t* word) {
        SkipBlanks();
        size_t i = 0;
        for (; word[i] != 0; ++i) {
            if (m_pos + i >= m_text.size() ||
                static_cast<wchar_t>(std::towupper(m_text[m_pos + i])) != word[i])
                return false;
        }
        m_pos += i;
        return true;
    }
    size_t Position() const { return m_pos; }
    void Rewind(size_t pos) { m_pos = pos; }

  private:
    const std::wstring& m_text;
    size_t m_pos = 0;
};

int ExpandYear(int year, size_t digits) {
    return digits > 2 ? year : time_conv::FullYearOfTwoDigits(year);
}

bool ReadCalendarDate(Scanner& in, CalendarTime& parts) {
    const size_t start = in.Position();
    size_t digits = 0;
    const auto first = in.Number(4, &digits);
    if (first && digits == 4 && in.Take(L'-')) {  // YYYY-MM-DD
        const auto month = in.Number(2);
        if (!month || !in.Take(L'-'))
            return false;
        const auto day = in.Number(2);
        if (!day)
            return false;
        parts.year = *first, parts.month = *month, parts.day = *day;
        return true;
    }
    if (first && digits <= 2 && in.Take(L'/')) {  // M/D/YYYY
        const auto day = in.Number(2);
        if (!day || !in.Take(L'/'))
            return false;
        size_t yearDigits = 0;
        const auto year = in.Number(4, &yearDigits);
        if (!year)
            return false;
        parts.year = ExpandYear(*year, yearDigits), parts.month = *first, parts.day = *day;
        // A first number that cannot be a month but can be a day, before one
        // that can be a month, is the day: "13/1/2007" is 13 January.
        if (parts.month > 12 && parts.day <= 12)
            std::swap(parts.month, parts.day);
        return true;
    }
    in.Rewind(start);
    return false;
}

bool ReadTime(Scanner& in, CalendarTime& parts) {
    const auto hour = in.Number(2);
    if (!hour || !in.Take(L':'))
        return false;
    const auto minute = in.Number(2);
    if (!minute)
        return false;
    std::optional<int> second = 0;
    if (in.Take(L':') && !(second = in.Number(2)))
        return false;
    parts.hour = *hour, parts.minute = *minute, parts.second = *second;
    const bool pm = in.TakeWord(L"PM");
    if (pm || in.TakeWord(L"AM")) {
        if (parts.hour < 1 || parts.hour > 12)
            return false;
        parts.hour = parts.hour % 12 + (pm ? 12 : 0);
    }
    return true;
}

}  // namespace

std::optional<CalendarTime> SplitDate(DATE date) {
    SYSTEMTIME st{};
    if (!(date > kDateBeforeFirst && date < kDateAfterLast) || !VariantTimeToSystemTime(date, &st))
        return std::nullopt;
    return CalendarTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::optional<DATE> JoinDate(const CalendarTime& p) {
    // The system call rolls a day past the month's end over; text names a real day.
    if (p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > time_conv::DaysInMonth(p.year, p.month) || p.hour < 0 || p.minute < 0 ||
        p.second < 0)
        return std::nullopt;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(p.year);
    st.wMonth = static_cast<WORD>(p.month);
    st.wDay = static_cast<WORD>(p.day);
    st.wHour = static_cast<WORD>(p.hour);
    st.wMinute = static_cast<WORD>(p.minute);
    st.wSecond = static_cast<WORD>(p.second);
    DATE date = 0;
    if (!SystemTimeToVariantTime(&st, &date))
        return std::nullopt;
    return date;
}

std::wstring FormatDate(const CalendarTime& p) {
    const bool isEpochDay = p.year == 1899 && p.month == 12 && p.day == 30;
    const bool isMidnight = p.hour == 0 && p.minute == 0 && p.second == 0;
    wchar_t buffer[64];
    std::wstring text;
    if (!isEpochDay) {
        std::swprintf(buffer, 64, L"%d/%d/%04d", p.month, p.day, p.year);
        text = buffer;
    }
    if (!isMidnight || isEpochDay) {
        const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        std::swprintf(buffer, 64, L"%d:%02d:%02d %ls", hour12, p.minute, p.second,
                      p.hour < 12 ? L"AM" : L"PM");
        if (!text.empty())
            text += L' ';
        text += buffer;
    }
    return text;
}

std::optional<DATE> ParseDate(const std::wstring& text) {
    Scanner in(text);
    CalendarTime parts{1899, 12, 30, 0, 0, 0};
    const bool hasDate = ReadCalendarDate(in, parts);
    if (!in.AtEnd()) {
        // After a date, a time must follow as its own token.
        if (!ReadTime(in, parts))
            return std::nullopt;
    } else if (!hasDate) {
        return std::nullopt;
    }
    if (!in.AtEnd())
        return std::nullopt;
    return JoinDate(parts);
}

}  // namespace platform::com
