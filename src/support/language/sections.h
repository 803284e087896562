// The sections of the language file that the add-in reads, and the
// placeholder that the empty-folder confirmation carries.
#pragma once

namespace language {

// Toolbar captions and tooltips.
constexpr wchar_t kOutlookToolbar[] = L"OutlookToolbar";
// Texts of the progress window of a folder check.
constexpr wchar_t kFrmRecheckProgress[] = L"FrmRecheckProgress";
// Message boxes.
constexpr wchar_t kOutlookMsg[] = L"OutlookMsg";
// Stands for the number of mails in the confirmation before the spam folder is emptied.
constexpr wchar_t kTotalMailsPlaceholder[] = L"|TotalMails|";

}  // namespace language
