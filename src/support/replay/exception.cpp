#include "support/replay/exception.h"

namespace replay {

exception::exception(std::string message) : message_(std::move(message)) {}

const char* exception::what() const noexcept {
    try {
        formatted_ = category() + "[" + message() + "]";
        return formatted_.c_str();
    } catch (...) {
        return "replay::exception";  // no memory left to format the text
    }
}

void exception::append_category(const char* word) {
    if (!category_.empty())
        category_ += '.';
    category_ += word;
}

}  // namespace replay
