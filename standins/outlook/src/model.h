// What the objects of Outlook's model share: the host's state they read, and
// their binding to it. The objects live on the user-interface thread; once
// the host is gone (Detach), every call fails as a call into a closed Outlook
// does, with RPC_E_DISCONNECTED.
#pragma once

#include <atlbase.h>
#include <atlcom.h>
#include <platform/call_faults.h>
#include <windows.h>

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "dual_interface.h"
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

// MAPI's answer for an object that is not there.
inline constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004010F);

// Common to the objects: the model they read, until the host detaches them.
class ModelBound {
  public:
    // `name` is the object in the names of its members ("MailItem"), `iid`
    // its interface.
    ModelBound(const wchar_t* name, const IID& iid) : m_name(name), m_iid(&iid) {}
    ModelBound(const ModelBound&) = delete;
    ModelBound& operator=(const ModelBound&) = delete;
    ~ModelBound() { Detach(); }
    void Attach(Model* model) {
        Detach();
        m_model = model;
        if (m_model)
            m_model->bound.insert(this);
    }
    void Detach() {
        if (m_model)
            m_model->bound.erase(this);
        m_model = nullptr;
    }

  protected:
    // S_OK when the call of `member` may go on: the host still runs it, the
    // call was not made to fail (a failure comes with Outlook's error
    // information, and the out-parameters cleared) and it has a place for each
    // result (E_POINTER otherwise). A call made to fault does not return.
    template <class... Out>
    HRESULT Enter(const wchar_t* member, Out*... outputs) {
        if (!m_model) {
            platform::calls::ClearOutputs(outputs...);
            return RPC_E_DISCONNECTED;
        }
        const HRESULT entered = platform::calls::EnterComMember(Identity(), member, outputs...);
        if (FAILED(entered))
            return entered;
        return ((outputs != nullptr) && ...) ? S_OK : E_POINTER;
    }
    platform::calls::ComObject Identity() const {
        return {m_name, m_model ? m_model->errorSource.c_str() : nullptr, nullptr, m_iid};
    }
    // A failure of a member reported as Outlook reports it: with error
    // information saying `description`.
    HRESULT Fail(HRESULT failure, const std::wstring& description) const {
        return ReportError(m_model ? m_model->errorSource.c_str() : nullptr, *m_iid, description,
                           failure);
    }
    Model* m_model = nullptr;

  private:
    const wchar_t* m_name;
    const IID* m_iid;
};

// An object of the model behind dual interface I, named `name` in its
// members' names, bound as `Bound` (ModelBound or a refinement of it). A
// closed Outlook answers no call: through Invoke either, whatever it asks.
template <class I, class Bound = ModelBound>
class ModelObject : public CComObjectRootEx<CComSingleThreadModel>,
                    public Bound,
                    public DualInterface<I> {
  public:
    ModelObject(const wchar_t* name, std::span<const DispatchMember> members)
        : Bound(name, __uuidof(I)), DualInterface<I>(members) {}

  protected:
    HRESULT Reachable() override { return this->m_model ? S_OK : RPC_E_DISCONNECTED; }
};

// A new object, bound to `model` when one is given.
template <class T>
CComPtr<T> MakeObject(Model* model = nullptr) {
    CComPtr<T> object(new CComObjectNoLock<T>());
    object->Attach(model);
    return object;
}

// An interface result with a reference for the caller.
template <class I>
HRESULT Hand(I* object, I** out) {
    if (object)
        object->AddRef();
    *out = object;
    return S_OK;
}

// An object as the IDispatch result of a member, with a reference for the
// caller.
template <class T>
HRESULT HandOut(const CComPtr<T>& object, IDispatch** out) {
    *out = static_cast<IDispatch*>(object.p);
    (*out)->AddRef();
    return S_OK;
}

// The zero-based position of a collection's `index` (counted from 1, any
// number type) among `count` elements: DISP_E_TYPEMISMATCH for no number,
// DISP_E_BADINDEX out of range, as Outlook's collections answer.
HRESULT PositionOf(const VARIANT& index, std::size_t count, std::size_t& position);
HRESULT PositionOf(LONG index, std::size_t count, std::size_t& position);

inline BSTR Text(std::wstring_view text) {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// A text result given to the caller.
inline HRESULT GiveText(std::wstring_view text, BSTR* out) {
    *out = Text(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace outlook::objects
