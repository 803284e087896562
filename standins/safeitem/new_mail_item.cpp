// The new-mail event's item: the new message's entry identifier, read by
// position. It is made by the library only, never by ProgID.
#include "safeitem/new_mail_item.h"

#include <bvoltool.h>

#include "safeitem/property_variant.h"
#include "server/standin_server.h"

namespace safeitem {
namespace {

// Made by the utility object: its class's ProgID is the source of errors.
constexpr platform::calls::ComObject kNewMailItem{L"BVNewMailItem", nullptr, &CLSID_BVMAPIUtils,
                                                  &__uuidof(bvoltool::IBVNewMailItem)};

class ATL_NO_VTABLE CBVNewMailItem
    : public CComObjectRootEx<CComMultiThreadModel>,
      public standins::CMemberlessDispatch<bvoltool::IBVNewMailItem>,
      public standins::CErrorInfoSupport<&__uuidof(bvoltool::IBVNewMailItem)> {
  public:
    BEGIN_COM_MAP(CBVNewMailItem)
    COM_INTERFACE_ENTRY(bvoltool::IBVNewMailItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    void SetEntryId(const std::wstring& entryId) { m_entryId = entryId; }

    STDMETHOD(get_EntryID)(BSTR* entryId) override {
        if (HRESULT hr = platform::calls::EnterComMember(kNewMailItem, L"EntryID", entryId);
            FAILED(hr))
            return hr;
        if (!entryId)
            return E_POINTER;
        *entryId = safeitem::Text(m_entryId);
        return *entryId ? S_OK : E_OUTOFMEMORY;
    }

  private:
    std::wstring m_entryId;
};

}  // namespace

HRESULT CreateNewMailItem(const std::wstring& entryId, IDispatch** item) {
    if (!item)
        return E_POINTER;
    *item = nullptr;
    CComObject<CBVNewMailItem>* made = nullptr;
    HRESULT hr = CComObject<CBVNewMailItem>::CreateInstance(&made);
    if (FAILED(hr))
        return hr;
    made->SetEntryId(entryId);
    return made->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(item));
}

}  // namespace safeitem
