#include "table_proxy.h"

#include <algorithm>
#include <cstdio>

namespace outlook::objects {

namespace {

using platform::com::ForwardCall;
using platform::com::ForwardInvoke;

IDispatch* TargetOf(ProxyFace* face) {
    return static_cast<IDispatch*>(face->target);
}

// IUnknown goes to the link: one identity and one reference count for all
// the object's proxies.
HRESULT STDMETHODCALLTYPE QueryInterfaceSlot(ProxyFace* face, REFIID iid, void** object) {
    return face->link->QueryInterface(iid, object);
}
ULONG STDMETHODCALLTYPE AddRefSlot(ProxyFace* face) {
    return face->link->AddRef();
}
ULONG STDMETHODCALLTYPE ReleaseSlot(ProxyFace* face) {
    return face->link->Release();
}

HRESULT STDMETHODCALLTYPE GetTypeInfoCountSlot(ProxyFace* face, UINT* count) {
    return ForwardCall(*face->link, TargetOf(face), &IDispatch::GetTypeInfoCount, count);
}
// Type information stays with its object: the pointer is handed over as it is.
HRESULT STDMETHODCALLTYPE GetTypeInfoSlot(ProxyFace* face, UINT index, LCID lcid,
                                          ITypeInfo** info) {
    return face->link->Run([&] { return TargetOf(face)->GetTypeInfo(index, lcid, info); });
}
HRESULT STDMETHODCALLTYPE GetIDsOfNamesSlot(ProxyFace* face, REFIID iid, LPOLESTR* names,
                                            UINT count, LCID lcid, DISPID* ids) {
    return face->link->Run(
        [&] { return TargetOf(face)->GetIDsOfNames(iid, names, count, lcid, ids); });
}
HRESULT STDMETHODCALLTYPE InvokeSlot(ProxyFace* face, DISPID member, REFIID iid, LCID lcid,
                                     WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) {
    return ForwardInvoke(*face->link, TargetOf(face), member, iid, lcid, flags, params, result,
                         exception, argumentError);
}

template <class Function>
const void* Address(Function* function) {
    return reinterpret_cast<const void*>(function);
}

struct BaseSlot {
    std::size_t slot;
    const void* function;
};

std::vector<BaseSlot> DispatchSlots() {
    using dispatch::VtableSlot;
    // IUnknown's QueryInterface has a template overload besides the member.
    using QueryInterface = HRESULT (STDMETHODCALLTYPE IUnknown::*)(REFIID, void**);
    return {
        {VtableSlot(static_cast<QueryInterface>(&IUnknown::QueryInterface)),
         Address(&QueryInterfaceSlot)},
        {VtableSlot(&IUnknown::AddRef), Address(&AddRefSlot)},
        {VtableSlot(&IUnknown::Release), Address(&ReleaseSlot)},
        {VtableSlot(&IDispatch::GetTypeInfoCount), Address(&GetTypeInfoCountSlot)},
        {VtableSlot(&IDispatch::GetTypeInfo), Address(&GetTypeInfoSlot)},
        {VtableSlot(&IDispatch::GetIDsOfNames), Address(&GetIDsOfNamesSlot)},
        {VtableSlot(&IDispatch::Invoke), Address(&InvokeSlot)},
    };
}

class TableProxy final : public platform::com::InterfaceProxyBase {
  public:
    TableProxy(platform::com::ProxyLink& link, IUnknown* target, const TableVtable& vtable)
        : m_face{vtable.Slots(), &link, target} {}

    IUnknown* Interface() override { return reinterpret_cast<IUnknown*>(&m_face); }

  private:
    ProxyFace m_face;
};

}  // namespace

bool TableVtable::Build(std::span<const DispatchMember> members, const std::type_info& type) {
    std::vector<const void*> slots;
    auto place = [&](std::size_t slot, const void* function) {
        if (slots.size() <= slot)
            slots.resize(slot + 1, nullptr);
        slots[slot] = function;
    };
    for (const BaseSlot& base : DispatchSlots())
        place(base.slot, base.function);
    for (const DispatchMember& member : members)
        place(member.slot(), member.forward());
    const auto missing = std::find(slots.begin(), slots.end(), nullptr);
    if (missing != slots.end()) {
        std::fprintf(stderr, "No proxy for %s: no member of its table is vtable slot %zu.\n",
                     type.name(), static_cast<std::size_t>(missing - slots.begin()));
        return false;
    }
    m_entries = {nullptr, &type};
    m_entries.insert(m_entries.end(), slots.begin(), slots.end());
    return true;
}

std::unique_ptr<platform::com::InterfaceProxyBase> MakeTableProxy(platform::com::ProxyLink& link,
                                                                  IUnknown* target,
                                                                  const TableVtable& vtable) {
    return std::make_unique<TableProxy>(link, target, vtable);
}

}  // namespace outlook::objects
