// The hives' files: what a save writes, what a load reads back from files
// that regedit, a person or a crash left, and what a damaged file costs.
#include "registry_test_support.h"

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::literals;

TEST(RegistryFiles, EveryKindOfValueSurvivesASaveAndALoad) {
    TempRoot root;
    Key key, odd;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Brevint\\Round Trip", key), ERROR_SUCCESS);
    ASSERT_EQ(Create(key, L"Ключ \"quoted\" [x] ü😀", odd), ERROR_SUCCESS);
    double date = 45266.5;  // an automation date
    const std::vector<std::tuple<const wchar_t*, DWORD, Data>> values = {
        {L"Zero", REG_DWORD, PlainData(DWORD{0})},
        {L"All ones", REG_DWORD, PlainData(DWORD{0xFFFFFFFF})},
        {L"Date", REG_BINARY, PlainData(date)},
        {L"Quad", REG_QWORD, PlainData(ULONGLONG{0x0123456789ABCDEF})},
        {L"Recheck", REG_MULTI_SZ, WideData(L"Inbox\0\0Junk\0\0"sv)},
        {L"Empty list", REG_MULTI_SZ, WideData(L"\0"sv)},
        {L"Beyond the BMP", REG_MULTI_SZ, WideData(L"😀\0x\0\0"sv)},
        {L"Path", REG_EXPAND_SZ, WideData(L"%APPDATA%\\Brevint\0"sv)},
        {L"Empty", REG_SZ, WideData(L"\0"sv)},
        {L"", REG_SZ, WideData(L"the default\0"sv)},
        {L"say \"hi\" \\ there", REG_SZ, WideData(L"C:\\Program Files\\\"q\"\\\0"sv)},
        {L"Grüße 😀", REG_SZ, WideData(L"Привет, 世界 😀\0"sv)},
        {L"No terminator", REG_SZ, WideData(L"abc"sv)},
        {L"Two lines", REG_SZ, WideData(L"one\r\ntwo\0"sv)},
        {L"Nothing", REG_NONE, {}},
        {L"Some none", REG_NONE, Data{1, 2, 3}},
        {L"Empty binary", REG_BINARY, {}},
        {L"Big endian", REG_DWORD_BIG_ENDIAN, Data{0, 0, 0, 9}},
        {L"Long", REG_BINARY, Data(300, 0xAB)},
        {L"@", REG_DWORD, PlainData(DWORD{64})},
    };
    for (const auto& [name, type, data] : values)
        ASSERT_EQ(Set(key, name, type, data), ERROR_SUCCESS) << "value " << name;
    ASSERT_EQ(Set(odd, L"x", REG_DWORD, PlainData(DWORD{1})), ERROR_SUCCESS);
    Key emptyKey;
    ASSERT_EQ(Create(key, L"Empty key", emptyKey), ERROR_SUCCESS);

    Snapshot before = SnapshotOf(HKEY_CURRENT_USER);
    ASSERT_EQ(before[L"\\Software\\Brevint\\Round Trip"].size(), values.size());
    host::ReloadRegistry();
    EXPECT_TRUE(host::RegistryLoadDiagnostics().empty())
        << host::RegistryLoadDiagnostics().front().ToString();
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER), before);
    // Handles opened before the reload refer to keys that are gone.
    EXPECT_EQ(Set(key, L"late", REG_DWORD, PlainData(DWORD{1})), ERROR_KEY_DELETED);
}

TEST(RegistryFiles, TheFileIsWhatRegeditWrites) {
    TempRoot root;
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Brevint", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Load Count", REG_DWORD, PlainData(DWORD{10})), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Dir", REG_SZ, WideData(L"C:\\a \"b\"\0"sv)), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"List", REG_MULTI_SZ, WideData(L"a\0b\0\0"sv)), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Exp", REG_EXPAND_SZ, WideData(L"%x%\0"sv)), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Q", REG_QWORD, PlainData(ULONGLONG{1})), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(HiveFile(root, "HKEY_CURRENT_USER")),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Brevint]\n"
              "\"Load Count\"=dword:0000000a\n"
              "\"Dir\"=\"C:\\\\a \\\"b\\\"\"\n"
              "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
              "\"Exp\"=hex(2):25,00,78,00,25,00,00,00\n"
              "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
              "\n");
}

TEST(RegistryFiles, ReadsRegeditsUtf16FilesWithContinuedLines) {
    TempRoot root;
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevint\\Installation]\r\n"
        "\"Directory\"=\"C:\\\\Program Files\\\\Brevint\"\r\n"
        "\"Partner\"=dword:00000007\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\r\n[HKEY_CLASSES_ROOT\\http\\shell\\open\\command]\r\n"
        "@=\"browser.exe \\\"%1\\\"\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text)
        utf16 += std::string{c, '\0'};
    SeedHive(root, "HKEY_LOCAL_MACHINE", utf16);

    Key install, browser;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", 0, KEY_READ,
                            install.out()),
              ERROR_SUCCESS);
    EXPECT_TRUE(host::RegistryLoadDiagnostics().empty());
    EXPECT_EQ(Query(install, L"Directory"),
              (Stored{REG_SZ, WideData(L"C:\\Program Files\\Brevint\0"sv)}));
    EXPECT_EQ(Query(install, L"Partner"), (Stored{REG_DWORD, PlainData(DWORD{7})}));
    EXPECT_EQ(Query(install, L"Blob"), (Stored{REG_BINARY, Data{1, 2, 3, 4}}));
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, browser.out()),
        ERROR_SUCCESS);
    EXPECT_EQ(Query(browser, nullptr), (Stored{REG_SZ, WideData(L"browser.exe \"%1\"\0"sv)}));
}

TEST(RegistryFiles, ADamagedFileLoadsItsGoodPartAndSaysWhatItSkipped) {
    TempRoot root;
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n"       // 1
        "\n"                                           // 2
        "[HKEY_CURRENT_USER\\Software\\Good]\n"        // 3
        "\"Before\"=dword:00000001\n"                  // 4
        "this line is nonsense\n"                      // 5
        "\"BadHex\"=hex:01,zz,03\n"                    // 6
        "\"Open\"=\"no closing quote\n"                // 7
        "\"BadDword\"=dword:123456789\n"               // 8
        "\"After\"=\"fine\"\n"                         // 9
        "[HKEY_NOWHERE\\Software]\n"                   // 10
        "\"Lost\"=dword:00000002\n"                    // 11
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Elsewhere]\n"  // 12
        "[HKEY_CURRENT_USER\\Software\\Good\\Sub]\n"   // 13
        "\"Ok\"=hex(b):02,00,00,00,00,00,00,00\n"      // 14
        "\"Cut\"=hex:01,02,\\\n";                      // 15, file ends mid-value
    testing::internal::CaptureStderr();
    SeedHive(root, "HKEY_CURRENT_USER", damaged);
    Key good, sub;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Good", 0, KEY_ALL_ACCESS, good.out()),
              ERROR_SUCCESS);
    std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Query(good, L"Before"), (Stored{REG_DWORD, PlainData(DWORD{1})}));
    EXPECT_EQ(Query(good, L"After"), (Stored{REG_SZ, WideData(L"fine\0"sv)}));
    ASSERT_EQ(RegOpenKeyExW(good, L"Sub", 0, KEY_READ, sub.out()), ERROR_SUCCESS);
    EXPECT_TRUE(Query(sub, L"Ok").has_value());
    for (const wchar_t* skipped : {L"BadHex", L"Open", L"BadDword", L"Cut"})
        EXPECT_FALSE(Query(good, skipped).has_value() || Query(sub, skipped).has_value());

    std::map<unsigned, std::string> byLine;
    for (const auto& diagnostic : host::RegistryLoadDiagnostics()) {
        EXPECT_EQ(diagnostic.file, HiveFile(root, "HKEY_CURRENT_USER"));
        byLine[diagnostic.line] += diagnostic.message;
        EXPECT_NE(stderrText.find(diagnostic.ToString()), std::string::npos);
    }
    EXPECT_EQ((std::vector<unsigned>{0, 5, 6, 7, 8, 10, 11, 12, 15}), [&] {
        std::vector<unsigned> lines;
        for (const auto& [line, message] : byLine)
            lines.push_back(line);
        return lines;
    }());
    EXPECT_NE(byLine[6].find("bad hex byte \"zz\""), std::string::npos) << byLine[6];
    EXPECT_NE(byLine[7].find("unterminated"), std::string::npos) << byLine[7];
    EXPECT_NE(byLine[10].find("not in this file's hive"), std::string::npos) << byLine[10];
    EXPECT_NE(byLine[11].find("line 10"), std::string::npos) << byLine[11];
    EXPECT_NE(byLine[15].find("end of the file"), std::string::npos) << byLine[15];
    EXPECT_NE(byLine[0].find(".damaged"), std::string::npos) << byLine[0];

    // The next save drops what could not be read; the file as found is kept.
    ASSERT_EQ(Set(good, L"New", REG_DWORD, PlainData(DWORD{3})), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(HiveFile(root, "HKEY_CURRENT_USER").string() + ".damaged"), damaged);
    host::ReloadRegistry();
    EXPECT_TRUE(host::RegistryLoadDiagnostics().empty());
}

TEST(RegistryFiles, AFileWithoutItsHeaderIsStillReadAndReported) {
    TempRoot root;
    SeedHive(root, "HKEY_CURRENT_USER",
             "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n\"v\"=dword:00000001\n");
    Key key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\X", 0, KEY_READ, key.out()),
              ERROR_SUCCESS);
    EXPECT_TRUE(Query(key, L"v").has_value());
    auto diagnostics = host::RegistryLoadDiagnostics();
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ(diagnostics[0].line, 1u);
    EXPECT_NE(diagnostics[0].message.find("header"), std::string::npos);
}

TEST(RegistryFiles, WithSavingOffChangesStayInMemoryUntilTheNextSave) {
    TempRoot root;
    const auto file = HiveFile(root, "HKEY_CURRENT_USER");
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Kept", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"saved", REG_DWORD, PlainData(DWORD{1})), ERROR_SUCCESS);
    const std::string saved = ReadFile(file);

    host::SetRegistrySaving(false);
    ASSERT_EQ(Set(key, L"memory", REG_DWORD, PlainData(DWORD{2})), ERROR_SUCCESS);
    Key sub;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Kept\\Sub", sub), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, L"memory"), (Stored{REG_DWORD, PlainData(DWORD{2})}));
    EXPECT_EQ(ReadFile(file), saved);
    host::FlushRegistry();  // an explicit flush still writes
    EXPECT_NE(ReadFile(file).find("\"memory\"=dword:00000002"), std::string::npos);

    ASSERT_EQ(Set(key, L"later", REG_DWORD, PlainData(DWORD{3})), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(file).find("later"), std::string::npos);
    // Switched on again, the next change writes everything kept so far.
    host::SetRegistrySaving(true);
    ASSERT_EQ(Set(key, L"on", REG_DWORD, PlainData(DWORD{4})), ERROR_SUCCESS);
    const std::string written = ReadFile(file);
    for (const char* name : {"\"later\"", "\"on\"", "Kept\\Sub]"})
        EXPECT_NE(written.find(name), std::string::npos) << name;
}

TEST(RegistryFiles, AnUnfinishedSaveLeavesTheLastWholeFile) {
    TempRoot root;
    {
        Key key;
        ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Saved", key), ERROR_SUCCESS);
        ASSERT_EQ(Set(key, L"v", REG_DWORD, PlainData(DWORD{42})), ERROR_SUCCESS);
    }
    auto file = HiveFile(root, "HKEY_CURRENT_USER");
    // Left by a process that has ended since.
    pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    auto leftover = file.string() + "." + std::to_string(ended) + ".tmp";
    WriteFile(leftover, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Soft");
    host::ReloadRegistry();
    Key key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Saved", 0, KEY_READ, key.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(key, L"v"), (Stored{REG_DWORD, PlainData(DWORD{42})}));
    EXPECT_FALSE(std::filesystem::exists(leftover));
    auto diagnostics = host::RegistryLoadDiagnostics();
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].line, 0u);
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".damaged"));
}

TEST(RegistryFiles, KillingTheProcessMidSaveNeverLeavesAHalfFile) {
    TempRoot root;
    auto file = HiveFile(root, "HKEY_CURRENT_USER");
    for (int round = 0; round < 10; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes big values one after another until killed.
            host::ReloadRegistry();
            HKEY key;
            RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Crash", &key);
            for (unsigned n = 1;; ++n) {
                Data blob(100000, static_cast<BYTE>(n));
                RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob.data(), blob.size());
            }
        }
        // Once the first value is saved, kill at a moment that varies by round.
        std::error_code noFileYet;
        while (std::filesystem::file_size(file, noFileYet) < 100000 || noFileYet)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(10 + 23 * round));
        kill(child, SIGKILL);
        int status;
        waitpid(child, &status, 0);

        host::ReloadRegistry();
        for (const auto& diagnostic : host::RegistryLoadDiagnostics())
            EXPECT_EQ(diagnostic.line, 0u) << diagnostic.ToString();  // only leftovers noted
        Key key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Crash", 0, KEY_READ, key.out()),
                  ERROR_SUCCESS);
        auto blob = Query(key, L"Blob");
        ASSERT_TRUE(blob.has_value()) << "round " << round;
        ASSERT_EQ(blob->data.size(), 100000u);
        EXPECT_EQ(std::count(blob->data.begin(), blob->data.end(), blob->data[0]), 100000);
    }
}
