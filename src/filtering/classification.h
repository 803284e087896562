// Judging one message: the filter core's verdict on its RFC 822 text with the
// transport headers put back, and the read-state changes made to spam before
// it is moved.
#pragma once

#include <string>

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

// Clears a pending read-receipt request so that a spammer never learns the
// message was seen; the message keeps its unread state. False when nothing
// was requested or a step failed.
bool SuppressReadReceipt(MailItemRef item);

// Sets the message's read state without sending a receipt, and saves it.
bool SetMessageUnread(MailItemRef item, bool unread);
