// Judging one message: the filter core's verdict on its RFC 822 text with the
// transport headers put back, and a new message judged to be spam moved into
// the spam folder.
#pragma once

#include <functional>
#include <string>

#include "filtering/spam_folder.h"
#include "mailstore/redemption_mng.h"

class CBrevintProxy;

// The largest message judged: larger mail is left alone unscored.
inline constexpr DWORD kMaxJudgedMessageSize = 524288;

// The text to judge (the transport headers put back in place of the exported
// header block, or the text itself when that fails) and the verdict on it;
// a failed merge is logged under `function`. `judged` as ProccessInboundMail
// gives it.
bool MergeAndJudge(CBrevintProxy& proxy, const std::wstring& text, const std::wstring& headers,
                   const char* function, bool* judged = nullptr);

// The judging of mail that has just arrived, on Outlook's user-interface
// thread. It keeps nothing between messages: the settings are read afresh
// for each.
class CMailClassifier {
  public:
    // The filter proxy, asked for when a message is about to be judged.
    using ProxySource = std::function<CBrevintProxy&()>;

    CMailClassifier(ProxySource proxy, const CSpamFolder& spamFolder);

    // Plain mail ("IPM.Note") up to the size limit and, unless the settings
    // say otherwise, not from the user's own Exchange server, is judged; spam
    // loses its read receipt, takes the read state of the settings and is
    // moved into the spam folder. Every step is logged.
    void ProcessNewMail(MailItemRef item);

  private:
    bool IsToBeJudged(Outlook::_MailItem* item) const;
    bool JudgeAsSpam(Outlook::_MailItem* item, std::wstring& mailLine) const;
    void MoveToSpamFolder(MailItemRef item, const std::wstring& mailLine) const;

    ProxySource m_proxy;
    const CSpamFolder& m_spamFolder;
};
