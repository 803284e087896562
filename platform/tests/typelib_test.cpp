#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "atl_server/sample_server.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include "class_registration.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace {

// Releases a COM reference at the end of a scope.
template <class T>
struct Ref {
    T* p = nullptr;
    ~Ref() {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

std::wstring Guid(REFGUID guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring Take(BSTR text) {
    std::wstring copy = text ? std::wstring(text, SysStringLen(text)) : L"<null>";
    SysFreeString(text);
    return copy;
}

class TypeLibTest : public ::testing::Test {
  protected:
    // Writes a library text to C:\<name> and gives its Windows path.
    std::wstring WriteLibrary(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(m_root.path() / "drive_c" / "libs");
        std::ofstream(m_root.path() / "drive_c" / "libs" / name) << text;
        return L"C:\\libs\\" + std::wstring(name.begin(), name.end());
    }

    TempRoot m_root;
    const GUID m_libid = __uuidof(sample::SampleLib);
    const GUID m_iid = __uuidof(sample::ISample);
    const GUID m_clsid = __uuidof(sample::Sample);
};

TEST_F(TypeLibTest, LibraryTextDescribesLibraryInterfaceAndCoclass) {
    Ref<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(WriteLibrary("sample.tlb", sample::kTypeLibrary).c_str(), REGKIND_NONE,
                            &library),
              S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, m_libid);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, SYS_WIN32);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(name), L"SampleLib");
    EXPECT_EQ(Take(doc), L"Sample 1.0 Type Library");
    ASSERT_EQ(library->GetTypeInfoCount(), 2u);
    TYPEKIND kind{};
    EXPECT_EQ(library->GetTypeInfoType(1, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    EXPECT_EQ(library->GetTypeInfoType(2, &kind), TYPE_E_ELEMENTNOTFOUND);

    // The dual interface: its dispatch part, and the interface part behind it.
    Ref<ITypeInfo> dispatch;
    ASSERT_EQ(library->GetTypeInfoOfGuid(m_iid, &dispatch), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->guid, m_iid);
    EXPECT_EQ(type->typekind, TKIND_DISPATCH);
    EXPECT_EQ(type->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE |
                                    TYPEFLAG_FNONEXTENSIBLE);
    EXPECT_EQ(type->cImplTypes, 1);
    EXPECT_EQ(type->cFuncs, 0);
    dispatch->ReleaseTypeAttr(type);
    ASSERT_EQ(dispatch->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(name), L"ISample");
    EXPECT_EQ(Take(doc), L"ISample Interface");
    HREFTYPE reference = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    Ref<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(reference, &vtable), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_INTERFACE);
    EXPECT_EQ(type->guid, m_iid);
    vtable->ReleaseTypeAttr(type);

    // Members are not described: names are unknown, invocations find nothing.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Anything")};
    MEMBERID member = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(names, 1, &member), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(member, MEMBERID_NIL);
    DISPPARAMS none{};
    EXPECT_EQ(dispatch->Invoke(nullptr, 1, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);

    // The coclass names its default interface, which is the same type info.
    Ref<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(m_clsid, &coclass), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_COCLASS);
    EXPECT_EQ(type->wTypeFlags, TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(type);
    INT implFlags = 0;
    EXPECT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    Ref<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, &implemented), S_OK);
    EXPECT_EQ(implemented.p, dispatch.p);
    Ref<ITypeLib> container;
    UINT index = 9;
    ASSERT_EQ(coclass->GetContainingTypeLib(&container, &index), S_OK);
    EXPECT_EQ(container.p, library.p);
    EXPECT_EQ(index, 1u);

    Ref<ITypeInfo> missing;
    EXPECT_EQ(library->GetTypeInfoOfGuid(m_libid, &missing), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(missing.p, nullptr);
}

TEST_F(TypeLibTest, TextsOutsideTheSubsetDoNotLoad) {
    const std::string library = "[uuid(11111111-2222-3333-4444-555555555555)] library L { ";
    const char* broken[] = {
        "interface I; };",  // names an interface never defined
        "[uuid(11111111-2222-3333-4444-555555555556), dual] interface I : IUnknown {}; };",
        "[uuid(11111111-2222-3333-4444-555555555556)] interface I : IMissing {}; };",
        "[uuid(11111111-2222-3333-4444-555555555556)] interface I : IDispatch { HRESULT F(); }; };",
        "[uuid(11111111-2222-3333-4444-555555555556)] coclass C { interface IDispatch; }; };",
        "[helpstring(\"no uuid\")] coclass C { }; };",
        "[uuid(1111-2222), dual] interface I : IDispatch {}; };",  // malformed uuid
        "[uuid(11111111-2222-3333-4444-555555555556), frobnicate] interface I : IDispatch {}; };",
        "[uuid(11111111-2222-3333-4444-555555555556)] interface I : IDispatch {}; ",  // no end
        "/* open comment };",
    };
    for (const char* tail : broken) {
        Ref<ITypeLib> loaded;
        EXPECT_EQ(
            LoadTypeLibEx(WriteLibrary("bad.tlb", library + tail).c_str(), REGKIND_NONE, &loaded),
            TYPE_E_INVDATAREAD)
            << tail;
        EXPECT_EQ(loaded.p, nullptr);
    }
    Ref<ITypeLib> loaded;
    EXPECT_EQ(
        LoadTypeLibEx(WriteLibrary("good.tlb", library + "};").c_str(), REGKIND_NONE, &loaded),
        S_OK);
    Ref<ITypeLib> absent;
    EXPECT_EQ(LoadTypeLib(L"C:\\libs\\absent.tlb", &absent), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(L"C:\\libs\\absent.dll\\2", &absent), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(nullptr, &absent), E_INVALIDARG);
}

TEST_F(TypeLibTest, RegistrationWritesLibraryAndAutomationInterfaceKeys) {
    // A second, plain interface that OLE Automation does not marshal.
    std::string text = sample::kTypeLibrary;
    text.insert(text.rfind("};"),
                "[object, uuid(6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A20)] interface IPlain : IUnknown "
                "{};\n");
    const std::wstring path = WriteLibrary("sample.tlb", text);
    Ref<ITypeLib> library;
    // A path makes LoadTypeLib load without registering.
    ASSERT_EQ(LoadTypeLib(path.c_str(), &library), S_OK);
    const std::wstring libKey = L"TypeLib\\" + Guid(m_libid);
    EXPECT_FALSE(ClassKeyExists(libKey));

    ASSERT_EQ(RegisterTypeLib(library.p, path.c_str(), L"C:\\libs"), S_OK);
    EXPECT_EQ(ClassText(libKey + L"\\1.0"), L"Sample 1.0 Type Library");
    EXPECT_EQ(ClassText(libKey + L"\\1.0\\0\\win32"), path);
    EXPECT_EQ(ClassText(libKey + L"\\1.0\\FLAGS"), L"0");
    EXPECT_EQ(ClassText(libKey + L"\\1.0\\HELPDIR"), L"C:\\libs");
    const std::wstring interfaceKey = L"Interface\\" + Guid(m_iid);
    EXPECT_EQ(ClassText(interfaceKey), L"ISample");
    EXPECT_EQ(ClassText(interfaceKey + L"\\ProxyStubClsid"),
              L"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(ClassText(interfaceKey + L"\\ProxyStubClsid32"),
              L"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(ClassText(interfaceKey + L"\\TypeLib"), Guid(m_libid));
    EXPECT_EQ(ClassText(interfaceKey + L"\\TypeLib", L"Version"), L"1.0");
    EXPECT_FALSE(ClassKeyExists(L"Interface\\{6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A20}"));
    // Coclasses are not registered by their library.
    EXPECT_FALSE(ClassKeyExists(L"CLSID\\" + Guid(m_clsid)));

    // Found again by identifier and version: a higher minor version serves, a
    // lower one or another major version does not.
    BSTR found = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(m_libid, 1, 0, 0x0409, &found), S_OK);
    EXPECT_EQ(Take(found), path);
    Ref<ITypeLib> registered;
    EXPECT_EQ(LoadRegTypeLib(m_libid, 1, 1, 0, &registered), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(m_libid, 2, 0, 0, &registered), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(LoadRegTypeLib(m_libid, 1, 0, 0, &registered), S_OK);
    EXPECT_EQ(registered->GetTypeInfoCount(), 3u);

    // Unregistering takes all of it away, up to the library's key.
    EXPECT_EQ(UnRegisterTypeLib(m_libid, 1, 0, 0, SYS_WIN32), S_OK);
    EXPECT_FALSE(ClassKeyExists(libKey));
    EXPECT_FALSE(ClassKeyExists(interfaceKey));
    EXPECT_TRUE(ClassKeyExists(L"Interface"));
    EXPECT_EQ(UnRegisterTypeLib(m_libid, 1, 0, 0, SYS_WIN32), TYPE_E_REGISTRYACCESS);
}

TEST_F(TypeLibTest, UnregisteringOneVersionKeepsTheOtherAndForeignInterfaces) {
    std::string newer = sample::kTypeLibrary;
    newer.replace(newer.find("version(1.0)"), 12, "version(1.10)");
    const std::wstring oldPath = WriteLibrary("old.tlb", sample::kTypeLibrary);
    const std::wstring newPath = WriteLibrary("new.tlb", newer);
    Ref<ITypeLib> older, newest;
    ASSERT_EQ(LoadTypeLibEx(oldPath.c_str(), REGKIND_REGISTER, &older), S_OK);
    ASSERT_EQ(LoadTypeLibEx(newPath.c_str(), REGKIND_REGISTER, &newest), S_OK);
    const std::wstring libKey = L"TypeLib\\" + Guid(m_libid);
    // Versions are written in hexadecimal.
    EXPECT_EQ(ClassText(libKey + L"\\1.a\\0\\win32"), newPath);
    const std::wstring interfaceKey = L"Interface\\" + Guid(m_iid);
    EXPECT_EQ(ClassText(interfaceKey + L"\\TypeLib", L"Version"), L"1.a");
    // The highest minor version is the one found.
    BSTR found = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(m_libid, 1, 0, 0, &found), S_OK);
    EXPECT_EQ(Take(found), newPath);

    // The interface now belongs to another library: it stays.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (interfaceKey + L"\\TypeLib").c_str(), &key),
              ERROR_SUCCESS);
    const std::wstring other = L"{99999999-9999-9999-9999-999999999999}";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                   static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    EXPECT_EQ(UnRegisterTypeLib(m_libid, 1, 10, 0, SYS_WIN32), S_OK);
    EXPECT_FALSE(ClassKeyExists(libKey + L"\\1.a"));
    EXPECT_EQ(ClassText(libKey + L"\\1.0\\0\\win32"), oldPath);
    EXPECT_EQ(ClassText(interfaceKey + L"\\TypeLib"), other);
}

TEST_F(TypeLibTest, ThreadLocaleIsPerThreadAndResolvesTheDefaults) {
    EXPECT_EQ(GetThreadLocale(), 0x0409u);
    EXPECT_TRUE(SetThreadLocale(0x0407));
    EXPECT_EQ(GetThreadLocale(), 0x0407u);
    LCID other = 0;
    std::thread([&] { other = GetThreadLocale(); }).join();
    EXPECT_EQ(other, 0x0409u);
    EXPECT_TRUE(SetThreadLocale(LOCALE_SYSTEM_DEFAULT));
    EXPECT_EQ(GetThreadLocale(), GetSystemDefaultLCID());
    SetLastError(0);
    EXPECT_FALSE(SetThreadLocale(LOCALE_NEUTRAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetThreadLocale(), GetSystemDefaultLCID());
}

}  // namespace
