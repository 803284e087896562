// The crash-dump handler and the entry guard: a fault inside a guarded entry
// leaves one readable dump named after the host process and still reaches
// the host.
#include <gtest/gtest.h>
#include <platform/clock.h>
#include <platform/filesystem.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "addin/crash/entry_guard.h"
#include "addin/crash/minidump_handler.h"
#include "temp_root.h"

namespace {

volatile ULONG_PTR unmappedAddress = 0x20;

__attribute__((noinline, no_sanitize("address"))) void WriteUnmapped() {
    *reinterpret_cast<volatile int*>(unmappedAddress) = 1;
}

LONG WINAPI HostFilter(EXCEPTION_POINTERS*) {
    return EXCEPTION_CONTINUE_SEARCH;
}

class CrashDumpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // 2026-12-05 12:00:00 UTC is 1796472000 seconds after 1970.
        platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
        std::filesystem::create_directories(m_root.path() / "drive_c" / "Dumps");
    }

    void LayDownDbghelp() {
        auto system = platform::host::HostPathFromWindows(L"C:\\Windows\\system32");
        std::filesystem::create_directories(system);
        std::filesystem::copy_file(BV_DBGHELP_FILE, system / "dbghelp.dll");
    }

    std::filesystem::path DumpFile() const {
        return m_root.path() / "drive_c" / "Dumps" / "OUTLOOK.EXE.1796472000.dmp";
    }

    TempRoot m_root;
};

TEST_F(CrashDumpTest, WithoutTheDebuggingLibraryAttachFailsAndChangesNothing) {
    SetUnhandledExceptionFilter(&HostFilter);
    EXPECT_FALSE(CMiniDumpHandler::Attach("C:\\Dumps\\OUTLOOK.EXE", MiniDumpNormal));
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), &HostFilter);
    // With no dump function the filter only lets the search go on.
    EXPECT_EQ(CMiniDumpHandler::Filter(nullptr), EXCEPTION_CONTINUE_SEARCH);
}

TEST_F(CrashDumpTest, DetachPutsTheHostsFilterBack) {
    LayDownDbghelp();
    SetUnhandledExceptionFilter(&HostFilter);
    ASSERT_TRUE(CMiniDumpHandler::Attach("C:\\Dumps\\OUTLOOK.EXE", MiniDumpNormal));
    EXPECT_EQ(SetUnhandledExceptionFilter(&CMiniDumpHandler::Filter), &CMiniDumpHandler::Filter);
    CMiniDumpHandler::Detach();
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), &HostFilter);
}

TEST_F(CrashDumpTest, AFaultInAGuardedEntryWritesOneDumpAndReachesTheHost) {
    GTEST_FLAG_SET(death_test_style, "fast");
    // The host's own handling of the fault: the default, which ends the
    // process by the signal. Set before the handler takes the signal over.
    signal(SIGSEGV, SIG_DFL);
    LayDownDbghelp();
    ASSERT_TRUE(CMiniDumpHandler::Attach("C:\\Dumps\\OUTLOOK.EXE", MiniDumpNormal));
    EXPECT_EXIT(GuardedEntry([] { WriteUnmapped(); }), ::testing::KilledBySignal(SIGSEGV), "");

    std::ifstream dump(DumpFile());
    ASSERT_TRUE(dump) << DumpFile();
    std::stringstream text;
    text << dump.rdbuf();
    EXPECT_NE(text.str().find("Exception code: 0xC0000005\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("Access violation: read of 0x0000000000000020\n"), std::string::npos);
    // Only the one dump: the guard's filter and the unhandled filter write the
    // same file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(DumpFile().parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(CrashDumpTest, AGuardedEntryReturnsWhatItsBodyReturns) {
    EXPECT_EQ(GuardedEntry([] { return HRESULT{E_ABORT}; }), E_ABORT);
    int calls = 0;
    GuardedEntry([&] { ++calls; });
    EXPECT_EQ(calls, 1);
}

}  // namespace
