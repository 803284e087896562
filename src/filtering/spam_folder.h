// The spam folder: one mail folder beside the Inbox of the default store,
// remembered per mail profile by its entry identifier and found again by name
// when that identifier no longer leads to it. Nothing is cached: each lookup
// asks Outlook again. Runs on Outlook's user-interface thread only.
#pragma once

#include <outlook.h>

#include <string>

// The spam folder's name when the settings hold none.
inline constexpr const wchar_t* kDefaultSpamFolderName = L"Brevint";

// The process-wide name of the spam folder, read at every connection.
extern std::wstring g_defaultSpamFolderName;

// Outlook's folder kinds (OlDefaultFolders) and the folder type of Folders.Add.
inline constexpr LONG kOlFolderInbox = 6;
inline constexpr LONG kOlFolderDeletedItems = 3;
inline constexpr LONG kOlFolderOutbox = 4;
inline constexpr LONG kOlFolderSentMail = 5;
inline constexpr LONG kOlFolderDrafts = 16;

// False when `folder` is Outlook's default folder of `kind` (after showing
// `message` in a "Brevint" box when `show` is set); true otherwise, also when
// the default folder cannot be had.
bool CheckFolder(Outlook::_NameSpace* names, LONG kind, Outlook::MAPIFolder* folder,
                 const std::wstring& message, bool show);
