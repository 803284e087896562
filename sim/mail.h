// The simulated process's mail: the profile's stores in the one store
// model, folders found by path, and what scenarios read of items.
#pragma once

#include <mailstore/model.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "scenario.h"

namespace olsim {

// Fills the process's store model from the profile: one mail profile (named
// after MAPI's default profile) with the stores in order, or one personal
// folders file when the profile names none. What was there before is gone.
void SetUpMailStores(const Profile& profile);

// A folder by path: "Inbox" and "Inbox/Sub" under the default store's top
// folder, or "STORE NAME/Inbox" under a named store's; "STORE NAME" alone is
// that store's top folder. Names compare without regard to letter case.
mailstore::FolderPtr FindFolderByPath(const std::string& path);

// The default store's Inbox; null when the profile has no store with one.
mailstore::FolderPtr DefaultInbox();
// The default store's top folder (where the Inbox sits); null without one.
mailstore::FolderPtr DefaultTopFolder();

// Makes the named mail profile the current one, adding it with one personal
// folders file when the model has no such profile.
void UseMailProfile(const std::wstring& name);

// Pads a message at its end to exactly `size` bytes with lines of filler
// text; false with the reason when it is larger already.
bool PadMessage(mailstore::Bytes& message, size_t size, std::string& error);

// A property value as scenarios write it: numbers in decimal, booleans
// "true"/"false", strings as UTF-8, binary as upper-case hex, times as
// "YYYY-MM-DD HH:MM:SS" (UTC).
std::string PropertyText(const mailstore::PropValue& value);

// Where a message was delivered ("Personal Folders/Inbox"), by its entry
// identifier; nothing for a message the simulated mail server did not bring.
using DeliveredInto = std::function<std::optional<std::string>(const mailstore::EntryId&)>;

// The stores, their folders (by path) and items, as a JSON array: each item
// with its subject, class, read state, entry identifier, sender (name and
// address), received time ("YYYY-MM-DD HH:MM:SS", UTC) and where it was
// delivered (null when unknown).
nlohmann::ordered_json MailState(const DeliveredInto& deliveredInto = {});

}  // namespace olsim
