#include "core_training.h"

#include <brevint_core.h>
#include <objbase.h>
#include <oleauto.h>

#include <string_view>

namespace olsim {

CoreTrainer::CoreTrainer() = default;

CoreTrainer::~CoreTrainer() = default;

namespace {

// The message as the add-in hands it to the core: its bytes as text of the
// ANSI code page.
BSTR AnsiText(const mailstore::Bytes& message) {
    const std::string_view bytes(reinterpret_cast<const char*>(message.data()), message.size());
    const int length =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        length);
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace

bool CoreTrainer::Filter(std::string& error) {
    if (m_filter)
        return true;
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"Brevint.Filter", &clsid)) ||
        FAILED(m_filter.CoCreateInstance(clsid, nullptr, CLSCTX_ALL)) || !m_filter) {
        error = "the filter core (Brevint.Filter) cannot be created: 'install' first";
        return false;
    }
    return true;
}

bool CoreTrainer::Vote(const mailstore::Bytes& message, LONG vote, std::string& error) {
    if (!Filter(error))
        return false;
    BSTR text = AnsiText(message);
    LONG result = -1;
    const HRESULT hr = m_filter->Vote(text, vote, &result);
    SysFreeString(text);
    if (FAILED(hr) || result < 0) {
        error = "the filter core refused the vote";
        return false;
    }
    return true;
}

std::optional<LONG> CoreTrainer::Score(const mailstore::Bytes& message) {
    std::string error;
    if (!Filter(error))
        return std::nullopt;
    BSTR text = AnsiText(message);
    LONG score = -1;
    const HRESULT hr = m_filter->Score(text, 1, &score);
    SysFreeString(text);
    if (FAILED(hr) || score < 0)
        return std::nullopt;
    return score;
}

}  // namespace olsim
