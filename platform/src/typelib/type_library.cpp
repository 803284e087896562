#include "typelib/type_library.h"

#include <oleauto.h>
#include <winerror.h>
#include <platform/ref_counted.h>

#include "registry/key_name.h"

#include <memory>
#include <new>

namespace platform::typelib {
namespace {

class TypeLibrary;

// Reference types: the index of a type in its library; the interface part of
// a dual interface has this bit set as well.
constexpr HREFTYPE kInterfacePart = 0x10000;

BSTR Copy(const std::wstring& text) {
    return SysAllocStringLen(text.data(), text.size());
}

class TypeInfo final : public ITypeInfo {
  public:
    TypeInfo(TypeLibrary& library, UINT index, bool interfacePart)
        : m_library(library), m_index(index), m_interfacePart(interfacePart) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
            *ppv = static_cast<ITypeInfo*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override {
        if (ppTComp)
            *ppTComp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC** ppFuncDesc) override {
        if (!ppFuncDesc)
            return E_INVALIDARG;
        *ppFuncDesc = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC** ppVarDesc) override {
        if (!ppVarDesc)
            return E_INVALIDARG;
        *ppVarDesc = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                                       UINT* pcNames) override {
        if (!rgBstrNames || !pcNames)
            return E_INVALIDARG;
        *pcNames = 0;
        if (memid != MEMBERID_NIL)
            return TYPE_E_ELEMENTNOTFOUND;
        if (cMaxNames > 0) {
            rgBstrNames[0] = Copy(Type().name);
            *pcNames = 1;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override {
        if (!pImplTypeFlags)
            return E_INVALIDARG;
        if (index >= ImplementedCount())
            return TYPE_E_ELEMENTNOTFOUND;
        *pImplTypeFlags = Type().kind == TKIND_COCLASS ? Type().implemented[index].flags : 0;
        return S_OK;
    }
    // The libraries here describe no members: every name is unknown.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames,
                                            MEMBERID* pMemId) override {
        if (!rgszNames || !pMemId)
            return E_INVALIDARG;
        for (UINT i = 0; i < cNames; ++i)
            pMemId[i] = MEMBERID_NIL;
        return cNames == 0 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS* pDispParams, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (!pDispParams)
            return E_INVALIDARG;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName,
                                               BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                               BSTR* pBstrHelpFile) override {
        if (memid != MEMBERID_NIL)
            return TYPE_E_ELEMENTNOTFOUND;
        if (pBstrName)
            *pBstrName = Copy(Type().name);
        if (pBstrDocString)
            *pBstrDocString = Type().helpString.empty() ? nullptr : Copy(Type().helpString);
        if (pdwHelpContext)
            *pdwHelpContext = 0;
        if (pBstrHelpFile)
            *pBstrHelpFile = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
        return TYPE_E_BADMODULEKIND;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) override {
        if (ppv)
            *ppv = nullptr;
        return TYPE_E_BADMODULEKIND;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID* ppvObj) override {
        if (!ppvObj)
            return E_INVALIDARG;
        *ppvObj = nullptr;
        return TYPE_E_WRONGTYPEKIND;
    }
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* pBstrMops) override {
        if (!pBstrMops)
            return E_INVALIDARG;
        *pBstrMops = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) override { delete pTypeAttr; }
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

  private:
    const TypeDescription& Type() const;
    UINT ImplementedCount() const {
        // The interface part of a dual interface derives from IDispatch as
        // its dispatch part does.
        return static_cast<UINT>(Type().implemented.size());
    }

    TypeLibrary& m_library;
    UINT m_index;
    bool m_interfacePart;
};

class TypeLibrary final : public com::RefCounted<ITypeLib> {
  public:
    explicit TypeLibrary(LibraryDescription description) : m_description(std::move(description)) {
        for (UINT i = 0; i < m_description.types.size(); ++i) {
            m_infos.push_back(std::make_unique<TypeInfo>(*this, i, false));
            m_interfaceParts.push_back(m_description.types[i].flags & TYPEFLAG_FDUAL
                                           ? std::make_unique<TypeInfo>(*this, i, true)
                                           : nullptr);
        }
    }

    const LibraryDescription& Description() const { return m_description; }

    // The type info of a reference type, or null.
    TypeInfo* Referenced(HREFTYPE reference) {
        const UINT index = reference & ~kInterfacePart;
        if (index >= m_infos.size())
            return nullptr;
        return reference & kInterfacePart ? m_interfaceParts[index].get() : m_infos[index].get();
    }

    // The index of a named type of this library.
    std::optional<UINT> IndexOf(const std::wstring& name) const {
        for (UINT i = 0; i < m_description.types.size(); ++i) {
            if (registry::FoldName(m_description.types[i].name) == registry::FoldName(name))
                return i;
        }
        return std::nullopt;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ITypeLib) {
            *ppv = static_cast<ITypeLib*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    UINT STDMETHODCALLTYPE GetTypeInfoCount() override { return static_cast<UINT>(m_infos.size()); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override {
        if (!ppTInfo)
            return E_INVALIDARG;
        *ppTInfo = nullptr;
        if (index >= m_infos.size())
            return TYPE_E_ELEMENTNOTFOUND;
        *ppTInfo = m_infos[index].get();
        (*ppTInfo)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) override {
        if (!pTKind)
            return E_INVALIDARG;
        if (index >= m_infos.size())
            return TYPE_E_ELEMENTNOTFOUND;
        *pTKind = m_description.types[index].kind;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override {
        if (!ppTinfo)
            return E_INVALIDARG;
        *ppTinfo = nullptr;
        for (UINT i = 0; i < m_infos.size(); ++i) {
            if (m_description.types[i].guid == guid)
                return GetTypeInfo(i, ppTinfo);
        }
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) override {
        if (!ppTLibAttr)
            return E_INVALIDARG;
        *ppTLibAttr = new (std::nothrow)
            TLIBATTR{m_description.libid,        m_description.lcid,         SYS_WIN32,
                     m_description.majorVersion, m_description.minorVersion, m_description.flags};
        return *ppTLibAttr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override {
        if (ppTComp)
            *ppTComp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                               DWORD* pdwHelpContext,
                                               BSTR* pBstrHelpFile) override {
        if (index == -1) {
            if (pBstrName)
                *pBstrName = Copy(m_description.name);
            if (pBstrDocString)
                *pBstrDocString =
                    m_description.helpString.empty() ? nullptr : Copy(m_description.helpString);
            if (pdwHelpContext)
                *pdwHelpContext = 0;
            if (pBstrHelpFile)
                *pBstrHelpFile = nullptr;
            return S_OK;
        }
        if (index < 0 || static_cast<size_t>(index) >= m_infos.size())
            return TYPE_E_ELEMENTNOTFOUND;
        return m_infos[index]->GetDocumentation(MEMBERID_NIL, pBstrName, pBstrDocString,
                                                pdwHelpContext, pBstrHelpFile);
    }
    // Names of the library and its types, ignoring case; a match is copied
    // back into the caller's buffer in the case it was defined with.
    HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName) override {
        if (!szNameBuf || !pfName)
            return E_INVALIDARG;
        const std::wstring* match = Match(szNameBuf);
        *pfName = match != nullptr;
        if (match)
            match->copy(szNameBuf, match->size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo,
                                       MEMBERID* rgMemId, USHORT* pcFound) override {
        if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound)
            return E_INVALIDARG;
        USHORT found = 0;
        if (*pcFound > 0) {
            if (auto index = IndexOf(szNameBuf)) {
                GetTypeInfo(*index, &ppTInfo[0]);
                rgMemId[0] = MEMBERID_NIL;
                found = 1;
            }
        }
        *pcFound = found;
        return S_OK;
    }
    void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) override { delete pTLibAttr; }

  private:
    ~TypeLibrary() = default;

    const std::wstring* Match(const wchar_t* name) const {
        if (registry::FoldName(m_description.name) == registry::FoldName(name))
            return &m_description.name;
        if (auto index = IndexOf(name))
            return &m_description.types[*index].name;
        return nullptr;
    }

    LibraryDescription m_description;
    std::vector<std::unique_ptr<TypeInfo>> m_infos;
    std::vector<std::unique_ptr<TypeInfo>> m_interfaceParts;
};

ULONG TypeInfo::AddRef() {
    return m_library.AddRef();
}
ULONG TypeInfo::Release() {
    return m_library.Release();
}

const TypeDescription& TypeInfo::Type() const {
    return m_library.Description().types[m_index];
}

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr) {
    if (!ppTypeAttr)
        return E_INVALIDARG;
    const TypeDescription& type = Type();
    auto* attributes = new (std::nothrow) TYPEATTR{};
    if (!attributes)
        return E_OUTOFMEMORY;
    attributes->guid = type.guid;
    attributes->lcid = m_library.Description().lcid;
    attributes->memidConstructor = MEMBERID_NIL;
    attributes->memidDestructor = MEMBERID_NIL;
    attributes->typekind = m_interfacePart ? TKIND_INTERFACE : type.kind;
    attributes->cImplTypes = static_cast<WORD>(ImplementedCount());
    attributes->cbSizeInstance = sizeof(void*);
    attributes->cbAlignment = sizeof(void*);
    // The table of an interface holds IUnknown's three entries, and IDispatch's
    // four more when it is dispatchable; members of its own are not described.
    if (type.kind != TKIND_COCLASS)
        attributes->cbSizeVft =
            static_cast<WORD>(sizeof(void*) * (type.flags & TYPEFLAG_FDISPATCHABLE ? 7 : 3));
    attributes->wTypeFlags = type.flags;
    attributes->wMajorVerNum = m_library.Description().majorVersion;
    attributes->wMinorVerNum = m_library.Description().minorVersion;
    *ppTypeAttr = attributes;
    return S_OK;
}

HRESULT TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
    if (!pRefType)
        return E_INVALIDARG;
    // -1 on the dispatch part of a dual interface names its interface part.
    if (index == static_cast<UINT>(-1)) {
        if (m_interfacePart || !(Type().flags & TYPEFLAG_FDUAL))
            return TYPE_E_ELEMENTNOTFOUND;
        *pRefType = m_index | kInterfacePart;
        return S_OK;
    }
    if (index >= ImplementedCount())
        return TYPE_E_ELEMENTNOTFOUND;
    // The bases IUnknown and IDispatch belong to the standard library, which
    // is not described here.
    auto target = m_library.IndexOf(Type().implemented[index].name);
    if (!target)
        return TYPE_E_CANTLOADLIBRARY;
    *pRefType = *target;
    return S_OK;
}

HRESULT TypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
    if (!ppTInfo)
        return E_INVALIDARG;
    TypeInfo* target = m_library.Referenced(hRefType);
    *ppTInfo = target;
    if (!target)
        return TYPE_E_ELEMENTNOTFOUND;
    target->AddRef();
    return S_OK;
}

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
    if (!ppTLib)
        return E_INVALIDARG;
    *ppTLib = &m_library;
    m_library.AddRef();
    if (pIndex)
        *pIndex = m_index;
    return S_OK;
}

}  // namespace

ITypeLib* CreateTypeLibrary(LibraryDescription description) {
    return new (std::nothrow) TypeLibrary(std::move(description));
}

}  // namespace platform::typelib
