#include "support/replay/exception.h"

namespace replay {

exception::exception(std::string message) : m_message(std::move(message)) {}

const char* exception::what() const noexcept {
    try {
        m_formatted = category() + "[" + message() + "]";
        return m_formatted.c_str();
    } catch (...) {
        return "replay::exception";  // no memory left to format the text
    }
}

void exception::append_category(const char* word) {
    if (!m_category.empty())
        m_category += '.';
    m_category += word;
}

}  // namespace replay
