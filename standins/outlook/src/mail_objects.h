// Outlook's folders and items over the process's mail store model: each
// object wraps a folder or message of the model, so what it changes the MAPI
// view and the safe-item library see, and the other way round.
#pragma once

#include <mailstore/model.h>

#include <vector>

#include "objects.h"

namespace outlook::objects {

// What a folder collection lists: a folder's subfolders, or the stores' top
// folders of the namespace.
class FoldersObject : public CComObjectRootEx<CComSingleThreadModel>,
                      public ModelBound,
                      public DualInterface<Outlook::_Folders> {
  public:
    BEGIN_COM_MAP(FoldersObject)
    COM_INTERFACE_ENTRY(Outlook::_Folders)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    FoldersObject();
    // Null for the namespace's collection of the stores' top folders.
    void SetParent(mailstore::FolderPtr parent) { parent_ = std::move(parent); }

    STDMETHODIMP Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
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
    END_COM_MAP()

    FolderObject();
    void SetFolder(mailstore::FolderPtr folder) { folder_ = std::move(folder); }

    STDMETHODIMP Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
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
    END_COM_MAP()

    ItemsObject();
    void SetFolder(mailstore::FolderPtr folder) { folder_ = std::move(folder); }

    STDMETHODIMP Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Item(VARIANT index, IDispatch** item) override;
    STDMETHODIMP Remove(LONG index) override;

  private:
    mailstore::FolderPtr folder_;
};

class MailItemObject : public CComObjectRootEx<CComSingleThreadModel>,
                       public ModelBound,
                       public DualInterface<Outlook::_MailItem> {
  public:
    BEGIN_COM_MAP(MailItemObject)
    COM_INTERFACE_ENTRY(Outlook::_MailItem)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    MailItemObject();
    void SetMessage(mailstore::MessagePtr message) { message_ = std::move(message); }

    STDMETHODIMP Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
    STDMETHODIMP get_Class(LONG* objectClass) override;
    STDMETHODIMP get_Parent(IDispatch** parent) override;
    STDMETHODIMP get_Body(BSTR* body) override;
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
    STDMETHODIMP get_ReadReceiptRequested(VARIANT_BOOL* requested) override;
    STDMETHODIMP put_ReadReceiptRequested(VARIANT_BOOL requested) override;
    STDMETHODIMP get_ReceivedTime(DATE* received) override;

  private:
    // S_OK when the member may go on: the host runs and the message is there.
    HRESULT Reach(const wchar_t* member);
    mailstore::MessagePtr message_;
};

}  // namespace outlook::objects
