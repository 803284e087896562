// The support library's exceptions. Each carries a message and a dotted
// category path ("unicode.invalid_codepage") that says what kind of failure it
// is; `what` joins them as path[message].
#pragma once

#include <exception>
#include <string>

namespace replay {

class exception : public std::exception {
  public:
    explicit exception(std::string message = {});
    ~exception() override = default;

    const char* what() const noexcept override;
    virtual const std::string& message() const noexcept { return m_message; }
    virtual const std::string& category() const noexcept { return m_category; }

  protected:
    // Each derived constructor adds its own word after its base's path.
    void append_category(const char* word);

  private:
    mutable std::string m_formatted;  // built by `what` on demand
    std::string m_message;
    std::string m_category;
};

namespace unicode {

class generic : public replay::exception {
  public:
    explicit generic(std::string message = {}) : replay::exception(std::move(message)) {
        append_category("unicode");
    }
};

class out_of_memory : public generic {
  public:
    explicit out_of_memory(std::string message = {}) : generic(std::move(message)) {
        append_category("out_of_memory");
    }
};

class invalid_codepage : public generic {
  public:
    explicit invalid_codepage(std::string message = {}) : generic(std::move(message)) {
        append_category("invalid_codepage");
    }
};

class unmappable_character : public generic {
  public:
    explicit unmappable_character(std::string message = {}) : generic(std::move(message)) {
        append_category("unmappable_character");
    }
};

}  // namespace unicode
}  // namespace replay
