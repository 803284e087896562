#include "core/xml_document.h"

#include <expat.h>

#include <climits>
#include <memory>
#include <vector>

namespace standins::core {
namespace {

struct Open {
    std::string path;
    std::string text;
};

struct ParseState {
    std::vector<Open> open;
    std::map<std::string, std::string, std::less<>> texts;
};

void XMLCALL StartElement(void* data, const XML_Char* name, const XML_Char**) {
    auto& state = *static_cast<ParseState*>(data);
    std::string path = state.open.empty() ? name : state.open.back().path + "." + name;
    state.open.push_back({std::move(path), {}});
}

void XMLCALL EndElement(void* data, const XML_Char*) {
    auto& state = *static_cast<ParseState*>(data);
    Open& closed = state.open.back();
    state.texts.try_emplace(closed.path, closed.text);  // the first element on a path wins
    state.open.pop_back();
}

void XMLCALL CharacterData(void* data, const XML_Char* text, int length) {
    auto& state = *static_cast<ParseState*>(data);
    for (Open& element : state.open)
        element.text.append(text, static_cast<size_t>(length));
}

}  // namespace

bool XmlDocument::Parse(std::string_view utf8) {
    m_texts.clear();
    if (utf8.size() > INT_MAX)
        return false;
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("UTF-8"),
                                                                        XML_ParserFree);
    if (!parser)
        return false;
    ParseState state;
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), StartElement, EndElement);
    XML_SetCharacterDataHandler(parser.get(), CharacterData);
    if (XML_Parse(parser.get(), utf8.data(), static_cast<int>(utf8.size()), XML_TRUE) !=
        XML_STATUS_OK)
        return false;
    m_texts = std::move(state.texts);
    return true;
}

std::optional<std::string> XmlDocument::Text(std::string_view path) const {
    auto found = m_texts.find(path);
    if (found == m_texts.end())
        return std::nullopt;
    return found->second;
}

}  // namespace standins::core
