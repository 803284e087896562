// The view's COM objects: a counted base that answers every MAPI method it
// does not implement with MAPI_E_NO_SUPPORT, and the property conversions
// between the model's values and SPropValue.
#pragma once

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <platform/call_faults.h>
#include <platform/ref_counted.h>

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mapiview/mapi_view.h"

namespace mapiview {

mailstore::Model& TheModel();

// Text between wide and the ANSI code page.
std::string Narrow(const std::wstring& text);
std::wstring Wide(const std::string& text);

// ---- Property values --------------------------------------------------------

// A value of the model as an SPropValue under `tag`, its strings and bytes
// chained to `parent`. A string asked for in the other width is converted;
// false when the value cannot be given as that type.
bool ToPropValue(ULONG tag, const mailstore::PropValue& value, void* parent, SPropValue& out);
// An SPropValue as a model value; nothing for a type the model does not keep.
std::optional<mailstore::PropValue> FromPropValue(const SPropValue& value);

// A value built in place (GCC 12 misreports a temporary string moved into
// an optional variant as a free of unallocated memory).
template <class T, class... Args>
std::optional<mailstore::PropValue> MakeValue(Args&&... args) {
    std::optional<mailstore::PropValue> value;
    value.emplace(std::in_place_type<T>, std::forward<Args>(args)...);
    return value;
}

// Properties an object offers: by tag (the type may be PT_UNSPECIFIED), and
// the list of all of them.
struct PropertySource {
    virtual ~PropertySource() = default;
    virtual std::optional<mailstore::PropValue> Find(ULONG tag) const = 0;
    virtual std::vector<ULONG> AllTags() const = 0;
};

// GetProps over a source: MAPI_W_ERRORS_RETURNED with PT_ERROR values for
// what it lacks.
HRESULT GetPropsOf(const PropertySource& source, LPSPropTagArray tags, ULONG* count,
                   LPSPropValue* values);

// An entry identifier's bytes, and one chained to `parent`.
mailstore::EntryId ToEntryId(ULONG size, LPENTRYID id);
LPENTRYID CopyEntryId(const mailstore::EntryId& id, void* parent);

// ---- Objects ------------------------------------------------------------

// MAPIERROR of a failure made to happen, in one MAPI buffer: its text wide
// with MAPI_UNICODE, in the ANSI code page otherwise.
HRESULT NewMapiError(const std::wstring& text, ULONG flags, LPMAPIERROR* error);

template <class Interface>
class Counted : public platform::com::RefCounted<Interface> {
  public:
    // `name` is the object in the names of its members: its interface,
    // "IMessage".
    explicit Counted(const wchar_t* name) : m_name(name) {}

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = Answers(iid) ? static_cast<Interface*>(this) : nullptr;
        if (!*object)
            return E_NOINTERFACE;
        this->AddRef();
        return S_OK;
    }

  protected:
    // The interfaces this object answers: IUnknown and its own chain.
    virtual bool Answers(REFIID iid) const = 0;

    // S_OK when the call of `member` may go on; a failure made to happen
    // clears the out-parameters and is kept for GetLastError until the next
    // call.
    template <class... Out>
    HRESULT Enter(const wchar_t* member, Out*... outputs) {
        const HRESULT hr = platform::calls::EnterMember(m_name, member, outputs...);
        std::lock_guard guard(m_failureLock);
        m_failure = hr;
        if (FAILED(hr))
            m_failureText = platform::calls::FailureDescription(m_name, member, hr);
        return hr;
    }
    // A member the view does not offer.
    HRESULT Unsupported(const wchar_t* member) {
        const HRESULT hr = Enter(member);
        return FAILED(hr) ? hr : MAPI_E_NO_SUPPORT;
    }
    // GetLastError: the last failure made to happen, when `hr` is its code;
    // otherwise no information (null), as MAPI gives for an error it cannot
    // describe.
    HRESULT LastError(HRESULT hr, ULONG flags, LPMAPIERROR* error) {
        // Asking about the last call is not a call that replaces it.
        if (HRESULT entered = platform::calls::EnterMember(m_name, L"GetLastError", error);
            FAILED(entered))
            return entered;
        if (!error)
            return MAPI_E_INVALID_PARAMETER;
        *error = nullptr;
        std::wstring text;
        {
            std::lock_guard guard(m_failureLock);
            if (!FAILED(hr) || hr != m_failure)
                return S_OK;
            text = m_failureText;
        }
        return NewMapiError(text, flags, error);
    }

  private:
    const wchar_t* m_name;
    std::mutex m_failureLock;
    HRESULT m_failure = S_OK;
    std::wstring m_failureText;
};

// IMAPIProp over a property source; writing only where the subclass allows.
template <class Interface>
class PropObject : public Counted<Interface>, protected PropertySource {
  public:
    using Counted<Interface>::Counted;

    STDMETHOD(GetLastError)(HRESULT hr, ULONG flags, LPMAPIERROR* error) override {
        return this->LastError(hr, flags, error);
    }
    STDMETHOD(SaveChanges)(ULONG) override { return this->Enter(L"SaveChanges"); }
    STDMETHOD(GetProps)(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* values) override {
        if (HRESULT hr = this->Enter(L"GetProps", count, values); FAILED(hr))
            return hr;
        return GetPropsOf(*this, tags, count, values);
    }
    STDMETHOD(GetPropList)(ULONG, LPSPropTagArray*) override {
        return this->Unsupported(L"GetPropList");
    }
    STDMETHOD(OpenProperty)(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override {
        return this->Unsupported(L"OpenProperty");
    }
    STDMETHOD(SetProps)(ULONG, LPSPropValue, LPSPropProblemArray* problems) override {
        return this->Refused(L"SetProps", problems);
    }
    STDMETHOD(DeleteProps)(LPSPropTagArray, LPSPropProblemArray* problems) override {
        return this->Refused(L"DeleteProps", problems);
    }
    STDMETHOD(CopyTo)
    (ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
     LPSPropProblemArray*) override {
        return this->Unsupported(L"CopyTo");
    }
    STDMETHOD(CopyProps)
    (LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
     LPSPropProblemArray*) override {
        return this->Unsupported(L"CopyProps");
    }
    STDMETHOD(GetNamesFromIDs)(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override {
        return this->Unsupported(L"GetNamesFromIDs");
    }
    STDMETHOD(GetIDsFromNames)(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override {
        return this->Unsupported(L"GetIDsFromNames");
    }

  private:
    // A write the object does not allow.
    HRESULT Refused(const wchar_t* member, LPSPropProblemArray* problems) {
        const HRESULT hr = this->Enter(member, problems);
        return FAILED(hr) ? hr : MAPI_E_NO_ACCESS;
    }
};

// The objects a store opens by entry identifier.
HRESULT OpenInStore(const mailstore::StorePtr& store, ULONG size, LPENTRYID id, ULONG* type,
                    LPUNKNOWN* object);
HRESULT NewMsgStore(const mailstore::StorePtr& store, IMsgStore** object);
HRESULT NewFolder(const mailstore::FolderPtr& folder, IMAPIFolder** object);
HRESULT NewMessage(const mailstore::MessagePtr& message, IMessage** object);
// A snapshot table: each row a list of tagged values.
using TableRow = std::vector<std::pair<ULONG, mailstore::PropValue>>;
HRESULT NewTable(std::vector<TableRow> rows, IMAPITable** table);

}  // namespace mapiview
