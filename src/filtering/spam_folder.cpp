#include "filtering/spam_folder.h"

#include <atlbase.h>
#include <comdef.h>

#include "mailstore/redemption_mng.h"
#include "support/settings/settings.h"
#include "support/log/logged_stage.h"
#include "support/log/trace_scope.h"
#include "support/utility/bstr_text.h"

std::wstring g_defaultSpamFolderName = kDefaultSpamFolderName;

namespace {

// The log knows these lookups by the add-in object's names for them.
constexpr const char* kFindSpamFolder = "CConnect::FindSPAMfolder";
constexpr const char* kSpamFolderExists = "CConnect::IsBrevintFolderExist";

CComPtr<Outlook::_NameSpace> MapiNamespace(const char* function,
                                           Outlook::_Application* application) {
    CComPtr<Outlook::_NameSpace> names;
    if (application)
        LogIfFailed(function, application->GetNamespace(CComBSTR(L"MAPI"), &names));
    return names;
}

// The store identifier of the Inbox: the default store's.
std::wstring DefaultStoreId(Outlook::_NameSpace* names) {
    CComPtr<Outlook::MAPIFolder> inbox;
    CComBSTR storeId;
    if (!LogIfFailed(kFindSpamFolder, names->GetDefaultFolder(Outlook::olFolderInbox, &inbox)) &&
        inbox)
        LogIfFailed(kFindSpamFolder, inbox->get_StoreID(&storeId));
    return TextOf(storeId);
}

// Whether `parent` still lists a folder with that entry identifier. The
// collection is walked by name, as any IDispatch collection can be.
bool ParentListsFolder(IDispatch* parent, const std::wstring& entryId) {
    CComDispatchDriver parentDriver(parent);
    CComVariant folders;
    if (LogIfFailed(kFindSpamFolder, parentDriver.GetPropertyByName(L"Folders", &folders)) ||
        folders.vt != VT_DISPATCH || !folders.pdispVal)
        return false;
    CComDispatchDriver collection(folders.pdispVal);
    CComVariant count;
    if (LogIfFailed(kFindSpamFolder, collection.GetPropertyByName(L"Count", &count)) ||
        FAILED(count.ChangeType(VT_I4)))
        return false;
    for (LONG index = 1; index <= count.lVal; ++index) {
        CComVariant position(index);
        CComVariant folder;
        if (LogIfFailed(kFindSpamFolder, collection.Invoke1(L"Item", &position, &folder)) ||
            folder.vt != VT_DISPATCH || !folder.pdispVal)
            continue;
        CComVariant id;
        if (!LogIfFailed(kFindSpamFolder,
                         CComDispatchDriver(folder.pdispVal).GetPropertyByName(L"EntryID", &id)) &&
            id.vt == VT_BSTR && id.bstrVal && entryId == id.bstrVal)
            return true;
    }
    return false;
}

}  // namespace

CSpamFolder::CSpamFolder(const CComPtr<Outlook::_Application>& application)
    : m_application(application) {}

void CSpamFolder::Find(CComPtr<Outlook::MAPIFolder>& folder) const {
    CTraceScope trace(kFindSpamFolder);
    folder.Release();
    RunLoggedStage(kFindSpamFolder, L"Unhandled exception", [&] {
        CComPtr<Outlook::_NameSpace> names = MapiNamespace(kFindSpamFolder, m_application);
        if (!names)
            return;
        std::wstring profile;
        std::wstring storedId;
        GetCurrentProfile(profile);
        if (!CSettings::GetSpamFolderId(profile, storedId) || storedId.empty())
            return;
        const std::wstring storeId = DefaultStoreId(names);
        if (storeId.empty())
            return;
        CComPtr<Outlook::MAPIFolder> found;
        if (LogIfFailed(kFindSpamFolder,
                        names->GetFolderFromID(CComBSTR(storedId.c_str()),
                                               CComVariant(storeId.c_str()), &found)) ||
            !found)
            return;
        CComPtr<IDispatch> parent;
        if (LogIfFailed(kFindSpamFolder, found->get_Parent(&parent)) || !parent)
            return;
        // Only a folder that its own parent no longer lists is refused. One
        // the user deleted into Deleted Items is listed there, so it is still
        // the spam folder, wherever it now sits.
        if (!ParentListsFolder(parent, storedId))
            return;
        folder = found;
    });
}

bool CSpamFolder::MakeSure(bool create) const {
    CTraceScope trace(kSpamFolderExists);
    CComPtr<Outlook::MAPIFolder> existing;
    Find(existing);
    if (existing)
        return true;
    if (!create)
        return false;
    bool exists = false;
    RunLoggedStage(kSpamFolderExists, L"Unhandled exception", [&] {
        constexpr const char* kFunction = kSpamFolderExists;
        CComPtr<Outlook::_NameSpace> names = MapiNamespace(kFunction, m_application);
        CComPtr<Outlook::MAPIFolder> inbox;
        CComPtr<IDispatch> root;
        CComQIPtr<Outlook::MAPIFolder> rootFolder;
        CComPtr<Outlook::_Folders> folders;
        if (!names ||
            LogIfFailed(kFunction, names->GetDefaultFolder(Outlook::olFolderInbox, &inbox)) ||
            !inbox || LogIfFailed(kFunction, inbox->get_Parent(&root)) || !(rootFolder = root) ||
            LogIfFailed(kFunction, rootFolder->get_Folders(&folders)) || !folders)
            return;
        const CComBSTR name(g_defaultSpamFolderName.c_str());
        CComPtr<Outlook::MAPIFolder> folder;
        // A folder not found by name is made; the failed lookup is still noted.
        if (LogIfFailed(kFunction, folders->Item(CComVariant(name), &folder)) || !folder) {
            folder.Release();
            if (LogIfFailed(
                    kFunction,
                    folders->Add(name, CComVariant(static_cast<LONG>(Outlook::olFolderInbox)),
                                 &folder)) ||
                !folder)
                return;
        }
        CComBSTR entryId;
        if (LogIfFailed(kFunction, folder->get_EntryID(&entryId)))
            return;
        std::wstring profile;
        GetCurrentProfile(profile);
        CSettings::SetSpamFolderId(profile, TextOf(entryId));
        exists = true;
    });
    return exists;
}

bool CheckFolder(Outlook::_NameSpace* names, LONG kind, Outlook::MAPIFolder* folder,
                 const std::wstring& message, bool show) {
    CTraceScope trace("CheckFolder");
    if (!names || !folder)
        return true;
    CComPtr<Outlook::MAPIFolder> defaultFolder;
    CComBSTR defaultId;
    CComBSTR folderId;
    // A default folder that cannot be had counts as "not equal".
    if (LogIfFailed("CheckFolder", names->GetDefaultFolder(kind, &defaultFolder)) ||
        !defaultFolder || LogIfFailed("CheckFolder", defaultFolder->get_EntryID(&defaultId)) ||
        LogIfFailed("CheckFolder", folder->get_EntryID(&folderId)))
        return true;
    if (TextOf(defaultId) != TextOf(folderId))
        return true;
    if (show)
        MessageBoxW(nullptr, message.c_str(), L"Brevint", MB_OK);
    return false;
}
