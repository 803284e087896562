#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "temp_root.h"
#include "support/log_files.h"

#include <regex>
#include <sstream>
#include <thread>

namespace {

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
}

const char kBanner[] = "\r\n\r\n-----------------------LOGGING STARTED-----------------------\r\n";

}  // namespace

class LoggerTest : public ::testing::Test {
  protected:
    TempRoot m_root;
};

TEST_F(LoggerTest, WritesTheBannerAndEachKindOfLineWithCrLf) {
    MakeLogsFolder();
    CLogger logger;
    EXPECT_EQ(logger.Path(), LogPath());
    EXPECT_TRUE(logger.LogMessage("CConnect::OnConnectionImpl", L"started"));
    EXPECT_TRUE(logger.LogMessage("CConnect::OnConnectionImpl", L""));
    EXPECT_TRUE(logger.LogNumber("CConnect::OnConnectionImpl", L"Explorers number ", 2));
    EXPECT_TRUE(logger.LogNumber("Counter", L"big", 0xFFFFFFFFu));
    EXPECT_TRUE(logger.LogComError("CConnect::InitHandler", L"", L"", E_FAIL));
    EXPECT_TRUE(logger.LogComError("F", L"Outlook", L"No such folder", E_INVALIDARG));
    EXPECT_TRUE(logger.LogComError("", L"", L"only text", 5));
    EXPECT_TRUE(logger.LogStdException("CBrevintProxy::Login", "bad allocation"));
    EXPECT_TRUE(logger.LogStdException("OnNewMailNotif", ""));

    const std::string bytes = ReadBytes(LogPath());
    EXPECT_EQ(bytes.rfind(kBanner, 0), 0u) << bytes;
    EXPECT_EQ(Bodies(bytes), (std::vector<std::string>{
                                 "CConnect::OnConnectionImpl - started",
                                 "CConnect::OnConnectionImpl - Error",
                                 "CConnect::OnConnectionImpl - Explorers number : 2",
                                 "Counter - big: 4294967295",
                                 "COMEX: CConnect::InitHandler -- hr=-2147467259",
                                 "COMEX: F -- Outlook -- No such folder -- hr=-2147024809",
                                 "COMEX:  -- only text -- hr=5",
                                 "STDEX: CBrevintProxy::Login -- bad allocation",
                                 "STDEX: OnNewMailNotif",
                             }));
    for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1)) {
        ASSERT_EQ(bytes[at - 1], '\r') << "a bare line feed at " << at;
    }
}

// An exception's message that is no text in the thread's code page (cut
// inside a character, or in another page) still gives its line, with the
// bytes as they came.
TEST_F(LoggerTest, AnExceptionTextThatIsNoTextInTheCodePageIsWrittenAsItsBytes) {
    MakeLogsFolder();
    CLogger logger;
    ASSERT_TRUE(platform::host::SetAnsiCodePage(932));
    EXPECT_TRUE(logger.LogStdException("CConnect::ProcessNewMail", "cut \x82"));
    ASSERT_TRUE(platform::host::SetAnsiCodePage(65001));
    EXPECT_TRUE(logger.LogStdException("CConnect::ProcessNewMail", "caf\xe9 \xff"));
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{"STDEX: CConnect::ProcessNewMail -- cut \x82",
                                        "STDEX: CConnect::ProcessNewMail -- caf\xe9 \xff"}));
}

// A message's text cannot break the log's lines: a subject with CR LF must
// not write a forged line of its own, and a NUL must not cut the line short.
TEST_F(LoggerTest, ControlCharactersAreWrittenByNameSoEachLineStaysOne) {
    MakeLogsFolder();
    CLogger logger;
    const wchar_t subject[] =
        L"Agenda\r\n2026\\12\\5 9:0:0 Forged - line\0rest\x1b[31m\x7f\x01\tend";
    EXPECT_TRUE(logger.LogMessage("CConnect::ProcessNewMail",
                                  std::wstring(subject, std::size(subject) - 1)));
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{"CConnect::ProcessNewMail - Agenda<CR><LF>2026\\12\\5 "
                                        "9:0:0 Forged - line<NUL>rest<ESC>[31m<DEL><0x01>\tend"}));
}

TEST_F(LoggerTest, TheTimeStampIsLocalTimeWithoutPadding) {
    MakeLogsFolder();
    SYSTEMTIME start{};
    start.wYear = 2007;
    start.wMonth = 3;
    start.wDay = 4;
    start.wHour = 8;
    start.wMinute = 5;
    start.wSecond = 3;
    start.wMilliseconds = 999;
    platform::host::UseVirtualClock(start);
    platform::host::SetTimeZoneOffset(60);  // local time is an hour ahead of UTC
    CLogger logger;
    logger.LogMessage("F", L"first");
    platform::host::AdvanceClock(2 * 86400 * 1000 + 3600 * 1000);
    logger.LogMessage("F", L"later");

    const std::string bytes = ReadBytes(LogPath());
    EXPECT_NE(bytes.find("\r\n2007\\3\\4 9:5:3 F - first\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\r\n2007\\3\\6 10:5:3 F - later\r\n"), std::string::npos) << bytes;
}

TEST_F(LoggerTest, WithoutTheLogsFolderNothingIsWrittenAndNothingFails) {
    CLogger logger;
    EXPECT_FALSE(logger.LogMessage("F", L"lost"));
    EXPECT_FALSE(logger.LogNumber("F", L"n", 1));
    EXPECT_EQ(GetFileAttributesW(LogsFolder().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LoggerTest, ALogOfTheLimitIsKeptAndOneByteMoreStartsEmpty) {
    MakeLogsFolder();
    const std::string atLimit(2097152, 'k');
    WriteBytes(LogPath(), atLimit);
    { CLogger logger; }
    EXPECT_EQ(ReadBytes(LogPath()), atLimit + kBanner);

    WriteBytes(LogPath(), atLimit + "x");
    { CLogger logger; }
    EXPECT_EQ(ReadBytes(LogPath()), kBanner);
}

TEST_F(LoggerTest, ADeletedLogIsCreatedAgainByTheNextLine) {
    MakeLogsFolder();
    CLogger logger;
    ASSERT_TRUE(DeleteFileW(LogPath().c_str()));
    EXPECT_TRUE(logger.LogMessage("F", L"again"));
    EXPECT_EQ(Bodies(ReadBytes(LogPath())), std::vector<std::string>{"F - again"});
}

TEST_F(LoggerTest, CharactersBeyondTheNarrowSetAreWrittenAsQuestionMarks) {
    MakeLogsFolder();
    CLogger logger;
    EXPECT_TRUE(logger.LogMessage("F", L"caf\x00e9 \x041f"));
    EXPECT_EQ(Bodies(ReadBytes(LogPath())), std::vector<std::string>{"F - caf\xe9 ?"});
}

TEST_F(LoggerTest, TraceScopesWriteEnterAndExitAlsoWhenAnExceptionPasses) {
    MakeLogsFolder();
    try {
        CTraceScope scope("CConnect::Relogin");
        { CTraceScope unnamed(""); }
        throw std::runtime_error("leaves the operation");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Bodies(ReadBytes(CLogger::GetInstance().Path())),
              (std::vector<std::string>{"----> CConnect::Relogin - Enter",
                                        "<---- CConnect::Relogin - Exit"}));
}

TEST_F(LoggerTest, LinesOfConcurrentThreadsNeverMix) {
    MakeLogsFolder();
    CLogger logger;
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&logger, t] {
            const std::wstring payload(50 + t * 40, static_cast<wchar_t>(L'a' + t));
            for (int i = 0; i < kLines; ++i)
                logger.LogNumber("Worker", payload, i);
        });
    }
    for (auto& thread : threads)
        thread.join();

    const auto bodies = Bodies(ReadBytes(LogPath()));
    ASSERT_EQ(bodies.size(), static_cast<size_t>(kThreads * kLines));
    static const std::regex whole(R"(^Worker - (a{50}|b{90}|c{130}|d{170}): \d+$)");
    for (const auto& body : bodies)
        ASSERT_TRUE(std::regex_match(body, whole)) << body;
}
