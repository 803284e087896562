// Store notifications as the add-in copies them inside MAPI's call and posts
// them on to its hidden window: what is copied, what is posted, and that each
// copy owns buffers of its own. Then the way from a notification, or an
// identifier, to the mail item, without the add-in object.
#include "filtering/new_mail_detection.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "addin/workers/worker_messages.h"
#include "mailstore/mapi_functions.h"
#include "mailstore/mapi_helper.h"
#include "mapiview/installation.h"
#include "outlook_session.h"
#include "support/log_files.h"
#include "temp_root.h"

namespace {

struct Posted {
    UINT message;
    LPNOTIFICATION copy;
    LPARAM storeIndex;
};
std::vector<Posted> g_posted;

LRESULT CALLBACK RecordingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_BV_MAPI_NOTIFY) {
        g_posted.push_back({message, reinterpret_cast<LPNOTIFICATION>(wParam), lParam});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class NewMailDetectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        mapiview::MapiInstallation installation;
        installation.builtMapi32 = BV_MAPI32_MODULE_FILE;
        installation.builtMapistub = BV_MAPISTUB_MODULE_FILE;
        std::vector<std::string> done;
        std::string error;
        ASSERT_TRUE(mapiview::InstallMapi(installation, done, error)) << error;
        ASSERT_TRUE(CMapiHelper::LoadFunctions());
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &RecordingWindow;
        windowClass.lpszClassName = L"NewMailDetectionTest";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, L"NewMailDetectionTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, nullptr, nullptr);
        ASSERT_NE(m_window, nullptr);
        g_posted.clear();
    }
    void TearDown() override {
        for (const Posted& posted : g_posted)
            FreeNotificationCopy(posted.copy);
        DestroyWindow(m_window);
    }
    void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }

    TempRoot m_root;
    HWND m_window = nullptr;
    BYTE m_entryId[24] = {0, 0,  0,  0,  1,  2,  3,  4,  5, 6, 7, 8,
                          9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 7};
    BYTE m_parentId[24] = {0, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 0, 0, 0, 1};
};

NOTIFICATION NewMail(BYTE* entryId, ULONG size, BYTE* parentId, ULONG parentSize) {
    NOTIFICATION notification{};
    notification.ulEventType = fnevNewMail;
    notification.info.newmail.cbEntryID = size;
    notification.info.newmail.lpEntryID = reinterpret_cast<LPENTRYID>(entryId);
    notification.info.newmail.cbParentID = parentSize;
    notification.info.newmail.lpParentID = reinterpret_cast<LPENTRYID>(parentId);
    notification.info.newmail.ulFlags = 0;
    notification.info.newmail.lpszMessageClass = const_cast<LPSTR>("IPM.Note");
    notification.info.newmail.ulMessageFlags = 0x100;
    return notification;
}

NOTIFICATION Created(ULONG objectType, BYTE* entryId, BYTE* parentId) {
    NOTIFICATION notification{};
    notification.ulEventType = fnevObjectCreated;
    notification.info.obj.cbEntryID = 24;
    notification.info.obj.lpEntryID = reinterpret_cast<LPENTRYID>(entryId);
    notification.info.obj.ulObjType = objectType;
    notification.info.obj.cbParentID = 24;
    notification.info.obj.lpParentID = reinterpret_cast<LPENTRYID>(parentId);
    return notification;
}

}  // namespace

TEST_F(NewMailDetectionTest, ACopyOwnsFreshBuffersAndLeavesOutWhatIsNotCopied) {
    NOTIFICATION mail = NewMail(m_entryId, 24, m_parentId, 0);
    LPNOTIFICATION copy = CopyNotification(mail);
    ASSERT_NE(copy, nullptr);
    const NEWMAIL_NOTIFICATION& copied = copy->info.newmail;
    EXPECT_EQ(copy->ulEventType, fnevNewMail);
    ASSERT_EQ(copied.cbEntryID, 24u);
    ASSERT_NE(copied.lpEntryID, nullptr);
    EXPECT_NE(static_cast<void*>(copied.lpEntryID), static_cast<void*>(m_entryId));
    EXPECT_EQ(std::memcmp(copied.lpEntryID, m_entryId, 24), 0);
    // A size of 0 gets no buffer; the message class is not carried over.
    EXPECT_EQ(copied.cbParentID, 0u);
    EXPECT_EQ(copied.lpParentID, nullptr);
    EXPECT_EQ(copied.lpszMessageClass, nullptr);
    EXPECT_EQ(copied.ulMessageFlags, 0x100u);
    // The original's bytes may go as soon as MAPI's call returns.
    std::memset(m_entryId, 0xEE, sizeof m_entryId);
    EXPECT_EQ(static_cast<const BYTE*>(static_cast<void*>(copied.lpEntryID))[4], 1);
    FreeNotificationCopy(copy);

    NOTIFICATION created = Created(5, m_entryId, m_parentId);
    copy = CopyNotification(created);
    EXPECT_EQ(copy->info.obj.cbParentID, 24u);
    EXPECT_EQ(std::memcmp(copy->info.obj.lpParentID, m_parentId, 24), 0);
    EXPECT_EQ(copy->info.obj.lpOldID, nullptr);
    FreeNotificationCopy(copy);
    FreeNotificationCopy(nullptr);
}

TEST_F(NewMailDetectionTest, OnlyNewMailAndCreatedMessagesArePostedWithTheirStore) {
    NOTIFICATION burst[] = {NewMail(m_entryId, 24, m_parentId, 24),
                            Created(3, m_parentId, m_entryId), Created(5, m_entryId, m_parentId)};
    NOTIFICATION other{};
    other.ulEventType = fnevObjectDeleted;
    EXPECT_EQ(OnNewMailNotif(3, burst, reinterpret_cast<ULONG_PTR>(m_window), 2), 0u);
    EXPECT_EQ(OnNewMailNotif(1, &other, reinterpret_cast<ULONG_PTR>(m_window), 2), 0u);
    Pump();
    ASSERT_EQ(g_posted.size(), 2u);
    EXPECT_EQ(g_posted[0].copy->ulEventType, fnevNewMail);
    EXPECT_EQ(g_posted[1].copy->ulEventType, fnevObjectCreated);
    for (const Posted& posted : g_posted)
        EXPECT_EQ(posted.storeIndex, 2);
    const auto lines = LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("OnNewMailNotif - cNotif : 3") !=
                                       std::string::npos;
                            }),
              1);

    // Nothing to post to, nothing given: nothing posted, nothing leaked.
    EXPECT_EQ(OnNewMailNotif(3, burst, 0, 0), 0u);
    EXPECT_EQ(OnNewMailNotif(0, burst, reinterpret_cast<ULONG_PTR>(m_window), 0), 0u);
    EXPECT_EQ(OnNewMailNotif(3, nullptr, reinterpret_cast<ULONG_PTR>(m_window), 0), 0u);
    Pump();
    EXPECT_EQ(g_posted.size(), 2u);
}

TEST_F(NewMailDetectionTest, EachMessageOfABurstGoesOnByItsIdentifierOnlyWhileLoggedIn) {
    CMapiHelper mapiHelper;
    CComPtr<Outlook::_Application> noApplication;
    CNewMailDetection detection(mapiHelper, noApplication);
    std::vector<std::wstring> identifiers;
    const auto collect = [&](std::wstring itemId) { identifiers.push_back(std::move(itemId)); };
    BYTE tooLong[2048] = {};
    NOTIFICATION other{};
    other.ulEventType = fnevObjectDeleted;
    NOTIFICATION burst[] = {NewMail(m_entryId, 24, m_parentId, 24), other,
                            NewMail(tooLong, sizeof tooLong, nullptr, 0),
                            NewMail(nullptr, 24, nullptr, 0), Created(5, m_parentId, m_entryId)};

    EXPECT_EQ(detection.OnStoreNotifications(5, burst, 0, false, collect), 0u);
    EXPECT_TRUE(identifiers.empty());

    // No store is open, so each identifier goes on as its own bytes.
    EXPECT_EQ(detection.OnStoreNotifications(5, burst, 0, true, collect), 0u);
    EXPECT_EQ(identifiers,
              (std::vector<std::wstring>{L"000000000102030405060708090A0B0C0D0E0F1000000007",
                                         L"000000000909090909090909090909090909090900000001"}));

    detection.OnStoreNotifications(1, nullptr, 0, true, collect);
    const auto lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "CConnect::OnNewMail2 - Notification is null"),
              lines.end());
    EXPECT_EQ(identifiers.size(), 2u);
}

class OpenNewMailTest : public OutlookSessionTest {
  protected:
    // The subjects of the items handed on.
    std::vector<std::wstring> Open(std::wstring itemId,
                                   const CComPtr<Outlook::_Application>& application) {
        CMapiHelper mapiHelper;
        CNewMailDetection detection(mapiHelper, application);
        std::vector<std::wstring> subjects;
        detection.OpenNewMail(std::move(itemId), [&](MailItemRef item) {
            CComBSTR subject;
            item->get_Subject(&subject);
            subjects.emplace_back(subject ? subject : L"");
        });
        return subjects;
    }
};

TEST_F(OpenNewMailTest, AStoredMessageIsHandedOnAsOutlooksMailItem) {
    const auto message = Deliver("From: ann@example.com\r\nSubject: Lunch\r\n\r\nAt one?\r\n");
    const std::wstring itemId = ItemId(message);
    EXPECT_EQ(Open(itemId, m_application), std::vector<std::wstring>{L"Lunch"});
    EXPECT_EQ(LinesOf("CConnect::OnNewMail"),
              (std::vector<std::string>{"ItemID: " + std::string(itemId.begin(), itemId.end()),
                                        "if(ptrMailItem != NULL)"}));
}

TEST_F(OpenNewMailTest, WhatCannotBeOpenedIsLoggedAndDropped) {
    const auto message = Deliver("From: ann@example.com\r\nSubject: Gone\r\n\r\nBye.\r\n");
    const std::wstring itemId = ItemId(message);
    message->Delete();
    CComPtr<Outlook::_Application> noApplication;
    EXPECT_TRUE(Open(itemId, m_application).empty());
    EXPECT_TRUE(Open(L"", m_application).empty());
    EXPECT_TRUE(Open(itemId, noApplication).empty());
    const std::string id(itemId.begin(), itemId.end());
    EXPECT_EQ(
        LinesOf("CConnect::OnNewMail"),
        (std::vector<std::string>{"ItemID: " + id, "Could not get item from ID", "empty item id",
                                  "ItemID: " + id, "Could not get namespace"}));
}
