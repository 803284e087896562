// What Items.Restrict and Items.Sort understand of Outlook's filter syntax:
// comparisons of an item property with a value, joined by AND, such as
//   [MessageClass] = 'IPM.Note' AND [unread] = true AND [receivedtime] >= ' 4 Dec 2026  9: 5'
// Property names ignore case; text compares ignoring case; dates are read in
// the forms Outlook reads in an English locale and compared to the minute, in
// local time, as Outlook compares them.
#pragma once

#include <oleauto.h>

#include <mailstore/model.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace outlook::objects {

enum class ItemProperty { MessageClass, Subject, UnRead, ReceivedTime, Size };

// A property named as a filter or a sort key names it: "[ReceivedTime]"
// (the brackets may be left out); nothing when the item has no such property.
std::optional<ItemProperty> PropertyNamed(std::wstring_view name);

// The received time of a message in local time, as Outlook shows it.
bool LocalReceivedTime(const mailstore::Message& message, DATE* received);

// A date written as Outlook reads one: "4 Dec 2026 9:05" (blanks anywhere
// between the parts, the month abbreviated or in full), "12/4/2026 9:05 PM",
// with seconds or without a time. Nothing for text that is no date.
std::optional<DATE> ParseOutlookDate(std::wstring_view text);

// Orders two messages by a property (text ignoring case, dates, numbers;
// read items before unread ones).
bool ComesBefore(ItemProperty property, const mailstore::Message& a, const mailstore::Message& b);

class ItemFilter {
  public:
    // The filter, or nothing with `error` saying where it could not be read
    // (Outlook's "Cannot parse condition. Error at ..." text).
    static std::optional<ItemFilter> Parse(std::wstring_view text, std::wstring& error);

    bool Matches(const mailstore::Message& message) const;

  private:
    enum class Comparison { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
    using Value = std::variant<std::wstring, bool, DATE, LONG>;
    struct Condition {
        ItemProperty property;
        Comparison comparison;
        Value value;
    };
    static bool Holds(const Condition& condition, const mailstore::Message& message);

    std::vector<Condition> m_conditions;
};

}  // namespace outlook::objects
