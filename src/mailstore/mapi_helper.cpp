#include "mailstore/mapi_helper.h"

#include <mapiguid.h>
#include <mapitags.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/settings/registry_value.h"
#include "support/utility/brevint_helper.h"
#include "support/utility/entry_id_text.h"

namespace {

constexpr const wchar_t kMailClientsKey[] = L"SOFTWARE\\Clients\\Mail";
constexpr const wchar_t kOutlookMailClientKey[] = L"SOFTWARE\\Clients\\Mail\\Microsoft Outlook";

// What an Exchange public-folder store answers as its provider (PR_MDB_PROVIDER).
constexpr BYTE kPublicFolderProvider[16] = {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                            0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};
// A store property that Exchange keeps about the connection's speed.
constexpr ULONG kLineSpeedProperty = 0x662B0102;
// The largest entry identifier taken from a store.
constexpr ULONG kMaxEntryIdSize = 1024;

CLogger& Log() {
    return CLogger::GetInstance();
}

// One entry point: its name in the library, the log's words when it is
// missing, and where it is kept.
struct EntryPoint {
    const char* exported;
    const wchar_t* failure;
    void** target;
};

template <class Function>
void** Slot(Function*& pointer) {
    return reinterpret_cast<void**>(&pointer);
}

void ForgetEntryPoints() {
    pfnMAPILogonEx = nullptr;
    pfnMAPIInitialize = nullptr;
    pfnMAPIUninitialize = nullptr;
    pfnMAPIAllocateBuffer = nullptr;
    pfnMAPIFreeBuffer = nullptr;
    pfnHrQueryAllRows = nullptr;
    pfnHrThisThreadAdviseSink = nullptr;
    pfnHrGetOneProp = nullptr;
    pfnHrSetOneProp = nullptr;
    g_isMapiLoaded = false;
}

HMODULE LoadLibraryOrLog(const std::wstring& path, const char* function, const wchar_t* failure) {
    HMODULE library = path.empty() ? nullptr : LoadLibraryW(path.c_str());
    if (!library)
        Log().LogNumber(function, failure, GetLastError());
    return library;
}

const SPropValue* FindProp(const SRow& row, ULONG tag) {
    for (ULONG i = 0; i < row.cValues; ++i)
        if (row.lpProps[i].ulPropTag == tag)
            return &row.lpProps[i];
    return nullptr;
}

void FreeRows(LPSRowSet rows) {
    if (!rows)
        return;
    for (ULONG i = 0; i < rows->cRows; ++i)
        FreeMapiBuffer(rows->aRow[i].lpProps);
    FreeMapiBuffer(rows);
}

void LogStoreName(IMsgStore* store, const char* function) {
    SizedSPropTagArray(1, columns) = {1, {PR_DISPLAY_NAME_W}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    const HRESULT hr =
        store->GetProps(reinterpret_cast<LPSPropTagArray>(&columns), MAPI_UNICODE, &count, &values);
    if (SUCCEEDED(hr) && count == 1 && values[0].ulPropTag == PR_DISPLAY_NAME_W &&
        values[0].Value.lpszW)
        Log().LogMessage(function, std::wstring(L"message store: ") + values[0].Value.lpszW);
    FreeMapiBuffer(values);
}

bool HasInbox(IMsgStore* store) {
    ULONG size = 0;
    LPENTRYID inbox = nullptr;
    // 8-bit text (no MAPI_UNICODE in the flags), whatever the build's TCHAR.
    char messageClass[] = "IPM.Note";
    const HRESULT hr =
        store->GetReceiveFolder(reinterpret_cast<LPTSTR>(messageClass), 0, &size, &inbox, nullptr);
    FreeMapiBuffer(inbox);
    return SUCCEEDED(hr) && inbox != nullptr && size > 0;
}

}  // namespace

CMapiHelper::CMapiHelper() {
    CTraceScope trace("CMapiHelper::CMapiHelper");
    if (!LoadFunctions()) {
        Log().LogMessage("CMapiHelper::CMapiHelper", L"mapi32.dll loading failed");
        return;
    }
    m_initResult = pfnMAPIInitialize(nullptr);
    LogIfFailed("CMapiHelper::CMapiHelper", m_initResult);
}

CMapiHelper::~CMapiHelper() {
    // Without a Logoff the stores are still advised, and MAPI would go on
    // calling sinks whose target is gone.
    if (g_isMapiLoaded)
        UnadviseAll();
}

bool CMapiHelper::LoadFunctions() {
    constexpr const char* kFunction = "CMapiHelper::LoadFunctions";
    CTraceScope trace(kFunction);

    std::wstring client;
    if (!settings::ReadString(HKEY_LOCAL_MACHINE, kMailClientsKey, L"", client))
        client = L"none";
    Log().LogMessage(kFunction, L"Default mail client: " + client);
    std::wstring registryPath;
    settings::ReadString(HKEY_LOCAL_MACHINE, kOutlookMailClientKey, L"DLLPathEx", registryPath);
    Log().LogMessage(kFunction, L"Outlook's extended mapi dll path: " + registryPath);
    std::wstring componentPath;
    CBrevintHelper::GetExtendedMapiDllPath(componentPath);
    Log().LogMessage(kFunction, L"mapi dll component path: " + componentPath);

    HMODULE library =
        LoadLibraryOrLog(componentPath, kFunction, L"Could not load component mapi dll");
    if (!library)
        library = LoadLibraryOrLog(registryPath, kFunction, L"Could not load registry mapi dll");
    if (!library)
        library = LoadLibraryOrLog(L"mapi32.dll", kFunction, L"Could not load mapi32.dll at all");
    if (!library)
        return false;
    g_hMapiLibrary = library;

    // A missing one is named without its decoration.
    const EntryPoint entryPoints[] = {
        {"MAPILogonEx", L"Could not load MAPILogonEx", Slot(pfnMAPILogonEx)},
        {"MAPIInitialize", L"Could not load MAPIInitialize", Slot(pfnMAPIInitialize)},
        {"MAPIUninitialize", L"Could not load MAPIUninitialize", Slot(pfnMAPIUninitialize)},
        {"MAPIAllocateBuffer", L"Could not load MAPIAllocateBuffer", Slot(pfnMAPIAllocateBuffer)},
        {"MAPIFreeBuffer", L"Could not load MAPIFreeBuffer", Slot(pfnMAPIFreeBuffer)},
        {"HrQueryAllRows@24", L"Could not load HrQueryAllRows", Slot(pfnHrQueryAllRows)},
        {"HrThisThreadAdviseSink@8", L"Could not load HrThisThreadAdviseSink",
         Slot(pfnHrThisThreadAdviseSink)},
        {"HrGetOneProp@12", L"Could not load HrGetOneProp", Slot(pfnHrGetOneProp)},
        {"HrSetOneProp@8", L"Could not load HrSetOneProp", Slot(pfnHrSetOneProp)},
    };
    for (const auto& entry : entryPoints) {
        *entry.target = reinterpret_cast<void*>(GetProcAddress(library, entry.exported));
        if (!*entry.target) {
            Log().LogNumber(kFunction, entry.failure, GetLastError());
            return false;
        }
    }
    g_isMapiLoaded = true;
    return true;
}

HRESULT CMapiHelper::Login(IMAPISession* session) {
    constexpr const char* kFunction = "CMapiHelper::Login";
    CTraceScope trace(kFunction);
    if (m_isLoggedIn)
        return S_OK;
    if (!g_isMapiLoaded)
        return E_FAIL;
    if (session) {
        m_session = session;
        m_isLoggedIn = 1;
        return S_OK;
    }
    Log().LogMessage(kFunction, L"session is null");
    // The default profile, extended MAPI, sharing a session that runs already.
    const HRESULT hr = pfnMAPILogonEx(
        0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED | MAPI_ALLOW_OTHERS, &m_session);
    if (FAILED(hr)) {
        Log().LogNumber(kFunction, L"Could not loggin MAPI ", static_cast<DWORD>(hr));
        return hr;
    }
    m_isLoggedIn = 1;
    return hr;
}

HRESULT CMapiHelper::GetMapiTable(IMAPITable** table, bool refresh) {
    CTraceScope trace("CMapiHelper::GetMapiTable");
    if (!table)
        return E_POINTER;
    *table = nullptr;
    if (!m_isLoggedIn || !m_session)
        return E_FAIL;
    if (!m_isTableLoaded || refresh) {
        m_table.Release();
        m_isTableLoaded = 0;
        const HRESULT hr = m_session->GetMsgStoresTable(0, &m_table);
        if (FAILED(hr))
            return hr;
        m_isTableLoaded = 1;
    }
    return m_table.CopyTo(table);
}

HRESULT CMapiHelper::GetMessageStores(std::vector<CComPtr<IMsgStore>>& stores, bool refresh) {
    CTraceScope trace("CMapiHelper::GetMessageStores");
    stores.clear();
    if (!m_isLoggedIn || !m_session)
        return E_FAIL;
    if (!m_isTableLoaded) {
        CComPtr<IMAPITable> table;
        const HRESULT hr = GetMapiTable(&table, false);
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = S_OK;
    if (!m_isStoresLoaded || refresh) {
        ReleaseStores();
        hr = GetMessageStoresAnyway();
        m_isStoresLoaded = m_stores.empty() ? 0 : 1;
    }
    stores = m_stores;
    return hr;
}

HRESULT CMapiHelper::GetMessageStoresAnyway() {
    constexpr const char* kFunction = "CMapiHelper::GetMessageStoresAnyway";
    CTraceScope trace(kFunction);
    if (!m_table || !m_session || !g_isMapiLoaded)
        return E_FAIL;
    LPSRowSet rows = nullptr;
    const HRESULT hr = pfnHrQueryAllRows(m_table, nullptr, nullptr, nullptr, 0, &rows);
    if (FAILED(hr) || !rows) {
        Log().LogMessage(kFunction, L"query rows failed");
        return FAILED(hr) ? hr : E_FAIL;
    }
    Log().LogNumber(kFunction, L"stores number: ", rows->cRows);
    for (ULONG i = 0; i < rows->cRows; ++i) {
        Log().LogNumber(kFunction, L"Processing store #", i);
        const SPropValue* entryId = FindProp(rows->aRow[i], PR_ENTRYID);
        CComPtr<IMsgStore> store;
        const HRESULT opened =
            entryId ? m_session->OpenMsgStore(0, entryId->Value.bin.cb,
                                              reinterpret_cast<LPENTRYID>(entryId->Value.bin.lpb),
                                              nullptr, MAPI_BEST_ACCESS, &store)
                    : MAPI_E_NOT_FOUND;
        if (FAILED(opened) || !store) {
            Log().LogNumber(kFunction, L"open store failed", static_cast<DWORD>(opened));
            continue;
        }
        LogStoreName(store, kFunction);
        if (IsPublicFolder(store))
            continue;
        if (!HasInbox(store)) {
            Log().LogMessage(kFunction, L"inbox retrival failed");
            continue;
        }
        m_stores.push_back(store);
    }
    FreeRows(rows);
    return hr;
}

bool CMapiHelper::IsPublicFolder(IMsgStore* store) {
    constexpr const char* kFunction = "CMapiHelper::IsPublicFolder";
    CTraceScope trace(kFunction);
    std::vector<BYTE> provider;
    const bool isPublic =
        SUCCEEDED(GetPropValue(store, PR_MDB_PROVIDER, provider)) &&
        std::equal(provider.begin(), provider.end(), std::begin(kPublicFolderProvider),
                   std::end(kPublicFolderProvider));
    Log().LogNumber(kFunction, L"Is public:", isPublic ? 1 : 0);
    return isPublic;
}

HRESULT CMapiHelper::Advise(MapiNotifyCallback callback, ULONG eventMask, HWND window) {
    constexpr const char* kFunction = "CMapiHelper::Advise";
    CTraceScope trace(kFunction);
    const bool advisedAlready = std::any_of(m_isAdvised.begin(), m_isAdvised.end(),
                                            [](DWORD advised) { return advised != 0; });
    if (!m_isLoggedIn || advisedAlready)
        return E_FAIL;
    if (!m_isStoresLoaded) {
        std::vector<CComPtr<IMsgStore>> stores;
        GetMessageStores(stores, false);
    }
    if (m_stores.empty())
        return E_FAIL;

    m_isAdvised.assign(m_stores.size(), 0);
    m_connections.assign(m_stores.size(), 0);
    HRESULT hr = E_FAIL;
    for (size_t i = 0; i < m_stores.size(); ++i) {
        CComPtr<IMAPIAdviseSink> sink(new CMapiAdviseSinkImpl(
            callback, reinterpret_cast<ULONG_PTR>(window), static_cast<ULONG_PTR>(i)));
        // Notifications come through MAPI's wrapper, on this thread.
        CComPtr<IMAPIAdviseSink> wrapper;
        hr = pfnHrThisThreadAdviseSink(sink, &wrapper);
        if (SUCCEEDED(hr)) {
            m_sinks.push_back(wrapper);
            hr = m_stores[i]->Advise(0, nullptr, eventMask, wrapper, &m_connections[i]);
        }
        std::vector<BYTE> lineSpeed;
        if (SUCCEEDED(GetPropValue(m_stores[i], kLineSpeedProperty, lineSpeed)))
            Log().LogMessage(kFunction, L"line speed property has already got");
        else
            Log().LogMessage(kFunction, L"could not get line speed property");
        if (FAILED(hr)) {
            Log().LogNumber(kFunction, L"Could not advise", static_cast<DWORD>(i));
        } else {
            Log().LogNumber(kFunction, L"Store is advised", static_cast<DWORD>(i));
            m_isAdvised[i] = 1;
        }
    }
    return hr;
}

void CMapiHelper::UnadviseAll() {
    CTraceScope trace("CMapiHelper::UnadviseAll");
    for (size_t i = 0; i < m_isAdvised.size() && i < m_stores.size(); ++i)
        if (m_isAdvised[i])
            m_stores[i]->Unadvise(m_connections[i]);
    m_isAdvised.clear();
    m_connections.clear();
    m_sinks.clear();
}

HRESULT CMapiHelper::Logoff() {
    constexpr const char* kFunction = "CMapiHelper::Logoff";
    CTraceScope trace(kFunction);
    UnadviseAll();
    m_table.Release();
    m_isTableLoaded = 0;
    ReleaseStores();
    HRESULT hr = E_FAIL;
    if (m_session) {
        hr = m_session->Logoff(0, 0, 0);
        if (!LogIfFailed(kFunction, hr)) {
            m_session.Release();
            m_isLoggedIn = 0;
        }
    }
    if (pfnMAPIUninitialize && SUCCEEDED(m_initResult))
        pfnMAPIUninitialize();
    m_initResult = E_FAIL;
    // A session that would not log off still holds the library's objects.
    if (m_session)
        m_session.Detach();
    UnloadFunctions();
    return hr;
}

void CMapiHelper::UnloadFunctions() {
    if (g_hMapiLibrary)
        FreeLibrary(g_hMapiLibrary);
    g_hMapiLibrary = nullptr;
    ForgetEntryPoints();
}

void CMapiHelper::ReleaseStores() {
    m_stores.clear();
    m_isStoresLoaded = 0;
}

bool CMapiHelper::GetExtendedEntryId(ULONG cb, LPENTRYID entryId, size_t storeIndex, LPENTRYID* id,
                                     ULONG* size, ULONG* objectType) {
    constexpr const char* kFunction = "CMapiHelper::GetExtendedEntryId";
    CTraceScope trace(kFunction);
    if (!entryId || cb == 0 || !id || !size || !objectType || storeIndex >= m_stores.size() ||
        !g_isMapiLoaded) {
        Log().LogMessage(kFunction, L"Input variables error");
        return false;
    }
    Log().LogMessage(kFunction, L"input id " + EntryIdToText(entryId, cb));

    ULONG type = 0;
    CComPtr<IUnknown> object;
    HRESULT hr =
        m_stores[storeIndex]->OpenEntry(cb, entryId, nullptr, MAPI_BEST_ACCESS, &type, &object);
    if (FAILED(hr) || !object) {
        Log().LogMessage(kFunction, L"Open entry failed");
        return false;
    }
    Log().LogNumber(kFunction, L"Output type ", type);

    // Read into a buffer of the largest identifier first, then copied into
    // one of its own size for the caller.
    void* buffer = nullptr;
    if (FAILED(pfnMAPIAllocateBuffer(kMaxEntryIdSize, &buffer)) || !buffer) {
        Log().LogMessage(kFunction, L"Buffer allocation failed");
        return false;
    }
    std::vector<BYTE> bytes;
    CComQIPtr<IMAPIProp, &IID_IMAPIProp> properties(object);
    hr = properties ? GetPropValue(properties, PR_ENTRYID, bytes) : E_NOINTERFACE;
    if (FAILED(hr)) {
        Log().LogMessage(kFunction, L"EntryId retrievement failed");
        FreeMapiBuffer(buffer);
        return false;
    }
    if (bytes.empty() || bytes.size() > kMaxEntryIdSize) {
        Log().LogMessage(kFunction, L"Wrong entry Id");
        Log().LogNumber(kFunction, L"cb ", static_cast<DWORD>(bytes.size()));
        FreeMapiBuffer(buffer);
        return false;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    const ULONG length = static_cast<ULONG>(bytes.size());

    void* copy = nullptr;
    if (FAILED(pfnMAPIAllocateBuffer(length, &copy))) {
        Log().LogMessage(kFunction, L"Could not allocate memory for etryid");
        FreeMapiBuffer(buffer);
        return false;
    }
    if (!copy) {
        Log().LogMessage(kFunction, L"Could not copy memory for etryid");
        FreeMapiBuffer(buffer);
        return false;
    }
    std::memcpy(copy, buffer, length);
    FreeMapiBuffer(buffer);
    Log().LogNumber(kFunction, L"entryIdSize ", length);
    Log().LogMessage(kFunction, L"entryId " + EntryIdToText(copy, length));
    *id = static_cast<LPENTRYID>(copy);
    *size = length;
    *objectType = type;
    return true;
}

bool CMapiHelper::GetExtendedMsgEntryIdStr(ULONG cb, LPENTRYID entryId, size_t,
                                           std::wstring& text) {
    constexpr const char* kFunction = "CMapiHelper::GetExtendedMsgEntryIdStr";
    CTraceScope trace(kFunction);
    for (size_t i = 0; i < m_stores.size(); ++i) {
        LPENTRYID id = nullptr;
        ULONG size = 0;
        ULONG type = 0;
        if (!GetExtendedEntryId(cb, entryId, i, &id, &size, &type))
            continue;
        const bool isMessage = type == MAPI_MESSAGE && size >= 1 && size <= kMaxEntryIdSize;
        if (isMessage)
            text = EntryIdToText(id, size);
        FreeMapiBuffer(id);
        if (isMessage)
            return true;
    }
    Log().LogMessage(kFunction, L"Could not get entryId");
    return false;
}

HRESULT CMapiHelper::GetPropValue(IMAPIProp* object, ULONG tag, std::vector<BYTE>& bytes) {
    bytes.clear();
    if (!object)
        return E_POINTER;
    if (!pfnHrGetOneProp)
        return E_FAIL;
    LPSPropValue value = nullptr;
    HRESULT hr = pfnHrGetOneProp(object, tag, &value);
    if (SUCCEEDED(hr) && value) {
        if (PROP_TYPE(value->ulPropTag) == PT_BINARY)
            bytes.assign(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb);
        else
            hr = MAPI_E_NOT_FOUND;
    }
    FreeMapiBuffer(value);
    return hr;
}
