// The objects of Outlook's model that the stand-in gives: the application,
// the explorers collection, each explorer and the namespace. They live on the
// user-interface thread and read the host's state through the Model; once the
// host is gone (Detach), every call fails as a call into a closed Outlook
// does, with RPC_E_DISCONNECTED.
#pragma once

#include <atlbase.h>
#include <atlcom.h>
#include <atlconnect.h>
#include <platform/call_faults.h>
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "dispatch_members.h"
#include "outlook.h"

namespace outlook::objects {

class ExplorerObject;
class ModelBound;

struct ExplorerRecord {
    int id = 0;
    std::wstring caption;
    CComPtr<ExplorerObject> object;
    HWND frame = nullptr;
    bool open = false;
    std::uint64_t activated = 0;  // when it was last activated (or opened); larger is later
};

// The host's state as the objects see it.
class Model {
  public:
    std::wstring version;
    std::vector<ExplorerRecord> explorers;  // every explorer opened, in order of opening
    std::uint64_t activations = 0;
    std::wstring errorSource;        // the source of the errors Outlook reports
    IDispatch* nameSpace = nullptr;  // the "MAPI" namespace, the parent of the stores' top folders
    std::set<ModelBound*> bound;     // every object attached, detached when the host goes

    // The open explorer activated last; null when none is open.
    ExplorerObject* Active() const;
    // The open explorers in order of opening.
    std::vector<ExplorerObject*> Open() const;
    ExplorerRecord* Find(int id);
};

// The source Outlook gives its errors: "Microsoft Office Outlook" up to
// Outlook 2007 (version 12), "Microsoft Outlook" after.
std::wstring ErrorSourceOf(const std::wstring& version);

// Common to the objects: the model they read, until the host detaches them.
class ModelBound {
  public:
    // `name` is the object in the names of its members ("MailItem"), `iid`
    // its interface.
    ModelBound(const wchar_t* name, const IID& iid) : name_(name), iid_(&iid) {}
    ModelBound(const ModelBound&) = delete;
    ModelBound& operator=(const ModelBound&) = delete;
    ~ModelBound() { Detach(); }
    void Attach(Model* model) {
        Detach();
        model_ = model;
        if (model_)
            model_->bound.insert(this);
    }
    void Detach() {
        if (model_)
            model_->bound.erase(this);
        model_ = nullptr;
    }

  protected:
    // S_OK when the call of `member` may go on: the host still runs it and the
    // call was not made to fail (a failure comes with Outlook's error
    // information, and the out-parameters cleared). A call made to fault does
    // not return.
    template <class... Out>
    HRESULT Enter(const wchar_t* member, Out*... outputs) {
        if (!model_) {
            platform::calls::ClearOutputs(outputs...);
            return RPC_E_DISCONNECTED;
        }
        return platform::calls::EnterComMember(Identity(), member, outputs...);
    }
    platform::calls::ComObject Identity() const {
        return {name_, model_ ? model_->errorSource.c_str() : nullptr, nullptr, iid_};
    }
    Model* model_ = nullptr;

  private:
    const wchar_t* name_;
    const IID* iid_;
};

template <class T>
CComPtr<T> MakeObject() {
    return CComPtr<T>(new CComObjectNoLock<T>());
}

class ExplorerObject
    : public CComObjectRootEx<CComSingleThreadModel>,
      public ModelBound,
      public DualInterface<Outlook::_Explorer>,
      public IConnectionPointContainerImpl<ExplorerObject>,
      public IConnectionPointImpl<ExplorerObject, &__uuidof(Outlook::ExplorerEvents)> {
  public:
    BEGIN_COM_MAP(ExplorerObject)
    COM_INTERFACE_ENTRY(Outlook::_Explorer)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(ExplorerObject)
    CONNECTION_POINT_ENTRY(__uuidof(Outlook::ExplorerEvents))
    END_CONNECTION_POINT_MAP()

    void SetCaption(std::wstring caption) { caption_ = std::move(caption); }
    // Raises one of ExplorerEvents (they carry no arguments).
    void Raise(DISPID event) { FireEvent(event); }

    ExplorerObject();
    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;

    STDMETHODIMP get_Caption(BSTR* caption) override;

  private:
    std::wstring caption_;
};

class ExplorersObject
    : public CComObjectRootEx<CComSingleThreadModel>,
      public ModelBound,
      public DualInterface<Outlook::_Explorers>,
      public IConnectionPointContainerImpl<ExplorersObject>,
      public IConnectionPointImpl<ExplorersObject, &__uuidof(Outlook::ExplorersEvents)> {
  public:
    BEGIN_COM_MAP(ExplorersObject)
    COM_INTERFACE_ENTRY(Outlook::_Explorers)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(ExplorersObject)
    CONNECTION_POINT_ENTRY(__uuidof(Outlook::ExplorersEvents))
    END_CONNECTION_POINT_MAP()

    void RaiseNewExplorer(Outlook::_Explorer* explorer) {
        FireEvent(DISPID_Outlook_ExplorersEvents_NewExplorer, explorer);
    }

    ExplorersObject();
    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;

    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Item(VARIANT index, Outlook::_Explorer** explorer) override;
};

// The "MAPI" namespace over the process's mail store model (mail_objects.cpp).
class NameSpaceObject : public CComObjectRootEx<CComSingleThreadModel>,
                        public ModelBound,
                        public DualInterface<Outlook::_NameSpace> {
  public:
    BEGIN_COM_MAP(NameSpaceObject)
    COM_INTERFACE_ENTRY(Outlook::_NameSpace)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    NameSpaceObject();
    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;

    STDMETHODIMP get_Folders(Outlook::_Folders** folders) override;
    STDMETHODIMP GetDefaultFolder(LONG folderType, Outlook::MAPIFolder** folder) override;
    STDMETHODIMP GetFolderFromID(BSTR entryId, VARIANT storeId,
                                 Outlook::MAPIFolder** folder) override;
    STDMETHODIMP GetItemFromID(BSTR entryId, VARIANT storeId, IDispatch** item) override;
    STDMETHODIMP PickFolder(Outlook::MAPIFolder** folder) override;
    STDMETHODIMP get_MAPIOBJECT(IUnknown** session) override;
};

class ApplicationObject
    : public CComObjectRootEx<CComSingleThreadModel>,
      public ModelBound,
      public DualInterface<Outlook::_Application>,
      public IConnectionPointContainerImpl<ApplicationObject>,
      public IConnectionPointImpl<ApplicationObject, &__uuidof(Outlook::ApplicationEvents)> {
  public:
    BEGIN_COM_MAP(ApplicationObject)
    COM_INTERFACE_ENTRY(Outlook::_Application)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(ApplicationObject)
    CONNECTION_POINT_ENTRY(__uuidof(Outlook::ApplicationEvents))
    END_CONNECTION_POINT_MAP()

    void SetParts(ExplorersObject* explorers, NameSpaceObject* mapi) {
        explorers_ = explorers;
        mapi_ = mapi;
    }
    // Raises ItemSend; the Cancel flag the handlers left.
    bool RaiseItemSend(IDispatch* item);

    ApplicationObject();
    HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override;

    STDMETHODIMP get_Version(BSTR* version) override;
    STDMETHODIMP ActiveExplorer(Outlook::_Explorer** explorer) override;
    STDMETHODIMP GetNamespace(BSTR type, Outlook::_NameSpace** nameSpace) override;
    STDMETHODIMP get_Explorers(Outlook::_Explorers** explorers) override;

  private:
    CComPtr<ExplorersObject> explorers_;
    CComPtr<NameSpaceObject> mapi_;
};

// Registers the proxies of the dual interfaces, so that another apartment can
// call the objects it unmarshals. Process-wide; once is enough.
void RegisterOutlookProxies();

// The frame window of an explorer: class "rctrl_renwnd32", titled with the
// caption, with an "MsoDockTop" child where command bars dock.
HWND CreateExplorerFrame(const std::wstring& caption);

}  // namespace outlook::objects
