// The process's injections into calls of the world and its census of calls:
// what is counted, which calls fail or fault and for how long, the error
// information a failure leaves, and calls from many threads at once.
#include <oleauto.h>
#include <platform/call_faults.h>
#include <platform/seh.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "test_thread.h"
#include "call_fault_support.h"

namespace {

using platform::calls::Action;
using platform::calls::Arm;
using platform::calls::Census;
using platform::calls::EnterMember;
using platform::calls::Injection;

Injection Failing(HRESULT failure, std::optional<unsigned> times = 1, unsigned after = 0) {
    Injection injection;
    injection.failure = failure;
    injection.times = times;
    injection.after = after;
    return injection;
}

// The results of `count` calls of `object`.`member`.
std::vector<HRESULT> Calls(const wchar_t* object, const wchar_t* member, int count) {
    std::vector<HRESULT> results;
    for (int i = 0; i < count; ++i)
        results.push_back(EnterMember(object, member));
    return results;
}

TEST(CallFaultsTest, TheCensusCountsEachMemberInTheOrderOfItsFirstCall) {
    EnterMember(L"MailItem", L"Subject");
    EnterMember(L"IMessage", L"SetReadFlag");
    EnterMember(L"MailItem", L"Subject");
    EnterMember(L"ReportItem", L"Subject");
    const auto census = Census();
    ASSERT_EQ(census.size(), 3u);
    EXPECT_EQ(census[0].member, L"MailItem.Subject");
    EXPECT_EQ(census[0].calls, 2u);
    EXPECT_EQ(census[1].member, L"IMessage.SetReadFlag");
    EXPECT_EQ(census[2].member, L"ReportItem.Subject");
    EXPECT_EQ(census[2].calls, 1u);

    platform::calls::ClearCensus();
    EXPECT_TRUE(Census().empty());
    EnterMember(L"ReportItem", L"Subject");
    ASSERT_EQ(Census().size(), 1u);
    EXPECT_EQ(Census()[0].calls, 1u);
}

TEST(CallFaultsTest, AFailureTakesItsTimesAfterTheCallsItLetsPass) {
    constexpr HRESULT kDenied = E_ACCESSDENIED;
    ASSERT_TRUE(Arm(L"Items.Count", Failing(kDenied, 2, 1)));
    EXPECT_EQ(Calls(L"Items", L"Count", 5),
              (std::vector<HRESULT>{S_OK, kDenied, kDenied, S_OK, S_OK}));
    EXPECT_TRUE(platform::calls::Armed().empty());  // spent
    // Calls that failed were calls all the same.
    EXPECT_EQ(Census().at(0).calls, 5u);
}

TEST(CallFaultsTest, AFailureArmedForEveryCallStaysUntilTakenBack) {
    ASSERT_TRUE(Arm(L"Filter.Score", Failing(E_OUTOFMEMORY, std::nullopt, 2)));
    EXPECT_EQ(Calls(L"Filter", L"Score", 4),
              (std::vector<HRESULT>{S_OK, S_OK, E_OUTOFMEMORY, E_OUTOFMEMORY}));
    const auto armed = platform::calls::Armed();
    ASSERT_EQ(armed.size(), 1u);
    EXPECT_EQ(armed[0].member, L"Filter.Score");
    EXPECT_EQ(armed[0].fired, 2u);
    EXPECT_EQ(armed[0].left.after, 0u);
    EXPECT_FALSE(armed[0].left.times);

    platform::calls::DisarmAll();
    EXPECT_EQ(EnterMember(L"Filter", L"Score"), S_OK);
    EXPECT_TRUE(platform::calls::Armed().empty());
}

TEST(CallFaultsTest, NamesIgnoreCaseAndAMemberWithoutObjectMeansEveryObject) {
    ASSERT_TRUE(Arm(L"mailitem.SUBJECT", Failing(E_FAIL)));
    EXPECT_EQ(EnterMember(L"ReportItem", L"Subject"), S_OK);  // another object
    EXPECT_EQ(EnterMember(L"MailItem", L"Body"), S_OK);       // another member
    EXPECT_EQ(EnterMember(L"MailItem", L"Subject"), E_FAIL);

    ASSERT_TRUE(Arm(L"Subject", Failing(E_FAIL, 2)));
    EXPECT_EQ(EnterMember(L"ReportItem", L"Subject"), E_FAIL);
    EXPECT_EQ(EnterMember(L"MailItem", L"Subject"), E_FAIL);
    EXPECT_EQ(EnterMember(L"MailItem", L"Subject"), S_OK);
    // An entry point of a library is named like an object's member.
    ASSERT_TRUE(Arm(L"HrGetOneProp", Failing(E_FAIL)));
    EXPECT_EQ(EnterMember(L"mapi32", L"HrGetOneProp"), E_FAIL);
}

TEST(CallFaultsTest, ArmingsOfOneMemberActInTheOrderArmed) {
    ASSERT_TRUE(Arm(L"IMAPITable.QueryRows", Failing(E_FAIL)));
    ASSERT_TRUE(Arm(L"IMAPITable.QueryRows", Failing(E_ACCESSDENIED)));
    // The second counts the call the first takes as one it lets pass.
    ASSERT_TRUE(Arm(L"IMAPITable.QueryRows", Failing(E_OUTOFMEMORY, 1, 1)));
    EXPECT_EQ(Calls(L"IMAPITable", L"QueryRows", 4),
              (std::vector<HRESULT>{E_FAIL, E_ACCESSDENIED, E_OUTOFMEMORY, S_OK}));
}

TEST(CallFaultsTest, WhatCannotFailOrHappenIsNotArmed) {
    EXPECT_FALSE(Arm(L"", Failing(E_FAIL)));
    EXPECT_FALSE(Arm(L"MailItem.Subject", Failing(S_FALSE)));  // a success is no failure
    EXPECT_FALSE(Arm(L"MailItem.Subject", Failing(E_FAIL, 0)));
    EXPECT_TRUE(platform::calls::Armed().empty());
}

TEST(CallFaultsTest, AFaultIsAnAccessViolationOfTheCallItTakes) {
    Injection fault;
    fault.action = Action::Fault;
    fault.after = 1;
    ASSERT_TRUE(Arm(L"Application.Version", fault));
    EXPECT_FALSE(Faults([] { EnterMember(L"Application", L"Version"); }));
    EXPECT_TRUE(Faults([] { EnterMember(L"Application", L"Version"); }));
    EXPECT_FALSE(Faults([] { EnterMember(L"Application", L"Version"); }));
    EXPECT_EQ(Census().at(0).calls, 3u);
    // The registry is free again after the faulting call left it.
    ASSERT_TRUE(Arm(L"Application.Version", Failing(E_FAIL)));
    EXPECT_EQ(EnterMember(L"Application", L"Version"), E_FAIL);
}

TEST(CallFaultsTest, AFailingComMemberLeavesErrorInformationAndClearsItsOutputs) {
    ASSERT_TRUE(Arm(L"MailItem.Subject", Failing(E_ACCESSDENIED)));
    const IID iid{0x00063034, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const platform::calls::ComObject mailItem{L"MailItem", L"Microsoft Outlook", nullptr, &iid};
    BSTR text = reinterpret_cast<BSTR>(1);
    LONG number = 7;
    VARIANT value;
    V_VT(&value) = VT_I4;
    EXPECT_EQ(platform::calls::EnterComMember(mailItem, L"Subject", &text, &number, &value),
              E_ACCESSDENIED);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(V_VT(&value), VT_EMPTY);

    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR source = nullptr, description = nullptr;
    GUID guid{};
    info->GetSource(&source);
    info->GetDescription(&description);
    info->GetGUID(&guid);
    info->Release();
    EXPECT_STREQ(source, L"Microsoft Outlook");
    EXPECT_STREQ(description,
                 L"MailItem.Subject failed with 0x80070005: the call was made to fail.");
    EXPECT_TRUE(guid == iid);
    SysFreeString(source);
    SysFreeString(description);

    // A call that goes on sets none.
    EXPECT_EQ(platform::calls::EnterComMember(mailItem, L"Subject"), S_OK);
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
}

TEST(CallFaultsTest, TheWorldsOwnCallsAreNeitherCountedNorFailed) {
    ASSERT_TRUE(Arm(L"MAPIFolder.EntryID", Failing(E_FAIL)));
    {
        platform::calls::WorldsOwnCalls own;
        EXPECT_EQ(EnterMember(L"MAPIFolder", L"EntryID"), S_OK);
    }
    EXPECT_TRUE(Census().empty());
    EXPECT_EQ(EnterMember(L"MAPIFolder", L"EntryID"), E_FAIL);
}

TEST(CallFaultsTest, CallsFromManyThreadsAreEachCountedAndFailedOnce) {
    constexpr int kThreads = 4;
    constexpr int kCallsEach = 500;
    ASSERT_TRUE(Arm(L"Filter.Score", Failing(E_FAIL, 100, 50)));
    std::atomic<int> failed{0};
    std::vector<std::unique_ptr<TestThread>> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(std::make_unique<TestThread>([&] {
            for (int i = 0; i < kCallsEach; ++i) {
                if (FAILED(EnterMember(L"Filter", L"Score")))
                    ++failed;
                EnterMember(L"Filter", L"Vote");
            }
            return DWORD{0};
        }));
    }
    threads.clear();  // each waits for its thread
    EXPECT_EQ(failed.load(), 100);
    const auto census = Census();
    ASSERT_EQ(census.size(), 2u);
    EXPECT_EQ(census[0].calls, static_cast<std::uint64_t>(kThreads * kCallsEach));
    EXPECT_EQ(census[1].calls, static_cast<std::uint64_t>(kThreads * kCallsEach));
}

}  // namespace
