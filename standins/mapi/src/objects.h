// The view's COM objects: a counted base that answers every MAPI method it
// does not implement with MAPI_E_NO_SUPPORT, and the property conversions
// between the model's values and SPropValue.
#pragma once

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <platform/ref_counted.h>

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

template <class Interface>
class Counted : public platform::com::RefCounted<Interface> {
  public:
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

  private:
};

// IMAPIProp over a property source; writing only where the subclass allows.
template <class Interface>
class PropObject : public Counted<Interface>, protected PropertySource {
  public:
    STDMETHOD(GetLastError)(HRESULT, ULONG, LPMAPIERROR* error) override {
        if (error)
            *error = nullptr;
        return S_OK;
    }
    STDMETHOD(SaveChanges)(ULONG) override { return S_OK; }
    STDMETHOD(GetProps)(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* values) override {
        return GetPropsOf(*this, tags, count, values);
    }
    STDMETHOD(GetPropList)(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHOD(OpenProperty)(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHOD(SetProps)(ULONG, LPSPropValue, LPSPropProblemArray*) override {
        return MAPI_E_NO_ACCESS;
    }
    STDMETHOD(DeleteProps)(LPSPropTagArray, LPSPropProblemArray*) override {
        return MAPI_E_NO_ACCESS;
    }
    STDMETHOD(CopyTo)
    (ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
     LPSPropProblemArray*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHOD(CopyProps)
    (LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
     LPSPropProblemArray*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHOD(GetNamesFromIDs)(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHOD(GetIDsFromNames)(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override {
        return MAPI_E_NO_SUPPORT;
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
