#include "mail.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <sstream>

#include "text.h"

namespace olsim {
namespace {

using mailstore::FolderPtr;
using mailstore::Model;

mailstore::StoreSettings SettingsOf(const StoreLine& line) {
    switch (line.kind) {
        case StoreLine::Kind::Exchange: {
            auto settings =
                mailstore::StoreSettings::Exchange(line.name, line.organisation, line.user);
            settings.hasInbox = line.inbox;
            settings.cachedMode = line.cached;
            return settings;
        }
        case StoreLine::Kind::Public:
            return mailstore::StoreSettings::Public(line.name);
        case StoreLine::Kind::Personal:
            break;
    }
    return mailstore::StoreSettings::Personal(line.name, line.inbox);
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(path);
    while (std::getline(in, part, '/'))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::string JsonText(const std::string& utf8) {
    std::string json = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += static_cast<char>(c);
        }
    }
    return json + "\"";
}

const char* KindName(mailstore::StoreKind kind) {
    switch (kind) {
        case mailstore::StoreKind::ExchangeMailbox:
            return "exchange";
        case mailstore::StoreKind::PublicFolders:
            return "public";
        case mailstore::StoreKind::PersonalFolders:
            break;
    }
    return "pst";
}

}  // namespace

void SetUpMailStores(const Profile& profile) {
    Model& model = Model::Process();
    model.Clear();
    auto mailProfile = model.AddProfile(profile.mailProfile.value_or(L"Outlook"));
    if (profile.stores.empty()) {
        mailProfile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        return;
    }
    for (const StoreLine& line : profile.stores)
        mailProfile->AddStore(SettingsOf(line));
}

mailstore::FolderPtr DefaultInbox() {
    auto profile = Model::Process().CurrentProfile();
    auto store = profile ? profile->DefaultStore() : nullptr;
    return store ? store->ReceiveFolder() : nullptr;
}

mailstore::FolderPtr DefaultTopFolder() {
    auto profile = Model::Process().CurrentProfile();
    auto store = profile ? profile->DefaultStore() : nullptr;
    return store ? store->IpmSubtree() : nullptr;
}

void UseMailProfile(const std::wstring& name) {
    Model& model = Model::Process();
    auto profile = model.FindProfile(name);
    if (!profile) {
        profile = model.AddProfile(name);
        profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
    }
    model.SetCurrentProfile(profile);
}

bool PadMessage(mailstore::Bytes& message, size_t size, std::string& error) {
    if (message.size() > size) {
        error = "the message has " + std::to_string(message.size()) + " bytes, more than " +
                std::to_string(size);
        return false;
    }
    constexpr size_t kLine = 76;
    size_t column = 0;
    if (message.size() < size) {
        message.push_back('\n');
    }
    while (message.size() < size) {
        if (column == kLine) {
            message.push_back('\n');
            column = 0;
        } else {
            message.push_back('x');
            ++column;
        }
    }
    return true;
}

mailstore::FolderPtr FindFolderByPath(const std::string& path) {
    auto profile = Model::Process().CurrentProfile();
    if (!profile)
        return nullptr;
    auto parts = SplitPath(path);
    if (parts.empty())
        return nullptr;
    FolderPtr folder;
    for (const auto& store : profile->Stores()) {
        if (SameName(store->DisplayName(), Widen(parts.front()))) {
            folder = store->IpmSubtree();
            parts.erase(parts.begin());
            break;
        }
    }
    if (!folder) {
        auto store = profile->DefaultStore();
        if (!store)
            return nullptr;
        folder = store->IpmSubtree();
    }
    for (const auto& name : parts) {
        folder = folder->FindSubfolder(Widen(name));
        if (!folder)
            return nullptr;
    }
    return folder;
}

std::string PropertyText(const mailstore::PropValue& value) {
    if (auto number = std::get_if<std::int32_t>(&value))
        return std::to_string(*number);
    if (auto flag = std::get_if<bool>(&value))
        return *flag ? "true" : "false";
    if (auto narrow = std::get_if<std::string>(&value))  // bytes of the ANSI code page, 1252
        return Narrow(
            std::wstring(reinterpret_cast<const unsigned char*>(narrow->data()),
                         reinterpret_cast<const unsigned char*>(narrow->data()) + narrow->size()));
    if (auto wide = std::get_if<std::wstring>(&value))
        return Narrow(*wide);
    if (auto bytes = std::get_if<mailstore::Bytes>(&value))
        return Narrow(mailstore::EntryIdToHex(*bytes));
    const auto time = std::get<mailstore::SysTime>(value);
    FILETIME fileTime{static_cast<DWORD>(time.ticks), static_cast<DWORD>(time.ticks >> 32)};
    SYSTEMTIME system{};
    FileTimeToSystemTime(&fileTime, &system);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", system.wYear, system.wMonth,
                  system.wDay, system.wHour, system.wMinute, system.wSecond);
    return text;
}

std::string MailStateJson() {
    std::ostringstream out;
    auto profile = Model::Process().CurrentProfile();
    out << "[";
    bool firstStore = true;
    for (const auto& store : profile ? profile->Stores() : std::vector<mailstore::StorePtr>{}) {
        out << (firstStore ? "\n" : ",\n")
            << "    {\"name\": " << JsonText(Narrow(store->DisplayName())) << ", \"kind\": \""
            << KindName(store->Kind())
            << "\", \"default\": " << (store == profile->DefaultStore() ? "true" : "false")
            << ", \"entryId\": \"" << Narrow(mailstore::EntryIdToHex(store->Id()))
            << "\", \"folders\": [";
        firstStore = false;
        bool firstFolder = true;
        std::function<void(const FolderPtr&, const std::string&)> walk =
            [&](const FolderPtr& folder, const std::string& path) {
                out << (firstFolder ? "\n" : ",\n") << "      {\"path\": " << JsonText(path)
                    << ", \"entryId\": \"" << Narrow(mailstore::EntryIdToHex(folder->Id()))
                    << "\", \"hidden\": " << folder->HiddenMessages().size() << ", \"items\": [";
                firstFolder = false;
                bool firstItem = true;
                for (const auto& item : folder->Messages()) {
                    out << (firstItem ? "" : ", ")
                        << "{\"subject\": " << JsonText(Narrow(item->Subject()))
                        << ", \"class\": " << JsonText(item->Class())
                        << ", \"read\": " << (item->IsRead() ? "true" : "false")
                        << ", \"entryId\": \"" << Narrow(mailstore::EntryIdToHex(item->Id()))
                        << "\"}";
                    firstItem = false;
                }
                out << "]}";
                for (const auto& child : folder->Subfolders())
                    walk(child, path + "/" + Narrow(child->Name()));
            };
        walk(store->IpmSubtree(), Narrow(store->DisplayName()));
        out << "]}";
    }
    out << (firstStore ? "]" : "\n  ]");
    return out.str();
}

}  // namespace olsim
