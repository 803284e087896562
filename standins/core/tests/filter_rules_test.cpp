// The filter and the sender lists through the core's interfaces: one store
// shared by the objects, lists in the add-in's address-list text, scores
// against a threshold as the add-in compares them, and the header merge.
#include "core_test_support.h"
#include "call_fault_support.h"

#include <platform/filesystem.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using brevint_core::IFilter;
using brevint_core::ILibrary;
using brevint_core::IRulesSender;

std::wstring Message(const std::wstring& from, const std::wstring& subject,
                     const std::wstring& body) {
    return L"From: " + from + L"\r\nTo: me@home.example\r\nSubject: " + subject + L"\r\n\r\n" +
           body + L"\r\n";
}

std::filesystem::path StoreFolder() {
    wchar_t appData[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData),
              S_OK);
    return platform::host::HostPathFromWindows(std::wstring(appData) + L"\\Brevint\\Filter");
}

class FilterTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        Create(L"Brevint.Filter", m_filter);
        Create(L"Brevint.RulesSenderDenied", m_denied);
        Create(L"Brevint.RulesSenderAllowed", m_allowed);
    }
    long Score(const std::wstring& message) {
        LONG score = -1;
        EXPECT_EQ(m_filter->Score(Bstr(message), 1, &score), S_OK);
        return score;
    }
    // As the add-in asks: spam when the score reaches the threshold, both
    // taken as unsigned 32-bit numbers.
    bool IsSpam(const std::wstring& message, DWORD threshold) {
        return static_cast<DWORD>(Score(message)) >= threshold;
    }
    HRESULT Vote(const std::wstring& message, LONG vote, LONG* result) {
        return m_filter->Vote(Bstr(message), vote, result);
    }
    static short AddEmail(IRulesSender* rules, const std::wstring& name,
                          const std::wstring& address) {
        short added = -1;
        EXPECT_EQ(rules->AddEmail(Bstr(name), Bstr(address), Bstr(L""), &added), S_OK);
        return added;
    }
    static short AddDomain(IRulesSender* rules, const std::wstring& address) {
        short added = -1;
        EXPECT_EQ(rules->AddDomain(Bstr(address), Bstr(L""), &added), S_OK);
        return added;
    }
    static std::wstring Emails(IRulesSender* rules) {
        Bstr text;
        EXPECT_EQ(rules->GetEmails(text.Out()), S_OK);
        return text.Text();
    }
    static std::wstring Domains(IRulesSender* rules) {
        Bstr text;
        EXPECT_EQ(rules->GetDomains(text.Out()), S_OK);
        return text.Text();
    }
    std::wstring Merge(const std::wstring& message, const std::wstring& header) {
        Bstr merged;
        EXPECT_EQ(m_filter->MergeHeader(Bstr(message), Bstr(header), merged.Out()), S_OK);
        return merged.Text();
    }

    Ref<IFilter> m_filter;
    Ref<IRulesSender> m_denied;
    Ref<IRulesSender> m_allowed;
};

TEST_F(FilterTest, TheLibraryOpensTheStoreInTheApplicationDataFolder) {
    Ref<ILibrary> library;
    Create(L"Brevint.Library", library);
    short started = 0;
    ASSERT_EQ(library->Start(&started), S_OK);
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(std::filesystem::exists(StoreFolder() / "store.lock"));
    short stopped = 0;
    EXPECT_EQ(library->Stop(&stopped), S_OK);
}

TEST_F(FilterTest, AStoreThatCannotBeOpenedFailsTheStartAndTheCalls) {
    // A file where the store's folder belongs.
    std::filesystem::create_directories(StoreFolder().parent_path());
    std::ofstream(StoreFolder()) << "not a folder";
    Ref<ILibrary> library;
    Create(L"Brevint.Library", library);
    short started = 0;
    testing::internal::CaptureStderr();
    ASSERT_EQ(library->Start(&started), S_OK);
    EXPECT_LT(started, 0);
    LONG score = 0;
    EXPECT_TRUE(FAILED(m_filter->Score(Bstr(Message(L"a@b.example", L"x", L"y")), 1, &score)));
    short added = 0;
    EXPECT_TRUE(FAILED(m_denied->AddEmail(Bstr(L""), Bstr(L"a@b.example"), Bstr(L""), &added)));
    // Each call tried the store again; its reason is told once.
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("filter core: "), std::string::npos) << told;
    EXPECT_NE(told.find("cannot create the store folder"), std::string::npos) << told;
    EXPECT_EQ(told.find("filter core: ", told.find("filter core: ") + 1), std::string::npos)
        << told;
}

TEST_F(FilterTest, AJournalDamagedInItsMiddleIsRepairedAtStartAndTheCoreSaysSo) {
    Ref<ILibrary> library;
    Create(L"Brevint.Library", library);
    for (int i = 0; i < 3; ++i) {
        LONG result = -1;
        ASSERT_EQ(Vote(Message(L"deals" + std::to_wstring(i) + L"@offers.example", L"casino winner",
                               L"cheap pills and free money"),
                       100, &result),
                  S_OK);
    }
    short done = 0;
    ASSERT_EQ(library->Stop(&done), S_OK);
    // A bit flipped in the first vote's tokens; the two after it are whole.
    const std::filesystem::path journal = StoreFolder() / "tokens.journal";
    {
        std::fstream file(journal, std::ios::binary | std::ios::in | std::ios::out);
        const std::streamoff inFirstToken = 8 + 8 + 14 + 2;
        file.seekg(inFirstToken);
        const char byte = static_cast<char>(file.get() ^ 0x10);
        file.seekp(inFirstToken);
        file.put(byte);
    }
    testing::internal::CaptureStderr();
    ASSERT_EQ(library->Start(&done), S_OK);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(done, 1);
    EXPECT_NE(told.find("filter core: the vote journal was damaged: 1 record(s) skipped, 2 "
                        "recovered"),
              std::string::npos)
        << told;
    EXPECT_NE(told.find(journal.string() + ".damaged"), std::string::npos) << told;
    EXPECT_TRUE(std::filesystem::exists(journal.string() + ".damaged"));
}

TEST_F(FilterTest, AddingAnAddressAnswersOneOnlyWhenItWentIn) {
    EXPECT_EQ(AddEmail(m_denied.operator->(), L"Spam King", L"King@Spam.Example"), 1);
    EXPECT_EQ(AddEmail(m_denied.operator->(), L"Spam King", L"king@spam.example"), 0);
    EXPECT_EQ(AddEmail(m_denied.operator->(), L"", L" <second@spam.example> "), 1);
    EXPECT_EQ(AddEmail(m_denied.operator->(), L"x", L"/O=ORG/OU=SITE/CN=RECIPIENTS/CN=JOE"), 0);
    EXPECT_EQ(AddEmail(m_denied.operator->(), L"x", L""), 0);
    // A name with a tab in it still fits its line.
    EXPECT_EQ(AddEmail(m_allowed.operator->(), L"Ann\tFriend", L"ann@friends.example"), 1);

    // Address, TAB, name; entries separated by CR.
    EXPECT_EQ(Emails(m_denied.operator->()), L"king@spam.example\tSpam King\rsecond@spam.example");
    EXPECT_EQ(Emails(m_allowed.operator->()), L"ann@friends.example\tAnn Friend");
    EXPECT_EQ(Domains(m_allowed.operator->()), L"");
}

TEST_F(FilterTest, ADomainIsTakenFromAWholeAddressOrGivenBare) {
    EXPECT_EQ(AddDomain(m_allowed.operator->(), L"boss@Work.Example"), 1);
    EXPECT_EQ(AddDomain(m_allowed.operator->(), L"work.example"), 0);
    EXPECT_EQ(AddDomain(m_allowed.operator->(), L"partner.example"), 1);
    EXPECT_EQ(AddDomain(m_allowed.operator->(), L"nobody@"), 0);
    EXPECT_EQ(Domains(m_allowed.operator->()), L"work.example\rpartner.example");
    EXPECT_EQ(Domains(m_denied.operator->()), L"");
}

TEST_F(FilterTest, VotesTeachTheFilterAndTheListsDecideFirst) {
    for (int i = 0; i < 20; ++i) {
        LONG result = -1;
        ASSERT_EQ(Vote(Message(L"deals" + std::to_wstring(i) + L"@offers.example",
                               L"Cheap pills viagra casino winner " + std::to_wstring(i),
                               L"Click now for cheap pills, casino bonus, lottery winner, "
                               L"free money, viagra discount."),
                       100, &result),
                  S_OK);
        EXPECT_GE(result, 0);
        ASSERT_EQ(Vote(Message(L"colleague" + std::to_wstring(i) + L"@work.example",
                               L"Meeting notes for the project review " + std::to_wstring(i),
                               L"Attached are the minutes of the quarterly project review; "
                               L"please check the schedule and the budget figures."),
                       -100, &result),
                  S_OK);
        EXPECT_GE(result, 0);
    }
    const std::wstring spam = Message(L"new@offers.example", L"casino winner viagra",
                                      L"cheap pills and free money for the lottery winner");
    const std::wstring good = Message(L"boss@work.example", L"project review schedule",
                                      L"the minutes of the review and the budget figures");
    EXPECT_TRUE(IsSpam(spam, 90));
    EXPECT_FALSE(IsSpam(good, 90));
    EXPECT_TRUE(IsSpam(good, 0));  // a threshold of 0 takes everything

    // The white list outranks what was learned, the black list likewise.
    EXPECT_EQ(AddEmail(m_allowed.operator->(), L"", L"new@offers.example"), 1);
    EXPECT_EQ(Score(spam), 0);
    EXPECT_EQ(AddDomain(m_denied.operator->(), L"boss@work.example"), 1);
    EXPECT_EQ(Score(good), 100);
}

TEST_F(FilterTest, OnlyFullVotesAreAccepted) {
    LONG result = 5;
    EXPECT_EQ(Vote(Message(L"a@b.example", L"x", L"y"), 50, &result), E_INVALIDARG);
    EXPECT_EQ(Vote(Message(L"a@b.example", L"x", L"y"), 0, &result), E_INVALIDARG);
    EXPECT_LT(result, 0);
}

TEST_F(FilterTest, ListNamesAreKeptAsUtf8AndComeBackWhole) {
    EXPECT_EQ(AddEmail(m_denied.operator->(), L"Ren\u00E9 \u4E2D", L"rene@menu.example"), 1);
    EXPECT_EQ(Emails(m_denied.operator->()), L"rene@menu.example\tRen\u00E9 \u4E2D");
    std::ifstream file(StoreFolder() / "black-addresses.txt", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "rene@menu.example\tRen\xC3\xA9 \xE4\xB8\xAD\n");
}

TEST_F(FilterTest, OneObjectServesManyThreadsAtOnce) {
    // The add-in's scoring threads, its block worker and its user interface
    // call the same objects without marshalling.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                const std::wstring n = std::to_wstring(t * 100 + i);
                LONG value = -1;
                EXPECT_EQ(
                    m_filter->Score(Bstr(Message(L"s" + n + L"@x.example", L"hello " + n, L"text")),
                                    1, &value),
                    S_OK);
                EXPECT_EQ(
                    m_filter->Vote(Bstr(Message(L"v" + n + L"@x.example", L"offer " + n, L"buy")),
                                   t % 2 ? 100 : -100, &value),
                    S_OK);
                short added = 0;
                EXPECT_EQ(m_denied->AddEmail(Bstr(L""), Bstr(L"a" + n + L"@x.example"), Bstr(L""),
                                             &added),
                          S_OK);
                EXPECT_EQ(added, 1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    const std::wstring list = Emails(m_denied.operator->());
    EXPECT_EQ(std::count(list.begin(), list.end(), L'\r'), 39);  // 40 entries
}

TEST_F(FilterTest, MergeHeaderPutsTheTransportHeadersInPlaceOfTheHeaderBlock) {
    const std::wstring message =
        L"From: store@x\r\nSubject: rebuilt\r\n\r\nbody line\r\n\r\nmore\r\n";
    const std::wstring header = L"Received: from relay\r\nFrom: real@x\r\nSubject: real\r\n\r\n";
    const std::wstring expected =
        L"Received: from relay\r\nFrom: real@x\r\nSubject: real\r\n\r\nbody line\r\n\r\nmore\r\n";
    EXPECT_EQ(Merge(message, header), expected);
    // Without its final blank line, or with extra ones, the header merges alike.
    EXPECT_EQ(Merge(message, L"Received: from relay\r\nFrom: real@x\r\nSubject: real"), expected);
    EXPECT_EQ(Merge(message, L"Received: from relay\r\nFrom: real@x\r\nSubject: real\r\n\r\n\r\n"),
              expected);
    // An empty header changes nothing.
    EXPECT_EQ(Merge(message, L""), message);
    EXPECT_EQ(Merge(message, L"\r\n"), message);
    // A message without a body separator is all header.
    EXPECT_EQ(Merge(L"From: store@x\r\nSubject: none", L"From: real@x\r\n"),
              L"From: real@x\r\n\r\n");
    // LF texts: the body stays as it is, the separator follows the header.
    EXPECT_EQ(Merge(L"From: a\n\nbody\n", L"From: b\nTo: c\n"), L"From: b\nTo: c\n\nbody\n");
    EXPECT_EQ(Merge(L"From: a\n\nbody\n", L"From: b"), L"From: b\n\nbody\n");
    // Anything after the header's own blank line is no header.
    EXPECT_EQ(Merge(L"A: 1\r\n\r\nbody", L"B: 2\r\n\r\nstray body"), L"B: 2\r\n\r\nbody");
}

TEST_F(FilterTest, AMemberMadeToFailReportsTheCoresErrorInformation) {
    Ref<ILibrary> library;
    Create(L"Brevint.Library", library);
    short started = 0;
    ASSERT_EQ(library->Start(&started), S_OK);
    ArmFailure(L"Filter.Score", E_OUTOFMEMORY);
    LONG score = 55;
    const std::wstring message = Message(L"ann@example.com", L"Lunch", L"At noon?");
    EXPECT_EQ(m_filter->Score(Bstr(message), 1, &score), E_OUTOFMEMORY);
    EXPECT_EQ(score, 0);
    const _com_error error = RaisedFor(E_OUTOFMEMORY, m_filter.operator->(), __uuidof(IFilter));
    EXPECT_EQ(std::wstring(error.Source()), L"Brevint.Filter.1");
    EXPECT_EQ(std::wstring(error.Description()),
              L"Filter.Score failed with 0x8007000E: the call was made to fail.");
    EXPECT_TRUE(error.GUID() == __uuidof(IFilter));
    EXPECT_EQ(m_filter->Score(Bstr(message), 1, &score), S_OK);

    // The two lists are objects of their own.
    ArmFailure(L"RulesSenderDenied.AddEmail", E_FAIL);
    EXPECT_EQ(AddEmail(m_allowed.operator->(), L"Ann", L"ann@example.com"), 1);
    short added = -1;
    EXPECT_EQ(m_denied->AddEmail(Bstr(L"Bob"), Bstr(L"bob@example.com"), Bstr(L""), &added),
              E_FAIL);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(Emails(m_denied.operator->()), L"");

    EXPECT_EQ(CensusNames(), (std::vector<std::wstring>{
                                 L"Library.Start", L"Filter.Score", L"RulesSenderAllowed.AddEmail",
                                 L"RulesSenderDenied.AddEmail", L"RulesSenderDenied.GetEmails"}));
}

}  // namespace
