// Outlook's stand-in with a personal folders store and no add-in object: the
// world a toolbar test runs in. A test opens explorers through m_host and
// reaches Outlook's objects through m_application.
#pragma once

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <atlbase.h>
#include <mailstore/model.h>
#include <outlook.h>

#include <memory>

#include "outlook_host.h"
#include "support/log_files.h"
#include "temp_root.h"

class OutlookExplorers : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        auto profile = mailstore::Model::Process().AddProfile(L"Outlook");
        profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        m_host = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        CComPtr<IDispatch> application;
        application.Attach(m_host->Application());
        ASSERT_EQ(application.QueryInterface(&m_application), S_OK);
    }
    // What holds Outlook's objects goes first (ReleaseObjects), then Outlook.
    void TearDown() override {
        ReleaseObjects();
        m_application.Release();
        m_host.reset();
        mailstore::Model::Process().Clear();
        CoUninitialize();
    }
    virtual void ReleaseObjects() {}

    CComPtr<Outlook::_Explorer> Active() {
        CComPtr<Outlook::_Explorer> active;
        EXPECT_EQ(m_application->ActiveExplorer(&active), S_OK);
        return active;
    }

    TempRoot m_root;
    std::unique_ptr<outlook::host::OutlookHost> m_host;
    CComPtr<Outlook::_Application> m_application;
};
