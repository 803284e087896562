// The language table: every text the add-in shows is looked up by section
// name and number in one INI-like file that the installation provides.
//
// The syntax is deliberately loose: a "[" always starts a section, even in
// the middle of a line, lines end only at CR LF, and a line is a key only when
// it holds "=" (the key is the number at its start, 0 when there is none).
#pragma once

#include <map>
#include <string>

class IniParser {
  public:
    using KeyTable = std::map<int, std::wstring>;

    IniParser() = default;
    virtual ~IniParser() = default;
    IniParser(const IniParser&) = delete;
    IniParser& operator=(const IniParser&) = delete;

    // Reads the UTF-8 file (a UTF-16 byte-order mark at its start is skipped)
    // and stores its sections; false when it cannot be opened or read.
    bool Load(const std::wstring& path);

    // The stored value; empty when the section or the key is missing.
    std::wstring GetValue(const std::wstring& section, int key) const;

    // Parses text as the file's contents; sections already stored under the
    // same names are replaced wholesale, others are kept.
    void ParseText(const std::wstring& text);

  private:
    std::map<std::wstring, KeyTable> m_sections;
};

// The number at the start of text: leading white space, an optional sign,
// then digits up to the first other character; 0 when there are no digits.
int LeadingNumber(const std::wstring& text);
