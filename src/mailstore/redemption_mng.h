// The one wrapper of the safe-item library: a process-wide object holding the
// library's utility object, created on the user-interface thread at
// connection and destroyed with the add-in object.
#pragma once

#include <atlbase.h>
#include <bvoltool.h>
#include <outlook.h>

#include <memory>
#include <string>

// A mail item as the message operations take it: a counted reference.
using MailItemRef = CComPtr<Outlook::_MailItem>;

// Body formats of GetMessgeBody and SetMessgeBody.
inline constexpr long kBodyFormatHtml = 1;
inline constexpr long kBodyFormatPlain = 2;

class CRedemptionMng {
  public:
    // Created by the first call; its utility object stays empty when the
    // library cannot be created, and the operations that need it fail.
    static CRedemptionMng& GetInstance();
    static void ReleaseInstance();

    CRedemptionMng(const CRedemptionMng&) = delete;
    CRedemptionMng& operator=(const CRedemptionMng&) = delete;
    ~CRedemptionMng();

    // The current mail profile's name. Without the utility object it raises
    // E_POINTER as a COM error, which the caller's handler logs.
    bool GetCurrentProfile(std::wstring& name);
    // The message's RFC 822 text in the ANSI code page made wide, with its
    // terminating zero counted in `length`, and its transport headers (empty
    // when it has none). True without a text when the library wrote nothing:
    // callers then treat the text as absent.
    bool GetMessageRFC822(MailItemRef item, std::unique_ptr<wchar_t[]>& text, DWORD& length,
                          std::wstring& headers);
    // Whether the sender of a received message is in the receiving
    // mailbox's Exchange organisation.
    bool IsSameExchangeServer(MailItemRef item);
    // Whether the sender's address is an Exchange ("EX") address.
    bool IsExchangeUser(MailItemRef item);
    // The sender's display name and e-mail address.
    bool GetMailAuthor(MailItemRef item, std::wstring& name);
    bool GetMailEmail(MailItemRef item, std::wstring& address);
    // The HTML body (format 1), or the plain body (format 2) when the HTML
    // one is empty or made from the plain text; false when that is empty.
    bool GetMessgeBody(MailItemRef item, std::wstring& body, long& format);

    // The utility object, which raises the library's new-mail event; false
    // without it.
    bool GetNewMailEventSource(IUnknown** source);
    // Tells the utility object that nothing of it is kept; raises a COM error
    // when it is missing or refuses.
    void CleanupUtils();

  private:
    CRedemptionMng();

    CComPtr<bvoltool::IBVMAPIUtils> m_utils;
};

// Through the process-wide wrapper, each with its own trace.
bool GetCurrentProfile(std::wstring& name);
bool GetMessageRFC822(MailItemRef item, std::unique_ptr<wchar_t[]>& text, DWORD& length,
                      std::wstring& headers);
bool IsSameExchangeServer(MailItemRef item);
bool IsExchangeUser(MailItemRef item);
bool GetMailAuthor(MailItemRef item, std::wstring& name);
bool GetMailEmail(MailItemRef item, std::wstring& address);
bool GetMessgeBody(MailItemRef item, std::wstring& body, long& format);

// Writes the body through Outlook itself: "HTMLBody" for format 1, "Body"
// for format 2. False for an empty item or body, another format, or a
// failed write.
bool SetMessgeBody(MailItemRef item, const std::wstring& body, long format);
