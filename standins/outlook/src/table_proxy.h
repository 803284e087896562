// Proxies made from member tables, as Windows makes its stubless proxies from
// an interface's description rather than from code written per interface:
// the proxy's vtable is built once, at registration, with IUnknown's slots
// going to the proxy's link, IDispatch's carried across as every dispatch
// proxy carries them, and each further slot from the member entry that names
// it (DispatchMember::slot and ::forward).
//
// The vtable is laid out as the Itanium C++ ABI lays out a class's: the
// offset to the top and the type information of the interface come before
// the slots, so the proxy is, to the caller and to a sanitizer's check of the
// dynamic type, an object of the interface's type. The interface must have
// external linkage, as an interface header gives it: for a type local to one
// file the compiler knows every class that implements it and may call their
// members directly, passing the proxy by.
#pragma once

#include <platform/proxies.h>

#include <cstddef>
#include <span>
#include <typeinfo>
#include <vector>

#include "dispatch_members.h"

namespace outlook::objects {

class TableVtable {
  public:
    // Builds the vtable of interface `type` from `members`. False, the vtable
    // left empty and the slot named on the standard error, when a slot below
    // the last one named has no member.
    bool Build(std::span<const DispatchMember> members, const std::type_info& type);
    bool Built() const { return !m_entries.empty(); }
    const void* const* Slots() const { return m_entries.data() + kPrefix; }

  private:
    static constexpr std::size_t kPrefix = 2;  // offset to the top, type information
    std::vector<const void*> m_entries;
};

// The proxy of one interface of an object of another apartment.
std::unique_ptr<platform::com::InterfaceProxyBase> MakeTableProxy(platform::com::ProxyLink& link,
                                                                  IUnknown* target,
                                                                  const TableVtable& vtable);

template <class I>
TableVtable& VtableOf() {
    static TableVtable vtable;
    return vtable;
}

// Registers the proxy of interface I made from `members`, which must name
// every member of I's vtable beyond IDispatch's. Once per interface, before
// any object of I is marshalled. False, and nothing registered, when a
// member is missing: a stand-in whose table is incomplete.
template <class I>
bool RegisterTableProxy(std::span<const DispatchMember> members) {
    TableVtable& vtable = VtableOf<I>();
    if (!vtable.Built() && !vtable.Build(members, typeid(I)))
        return false;
    platform::com::RegisterProxyFactory(__uuidof(I),
                                        [](platform::com::ProxyLink& link, IUnknown* target) {
                                            return MakeTableProxy(link, target, VtableOf<I>());
                                        });
    return true;
}

}  // namespace outlook::objects
