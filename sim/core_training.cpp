#include "core_training.h"

#include <brevint_core.h>
#include <objbase.h>
#include <oleauto.h>

#include <string_view>

namespace olsim {

CoreTrainer::CoreTrainer() = default;

CoreTrainer::~CoreTrainer() = default;

bool CoreTrainer::Vote(const mailstore::Bytes& message, LONG vote, std::string& error) {
    if (!m_filter) {
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(L"Brevint.Filter", &clsid)) ||
            FAILED(m_filter.CoCreateInstance(clsid, nullptr, CLSCTX_ALL)) || !m_filter) {
            error = "the filter core (Brevint.Filter) cannot be created: 'install' first";
            return false;
        }
    }
    const std::string_view bytes(reinterpret_cast<const char*>(message.data()), message.size());
    const int length =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        length);
    BSTR wide = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    LONG result = -1;
    const HRESULT hr = m_filter->Vote(wide, vote, &result);
    SysFreeString(wide);
    if (FAILED(hr) || result < 0) {
        error = "the filter core refused the vote";
        return false;
    }
    return true;
}

}  // namespace olsim
