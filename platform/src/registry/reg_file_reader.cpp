#include "registry/reg_file.h"

#include "core/utf8.h"
#include "registry/key_name.h"
#include "registry/unicode_text.h"

#include <winerror.h>
#include <platform/hex_digit.h>
#include <winreg.h>

#include <cstring>
#include <optional>

namespace platform::registry {
namespace {

using host::RegistryDiagnostic;

// One line of the file: its text, or nothing when its bytes were not text
// in the file's encoding.
using Line = std::optional<std::wstring>;

struct ValueData {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t' || text.back() == L'\r'))
        text.remove_suffix(1);
    return text;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string Narrow(std::wstring_view text) {
    return EncodeUtf8(text).bytes;
}

// A line of a UTF-8 file is text only when all its bytes are UTF-8.
Line Utf8Line(std::string_view bytes) {
    Utf8Decoded<wchar_t> decoded = DecodeUtf8<wchar_t>(bytes);
    if (!decoded.valid)
        return std::nullopt;
    return std::move(decoded.text);
}

std::vector<Line> SplitUtf8Lines(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::vector<Line> lines;
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        lines.push_back(Utf8Line(bytes.substr(0, end)));
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<Line> SplitWideLines(std::wstring_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        size_t end = text.find(L'\n');
        lines.emplace_back(std::wstring(text.substr(0, end)));
        if (end == std::wstring_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Reads a "quoted" string with \\ and \" escapes starting at text[at] (the
// opening quote); returns the position after the closing quote.
std::optional<size_t> ReadQuoted(std::wstring_view text, size_t at, std::wstring& out,
                                 std::string& error) {
    out.clear();
    for (size_t i = at + 1; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'"')
            return i + 1;
        if (c == L'\\') {
            if (i + 1 >= text.size())
                break;
            wchar_t escaped = text[++i];
            if (escaped != L'\\' && escaped != L'"') {
                error = "unknown escape \\" + Narrow(std::wstring(1, escaped)) +
                        " in a quoted string (a backslash must be written \\\\)";
                return std::nullopt;
            }
            c = escaped;
        }
        out += c;
    }
    error = "unterminated quoted string";
    return std::nullopt;
}

std::optional<unsigned> HexNumber(std::wstring_view digits, size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits)
        return std::nullopt;
    unsigned number = 0;
    for (wchar_t c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        number = number * 16 + static_cast<unsigned>(digit);
    }
    return number;
}

std::optional<std::vector<BYTE>> HexList(std::wstring_view text, std::string& error) {
    std::vector<BYTE> bytes;
    text = Trim(text);
    if (text.empty())
        return bytes;
    while (true) {
        size_t comma = text.find(L',');
        std::wstring_view token = Trim(text.substr(0, comma));
        auto byte = HexNumber(token, 2);
        if (!byte) {
            error = "bad hex byte \"" + Narrow(token) + "\"";
            return std::nullopt;
        }
        bytes.push_back(static_cast<BYTE>(*byte));
        if (comma == std::wstring_view::npos)
            return bytes;
        text.remove_prefix(comma + 1);
    }
}

class RegFileReader {
  public:
    RegFileReader(RegistryKey& root, const std::filesystem::path& file)
        : m_root(root), m_file(file) {}

    std::vector<RegistryDiagnostic> Read(std::string_view bytes) {
        if (!SplitLines(bytes))
            return std::move(m_diagnostics);
        ReadHeader();
        while (m_next < m_lines.size())
            ReadLine();
        return std::move(m_diagnostics);
    }

  private:
    void Report(size_t lineIndex, std::string message) {
        m_diagnostics.push_back({m_file, static_cast<unsigned>(lineIndex + 1), std::move(message)});
    }

    bool SplitLines(std::string_view bytes) {
        if (bytes.substr(0, 2) == "\xFE\xFF") {
            m_diagnostics.push_back({m_file, 0, "UTF-16 big-endian is not read: file skipped"});
            return false;
        }
        if (bytes.substr(0, 2) != "\xFF\xFE") {
            m_lines = SplitUtf8Lines(bytes);
            return true;
        }
        bytes.remove_prefix(2);
        m_lines = SplitWideLines(Utf16ToWide(bytes));
        if (bytes.size() % 2 != 0)
            m_diagnostics.push_back({m_file, static_cast<unsigned>(m_lines.size()),
                                     "UTF-16 text ends in half a character (truncated file?)"});
        return true;
    }

    void ReadHeader() {
        while (m_next < m_lines.size() && m_lines[m_next] && Trim(*m_lines[m_next]).empty())
            ++m_next;
        std::wstring header(kRegFileHeader.begin(), kRegFileHeader.end());
        if (m_next < m_lines.size() && m_lines[m_next] && Trim(*m_lines[m_next]) == header) {
            ++m_next;
            return;
        }
        Report(m_next, "missing header \"" + std::string(kRegFileHeader) +
                           "\": reading the lines that follow as they are");
    }

    void ReadLine() {
        size_t index = m_next++;
        if (!m_lines[index]) {
            Report(index, "line is not valid UTF-8 text: skipped");
            return;
        }
        std::wstring_view line = Trim(*m_lines[index]);
        if (line.empty() || line.front() == L';')
            return;
        if (line.front() == L'[')
            return ReadSection(index, line);
        if (line.front() == L'"' || line.front() == L'@')
            return ReadValue(index, line);
        Report(index, "not a key, a value or a comment: skipped");
    }

    void ReadSection(size_t index, std::wstring_view line) {
        m_current.reset();
        m_sectionLine = index;
        std::string why = OpenSection(line);
        if (!why.empty())
            Report(index, why + ": key skipped, with the values under it");
    }

    // Makes the section's key the current one; the reason on failure.
    std::string OpenSection(std::wstring_view line) {
        if (line.back() != L']')
            return "key line without its closing ]";
        std::wstring_view path = line.substr(1, line.size() - 2);
        if (StartsWith(path, L"-"))
            return "deleting a key ([-...]) is not done in a hive file";
        std::vector<std::wstring> components;
        std::wstring hive(path.substr(0, path.find(L'\\')));
        if (path.size() > hive.size())
            path.remove_prefix(hive.size() + 1);
        else
            path = {};
        std::wstring pathText(path);
        if (SplitKeyPath(pathText.c_str(), components) != ERROR_SUCCESS)
            return "bad key path (empty name, leading backslash or a name over 255 characters)";
        auto key = HiveKey(FoldName(hive));
        if (!key)
            return "key \"" + Narrow(hive) + "\" is not in this file's hive";
        for (const std::wstring& name : components) {
            bool created;
            key = key->OpenOrCreateSubkey(name, created);
        }
        m_current = key;
        return {};
    }

    // The key a section's first name stands for in this file's hive.
    std::shared_ptr<RegistryKey> HiveKey(const std::wstring& folded) {
        if (folded == HiveRootName(m_root.hive()))
            return m_root.shared_from_this();
        if (folded != L"HKEY_CLASSES_ROOT" || m_root.hive() != Hive::LocalMachine)
            return nullptr;
        bool created;
        return m_root.OpenOrCreateSubkey(L"SOFTWARE", created)
            ->OpenOrCreateSubkey(L"Classes", created);
    }

    void ReadValue(size_t index, std::wstring_view line) {
        std::wstring name;
        std::string error;
        size_t at = 1;
        if (line.front() == L'"') {
            auto end = ReadQuoted(line, 0, name, error);
            if (!end)
                return Report(index, "value skipped: bad name: " + error);
            at = *end;
        }
        std::string what = name.empty() ? "default value" : "value \"" + Narrow(name) + "\"";
        line = line.substr(at);
        size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos || !Trim(line.substr(0, equals)).empty())
            return Report(index, what + " skipped: no = after its name");
        auto data = ReadData(Trim(line.substr(equals + 1)), error);
        if (!data)
            return Report(index, what + " skipped: " + error);
        if (!m_current) {
            if (m_sectionLine) {
                return Report(index, what + " skipped: its key (line " +
                                         std::to_string(*m_sectionLine + 1) + ") was skipped");
            }
            return Report(index, what + " skipped: it comes before any key");
        }
        if (name.size() > kMaxValueNameLength)
            return Report(index, what + " skipped: name longer than 16383 characters");
        m_current->SetValue(name, data->type, std::move(data->bytes));
    }

    std::optional<ValueData> ReadData(std::wstring_view text, std::string& error) {
        if (StartsWith(text, L"\""))
            return ReadStringData(text, error);
        if (StartsWith(text, L"dword:")) {
            auto number = HexNumber(text.substr(6), 8);
            if (!number) {
                error = "bad dword \"" + Narrow(text.substr(6)) + "\"";
                return std::nullopt;
            }
            ValueData data{REG_DWORD, std::vector<BYTE>(sizeof(DWORD))};
            DWORD dword = *number;
            std::memcpy(data.bytes.data(), &dword, sizeof dword);
            return data;
        }
        if (StartsWith(text, L"hex"))
            return ReadHexData(text, error);
        if (text == L"-") {
            error = "deleting a value (=-) is not done in a hive file";
        } else {
            error = "unrecognised data \"" + Narrow(text.substr(0, 40)) + "\"";
        }
        return std::nullopt;
    }

    std::optional<ValueData> ReadStringData(std::wstring_view text, std::string& error) {
        std::wstring content;
        auto end = ReadQuoted(text, 0, content, error);
        if (!end)
            return std::nullopt;
        if (!Trim(text.substr(*end)).empty()) {
            error = "text after the closing quote";
            return std::nullopt;
        }
        content += L'\0';  // a quoted string is stored with its terminator
        return ValueData{REG_SZ, WideToData(content)};
    }

    std::optional<ValueData> ReadHexData(std::wstring_view text, std::string& error) {
        size_t colon = text.find(L':');
        std::wstring_view kind = colon == std::wstring_view::npos ? text : text.substr(0, colon);
        ValueData data{REG_BINARY, {}};
        if (kind != L"hex") {
            auto type = kind.size() > 5 && kind[3] == L'(' && kind.back() == L')'
                            ? HexNumber(kind.substr(4, kind.size() - 5), 8)
                            : std::nullopt;
            if (!type || colon == std::wstring_view::npos) {
                error = "unrecognised data \"" + Narrow(kind) + "\"";
                return std::nullopt;
            }
            data.type = *type;
        }
        auto joined = JoinContinuedLines(text.substr(colon + 1), error);
        if (!joined)
            return std::nullopt;
        auto bytes = HexList(*joined, error);
        if (!bytes)
            return std::nullopt;
        if (data.type == REG_SZ || data.type == REG_EXPAND_SZ || data.type == REG_MULTI_SZ) {
            if (bytes->size() % 2 != 0) {
                error = "string data in hex is UTF-16 and needs an even number of bytes";
                return std::nullopt;
            }
            data.bytes = Utf16ToWideData(*bytes);
        } else {
            data.bytes = std::move(*bytes);
        }
        return data;
    }

    // Hex data continues on the next line while a line ends in a backslash.
    std::optional<std::wstring> JoinContinuedLines(std::wstring_view first, std::string& error) {
        std::wstring joined;
        std::wstring_view part = Trim(first);
        while (!part.empty() && part.back() == L'\\') {
            joined += part.substr(0, part.size() - 1);
            if (m_next >= m_lines.size()) {
                error = "hex data continues past the end of the file (truncated?)";
                return std::nullopt;
            }
            const Line& line = m_lines[m_next];
            std::wstring_view following = line ? Trim(*line) : std::wstring_view();
            if (!line || following.empty() || following.front() == L'[' ||
                following.front() == L'"' || following.front() == L'@') {
                error = "hex data broken off: the next line does not continue it";
                return std::nullopt;
            }
            ++m_next;
            part = following;
        }
        joined += part;
        return joined;
    }

    RegistryKey& m_root;
    const std::filesystem::path& m_file;
    std::vector<Line> m_lines;
    size_t m_next = 0;
    std::shared_ptr<RegistryKey> m_current;
    std::optional<size_t> m_sectionLine;  // of the section being read
    std::vector<RegistryDiagnostic> m_diagnostics;
};

}  // namespace

std::vector<host::RegistryDiagnostic> ReadRegFile(std::string_view bytes, RegistryKey& root,
                                                  const std::filesystem::path& file) {
    return RegFileReader(root, file).Read(bytes);
}

}  // namespace platform::registry
