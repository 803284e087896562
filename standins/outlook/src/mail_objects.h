// Outlook's folders and items over the process's mail store model: each
// object wraps a folder or message of the model, so what it changes the MAPI
// view and the safe-item library see, and the other way round.
#pragma once

#include <mailstore/model.h>

#include <optional>
#include <vector>

#include "items_filter.h"
#include "objects.h"

namespace outlook::objects {

// MAPI's answer for an object that is not there.
inline constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004010F);

class FolderObject;

// Objects of the model for `model`'s host, with one reference for the caller.
CComPtr<FolderObject> WrapFolder(Model* model, mailstore::FolderPtr folder);
// A report item for the "REPORT." classes, a mail item for every other.
CComPtr<IDispatch> WrapItem(Model* model, mailstore::MessagePtr message);

template <class T>
HRESULT HandOut(const CComPtr<T>& object, IDispatch** out) {
    *out = static_cast<IDispatch*>(object.p);
    (*out)->AddRef();
    return S_OK;
}

// An entry identifier in Outlook's text; nothing for empty or malformed text.
std::optional<mailstore::EntryId> EntryIdArgument(BSTR text);

// The text a getter wrote into `*text` as the result of Invoke; the getter's
// result is taken first (`hr`), so the text is read after it was written.
inline HRESULT ReturnTextOf(VARIANT* result, HRESULT hr, BSTR* text) {
    if (SUCCEEDED(hr))
        ReturnText(result, *text);
    return hr;
}

inline HRESULT BadArgument(UINT* argumentError, UINT position) {
    if (argumentError)
        *argumentError = position;
    return DISP_E_TYPEMISMATCH;
}

// What a folder collection lists: a folder's subfolders, or the stores' top
// folders of the namespace.
class FoldersObject : public CComObjectRootEx<CComSingleThreadModel>,
                      public ModelBound,
                      public DualInterface<Outlook::_Folders> {
  public:
    BEGIN_COM_MAP(FoldersObject)
    COM_INTERFACE_ENTRY(Outlook::_Folders)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    FoldersObject();
    // Null for the namespace's collection of the stores' top folders.
    void SetParent(mailstore::FolderPtr parent) { parent_ = std::move(parent); }

    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Item(VARIANT index, Outlook::MAPIFolder** folder) override;
    STDMETHODIMP Add(BSTR name, VARIANT type, Outlook::MAPIFolder** folder) override;

  private:
    std::vector<mailstore::FolderPtr> Listed() const;
    mailstore::FolderPtr parent_;
};

class FolderObject : public CComObjectRootEx<CComSingleThreadModel>,
                     public ModelBound,
                     public DualInterface<Outlook::MAPIFolder> {
  public:
    BEGIN_COM_MAP(FolderObject)
    COM_INTERFACE_ENTRY(Outlook::MAPIFolder)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    FolderObject();
    void SetFolder(mailstore::FolderPtr folder) { folder_ = std::move(folder); }

    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;
    STDMETHODIMP get_Parent(IDispatch** parent) override;
    STDMETHODIMP get_EntryID(BSTR* entryId) override;
    STDMETHODIMP get_Folders(Outlook::_Folders** folders) override;
    STDMETHODIMP get_Items(Outlook::_Items** items) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_StoreID(BSTR* storeId) override;

  private:
    mailstore::FolderPtr folder_;
};

class ItemsObject : public CComObjectRootEx<CComSingleThreadModel>,
                    public ModelBound,
                    public DualInterface<Outlook::_Items> {
  public:
    BEGIN_COM_MAP(ItemsObject)
    COM_INTERFACE_ENTRY(Outlook::_Items)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    ItemsObject();
    void SetFolder(mailstore::FolderPtr folder) { folder_ = std::move(folder); }

    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Item(VARIANT index, IDispatch** item) override;
    STDMETHODIMP Remove(LONG index) override;
    STDMETHODIMP Restrict(BSTR filter, Outlook::_Items** items) override;
    STDMETHODIMP Sort(BSTR property, VARIANT descending) override;

  private:
    // The items in the collection's order: the folder's (or, for a
    // restricted collection, those it matched when made), sorted when asked.
    std::vector<mailstore::MessagePtr> Listed() const;
    HRESULT Restricted(BSTR filter, Outlook::_Items** items, std::wstring& error);

    mailstore::FolderPtr folder_;
    std::optional<std::vector<mailstore::MessagePtr>> matched_;
    std::optional<ItemProperty> sortKey_;
    bool descending_ = false;
};

// What mail and report items both answer, over one message.
class ItemCore : public ModelBound {
  public:
    using ModelBound::ModelBound;
    void SetMessage(mailstore::MessagePtr message) { message_ = std::move(message); }

  protected:
    // S_OK when the member may go on: it was entered (ModelBound::Enter) and
    // the message is there.
    template <class... Out>
    HRESULT Reach(const wchar_t* member, Out*... outputs) {
        if (HRESULT hr = Enter(member, outputs...); FAILED(hr))
            return hr;
        // A message deleted or moved to another store is gone for this object.
        return message_ && !message_->IsDeleted() ? S_OK : kNotFound;
    }
    HRESULT ClassOf(LONG* objectClass);
    HRESULT ParentOf(IDispatch** parent);
    // "EntryID", "MessageClass", "Subject", "Body" or "HTMLBody".
    HRESULT TextOf(const wchar_t* member, BSTR* text);
    HRESULT MoveInto(Outlook::MAPIFolder* destination, IDispatch** item);
    // Invoke of Class, Parent, EntryID, MessageClass, Subject and Move; false
    // (and nothing done) for another member.
    bool InvokeShared(DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argumentError,
                      HRESULT* hr);

    mailstore::MessagePtr message_;
};

class MailItemObject : public CComObjectRootEx<CComSingleThreadModel>,
                       public ItemCore,
                       public DualInterface<Outlook::_MailItem> {
  public:
    BEGIN_COM_MAP(MailItemObject)
    COM_INTERFACE_ENTRY(Outlook::_MailItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    MailItemObject();

    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;
    STDMETHODIMP get_Class(LONG* objectClass) override;
    STDMETHODIMP get_Parent(IDispatch** parent) override;
    STDMETHODIMP get_Body(BSTR* body) override;
    STDMETHODIMP put_Body(BSTR body) override;
    STDMETHODIMP get_EntryID(BSTR* entryId) override;
    STDMETHODIMP get_MAPIOBJECT(IUnknown** message) override;
    STDMETHODIMP get_MessageClass(BSTR* messageClass) override;
    STDMETHODIMP get_Size(LONG* size) override;
    STDMETHODIMP get_Subject(BSTR* subject) override;
    STDMETHODIMP get_UnRead(VARIANT_BOOL* unread) override;
    STDMETHODIMP put_UnRead(VARIANT_BOOL unread) override;
    STDMETHODIMP Move(Outlook::MAPIFolder* destination, IDispatch** item) override;
    STDMETHODIMP Save() override;
    STDMETHODIMP get_HTMLBody(BSTR* body) override;
    STDMETHODIMP put_HTMLBody(BSTR body) override;
    STDMETHODIMP get_ReadReceiptRequested(VARIANT_BOOL* requested) override;
    STDMETHODIMP put_ReadReceiptRequested(VARIANT_BOOL requested) override;
    STDMETHODIMP get_ReceivedTime(DATE* received) override;
};

// An item of a "REPORT." class: what Outlook gives of a delivery or read
// report. It answers no QueryInterface for _MailItem.
class ReportItemObject : public CComObjectRootEx<CComSingleThreadModel>,
                         public ItemCore,
                         public DualInterface<Outlook::_ReportItem> {
  public:
    BEGIN_COM_MAP(ReportItemObject)
    COM_INTERFACE_ENTRY(Outlook::_ReportItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    ReportItemObject();

    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;
    STDMETHODIMP get_Class(LONG* objectClass) override;
    STDMETHODIMP get_Parent(IDispatch** parent) override;
    STDMETHODIMP get_EntryID(BSTR* entryId) override;
    STDMETHODIMP get_MessageClass(BSTR* messageClass) override;
    STDMETHODIMP get_Subject(BSTR* subject) override;
    STDMETHODIMP Move(Outlook::MAPIFolder* destination, IDispatch** item) override;
};

}  // namespace outlook::objects
