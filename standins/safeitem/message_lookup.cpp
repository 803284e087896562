#include "safeitem/message_lookup.h"

#include <atlbase.h>
#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

#include <optional>

#include "mapiview/mapi_view.h"

namespace safeitem {
namespace {

// A property of the item read by name, as a script would.
HRESULT GetByName(IDispatch* item, const wchar_t* name, VARIANT* value) {
    return CComPtr<IDispatch>(item).GetPropertyByName(name, value);
}

// PR_ENTRYID of the item's MAPI message; nothing when the item has none.
std::optional<mailstore::EntryId> MapiObjectEntryId(IDispatch* item) {
    CComVariant object;
    if (FAILED(GetByName(item, L"MAPIOBJECT", &object)) ||
        (object.vt != VT_UNKNOWN && object.vt != VT_DISPATCH) || !object.punkVal)
        return std::nullopt;
    CComPtr<IMAPIProp> message;
    if (FAILED(object.punkVal->QueryInterface(IID_IMAPIProp, reinterpret_cast<void**>(&message))))
        return std::nullopt;
    LPSPropValue value = nullptr;
    if (FAILED(mapiview::GetOneProp(message, PR_ENTRYID, &value)) || !value)
        return std::nullopt;
    const auto* bytes = value->Value.bin.lpb;
    mailstore::EntryId id(bytes, bytes + value->Value.bin.cb);
    mapiview::FreeBuffer(value);
    return id;
}

// The item's own EntryID, in Outlook's hexadecimal text.
HRESULT ItemEntryId(IDispatch* item, mailstore::EntryId& id) {
    CComVariant text;
    HRESULT hr = GetByName(item, L"EntryID", &text);
    if (FAILED(hr))
        return hr;
    if (text.vt != VT_BSTR || !text.bstrVal)
        return DISP_E_TYPEMISMATCH;
    std::optional<mailstore::EntryId> parsed =
        mailstore::EntryIdFromHex(std::wstring_view(text.bstrVal, SysStringLen(text.bstrVal)));
    if (!parsed)
        return MAPI_E_INVALID_ENTRYID;
    id = std::move(*parsed);
    return S_OK;
}

}  // namespace

HRESULT FindMessageOf(IDispatch* item, mailstore::MessagePtr& message) {
    message.reset();
    mailstore::EntryId id;
    if (std::optional<mailstore::EntryId> mapiId = MapiObjectEntryId(item)) {
        id = std::move(*mapiId);
    } else if (HRESULT hr = ItemEntryId(item, id); FAILED(hr)) {
        return hr;
    }
    message = mailstore::Model::Process().FindMessage(id);
    return message ? S_OK : MAPI_E_NOT_FOUND;
}

}  // namespace safeitem
