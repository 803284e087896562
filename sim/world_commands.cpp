// The commands by which the world changes while Outlook runs: a program or
// a person writes the registry or a file, the user renames or moves folders
// and items in Outlook. Rows of the command table (commands.cpp).
#include <oleauto.h>
#include <platform/hex_digit.h>

#include <cstdio>

#include "mail.h"
#include "outlook_process.h"
#include "registry_access.h"
#include "run_context.h"
#include "text.h"
#include "world_commands.h"

namespace olsim {
namespace {

using words::Expected;

// --- registry ----------------------------------------------------------------

constexpr const char* kRegistryForm =
    "registry set KEY NAME dword|sz|multi|binary|date VALUE | registry delete KEY [NAME]";

std::optional<DWORD> ParseDword(const std::string& text) {
    if (text.rfind("0x", 0) == 0 && text.size() > 2 && text.size() <= 10) {
        DWORD value = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            const int digit = platform::HexDigitValue(text[i]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + static_cast<DWORD>(digit);
        }
        return value;
    }
    return words::ParseNumber(text);
}

std::optional<std::vector<BYTE>> ParseHexBytes(const std::string& text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = platform::HexDigitValue(text[i]);
        const int low = platform::HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<BYTE>(high * 16 + low));
    }
    return bytes;
}

// "YYYY-MM-DD HH:MM:SS" as the add-in stores times: an OLE automation date.
std::optional<DATE> ParseDate(const std::string& text) {
    unsigned year, month, day, hour, minute, second;
    char end;
    if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &year, &month, &day, &hour, &minute,
                    &second, &end) != 6)
        return std::nullopt;
    SYSTEMTIME time{static_cast<WORD>(year),
                    static_cast<WORD>(month),
                    0,
                    static_cast<WORD>(day),
                    static_cast<WORD>(hour),
                    static_cast<WORD>(minute),
                    static_cast<WORD>(second),
                    0};
    DATE date = 0;
    if (!SystemTimeToVariantTime(&time, &date))
        return std::nullopt;
    return date;
}

template <class T>
std::vector<BYTE> BytesOf(const T* data, size_t count) {
    const auto* bytes = reinterpret_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + count * sizeof(T));
}

// The type and data of `registry set`'s value words; nothing when they do
// not make one.
std::optional<std::pair<DWORD, std::vector<BYTE>>> RegistryData(const std::vector<std::string>& w) {
    const std::string& type = w[3];
    if (type == "multi") {
        std::wstring strings;
        for (size_t i = 4; i < w.size(); ++i)
            strings += Widen(w[i]) + L'\0';
        strings += L'\0';
        return std::make_pair(DWORD{REG_MULTI_SZ}, BytesOf(strings.data(), strings.size()));
    }
    if (w.size() != 5)
        return std::nullopt;
    const std::string& value = w[4];
    if (type == "dword") {
        const auto number = ParseDword(value);
        if (!number)
            return std::nullopt;
        return std::make_pair(DWORD{REG_DWORD}, BytesOf(&*number, 1));
    }
    if (type == "sz") {
        const std::wstring text = Widen(value);
        return std::make_pair(DWORD{REG_SZ}, BytesOf(text.c_str(), text.size() + 1));
    }
    if (type == "binary") {
        const auto bytes = ParseHexBytes(value);
        if (!bytes)
            return std::nullopt;
        return std::make_pair(DWORD{REG_BINARY}, *bytes);
    }
    if (type == "date") {
        const auto date = ParseDate(value);
        if (!date)
            return std::nullopt;
        return std::make_pair(DWORD{REG_BINARY}, BytesOf(&*date, 1));
    }
    return std::nullopt;
}

}  // namespace

void CheckRegistryChange(const Step& step) {
    const auto& w = step.words;
    const bool valid = (!w.empty() && w[0] == "set" && w.size() >= 4 && RegistryData(w)) ||
                       (!w.empty() && w[0] == "delete" && (w.size() == 2 || w.size() == 3));
    if (!valid)
        Expected(step, kRegistryForm);
}

std::string ChangeRegistry(RunContext&, const Step& step) {
    const auto& w = step.words;
    const std::wstring key = Widen(w[1]);
    if (w[0] == "set") {
        const auto [type, data] = *RegistryData(w);
        return WriteRegistryValue(key, Widen(w[2]), type, data) ? "" : "could not write the value";
    }
    if (w.size() == 3)
        return DeleteRegistryValue(key, Widen(w[2])) ? "" : "no such value to delete";
    return DeleteRegistryKey(key) ? "" : "no such key to delete";
}

// --- files -------------------------------------------------------------------

namespace {

// Creates the folders of a Windows path that are missing, as a program that
// writes a file there would.
void MakeParentFolders(const std::wstring& path) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
}

std::string SystemError(const std::string& what) {
    return what + " (error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

void CheckFileChange(const Step& step) {
    const auto& w = step.words;
    const bool valid = (w.size() == 3 && w[0] == "write") ||
                       (w.size() == 4 && w[0] == "write" && w[2] == "from") ||
                       (w.size() == 2 && w[0] == "delete");
    if (!valid)
        Expected(step, "file write PATH TEXT | file write PATH from FILE | file delete PATH");
}

// Through the system's own file calls, so a file the add-in holds open
// refuses the change as it would on Windows.
std::string ChangeFile(RunContext& run, const Step& step) {
    const auto& w = step.words;
    const std::wstring path = Widen(w[1]);
    if (w[0] == "delete")
        return DeleteFileW(path.c_str()) ? "" : SystemError("could not delete " + w[1]);
    mailstore::Bytes bytes(w[2].begin(), w[2].end());
    std::string message;
    if (w.size() == 4 && !run.ReadScenarioFile(w[3], bytes, message))
        return message;
    MakeParentFolders(path);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SystemError("could not write " + w[1]);
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return wrote && written == bytes.size() ? "" : SystemError("could not write all of " + w[1]);
}

// --- items -------------------------------------------------------------------

namespace {

mailstore::MessagePtr FindItem(const mailstore::FolderPtr& folder, const std::string& subject) {
    for (const auto& message : folder->Messages()) {
        if (Narrow(message->Subject()) == subject)
            return message;
    }
    return nullptr;
}

}  // namespace

void CheckItemChange(const Step& step) {
    const auto& w = step.words;
    const bool valid =
        (w.size() == 3 && (w[0] == "delete" || w[0] == "read" || w[0] == "unread")) ||
        (w.size() == 4 && w[0] == "move");
    if (!valid)
        Expected(step,
                 "item delete|read|unread FOLDER-PATH SUBJECT | item move FOLDER-PATH "
                 "SUBJECT TO-FOLDER-PATH");
}

// The user's hand on one item: the first with that subject.
std::string ChangeItem(RunContext& run, const Step& step) {
    const auto& w = step.words;
    const auto folder = FindFolderByPath(w[1]);
    if (!folder)
        return "no folder " + w[1];
    const auto item = FindItem(folder, w[2]);
    if (!item)
        return "no item \"" + w[2] + "\" in " + w[1];
    const auto destination = w[0] == "move" ? FindFolderByPath(w[3]) : nullptr;
    if (w[0] == "move" && !destination)
        return "no folder " + w[3];
    if (w[0] == "delete")
        run.delivered.Forget(item->Source());
    // The store tells its subscribers, the add-in among them, at once.
    run.process.Guarded("item", [&] {
        if (destination)
            item->MoveTo(destination);
        else if (w[0] == "delete")
            item->Delete();
        else
            item->SetRead(w[0] == "read");
        run.process.Pump();
    });
    return "";
}

// --- folders -----------------------------------------------------------------

void CheckFolderChange(const Step& step) {
    const auto& w = step.words;
    const bool valid = (w.size() == 2 && (w[0] == "create" || w[0] == "delete")) ||
                       (w.size() == 3 && (w[0] == "rename" || w[0] == "move"));
    if (!valid)
        Expected(step,
                 "folder create|delete FOLDER-PATH | folder rename FOLDER-PATH NAME | "
                 "folder move FOLDER-PATH TO-FOLDER-PATH");
}

// The user's own folders: made (a path without `/` beside the Inbox),
// deleted for good (as with Shift+Delete: not into Deleted Items), renamed,
// moved under another folder of the store.
std::string ChangeFolder(RunContext& run, const Step& step) {
    const auto& w = step.words;
    const std::string& path = w[1];
    mailstore::FolderPtr parent, folder, destination;
    if (w[0] == "move" && !(destination = FindFolderByPath(w[2])))
        return "no folder " + w[2];
    if (w[0] == "create") {
        const auto slash = path.rfind('/');
        parent = slash == std::string::npos ? DefaultTopFolder()
                                            : FindFolderByPath(path.substr(0, slash));
        if (!parent)
            return "no folder to create " + path + " in";
    } else {
        folder = FindFolderByPath(path);
        if (!folder || !folder->Parent())
            return "no folder " + path + " to " + w[0];
    }
    // The store tells its subscribers, the add-in among them, at once.
    std::string problem;
    run.process.Guarded("folder", [&] {
        try {
            if (parent)
                parent->CreateSubfolder(Widen(path.substr(path.rfind('/') + 1)));
            else if (w[0] == "delete")
                folder->Delete();
            else if (destination)
                folder->MoveTo(destination);
            else
                folder->Rename(Widen(w[2]));
        } catch (const mailstore::StoreError& error) {
            problem = error.what();
            return;
        }
        run.process.Pump();
    });
    return problem;
}

}  // namespace olsim
