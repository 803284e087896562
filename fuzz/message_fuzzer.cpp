// A message as it arrives: any bytes. Tokenizing it and finding its sender
// must neither crash nor hang, and merging a transport header into it must
// keep its body byte for byte. The input is "header NUL message" for the
// merge; the whole input is the message for the tokenizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/merge_header.h"
#include "filter/tokenizer.h"

namespace {

std::wstring Widen(std::string_view bytes) {
    return std::wstring(bytes.begin(), bytes.end());  // each byte one character
}

// The body of a message: what follows its first empty line (LF or CR LF).
std::wstring_view BodyOf(std::wstring_view message) {
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] != L'\n')
            continue;
        if (i + 1 < message.size() && message[i + 1] == L'\n')
            return message.substr(i + 2);
        if (i + 2 < message.size() && message[i + 1] == L'\r' && message[i + 2] == L'\n')
            return message.substr(i + 3);
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto tokens = bv::filter::Tokenize(input);
    for (const std::string& token : tokens)
        if (token.empty())
            std::abort();  // an empty token would be a clue that every message shares
    (void)bv::filter::SenderAddress(input);

    size_t split = input.find('\0');
    if (split == std::string_view::npos)
        return 0;
    std::wstring header = Widen(input.substr(0, split));
    std::wstring message = Widen(input.substr(split + 1));
    std::wstring merged = standins::core::MergeHeader(message, header);
    std::wstring_view body = BodyOf(message);
    if (!std::wstring_view(merged).ends_with(body))
        std::abort();  // the merge lost or changed part of the body
    return 0;
}
