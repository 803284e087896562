// A parsed XML document, queried by dotted element paths from the root
// ("MailTag.PlainTxt" is the text of <PlainTxt> inside the root <MailTag>).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace standins::core {

class XmlDocument {
  public:
    // Parses UTF-8 text; an encoding the document declares is overridden,
    // since the text reached us already decoded. False for text that is not
    // well-formed XML; the document is then empty.
    bool Parse(std::string_view utf8);
    // The text of the first element on that path (its own text and that of
    // the elements inside it, entities and CDATA resolved); nothing when no
    // element is there.
    std::optional<std::string> Text(std::string_view path) const;

  private:
    std::map<std::string, std::string, std::less<>> m_texts;
};

}  // namespace standins::core
