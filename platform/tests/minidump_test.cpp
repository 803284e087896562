// The crash dump of "dbghelp.dll", written from an exception filter as a
// crash-dump handler does.
#include <dbghelp.h>
#include <gtest/gtest.h>
#include <platform/seh.h>

#include <cinttypes>
#include <cstdio>
#include <string>

#include "temp_root.h"

namespace {

volatile ULONG_PTR unmappedAddress = 0x10;

__attribute__((noinline, no_sanitize("address"))) void ReadUnmapped() {
    volatile int value = *reinterpret_cast<volatile int*>(unmappedAddress);
    (void)value;
}

std::string ReadAll(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    return text;
}

TEST(MiniDump, AFilterWritesTheFaultItsThreadAndItsStack) {
    TempRoot root;
    const char* path = "C:\\OUTLOOK.EXE.1.dmp";
    PVOID faultAddress = nullptr;
    BOOL written = FALSE;
    platform::seh::Guarded(
        [&](EXCEPTION_POINTERS* pointers) {
            faultAddress = pointers->ExceptionRecord->ExceptionAddress;
            HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            MINIDUMP_EXCEPTION_INFORMATION info{GetCurrentThreadId(), pointers, FALSE};
            written = MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file,
                                        MiniDumpNormal, &info, nullptr, nullptr);
            CloseHandle(file);
            return LONG{EXCEPTION_EXECUTE_HANDLER};
        },
        [] { ReadUnmapped(); });
    ASSERT_TRUE(written);

    std::string dump = ReadAll(path);
    char expected[128];
    snprintf(expected, sizeof expected, "Thread: %" PRIu32 "\n", GetCurrentThreadId());
    EXPECT_NE(dump.find(expected), std::string::npos) << dump;
    EXPECT_NE(dump.find("Exception code: 0xC0000005\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Access violation: read of 0x0000000000000010\n"), std::string::npos)
        << dump;
    // The stack starts at the faulting instruction, not in the fault handler.
    snprintf(expected, sizeof expected, "Stack:\n  #0  0x%016" PRIxPTR " ",
             reinterpret_cast<uintptr_t>(faultAddress));
    EXPECT_NE(dump.find(expected), std::string::npos) << dump;
}

TEST(MiniDump, FailsWithTheWriteErrorOnABadFile) {
    SetLastError(0);
    EXPECT_FALSE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(),
                                   reinterpret_cast<HANDLE>(0x1234), MiniDumpNormal, nullptr,
                                   nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

}  // namespace
