// Reading a type library's text: a lexer for words, strings and punctuation,
// then a descent through attribute lists, the library block, interfaces and
// coclasses. Names are checked at the end, so a coclass may name an interface
// written after it.
#include "typelib/library_text.h"

#include <objbase.h>

#include "registry/key_name.h"

#include <cwctype>
#include <set>

namespace platform::typelib {
namespace {

struct TextError {
    std::wstring reason;
};

[[noreturn]] void Fail(std::wstring reason) {
    throw TextError{std::move(reason)};
}

struct Token {
    enum Kind { Word, String, Punct, End } kind = End;
    std::wstring text;
};

bool IsWordChar(wchar_t c) {
    return std::iswalnum(c) || c == L'_' || c == L'.' || c == L'-';
}

std::vector<Token> Lex(std::wstring_view text) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (std::iswspace(c)) {
            ++i;
        } else if (text.substr(i, 2) == L"//") {
            i = text.find(L'\n', i);
        } else if (text.substr(i, 2) == L"/*") {
            const size_t close = text.find(L"*/", i + 2);
            if (close == std::wstring_view::npos)
                Fail(L"comment left open");
            i = close + 2;
        } else if (c == L'"') {
            Token token{Token::String, {}};
            for (++i;; ++i) {
                if (i >= text.size())
                    Fail(L"string left open");
                if (text[i] == L'"')
                    break;
                if (text[i] == L'\\' && i + 1 < text.size())
                    ++i;
                token.text += text[i];
            }
            ++i;
            tokens.push_back(std::move(token));
        } else if (std::wstring_view(L"[](){};:,").find(c) != std::wstring_view::npos) {
            tokens.push_back({Token::Punct, std::wstring(1, c)});
            ++i;
        } else if (IsWordChar(c)) {
            Token token{Token::Word, {}};
            while (i < text.size() && IsWordChar(text[i]))
                token.text += text[i++];
            tokens.push_back(std::move(token));
        } else {
            Fail(std::wstring(L"unexpected character '") + c + L"'");
        }
    }
    tokens.push_back({Token::End, {}});
    return tokens;
}

struct Attribute {
    std::wstring name;
    std::optional<std::wstring> argument;
};

GUID ParseGuid(const std::wstring& text) {
    GUID guid{};
    const std::wstring braced = L"{" + text + L"}";
    if (text.size() != 36 || FAILED(CLSIDFromString(braced.c_str(), &guid)))
        Fail(L"bad uuid " + text);
    return guid;
}

unsigned long ParseNumber(const std::wstring& text, int base) {
    if (text.empty())
        Fail(L"missing number");
    size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, base);
    } catch (const std::exception&) {
        Fail(L"bad number " + text);
    }
    if (used != text.size() || value > 0xFFFF)
        Fail(L"bad number " + text);
    return value;
}

class Reader {
  public:
    explicit Reader(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    LibraryDescription ReadFile() {
        bool haveLibrary = false;
        while (Peek().kind != Token::End) {
            if (IsWord(L"import")) {
                Next();
                ExpectKind(Token::String);
                Expect(L";");
                continue;
            }
            auto attributes = ReadAttributes();
            if (IsWord(L"library")) {
                if (haveLibrary)
                    Fail(L"a second library");
                haveLibrary = true;
                ReadLibrary(attributes);
            } else if (IsWord(L"interface")) {
                ReadInterface(attributes);
            } else {
                Fail(L"expected library or interface, found " + Peek().text);
            }
        }
        if (!haveLibrary)
            Fail(L"no library");
        CheckNames();
        return std::move(m_library);
    }

  private:
    const Token& Peek() const { return m_tokens[m_pos]; }
    const Token& Next() {
        const Token& token = m_tokens[m_pos];
        if (token.kind != Token::End)
            ++m_pos;
        return token;
    }
    bool IsWord(std::wstring_view word) const {
        return Peek().kind == Token::Word && Peek().text == word;
    }
    bool IsPunct(std::wstring_view punct) const {
        return Peek().kind == Token::Punct && Peek().text == punct;
    }
    void Expect(std::wstring_view punct) {
        if (!IsPunct(punct))
            Fail(L"expected '" + std::wstring(punct) + L"', found '" + Peek().text + L"'");
        Next();
    }
    std::wstring ExpectKind(Token::Kind kind) {
        if (Peek().kind != kind)
            Fail(L"unexpected '" + Peek().text + L"'");
        return Next().text;
    }
    void SkipSemicolon() {
        if (IsPunct(L";"))
            Next();
    }

    // "[ name, name(argument), ... ]", or nothing.
    std::vector<Attribute> ReadAttributes() {
        std::vector<Attribute> attributes;
        if (!IsPunct(L"["))
            return attributes;
        Next();
        for (;;) {
            Attribute attribute{ExpectKind(Token::Word), std::nullopt};
            if (IsPunct(L"(")) {
                Next();
                if (Peek().kind != Token::Word && Peek().kind != Token::String)
                    Fail(L"attribute " + attribute.name + L" without its argument");
                attribute.argument = Next().text;
                Expect(L")");
            }
            attributes.push_back(std::move(attribute));
            if (IsPunct(L"]"))
                break;
            Expect(L",");
        }
        Next();
        return attributes;
    }

    // Checks each attribute against what the item accepts and hands them to
    // `apply` by name.
    template <typename Apply>
    static void Take(const std::vector<Attribute>& attributes,
                     std::initializer_list<std::wstring_view> accepted, Apply apply) {
        std::set<std::wstring> seen;
        for (const Attribute& attribute : attributes) {
            bool known = false;
            for (std::wstring_view name : accepted)
                known = known || name == attribute.name;
            if (!known)
                Fail(L"attribute " + attribute.name + L" is not accepted here");
            if (!seen.insert(attribute.name).second)
                Fail(L"attribute " + attribute.name + L" given twice");
            apply(attribute);
        }
    }
    static const std::wstring& Argument(const Attribute& attribute) {
        if (!attribute.argument)
            Fail(L"attribute " + attribute.name + L" needs an argument");
        return *attribute.argument;
    }

    void ReadLibrary(const std::vector<Attribute>& attributes) {
        bool haveUuid = false;
        Take(attributes,
             {L"uuid", L"version", L"helpstring", L"lcid", L"restricted", L"hidden", L"control"},
             [&](const Attribute& a) {
                 if (a.name == L"uuid") {
                     m_library.libid = ParseGuid(Argument(a));
                     haveUuid = true;
                 } else if (a.name == L"version") {
                     const std::wstring& text = Argument(a);
                     const size_t dot = text.find(L'.');
                     m_library.majorVersion =
                         static_cast<WORD>(ParseNumber(text.substr(0, dot), 10));
                     if (dot != std::wstring::npos)
                         m_library.minorVersion =
                             static_cast<WORD>(ParseNumber(text.substr(dot + 1), 10));
                 } else if (a.name == L"helpstring") {
                     m_library.helpString = Argument(a);
                 } else if (a.name == L"lcid") {
                     const std::wstring& text = Argument(a);
                     const bool hex = text.starts_with(L"0x") || text.starts_with(L"0X");
                     m_library.lcid = ParseNumber(hex ? text.substr(2) : text, hex ? 16 : 10);
                 } else if (a.name == L"restricted") {
                     m_library.flags |= LIBFLAG_FRESTRICTED;
                 } else if (a.name == L"hidden") {
                     m_library.flags |= LIBFLAG_FHIDDEN;
                 } else {
                     m_library.flags |= LIBFLAG_FCONTROL;
                 }
             });
        if (!haveUuid)
            Fail(L"library without uuid");
        Next();  // "library"
        m_library.name = ExpectKind(Token::Word);
        Expect(L"{");
        while (!IsPunct(L"}")) {
            if (IsWord(L"importlib")) {
                Next();
                Expect(L"(");
                m_library.imports.push_back(ExpectKind(Token::String));
                Expect(L")");
                Expect(L";");
                continue;
            }
            auto inner = ReadAttributes();
            if (IsWord(L"coclass")) {
                ReadCoclass(inner);
            } else if (IsWord(L"interface")) {
                ReadInterface(inner);
            } else {
                Fail(L"expected coclass or interface, found '" + Peek().text + L"'");
            }
        }
        Next();
        SkipSemicolon();
    }

    void ReadInterface(const std::vector<Attribute>& attributes) {
        Next();  // "interface"
        const std::wstring name = ExpectKind(Token::Word);
        if (IsPunct(L";")) {  // a reference to an interface written elsewhere
            if (!attributes.empty())
                Fail(L"attributes on a reference to " + name);
            Next();
            m_referenced.push_back(name);
            return;
        }
        TypeDescription type;
        type.name = name;
        bool haveUuid = false, dual = false;
        Take(attributes,
             {L"object", L"uuid", L"dual", L"oleautomation", L"nonextensible", L"helpstring",
              L"pointer_default", L"hidden", L"restricted"},
             [&](const Attribute& a) {
                 if (a.name == L"uuid") {
                     type.guid = ParseGuid(Argument(a));
                     haveUuid = true;
                 } else if (a.name == L"dual") {
                     dual = true;
                 } else if (a.name == L"oleautomation") {
                     type.flags |= TYPEFLAG_FOLEAUTOMATION;
                 } else if (a.name == L"nonextensible") {
                     type.flags |= TYPEFLAG_FNONEXTENSIBLE;
                 } else if (a.name == L"helpstring") {
                     type.helpString = Argument(a);
                 } else if (a.name == L"hidden") {
                     type.flags |= TYPEFLAG_FHIDDEN;
                 } else if (a.name == L"restricted") {
                     type.flags |= TYPEFLAG_FRESTRICTED;
                 }
             });
        if (!haveUuid)
            Fail(L"interface " + name + L" without uuid");
        Expect(L":");
        type.implemented.push_back({ExpectKind(Token::Word), 0});
        Expect(L"{");
        if (!IsPunct(L"}"))
            Fail(L"interface " + name + L" has members, which are not read here");
        Next();
        SkipSemicolon();
        if (dual) {
            type.kind = TKIND_DISPATCH;
            type.flags |= TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION;
        }
        Add(std::move(type));
    }

    void ReadCoclass(const std::vector<Attribute>& attributes) {
        Next();  // "coclass"
        TypeDescription type;
        type.kind = TKIND_COCLASS;
        type.name = ExpectKind(Token::Word);
        type.flags = TYPEFLAG_FCANCREATE;
        bool haveUuid = false;
        Take(attributes,
             {L"uuid", L"helpstring", L"noncreatable", L"appobject", L"hidden", L"control",
              L"licensed", L"aggregatable"},
             [&](const Attribute& a) {
                 if (a.name == L"uuid") {
                     type.guid = ParseGuid(Argument(a));
                     haveUuid = true;
                 } else if (a.name == L"helpstring") {
                     type.helpString = Argument(a);
                 } else if (a.name == L"noncreatable") {
                     type.flags &= ~TYPEFLAG_FCANCREATE;
                 } else if (a.name == L"appobject") {
                     type.flags |= TYPEFLAG_FAPPOBJECT;
                 } else if (a.name == L"hidden") {
                     type.flags |= TYPEFLAG_FHIDDEN;
                 } else if (a.name == L"control") {
                     type.flags |= TYPEFLAG_FCONTROL;
                 } else if (a.name == L"licensed") {
                     type.flags |= TYPEFLAG_FLICENSED;
                 } else {
                     type.flags |= TYPEFLAG_FAGGREGATABLE;
                 }
             });
        if (!haveUuid)
            Fail(L"coclass " + type.name + L" without uuid");
        Expect(L"{");
        while (!IsPunct(L"}")) {
            ImplementedType implemented;
            Take(ReadAttributes(), {L"default", L"source", L"restricted", L"defaultvtable"},
                 [&](const Attribute& a) {
                     if (a.name == L"default")
                         implemented.flags |= IMPLTYPEFLAG_FDEFAULT;
                     else if (a.name == L"source")
                         implemented.flags |= IMPLTYPEFLAG_FSOURCE;
                     else if (a.name == L"restricted")
                         implemented.flags |= IMPLTYPEFLAG_FRESTRICTED;
                     else
                         implemented.flags |= IMPLTYPEFLAG_FDEFAULTVTABLE;
                 });
            if (!IsWord(L"interface") && !IsWord(L"dispinterface"))
                Fail(L"expected interface in coclass " + type.name);
            Next();
            implemented.name = ExpectKind(Token::Word);
            Expect(L";");
            type.implemented.push_back(std::move(implemented));
        }
        Next();
        SkipSemicolon();
        Add(std::move(type));
    }

    void Add(TypeDescription type) {
        if (Find(type.name))
            Fail(L"" + type.name + L" defined twice");
        m_library.types.push_back(std::move(type));
    }

    const TypeDescription* Find(const std::wstring& name) const {
        for (const TypeDescription& type : m_library.types) {
            if (registry::FoldName(type.name) == registry::FoldName(name))
                return &type;
        }
        return nullptr;
    }

    // Bases are IUnknown, IDispatch (of the standard library) or interfaces of
    // this text; a dual interface is dispatchable; coclasses name interfaces
    // of this text.
    void CheckNames() {
        for (const std::wstring& name : m_referenced) {
            if (!Find(name))
                Fail(L"undefined interface " + name);
        }
        for (TypeDescription& type : m_library.types) {
            for (const ImplementedType& implemented : type.implemented) {
                const TypeDescription* target = Find(implemented.name);
                if (type.kind == TKIND_COCLASS) {
                    if (!target || target->kind == TKIND_COCLASS)
                        Fail(L"coclass " + type.name + L" names no interface " + implemented.name);
                    continue;
                }
                const bool dispatchable = implemented.name == L"IDispatch" ||
                                          (target && (target->flags & TYPEFLAG_FDISPATCHABLE));
                if (!target && implemented.name != L"IUnknown" && implemented.name != L"IDispatch")
                    Fail(L"undefined base " + implemented.name);
                if (target && target->kind == TKIND_COCLASS)
                    Fail(L"a coclass as the base of " + type.name);
                if (dispatchable)
                    type.flags |= TYPEFLAG_FDISPATCHABLE;
                if ((type.flags & TYPEFLAG_FDUAL) && !dispatchable)
                    Fail(L"dual interface " + type.name + L" not derived from IDispatch");
            }
        }
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    LibraryDescription m_library;
    std::vector<std::wstring> m_referenced;
};

}  // namespace

std::optional<LibraryDescription> ReadLibraryText(std::wstring_view text, std::wstring* error) {
    try {
        return Reader(Lex(text)).ReadFile();
    } catch (const TextError& failure) {
        if (error)
            *error = failure.reason;
        return std::nullopt;
    }
}

}  // namespace platform::typelib
