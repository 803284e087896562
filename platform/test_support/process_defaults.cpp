// Tests run one to a process under ctest, and one after another in a single
// process when a test binary is run by hand. So that a test finds the process
// as a fresh one shows it, whatever the test before it changed, the host's
// controls go back before each test to what they were when the program
// started: the real clock, the code pages, the processor count and time zone,
// the user's name, the process image, the main thread's locale, no call armed
// to fail and no calls counted. The root and the registry are a test's own
// through TempRoot.
#include <windows.h>

#include "platform/call_faults.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace host = platform::host;

class ProcessDefaults : public ::testing::EmptyTestEventListener {
    void OnTestProgramStart(const ::testing::UnitTest&) override {
        m_ansiCodePage = GetACP();
        m_oemCodePage = GetOEMCP();
        m_userName = host::UserName();
        m_processImage = host::ProcessImagePath();
        m_threadLocale = GetThreadLocale();
    }

    void OnTestStart(const ::testing::TestInfo&) override {
        host::AdvanceWhenAllWait(false);
        host::UseRealClock();
        host::SetTimeZoneOffset(0);  // as the platform starts
        host::SetProcessorCount(0);  // 0: the machine's own count
        host::SetAnsiCodePage(m_ansiCodePage);
        host::SetOemCodePage(m_oemCodePage);
        host::SetUserName(m_userName);
        host::SetProcessImagePath(m_processImage);
        SetThreadLocale(m_threadLocale);
        platform::calls::DisarmAll();
        platform::calls::ClearCensus();
    }

    UINT m_ansiCodePage = 0;
    UINT m_oemCodePage = 0;
    std::wstring m_userName;
    std::wstring m_processImage;
    LCID m_threadLocale = 0;
};

// The listeners own what is appended to them.
[[maybe_unused]] const bool kRegistered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ProcessDefaults);
    return true;
}();

}  // namespace
