#include "command_bar_button.h"

#include <platform/windows.h>
#include <wingdi.h>
#include <winuser.h>

#include <array>

namespace outlook::objects {

namespace {

constexpr std::array kOwn{
    Member<&Office::_CommandBarButton::PasteFace>(
        L"PasteFace", DISPID_Office_CommandBarButton_PasteFace, DISPATCH_METHOD),
    Member<&Office::_CommandBarButton::get_Style>(L"Style", DISPID_Office_CommandBarButton_Style,
                                                  DISPATCH_PROPERTYGET),
    Member<&Office::_CommandBarButton::put_Style>(L"Style", DISPID_Office_CommandBarButton_Style,
                                                  DISPATCH_PROPERTYPUT),
};
constexpr auto kMembers = Join(ControlMembers(), kOwn);

bool IsButtonStyle(int style) {
    switch (style) {
        case Office::msoButtonAutomatic:
        case Office::msoButtonIcon:
        case Office::msoButtonCaption:
        case Office::msoButtonIconAndCaption:
        case Office::msoButtonIconAndWrapCaption:
        case Office::msoButtonIconAndCaptionBelow:
        case Office::msoButtonWrapCaption:
        case Office::msoButtonIconAndWrapCaptionBelow:
            return true;
        default:
            return false;
    }
}

// What the face shows, for the host's view: the bitmap's file when the
// bitmap was loaded from one, else its size.
std::wstring FaceOf(HBITMAP bitmap) {
    std::wstring source = platform::host::BitmapSource(bitmap);
    if (!source.empty())
        return source;
    BITMAP shape{};
    if (GetObjectW(bitmap, sizeof shape, &shape) == 0)
        return L"bitmap";
    return L"bitmap " + std::to_wstring(shape.bmWidth) + L"x" + std::to_wstring(shape.bmHeight);
}

}  // namespace

std::span<const DispatchMember> CommandBarButtonObject::Members() {
    return kMembers;
}

CommandBarButtonObject::CommandBarButtonObject() : ControlObject(L"CommandBarButton", kMembers) {
    fields.type = Office::msoControlButton;
    fields.style = Office::msoButtonAutomatic;
}

void CommandBarButtonObject::RaiseClick(IDispatch* clicked, VARIANT_BOOL* cancel) {
    CComPtr<CommandBarButtonObject> alive(this);  // a handler may delete the bar
    FireEvent(DISPID_Office_CommandBarButtonEvents_Click, clicked, cancel);
}

// The face comes from the clipboard's bitmap; with none there (or the
// clipboard held open by another thread) Office's PasteFace fails.
STDMETHODIMP CommandBarButtonObject::PasteFace() {
    if (HRESULT hr = Enter(L"PasteFace"); FAILED(hr))
        return hr;
    if (!OpenClipboard(nullptr))
        return Fail(E_FAIL, L"Method 'PasteFace' of object '_CommandBarButton' failed");
    auto* bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    std::wstring face = bitmap ? FaceOf(bitmap) : std::wstring();
    CloseClipboard();
    if (!bitmap)
        return Fail(E_FAIL, L"Method 'PasteFace' of object '_CommandBarButton' failed");
    fields.image = std::move(face);
    return S_OK;
}

STDMETHODIMP CommandBarButtonObject::get_Style(Office::MsoButtonStyle* style) {
    if (HRESULT hr = Enter(L"Style", style); FAILED(hr))
        return hr;
    *style = static_cast<Office::MsoButtonStyle>(fields.style);
    return S_OK;
}

STDMETHODIMP CommandBarButtonObject::put_Style(Office::MsoButtonStyle style) {
    if (HRESULT hr = Enter(L"Style"); FAILED(hr))
        return hr;
    if (!IsButtonStyle(style))
        return Fail(kInvalidArgument, L"Invalid procedure call or argument");
    fields.style = style;
    return S_OK;
}

}  // namespace outlook::objects
