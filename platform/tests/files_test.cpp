#include <windows.h>
#include <shlobj.h>
#include <share.h>

#include "../src/fs/module_names.h"
#include "platform/filesystem.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
  protected:
    // The host path of a name under drive C:, spelled as it is on disk.
    fs::path Host(const std::string& relative) const { return root.path() / "drive_c" / relative; }

    void WriteHostFile(const std::string& relative, const std::string& bytes) const {
        fs::create_directories(Host(relative).parent_path());
        std::ofstream(Host(relative), std::ios::binary) << bytes;
    }

    std::string ReadHostFile(const std::string& relative) const {
        std::ifstream in(Host(relative), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    // A host file of the given size without writing its bytes.
    void SizeHostFile(const std::string& relative, off_t size) const {
        WriteHostFile(relative, "");
        ASSERT_EQ(::truncate(Host(relative).c_str(), size), 0);
    }

    TempRoot root;
};

HANDLE Open(const wchar_t* name, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD Error() {
    return GetLastError();
}

std::string ReadAll(HANDLE file) {
    char buffer[256];
    DWORD got = 0;
    std::string all;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        all.append(buffer, got);
    return all;
}

}  // namespace

TEST_F(Files, FindsAnExistingMixedCaseTreeInAnyCaseAndSpelling) {
    WriteHostFile("Program Files/Brevint/Languages/English.ini", "[Labels]");
    HANDLE file = Open(L"c:/PROGRAM FILES\\brevint\\.\\x\\..\\LANGUAGES\\english.INI", GENERIC_READ,
                       FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "[Labels]");
    CloseHandle(file);
    // Relative and root-relative names resolve against C:\, a trailing dot is dropped.
    EXPECT_EQ(GetFileAttributesW(L"program files\\BREVINT"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(L"\\Program Files\\Brevint\\Languages\\ENGLISH.ini."),
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(Files, NewEntriesKeepTheCallersCaseUnderExistingFolders) {
    fs::create_directories(Host("Users/Alice"));
    ASSERT_TRUE(CreateDirectoryW(L"C:\\USERS\\alice\\AppData", nullptr));
    HANDLE file = Open(L"C:\\users\\ALICE\\appdata\\Über.LOG", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(
        fs::is_regular_file(Host("Users/Alice/AppData/\xC3\x9C"
                                 "ber.LOG")));
    // Non-ASCII letters match ignoring case too.
    EXPECT_NE(GetFileAttributesW(L"C:\\Users\\Alice\\AppData\\üBER.log"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Files, HostPathsMapBothWays) {
    fs::create_directories(Host("Program Files"));
    EXPECT_EQ(platform::host::HostPathFromWindows(L"c:\\program files\\Brevint\\BVOL0000.dll"),
              Host("Program Files/Brevint/BVOL0000.dll"));
    EXPECT_EQ(platform::host::HostPathFromWindows(L"d:\\Data"), root.path() / "drive_d" / "Data");
    EXPECT_EQ(platform::host::HostPathFromWindows(L"D:rel/x"),
              root.path() / "drive_d" / "rel" / "x");
    // ".." never leaves the drive.
    EXPECT_EQ(platform::host::HostPathFromWindows(L"C:\\..\\..\\x"), Host("x"));
    EXPECT_EQ(platform::host::WindowsPathFromHost(Host("Program Files/Brevint")),
              L"C:\\Program Files\\Brevint");
    EXPECT_EQ(platform::host::WindowsPathFromHost(root.path() / "drive_c"), L"C:\\");
    EXPECT_THROW(platform::host::WindowsPathFromHost("/elsewhere"), std::invalid_argument);
    EXPECT_THROW(platform::host::HostPathFromWindows(L"C:\\a|b"), std::invalid_argument);
}

TEST_F(Files, UnusableNamesFailWithWindowsErrors) {
    struct Case {
        std::wstring name;
        DWORD error;
    };
    const Case cases[] = {
        {L"C:\\what?.txt", ERROR_INVALID_NAME},
        {L"C:\\a\\b:stream", ERROR_INVALID_NAME},
        {L"\\\\server\\share\\x.txt", ERROR_BAD_NETPATH},
        {L"Q:\\x.txt", ERROR_PATH_NOT_FOUND},  // a drive that is not there
        {L"", ERROR_PATH_NOT_FOUND},
        {L"C:\\" + std::wstring(200, L'a') + L"\\" + std::wstring(56, L'b'),
         ERROR_PATH_NOT_FOUND},                                   // 260 characters
        {L"C:\\" + std::wstring(256, L'a'), ERROR_INVALID_NAME},  // a name of 256
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Open(c.name.c_str(), GENERIC_READ, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
        EXPECT_EQ(Error(), c.error) << c.name.size();
    }
}

TEST_F(Files, PathLengthLimitsOfFilesFoldersAndTheLongForm) {
    std::wstring parent = L"C:\\" + std::wstring(128, L'p');
    ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr));
    std::wstring longest = parent + L"\\" + std::wstring(127, L'f');  // 259 characters
    HANDLE file = Open(longest.c_str(), GENERIC_WRITE, 0, CREATE_NEW);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(GetFileAttributesW((longest + L"g").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    std::wstring folder = L"C:\\" + std::wstring(244, L'd');  // 247 characters
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    folder += L'd';
    EXPECT_FALSE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

    // "\\?\" lifts the limit.
    std::wstring deep = L"\\\\?\\C:\\" + std::wstring(200, L'x');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    deep += L"\\" + std::wstring(200, L'y');
    file = Open(deep.c_str(), GENERIC_WRITE, 0, CREATE_NEW);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

TEST_F(Files, CreationDispositionsGiveWindowsResultsAndLastErrors) {
    struct Case {
        DWORD disposition;
        bool exists;
        DWORD error;  // last error after the call
        bool opened;
        const char* content;  // the file's bytes afterwards, or null for no file
    };
    const Case cases[] = {
        {CREATE_NEW, true, ERROR_FILE_EXISTS, false, "hello"},
        {CREATE_NEW, false, ERROR_SUCCESS, true, ""},
        {CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, true, ""},
        {CREATE_ALWAYS, false, ERROR_SUCCESS, true, ""},
        {OPEN_EXISTING, true, ERROR_SUCCESS, true, "hello"},
        {OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, false, nullptr},
        {OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, true, "hello"},
        {OPEN_ALWAYS, false, ERROR_SUCCESS, true, ""},
        {TRUNCATE_EXISTING, true, ERROR_SUCCESS, true, ""},
        {TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "disposition " << c.disposition << " exists " << c.exists);
        fs::remove(Host("f.txt"));
        if (c.exists)
            WriteHostFile("f.txt", "hello");
        SetLastError(12345);
        HANDLE file = Open(L"C:\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        EXPECT_EQ(Error(), c.error);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opened);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        EXPECT_EQ(fs::exists(Host("f.txt")), c.content != nullptr);
        if (c.content) {
            EXPECT_EQ(ReadHostFile("f.txt"), c.content);
        }
    }
    for (DWORD disposition = CREATE_NEW; disposition <= TRUNCATE_EXISTING; ++disposition) {
        EXPECT_EQ(Open(L"C:\\missing\\f.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    }
}

TEST_F(Files, FoldersAndOddRequestsAreRefused) {
    fs::create_directories(Host("Folder"));
    WriteHostFile("file.txt", "data");
    EXPECT_EQ(Open(L"C:\\folder", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open(L"C:\\file.txt\\", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(Open(L"C:\\file.txt\\x", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(L"C:\\file.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ReadHostFile("file.txt"), "data");
    // Read access with CREATE_ALWAYS still truncates: the log starts afresh that way.
    HANDLE file = Open(L"C:\\file.txt", GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(ReadHostFile("file.txt"), "");
}

TEST_F(Files, ReadOnlyFilesAreNotWrittenTruncatedOrDeleted) {
    WriteHostFile("readonly.txt", "keep");
    fs::permissions(Host("readonly.txt"), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(GetFileAttributesW(L"C:\\readonly.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS}) {
        EXPECT_EQ(Open(L"C:\\readonly.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(Open(L"C:\\readonly.txt", GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(L"C:\\readonly.txt"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE reader = Open(L"C:\\readonly.txt", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(reader), "keep");
    CloseHandle(reader);
}

TEST_F(Files, SharingIsEnforcedInBothDirections) {
    WriteHostFile("shared.txt", "x");
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, RW = R | W;
    const DWORD sR = FILE_SHARE_READ, sW = FILE_SHARE_WRITE, sRW = sR | sW;
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    };
    const Case cases[] = {
        {R, sR, R, sR, true},   {R, sR, W, sRW, false},  // the new access is not shared
        {W, sRW, R, sR, false},  // the new open does not share the held write access
        {R, sRW, W, sRW, true}, {RW, sRW, RW, sRW, true},
        {R, 0, R, sRW, false},  {0, 0, RW, 0, true},  // no data access: no part in sharing
        {RW, 0, 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << &c - cases);
        HANDLE first = Open(L"C:\\shared.txt", c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(L"C:\\SHARED.txt", c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        } else {
            CloseHandle(second);
        }
        CloseHandle(first);
    }
    // Closing the last conflicting handle lets the open through.
    HANDLE exclusive = Open(L"C:\\shared.txt", R, 0, OPEN_EXISTING);
    EXPECT_EQ(Open(L"C:\\shared.txt", R, sRW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
    HANDLE after = Open(L"C:\\shared.txt", R, sRW, OPEN_EXISTING);
    EXPECT_NE(after, INVALID_HANDLE_VALUE);
    CloseHandle(after);
}

TEST_F(Files, StreamsShareWithHandlesByTheirSharingFlag) {
    WriteHostFile("log.txt", "");
    FILE* denyWrite = _wfsopen(L"C:\\log.txt", L"r", _SH_DENYWR);
    ASSERT_NE(denyWrite, nullptr);
    EXPECT_EQ(
        Open(L"C:\\log.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    fclose(denyWrite);

    HANDLE reader = Open(L"C:\\log.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    errno = 0;
    EXPECT_EQ(_wfsopen(L"C:\\log.txt", L"a", _SH_DENYNO), nullptr);
    EXPECT_EQ(errno, EACCES);
    CloseHandle(reader);
    reader = Open(L"C:\\log.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    FILE* appender = _wfsopen(L"C:\\log.txt", L"a", _SH_DENYNO);
    EXPECT_NE(appender, nullptr);
    // The stream shares no delete access, so the file cannot be deleted under it.
    EXPECT_FALSE(DeleteFileW(L"C:\\log.txt"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    fclose(appender);
    CloseHandle(reader);
}

TEST_F(Files, DeletingAnOpenFileWaitsForItsLastHandle) {
    WriteHostFile("a.txt", "a");
    EXPECT_FALSE(DeleteFileW(L"C:\\missing.txt"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(L"C:\\missing\\a.txt"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    HANDLE file =
        Open(L"C:\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    ASSERT_TRUE(DeleteFileW(L"C:\\A.TXT"));
    EXPECT_TRUE(fs::exists(Host("a.txt")));
    EXPECT_EQ(Open(L"C:\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileAttributesW(L"C:\\a.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(file);
    EXPECT_FALSE(fs::exists(Host("a.txt")));

    WriteHostFile("b.txt", "b");
    file = Open(L"C:\\b.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(DeleteFileW(L"C:\\b.txt"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(file);
    EXPECT_TRUE(DeleteFileW(L"C:\\b.txt"));
    EXPECT_FALSE(fs::exists(Host("b.txt")));
}

TEST_F(Files, FoldersAreCreatedRemovedAndReported) {
    EXPECT_TRUE(CreateDirectoryW(L"C:\\Brevint", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L"c:\\BREVINT\\", nullptr));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\none\\Logs", nullptr));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    WriteHostFile("Brevint/x.log", "x");

    EXPECT_EQ(GetFileAttributesW(L"C:\\brevint"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(L"C:\\brevint\\X.LOG"),
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesW(L"C:\\brevint\\y.log"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(L"C:\\none\\y.log"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_FALSE(RemoveDirectoryW(L"C:\\Brevint"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(RemoveDirectoryW(L"C:\\Brevint\\x.log"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(DeleteFileW(L"C:\\Brevint"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(DeleteFileW(L"C:\\Brevint\\x.log"));
    EXPECT_TRUE(RemoveDirectoryW(L"C:\\BREVINT"));
    EXPECT_FALSE(RemoveDirectoryW(L"C:\\Brevint"));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, ReadsAndWritesNeedTheirAccessAndKeepAPositionPerHandle) {
    HANDLE writer = Open(L"C:\\data.bin", GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(writer, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    char byte;
    EXPECT_FALSE(ReadFile(writer, &byte, 1, &done, nullptr));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    HANDLE reader =
        Open(L"C:\\data.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(FlushFileBuffers(reader));
    EXPECT_TRUE(FlushFileBuffers(writer));

    EXPECT_EQ(SetFilePointer(reader, -3, nullptr, FILE_END), 7u);
    EXPECT_EQ(ReadAll(reader), "789");
    EXPECT_TRUE(ReadFile(reader, &byte, 1, &done, nullptr));  // the end is no error
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(SetFilePointer(reader, 2, nullptr, FILE_BEGIN), 2u);
    EXPECT_EQ(SetFilePointer(reader, 3, nullptr, FILE_CURRENT), 5u);
    EXPECT_EQ(ReadAll(reader), "56789");
    EXPECT_EQ(SetFilePointer(reader, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    CloseHandle(reader);
    CloseHandle(writer);

    EXPECT_FALSE(ReadFile(writer, &byte, 1, &done, nullptr));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Files, FileSizesAroundTheLogLimitAndBeyondFourGigabytes) {
    struct Case {
        off_t size;
        DWORD low, high;
    };
    const Case cases[] = {
        {0x200000, 0x200000, 0},
        {0x200001, 0x200001, 0},
        {0x100000005LL, 5, 1},
        {0x1FFFFFFFFLL, 0xFFFFFFFF, 1},  // the low part alone looks like a failure
    };
    for (const auto& c : cases) {
        SizeHostFile("big.bin", c.size);
        HANDLE file = Open(L"C:\\big.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD high = 99;
        SetLastError(ERROR_GEN_FAILURE);
        EXPECT_EQ(GetFileSize(file, &high), c.low);
        EXPECT_EQ(high, c.high);
        EXPECT_EQ(Error(), c.low == INVALID_FILE_SIZE ? NO_ERROR : ERROR_GEN_FAILURE);
        LARGE_INTEGER size{};
        EXPECT_TRUE(GetFileSizeEx(file, &size));
        EXPECT_EQ(size.QuadPart, c.size);
        CloseHandle(file);
    }
    HANDLE file = Open(L"C:\\big.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(file, 2, &high, FILE_BEGIN), 2u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(file);
    EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Files, TextStreamsWriteCarriageReturnsAndBinaryStreamsDoNot) {
    FILE* text = _wfsopen(L"C:\\text.log", L"w", _SH_DENYNO);
    ASSERT_NE(text, nullptr);
    // Narrow and wide output mix on one stream; wide text goes out as C-locale bytes.
    fputs("one\ntwo\n", text);
    EXPECT_EQ(fwprintf(text, L"%ls %d\n", L"thr\u00e9e", 3), 8);
    EXPECT_EQ(fputws(L"\u0416", text), WEOF);  // no single byte for it
    EXPECT_EQ(fputwc(L'!', text), static_cast<wint_t>(L'!'));
    fclose(text);
    EXPECT_EQ(ReadHostFile("text.log"),
              "one\r\ntwo\r\nthr\xE9"
              "e 3\r\n!");

    FILE* binary = _wfsopen(L"C:\\binary.log", L"wb", _SH_DENYNO);
    fputs("one\ntwo\n", binary);
    fclose(binary);
    EXPECT_EQ(ReadHostFile("binary.log"), "one\ntwo\n");

    // CR LF reads back as LF, also when the pair straddles the stream's buffer;
    // a lone CR stays.
    WriteHostFile("read.log", std::string(8191, 'x') + "\r\ny\rz\r\n");
    FILE* in = _wfsopen(L"C:\\READ.LOG", L"rt", _SH_DENYWR);
    ASSERT_NE(in, nullptr);
    std::string content;
    for (int c; (c = fgetc(in)) != EOF;)
        content += static_cast<char>(c);
    fclose(in);
    EXPECT_EQ(content, std::string(8191, 'x') + "\ny\rz\n");
}

TEST_F(Files, StreamModesOpenCreateTruncateAndAppend) {
    errno = 0;
    EXPECT_EQ(_wfsopen(L"C:\\none.log", L"r", _SH_DENYNO), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(_wfsopen(L"C:\\x.log", L"q", _SH_DENYNO), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(_wfsopen(L"C:\\x.log", L"a", 0x55), nullptr);
    EXPECT_EQ(errno, EINVAL);

    WriteHostFile("x.log", "old\r\n");
    FILE* append = _wfsopen(L"C:\\x.log", L"a+", _SH_DENYNO);
    ASSERT_NE(append, nullptr);
    fseek(append, 0, SEEK_SET);  // appending ignores the position
    fputs("new\n", append);
    fflush(append);
    fseek(append, 0, SEEK_SET);
    char line[16] = {};
    EXPECT_STREQ(fgets(line, sizeof line, append), "old\n");
    fclose(append);
    EXPECT_EQ(ReadHostFile("x.log"), "old\r\nnew\r\n");

    FILE* created = _wfsopen(L"C:\\fresh.log", L"a", _SH_DENYNO);
    ASSERT_NE(created, nullptr);
    fclose(created);
    EXPECT_TRUE(fs::exists(Host("fresh.log")));

    FILE* truncating = _wfsopen(L"C:\\x.log", L"w+", _SH_DENYRW);
    ASSERT_NE(truncating, nullptr);
    fclose(truncating);
    EXPECT_EQ(ReadHostFile("x.log"), "");
}

TEST_F(Files, ConcurrentAppendersNeverMixALine) {
    constexpr int kThreads = 6;
    constexpr int kLines = 300;
    auto body = [](int thread, int line) {
        return std::string(100 + (thread * 131 + line * 17) % 1500,
                           static_cast<char>('a' + thread));
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &body] {
            for (int i = 0; i < kLines; ++i) {
                // As the log does it: one open, append, flush and close per line.
                FILE* log = _wfsopen(L"C:\\Concurrent.log", L"a", _SH_DENYNO);
                if (!log)
                    continue;  // counted as a missing line below
                std::string text = body(t, i);
                if (t % 2) {
                    fwprintf(log, L"%d %d ", t, i);
                    fputws(std::wstring(text.begin(), text.end()).c_str(), log);
                    fputwc(L'\n', log);
                } else {
                    fprintf(log, "%d %d %s\n", t, i, text.c_str());
                }
                fflush(log);
                fclose(log);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::istringstream content(ReadHostFile("Concurrent.log"));
    std::vector<std::vector<bool>> seen(kThreads, std::vector<bool>(kLines, false));
    int lines = 0;
    for (std::string line; std::getline(content, line); ++lines) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << "line " << lines;
        std::istringstream fields(line.substr(0, line.size() - 1));
        int t = -1, i = -1;
        std::string text;
        fields >> t >> i >> text;
        ASSERT_TRUE(t >= 0 && t < kThreads && i >= 0 && i < kLines) << "line " << lines;
        ASSERT_EQ(text, body(t, i)) << "line " << lines;
        seen[t][i] = true;
    }
    EXPECT_EQ(lines, kThreads * kLines);
    for (const auto& thread : seen)
        EXPECT_EQ(std::count(thread.begin(), thread.end(), true), kLines);
}

TEST_F(Files, AFreshRootHasTheFoldersOfANewWindowsUser) {
    wchar_t path[MAX_PATH] = L"junk";
    const std::pair<int, const wchar_t*> folders[] = {
        {CSIDL_APPDATA, L"C:\\Users\\User\\AppData\\Roaming"},
        {CSIDL_LOCAL_APPDATA, L"C:\\Users\\User\\AppData\\Local"},
        {CSIDL_PERSONAL, L"C:\\Users\\User\\Documents"},
        {CSIDL_DESKTOP, L"C:\\Users\\User\\Desktop"},
        {CSIDL_PROGRAMS,
         L"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
        {CSIDL_COMMON_APPDATA, L"C:\\ProgramData"},
        {CSIDL_PROGRAM_FILES, L"C:\\Program Files"},
        {CSIDL_SYSTEM, L"C:\\Windows\\system32"}};
    for (const auto& [csidl, expected] : folders) {
        EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK)
            << csidl;
        EXPECT_STREQ(path, expected);
    }
    EXPECT_TRUE(fs::is_directory(Host("Users/User/AppData/Local")));
}

TEST_F(Files, AMissingSpecialFolderFailsUnlessCreatedOnRequest) {
    wchar_t path[MAX_PATH] = L"junk";
    // Laid down once: a folder the user removed stays removed.
    ASSERT_EQ(GetFileAttributesW(L"C:\\Users\\User\\AppData"), FILE_ATTRIBUTE_DIRECTORY);
    fs::remove_all(Host("Users/User/AppData"));
    HRESULT missing = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    EXPECT_EQ(missing, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_STREQ(path, L"");
    fs::create_directories(Host("Users/User/AppData"));
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, path),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE));

    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              S_OK);
    EXPECT_STREQ(path, L"C:\\Users\\User\\AppData\\Roaming");
    EXPECT_TRUE(fs::is_directory(Host("Users/User/AppData/Roaming")));
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_STREQ(path, L"C:\\Users\\User\\AppData\\Roaming");

    // Another user is set up at the next use of the drive.
    platform::host::SetUserName(L"alice");
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE));
    EXPECT_STREQ(path, L"C:\\Users\\alice\\AppData\\Local");
    EXPECT_TRUE(fs::is_directory(Host("Users/alice/AppData/Local")));
    fs::remove_all(Host("Users/alice/AppData/Roaming"));
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_DONT_VERIFY, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              S_OK);
    EXPECT_STREQ(path, L"C:\\Users\\alice\\AppData\\Roaming");

    EXPECT_EQ(SHGetFolderPathW(nullptr, 0x7F, nullptr, SHGFP_TYPE_CURRENT, path), E_INVALIDARG);
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 7, path), E_INVALIDARG);
}

TEST_F(Files, SystemDirectoryFollowsTheShortBufferRules) {
    const std::string expected = "C:\\Windows\\system32";
    const UINT length = static_cast<UINT>(expected.size());
    char narrow[32];
    std::fill(std::begin(narrow), std::end(narrow), '#');
    EXPECT_EQ(GetSystemDirectoryA(narrow, length), length + 1);  // no room for the null
    EXPECT_EQ(narrow[0], '#');
    EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), length + 1);
    EXPECT_EQ(GetSystemDirectoryA(narrow, length + 1), length);
    EXPECT_EQ(std::string(narrow), expected);

    wchar_t wide[32];
    EXPECT_EQ(GetSystemDirectoryW(wide, 32), length);
    EXPECT_STREQ(wide, L"C:\\Windows\\system32");
    wchar_t system[MAX_PATH];
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, system, CSIDL_SYSTEM, TRUE));
    EXPECT_STREQ(system, wide);
}

TEST_F(Files, ModuleFileNamesAreCutToShortBuffers) {
    platform::host::SetProcessImagePath(L"C:\\Office\\OUTLOOK.EXE");  // 21 characters
    wchar_t name[64];
    EXPECT_EQ(GetModuleFileNameW(nullptr, name, 64), 21u);
    EXPECT_STREQ(name, L"C:\\Office\\OUTLOOK.EXE");

    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, name, 21), 21u);  // no room for the null
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(name, L"C:\\Office\\OUTLOOK.EX");
    EXPECT_EQ(GetModuleFileNameW(nullptr, name, 5), 5u);
    EXPECT_STREQ(name, L"C:\\O");

    auto module = reinterpret_cast<HMODULE>(0x10000000);
    EXPECT_EQ(GetModuleFileNameW(module, name, 64), 0u);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    platform::fs::RegisterModuleFileName(module, L"C:\\Program Files\\Brevint\\BVOL0000.dll");
    EXPECT_EQ(GetModuleFileNameW(module, name, 64), 37u);
    EXPECT_STREQ(name, L"C:\\Program Files\\Brevint\\BVOL0000.dll");
    platform::fs::UnregisterModuleFileName(module);
    EXPECT_EQ(GetModuleFileNameW(module, name, 64), 0u);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}
