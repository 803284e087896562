// Reading a registry script: the replacements first, over the whole text (so a
// replacement may supply any part of a token), then the tokens, then the tree.
#include "registrar/registry_script.h"

#include "registry/key_name.h"

#include <platform/hex_digit.h>
#include <winreg.h>

#include <cwctype>
#include <limits>

namespace platform::registrar {
namespace {

// One token may be at most this long after replacement (a 4 KB buffer with
// room for its terminator).
constexpr size_t kMaxTokenLength = 4095;

struct ScriptError {};

std::wstring Preprocess(std::wstring_view text, const Replacements& replacements) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            out += text[i];
            continue;
        }
        const size_t close = text.find(L'%', i + 1);
        if (close == std::wstring_view::npos)
            throw ScriptError{};
        if (close == i + 1) {
            out += L'%';  // "%%" is a literal percent sign
        } else {
            auto found = replacements.find(registry::FoldName(text.substr(i + 1, close - i - 1)));
            if (found == replacements.end())
                throw ScriptError{};
            out += found->second;
        }
        i = close;
    }
    return out;
}

struct Token {
    std::wstring text;
    bool quoted = false;

    bool Is(std::wstring_view word) const {
        return !quoted && registry::FoldName(text) == registry::FoldName(word);
    }
};

// Tokens are separated by white space; a token in single quotes may hold
// white space, and '' inside it stands for one quote.
std::vector<Token> Tokenize(std::wstring_view text) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        if (std::iswspace(text[i])) {
            ++i;
            continue;
        }
        Token token;
        if (text[i] == L'\'') {
            token.quoted = true;
            for (++i;; ++i) {
                if (i >= text.size())
                    throw ScriptError{};
                if (text[i] == L'\'') {
                    if (i + 1 < text.size() && text[i + 1] == L'\'') {
                        token.text += L'\'';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += text[i];
            }
        } else {
            while (i < text.size() && !std::iswspace(text[i]))
                token.text += text[i++];
        }
        if (token.text.size() > kMaxTokenLength)
            throw ScriptError{};
        tokens.push_back(std::move(token));
    }
    return tokens;
}

std::optional<HKEY> RootKey(const Token& token) {
    // Predefined keys are sign-extended 32-bit values, as winreg.h writes them.
    struct Root {
        const wchar_t* shortName;
        const wchar_t* longName;
        LONG handle;
    };
    static constexpr Root kRoots[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", static_cast<LONG>(0x80000000)},
        {L"HKCU", L"HKEY_CURRENT_USER", static_cast<LONG>(0x80000001)},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", static_cast<LONG>(0x80000002)},
        {L"HKU", L"HKEY_USERS", static_cast<LONG>(0x80000003)},
        {L"HKPD", L"HKEY_PERFORMANCE_DATA", static_cast<LONG>(0x80000004)},
        {L"HKCC", L"HKEY_CURRENT_CONFIG", static_cast<LONG>(0x80000005)},
        {L"HKDD", L"HKEY_DYN_DATA", static_cast<LONG>(0x80000006)},
    };
    for (const Root& root : kRoots) {
        if (token.Is(root.shortName) || token.Is(root.longName))
            return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root.handle));
    }
    return std::nullopt;
}

std::vector<BYTE> WideBytes(std::wstring_view text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return {bytes, bytes + text.size() * sizeof(wchar_t)};
}

int HexDigit(wchar_t c) {
    const int digit = HexDigitValue(c);
    if (digit < 0)
        throw ScriptError{};
    return digit;
}

// Decimal, or hexadecimal after "0x"; anything else, or a number beyond 32
// bits, is an error.
DWORD ParseDword(const std::wstring& text) {
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const unsigned base = hex ? 16 : 10;
    const size_t first = hex ? 2 : 0;
    if (text.size() <= first)
        throw ScriptError{};
    uint64_t value = 0;
    for (size_t i = first; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (static_cast<unsigned>(digit) >= base)
            throw ScriptError{};
        value = value * base + digit;
        if (value > std::numeric_limits<DWORD>::max())
            throw ScriptError{};
    }
    return static_cast<DWORD>(value);
}

std::vector<BYTE> ParseBinary(const std::wstring& text) {
    if (text.size() % 2 != 0)
        throw ScriptError{};
    std::vector<BYTE> data;
    for (size_t i = 0; i < text.size(); i += 2)
        data.push_back(static_cast<BYTE>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1])));
    return data;
}

// The strings of a multi-string are separated by the two characters "\0".
std::vector<BYTE> ParseMultiString(const std::wstring& text) {
    std::wstring joined;
    size_t start = 0;
    for (size_t sep; (sep = text.find(L"\\0", start)) != std::wstring::npos; start = sep + 2)
        joined.append(text, start, sep - start).push_back(L'\0');
    joined.append(text, start).push_back(L'\0');
    joined.push_back(L'\0');
    return WideBytes(joined);
}

class Parser {
  public:
    explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    Script ReadAll() {
        Script script;
        while (m_pos < m_tokens.size()) {
            const Token& name = Next();
            auto root = RootKey(name);
            if (!root)
                throw ScriptError{};
            ScriptRoot entry{*root, ScriptKey{L"", KeyMode::NoRemove, {}, {}, {}}};
            Expect(L"{");
            ReadBody(entry.body);
            script.push_back(std::move(entry));
        }
        return script;
    }

  private:
    const Token& Next() {
        if (m_pos >= m_tokens.size())
            throw ScriptError{};
        return m_tokens[m_pos++];
    }
    bool PeekIs(std::wstring_view word) const {
        return m_pos < m_tokens.size() && m_tokens[m_pos].Is(word);
    }
    void Expect(std::wstring_view word) {
        if (!Next().Is(word))
            throw ScriptError{};
    }

    static bool IsReserved(const Token& token) {
        for (const wchar_t* word :
             {L"{", L"}", L"=", L"ForceRemove", L"NoRemove", L"Delete", L"val"}) {
            if (token.Is(word))
                return true;
        }
        return false;
    }

    // A key or value name: any token but the punctuation and the keywords.
    std::wstring ReadName() {
        const Token& token = Next();
        if (IsReserved(token))
            throw ScriptError{};
        return token.text;
    }

    ScriptValue ReadValue() {
        Expect(L"=");
        const Token& type = Next();
        const Token& text = Next();
        if (IsReserved(text))
            throw ScriptError{};
        if (type.Is(L"s"))
            return {REG_SZ, WideBytes(std::wstring_view(text.text.c_str(), text.text.size() + 1))};
        if (type.Is(L"d")) {
            const DWORD value = ParseDword(text.text);
            const auto* bytes = reinterpret_cast<const BYTE*>(&value);
            return {REG_DWORD, {bytes, bytes + sizeof value}};
        }
        if (type.Is(L"b"))
            return {REG_BINARY, ParseBinary(text.text)};
        if (type.Is(L"m"))
            return {REG_MULTI_SZ, ParseMultiString(text.text)};
        throw ScriptError{};
    }

    void ReadBody(ScriptKey& parent) {
        while (!PeekIs(L"}"))
            ReadEntry(parent);
        Expect(L"}");
    }

    KeyMode ReadMode() {
        if (PeekIs(L"ForceRemove"))
            return ++m_pos, KeyMode::ForceRemove;
        if (PeekIs(L"NoRemove"))
            return ++m_pos, KeyMode::NoRemove;
        if (PeekIs(L"Delete"))
            return ++m_pos, KeyMode::Delete;
        return KeyMode::Plain;
    }

    void ReadEntry(ScriptKey& parent) {
        const KeyMode mode = ReadMode();
        if (PeekIs(L"val")) {
            ++m_pos;
            if (mode != KeyMode::Plain && mode != KeyMode::NoRemove)
                throw ScriptError{};
            NamedValue value;
            value.name = ReadName();
            value.value = ReadValue();
            value.keepOnUnregister = mode == KeyMode::NoRemove;
            parent.values.push_back(std::move(value));
            return;
        }
        ScriptKey key;
        key.mode = mode;
        key.name = ReadName();
        if (key.name.empty())
            throw ScriptError{};
        if (PeekIs(L"="))
            key.defaultValue = ReadValue();
        if (PeekIs(L"{")) {
            ++m_pos;
            ReadBody(key);
        }
        parent.subkeys.push_back(std::move(key));
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
};

}  // namespace

std::optional<Script> ReadScript(std::wstring_view text, const Replacements& replacements) {
    try {
        return Parser(Tokenize(Preprocess(text, replacements))).ReadAll();
    } catch (const ScriptError&) {
        return std::nullopt;
    }
}

}  // namespace platform::registrar
