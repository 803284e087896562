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

nlohmann::ordered_json MailState(const DeliveredInto& deliveredInto) {
    using Json = nlohmann::ordered_json;
    auto text = [](const mailstore::MessagePtr& item, mailstore::PropTag tag) {
        return Narrow(item->GetText(tag).value_or(L""));
    };
    auto itemState = [&](const mailstore::MessagePtr& item) {
        const auto delivered = deliveredInto ? deliveredInto(item->Id()) : std::nullopt;
        return Json{{"subject", Narrow(item->Subject())},
                    {"class", item->Class()},
                    {"read", item->IsRead()},
                    {"entryId", Narrow(mailstore::EntryIdToHex(item->Id()))},
                    {"sender", text(item, mailstore::tags::kSenderName)},
                    {"senderAddress", text(item, mailstore::tags::kSenderEmail)},
                    {"received", PropertyText(item->ReceivedTime())},
                    {"deliveredTo", delivered ? Json(*delivered) : Json(nullptr)}};
    };
    Json stores = Json::array();
    auto profile = Model::Process().CurrentProfile();
    for (const auto& store : profile ? profile->Stores() : std::vector<mailstore::StorePtr>{}) {
        Json folders = Json::array();
        std::function<void(const FolderPtr&, const std::string&)> walk =
            [&](const FolderPtr& folder, const std::string& path) {
                Json items = Json::array();
                for (const auto& item : folder->Messages())
                    items.push_back(itemState(item));
                folders.push_back({{"path", path},
                                   {"entryId", Narrow(mailstore::EntryIdToHex(folder->Id()))},
                                   {"hidden", folder->HiddenMessages().size()},
                                   {"items", std::move(items)}});
                for (const auto& child : folder->Subfolders())
                    walk(child, path + "/" + Narrow(child->Name()));
            };
        walk(store->IpmSubtree(), Narrow(store->DisplayName()));
        stores.push_back({{"name", Narrow(store->DisplayName())},
                          {"kind", KindName(store->Kind())},
                          {"default", store == profile->DefaultStore()},
                          {"entryId", Narrow(mailstore::EntryIdToHex(store->Id()))},
                          {"folders", std::move(folders)}});
    }
    return stores;
}

}  // namespace olsim
