#include "core_training.h"

#include <brevint_core.h>
#include <comip.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>

namespace olsim {
namespace {

using FilterPtr = _com_ptr_t<_com_IIID<brevint_core::IFilter, &__uuidof(brevint_core::IFilter)>>;

// The message's bytes as the add-in hands them to the core: text of the ANSI
// code page, which the core turns back into the same bytes.
_bstr_t AnsiText(const mailstore::Bytes& bytes) {
    if (bytes.empty())
        return _bstr_t(L"");
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, data, size, nullptr, 0);
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!text)
        _com_issue_error(E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, data, size, text, length);
    return _bstr_t(text, false);  // owns it; a NUL inside stays part of the text
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

}  // namespace

TrainingResult TrainFilterCore(const std::vector<TrainingMessage>& messages) {
    TrainingResult result;
    FilterPtr filter;
    if (HRESULT hr = filter.CreateInstance(L"Brevint.Filter"); FAILED(hr)) {
        result.error = "\"Brevint.Filter\" could not be created: " + Hex(hr);
        return result;
    }
    for (const auto& message : messages) {
        LONG accepted = -1;
        HRESULT hr = filter->Vote(AnsiText(message.bytes), message.spam ? 100 : -100, &accepted);
        if (FAILED(hr) || accepted < 0) {
            result.error =
                "the core refused a vote: " + Hex(hr) + ", result " + std::to_string(accepted);
            return result;
        }
        ++(message.spam ? result.spam : result.good);
    }
    return result;
}

}  // namespace olsim
