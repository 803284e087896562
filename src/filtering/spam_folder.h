// The spam folder: one mail folder beside the Inbox of the default store,
// remembered per mail profile by its entry identifier and found again by name
// when that identifier no longer leads to it. Nothing is cached: each lookup
// asks Outlook again. Runs on Outlook's user-interface thread only.
#pragma once

#include <atlbase.h>
#include <outlook.h>

#include <string>

// The spam folder's name when the settings hold none.
inline constexpr const wchar_t* kDefaultSpamFolderName = L"Brevint";

// The process-wide name of the spam folder, read at every connection.
extern std::wstring g_defaultSpamFolderName;

class CSpamFolder {
  public:
    // `application` is the add-in's pointer to Outlook, null until connection;
    // each lookup reads it afresh.
    explicit CSpamFolder(const CComPtr<Outlook::_Application>& application);

    // The spam folder by its stored identifier, or null: none stored, Outlook
    // no longer resolves it, or its parent no longer lists it.
    void Find(CComPtr<Outlook::MAPIFolder>& folder) const;
    // True when the spam folder exists afterwards: found by its identifier,
    // or (with `create`) found by name beside the Inbox or made there, and
    // its identifier stored for the current profile.
    bool MakeSure(bool create) const;

  private:
    const CComPtr<Outlook::_Application>& m_application;
};

// False when `folder` is Outlook's default folder of `kind` (after showing
// `message` in a "Brevint" box when `show` is set); true otherwise, also when
// the default folder cannot be had.
bool CheckFolder(Outlook::_NameSpace* names, LONG kind, Outlook::MAPIFolder* folder,
                 const std::wstring& message, bool show);
