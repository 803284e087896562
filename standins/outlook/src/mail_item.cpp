#include "mail_item.h"

#include <mapiview/mapi_view.h>

#include <array>

#include "items_filter.h"

namespace outlook::objects {

namespace {

using Mail = Outlook::_MailItem;

constexpr DISPID kBody = DISPID_Outlook_MailItem_Body;
constexpr DISPID kUnRead = DISPID_Outlook_MailItem_UnRead;
constexpr DISPID kHtmlBody = DISPID_Outlook_MailItem_HTMLBody;
constexpr DISPID kReceipt = DISPID_Outlook_MailItem_ReadReceiptRequested;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;

constexpr auto kMembers =
    Join(ItemMembers<Mail>(),
         std::array{
             Member<&Mail::get_Body>(L"Body", kBody, kGet),
             Member<&Mail::put_Body>(L"Body", kBody, kPut),
             Member<&Mail::get_MAPIOBJECT>(L"MAPIOBJECT", DISPID_Outlook_MAPIOBJECT, kGet),
             Member<&Mail::get_Size>(L"Size", DISPID_Outlook_MailItem_Size, kGet),
             Member<&Mail::get_UnRead>(L"UnRead", kUnRead, kGet),
             Member<&Mail::put_UnRead>(L"UnRead", kUnRead, kPut),
             Member<&Mail::Save>(L"Save", DISPID_Outlook_MailItem_Save, DISPATCH_METHOD),
             Member<&Mail::get_HTMLBody>(L"HTMLBody", kHtmlBody, kGet),
             Member<&Mail::put_HTMLBody>(L"HTMLBody", kHtmlBody, kPut),
             Member<&Mail::get_ReadReceiptRequested>(L"ReadReceiptRequested", kReceipt, kGet),
             Member<&Mail::put_ReadReceiptRequested>(L"ReadReceiptRequested", kReceipt, kPut),
             Member<&Mail::get_ReceivedTime>(L"ReceivedTime", DISPID_Outlook_MailItem_ReceivedTime,
                                             kGet),
         });

}  // namespace

std::span<const DispatchMember> MailItemObject::Members() {
    return kMembers;
}

MailItemObject::MailItemObject() : ItemObject(L"MailItem", kMembers) {}

STDMETHODIMP MailItemObject::get_Body(BSTR* body) {
    return TextOf(L"Body", body);
}

// Outlook keeps the HTML body in step with a plain body written.
STDMETHODIMP MailItemObject::put_Body(BSTR body) {
    if (HRESULT hr = Reach(L"Body"); FAILED(hr))
        return hr;
    m_message->SetPlainBody(body ? std::wstring(body, SysStringLen(body)) : std::wstring());
    return S_OK;
}

STDMETHODIMP MailItemObject::get_MAPIOBJECT(IUnknown** message) {
    if (HRESULT hr = Reach(L"MAPIOBJECT", message); FAILED(hr))
        return hr;
    *message = nullptr;
    IMessage* mapi = nullptr;
    const HRESULT hr = mapiview::MessageFor(m_message, &mapi);
    *message = mapi;
    return hr;
}

STDMETHODIMP MailItemObject::get_Size(LONG* size) {
    if (HRESULT hr = Reach(L"Size", size); FAILED(hr))
        return hr;
    *size = static_cast<LONG>(m_message->Size());
    return S_OK;
}

STDMETHODIMP MailItemObject::get_UnRead(VARIANT_BOOL* unread) {
    if (HRESULT hr = Reach(L"UnRead", unread); FAILED(hr))
        return hr;
    *unread = m_message->IsRead() ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP MailItemObject::put_UnRead(VARIANT_BOOL unread) {
    if (HRESULT hr = Reach(L"UnRead"); FAILED(hr))
        return hr;
    m_message->SetRead(unread == VARIANT_FALSE);
    return S_OK;
}

// The model keeps every change as it is made: saving has nothing left to write.
STDMETHODIMP MailItemObject::Save() {
    return Reach(L"Save");
}

STDMETHODIMP MailItemObject::get_HTMLBody(BSTR* body) {
    return TextOf(L"HTMLBody", body);
}

// Outlook makes the plain body the text of an HTML body written.
STDMETHODIMP MailItemObject::put_HTMLBody(BSTR body) {
    if (HRESULT hr = Reach(L"HTMLBody"); FAILED(hr))
        return hr;
    m_message->SetHtmlBody(body ? std::wstring(body, SysStringLen(body)) : std::wstring());
    return S_OK;
}

STDMETHODIMP MailItemObject::get_ReadReceiptRequested(VARIANT_BOOL* requested) {
    if (HRESULT hr = Reach(L"ReadReceiptRequested", requested); FAILED(hr))
        return hr;
    const bool asked = m_message->GetBool(mailstore::tags::kReadReceiptRequested).value_or(false);
    *requested = asked ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// Clearing the request also clears the pending receipt, so none is sent.
STDMETHODIMP MailItemObject::put_ReadReceiptRequested(VARIANT_BOOL requested) {
    if (HRESULT hr = Reach(L"ReadReceiptRequested"); FAILED(hr))
        return hr;
    const bool asked = requested != VARIANT_FALSE;
    m_message->Set(mailstore::tags::kReadReceiptRequested, asked);
    if (!asked) {
        const std::uint32_t flags = m_message->Flags() & ~mailstore::kMsgFlagReceiptPending;
        m_message->Set(mailstore::tags::kMessageFlags, static_cast<std::int32_t>(flags));
    }
    return S_OK;
}

STDMETHODIMP MailItemObject::get_ReceivedTime(DATE* received) {
    if (HRESULT hr = Reach(L"ReceivedTime", received); FAILED(hr))
        return hr;
    return LocalReceivedTime(*m_message, received) ? S_OK : E_FAIL;
}

}  // namespace outlook::objects
