// Outlook's stand-in started over a profile with an Exchange mailbox, on
// virtual time from 5 December 2026, 9:00 UTC; the test thread is Outlook's
// user-interface thread and holds the "MAPI" namespace.
#pragma once

#include <atlbase.h>
#include <objbase.h>
#include <platform/clock.h>

#include <mailstore/model.h>

#include <gtest/gtest.h>

#include <memory>

#include "outlook.h"
#include "outlook_host.h"
#include "temp_root.h"

class OutlookSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 9, 0, 0, 0});
        profile = mailstore::Model::Process().AddProfile(L"Outlook");
        mailbox = profile->AddStore(mailstore::StoreSettings::Exchange(
            L"Mailbox - Jane Doe", L"First Organization", "/o=First Organization/cn=jane"));
        AddStores();
        host = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        ASSERT_EQ(host->MapiNamespace(&nameSpace), S_OK);
    }
    void TearDown() override {
        nameSpace.Release();
        host.reset();
        mailstore::Model::Process().Clear();
        CoUninitialize();
    }

    // Further stores of the profile, added before Outlook starts.
    virtual void AddStores() {}

    TempRoot root;  // where the stores' identifiers are counted
    mailstore::ProfilePtr profile;
    mailstore::StorePtr mailbox;
    std::unique_ptr<outlook::host::OutlookHost> host;
    CComPtr<Outlook::_NameSpace> nameSpace;
};
