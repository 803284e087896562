// Outlook as the filtering code meets it, without the add-in object: one mail
// profile with one store, Outlook's application over it, Extended MAPI laid
// down and loaded, and the safe-item library registered. The test thread is
// Outlook's user-interface thread.
#pragma once

#include <atlbase.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <mailstore/model.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/mapi_helper.h"
#include "mailstore/redemption_mng.h"
#include "mapiview/installation.h"
#include "module_files.h"
#include "outlook_host.h"
#include "support/log_files.h"
#include "temp_root.h"

class OutlookSessionTest : public ::testing::Test {
  protected:
    static constexpr const wchar_t* kProfilesKey =
        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
        L"Subsystem\\Profiles";

    void SetUp() override {
        MakeLogsFolder();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        const std::wstring safeItems = L"C:\\Program Files\\Brevint\\BVOLTOOL.dll";
        InstallModule(BV_SAFEITEM_MODULE_FILE, safeItems);
        ASSERT_EQ(RunExport(safeItems, "DllRegisterServer"), S_OK);
        mapiview::MapiInstallation installation;
        installation.builtMapi32 = BV_MAPI32_MODULE_FILE;
        installation.builtMapistub = BV_MAPISTUB_MODULE_FILE;
        std::vector<std::string> done;
        std::string error;
        ASSERT_TRUE(mapiview::InstallMapi(installation, done, error)) << error;
        ASSERT_TRUE(CMapiHelper::LoadFunctions());
        // The mail profile that Windows names as the default one.
        HKEY profiles = nullptr;
        ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, kProfilesKey, &profiles), ERROR_SUCCESS);
        const wchar_t name[] = L"Outlook";
        RegSetValueExW(profiles, L"DefaultProfile", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       sizeof name);
        RegCloseKey(profiles);
        auto profile = mailstore::Model::Process().AddProfile(name);
        m_store = profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        m_host = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        CComPtr<IDispatch> application;
        application.Attach(m_host->Application());
        ASSERT_EQ(application.QueryInterface(&m_application), S_OK);
        ASSERT_EQ(m_host->MapiNamespace(&m_names), S_OK);
    }
    void TearDown() override {
        CRedemptionMng::ReleaseInstance();
        m_names.Release();
        m_application.Release();
        m_host.reset();
        mailstore::Model::Process().Clear();
        CoUninitialize();
    }

    // Delivers a message into the Inbox.
    mailstore::MessagePtr Deliver(std::string_view text) {
        return m_store->ReceiveFolder()->Deliver(mailstore::Bytes(text.begin(), text.end()));
    }
    // The message's entry identifier as Outlook's text gives it.
    static std::wstring ItemId(const mailstore::MessagePtr& message) {
        return mailstore::EntryIdToHex(message->Id());
    }
    // Outlook's item of a stored message.
    MailItemRef ItemOf(const mailstore::MessagePtr& message) {
        CComVariant omitted;
        omitted.vt = VT_ERROR;
        omitted.scode = DISP_E_PARAMNOTFOUND;
        CComPtr<IDispatch> item;
        EXPECT_EQ(m_names->GetItemFromID(CComBSTR(ItemId(message).c_str()), omitted, &item), S_OK);
        return CComQIPtr<Outlook::_MailItem>(item).p;
    }
    // The folder beside the Inbox of that name, or null.
    mailstore::FolderPtr BesideInbox(std::wstring_view name) const {
        return m_store->ReceiveFolder()->Parent()->FindSubfolder(name);
    }

    TempRoot m_root;
    mailstore::StorePtr m_store;
    std::unique_ptr<outlook::host::OutlookHost> m_host;
    CComPtr<Outlook::_Application> m_application;
    CComPtr<Outlook::_NameSpace> m_names;
};
