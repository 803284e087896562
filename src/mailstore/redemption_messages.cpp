// The message operations of CRedemptionMng: sender, headers, bodies and the
// RFC 822 text of an Outlook item, read through a safe mail item of the
// library that lives only for the one operation.
#include <comdef.h>
#include <objbase.h>

#include <optional>
#include <string>

#include "mailstore/exported_text.h"
#include "mailstore/redemption_mng.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/utility/com_create.h"

namespace {

// The standard MAPI string properties read through the item's fields.
constexpr LONG kTransportHeaders = 0x007D001E;
constexpr LONG kSentRepresentingName = 0x0042001E;
constexpr LONG kSentRepresentingAddrType = 0x0064001E;
constexpr LONG kSentRepresentingEmail = 0x0065001E;
constexpr LONG kReceivedByAddrType = 0x0077001E;
constexpr LONG kReceivedByEmail = 0x0078001E;

constexpr wchar_t kConvertedMarker[] = L"<!-- converted from text/plain format -->";

// "label: number", the number unsigned, as a number line shows it.
std::wstring Labelled(const wchar_t* label, ULONG_PTR number) {
    return label + std::to_wstring(static_cast<DWORD>(number));
}

void Log(const char* function, const std::wstring& message) {
    CLogger::GetInstance().LogMessage(function, message);
}

HRESULT CreateSafeItem(CComPtr<bvoltool::IBVMailItem>& safeItem) {
    return CreateByProgId(L"BVOLTOOL.BVMailItem", __uuidof(bvoltool::IBVMailItem),
                          reinterpret_cast<void**>(&safeItem));
}

// A safe item wrapping `item`; null when it cannot be made or take the item
// (the failure is logged under `function`).
CComPtr<bvoltool::IBVMailItem> SafeItemFor(const char* function, Outlook::_MailItem* item) {
    CComPtr<bvoltool::IBVMailItem> safeItem;
    if (LogIfFailed(function, CreateSafeItem(safeItem)) ||
        LogIfFailed(function, safeItem->put_Item(item)))
        return nullptr;
    return safeItem;
}

// One string field: `hr` is the read's result, `address` the string's (0
// without one); the text only when the field holds a string.
struct Field {
    HRESULT hr = E_FAIL;
    ULONG_PTR address = 0;
    std::optional<std::wstring> text;
};

Field ReadField(const char* function, bvoltool::IBVMailItem* safeItem, LONG tag) {
    Field field;
    CComVariant value;
    field.hr = safeItem->get_Fields(tag, &value);
    LogIfFailed(function, field.hr);
    if (SUCCEEDED(field.hr) && value.vt == VT_BSTR && value.bstrVal) {
        field.address = reinterpret_cast<ULONG_PTR>(value.bstrVal);
        field.text.emplace(value.bstrVal, SysStringLen(value.bstrVal));
    }
    return field;
}

// The organisation an Exchange address names: the text after its first
// "/o=" up to the next "/"; nothing when either is missing.
std::optional<std::wstring> Organisation(const std::wstring& address) {
    const size_t start = address.find(L"/o=");
    if (start == std::wstring::npos)
        return std::nullopt;
    const size_t from = start + 3;
    const size_t end = address.find(L'/', from);
    if (end == std::wstring::npos)
        return std::nullopt;
    return address.substr(from, end - from);
}

// Reads one string field; on failure logs `label` (or no label: the bare
// number) with the result code and "bstr: " with the string's address.
bool ReadSenderField(const char* function, Outlook::_MailItem* item, LONG tag, const wchar_t* label,
                     std::wstring& out) {
    CComPtr<bvoltool::IBVMailItem> safeItem = SafeItemFor(function, item);
    if (!safeItem)
        return false;
    Field field = ReadField(function, safeItem, tag);
    if (field.text) {
        out = std::move(*field.text);
        return true;
    }
    if (label)
        Log(function, Labelled(label, static_cast<DWORD>(field.hr)));
    else
        CLogger::GetInstance().LogNumber(function, L"hr", static_cast<DWORD>(field.hr));
    Log(function, Labelled(L"bstr: ", field.address));
    return false;
}

}  // namespace

bool CRedemptionMng::GetMessageRFC822(MailItemRef item, std::unique_ptr<wchar_t[]>& text,
                                      DWORD& length, std::wstring& headers) {
    constexpr const char* kFunction = "CRedemptionMng::GetMessageRFC822";
    CTraceScope trace(kFunction);
    headers.clear();
    Log(kFunction, L"Creating safe mail item...");
    CComPtr<bvoltool::IBVMailItem> safeItem;
    if (LogIfFailed(kFunction, CreateSafeItem(safeItem))) {
        Log(kFunction, L"create instance error");
        return false;
    }
    if (LogIfFailed(kFunction, safeItem->put_Item(item))) {
        Log(kFunction, L"put item error");
        return false;
    }
    CComPtr<bvoltool::IBVImportExport> exporter;
    if (FAILED(safeItem->QueryInterface(__uuidof(bvoltool::IBVImportExport),
                                        reinterpret_cast<void**>(&exporter)))) {
        Log(kFunction, L"ImportExport error");
        return false;
    }
    Log(kFunction, L"ImportExport - ok");

    Field transport = ReadField(kFunction, safeItem, kTransportHeaders);
    if (FAILED(transport.hr)) {
        Log(kFunction, Labelled(L"error 7D001E: ", static_cast<DWORD>(transport.hr)));
        return false;
    }
    if (transport.text && !transport.text->empty())
        headers = std::move(*transport.text);

    CComPtr<IStream> stream;
    if (HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream); FAILED(hr)) {
        Log(kFunction, Labelled(L"CreateStreamOnHGlobal: ", static_cast<DWORD>(hr)));
        return false;
    }
    const HRESULT saved = exporter->Export(stream, bvoltool::kExportRfc822);
    HGLOBAL memory = nullptr;
    const HRESULT found = GetHGlobalFromStream(stream, &memory);
    if (FAILED(saved) || FAILED(found)) {
        Log(kFunction, Labelled(L"import save: ", static_cast<DWORD>(saved)));
        Log(kFunction, Labelled(L"GetHGlobalFromStream: ", static_cast<DWORD>(found)));
        return false;
    }

    Log(kFunction, Labelled(L"hglobal: ", reinterpret_cast<ULONG_PTR>(memory)));
    const auto* bytes = static_cast<const char*>(GlobalLock(memory));
    const SIZE_T size = GlobalSize(memory);
    Log(kFunction, Labelled(L"ptr: ", reinterpret_cast<ULONG_PTR>(bytes)));
    Log(kFunction, Labelled(L"size: ", size));
    int converted = 0;
    if (bytes && size)
        converted = WidenExportedText(bytes, size, text, length);
    if (static_cast<SIZE_T>(converted) != size + 1)
        Log(kFunction, Labelled(L"converted size: ", static_cast<DWORD>(converted)));
    GlobalUnlock(memory);
    Log(kFunction, L"RFC822 body has retrieved");
    return true;
}

bool CRedemptionMng::IsSameExchangeServer(MailItemRef item) {
    constexpr const char* kFunction = "CRedemptionMng::IsSameExchangeServer";
    CTraceScope trace(kFunction);
    CComPtr<bvoltool::IBVMailItem> safeItem = SafeItemFor(kFunction, item);
    if (!safeItem) {
        Log(kFunction, L"put item error");
        return false;
    }
    const Field senderType = ReadField(kFunction, safeItem, kSentRepresentingAddrType);
    if (FAILED(senderType.hr) || !senderType.text) {
        Log(kFunction, L"could not detect sender type");
        return false;
    }
    const Field receiverType = ReadField(kFunction, safeItem, kReceivedByAddrType);
    if (FAILED(receiverType.hr)) {
        Log(kFunction, L"could not detect receiver type");
        return false;
    }
    if (*senderType.text == L"EX" && !receiverType.text) {
        Log(kFunction, L"EX - 0");
        return true;
    }
    if (!receiverType.text || *senderType.text != L"EX" || *receiverType.text != L"EX")
        return false;

    const Field receiver = ReadField(kFunction, safeItem, kReceivedByEmail);
    if (FAILED(receiver.hr) || !receiver.text) {
        Log(kFunction, L"could not detect receiver");
        return false;
    }
    const Field sender = ReadField(kFunction, safeItem, kSentRepresentingEmail);
    if (FAILED(sender.hr) || !sender.text) {
        Log(kFunction, L"could not detect sender");
        return false;
    }
    const std::optional<std::wstring> senderServer = Organisation(*sender.text);
    const std::optional<std::wstring> receiverServer = Organisation(*receiver.text);
    if (!senderServer || !receiverServer)
        return false;
    if (senderServer->empty())
        Log(kFunction, L"server1 empty");
    if (receiverServer->empty())
        Log(kFunction, L"server2 empty");
    if (*senderServer == *receiverServer)
        return true;
    Log(kFunction, L"domains: " + *senderServer + L" " + *receiverServer);
    return false;
}

bool CRedemptionMng::IsExchangeUser(MailItemRef item) {
    constexpr const char* kFunction = "CRedemptionMng::IsExchangeUser";
    CTraceScope trace(kFunction);
    std::wstring type;
    return ReadSenderField(kFunction, item, kSentRepresentingAddrType, nullptr, type) &&
           type == L"EX";
}

bool CRedemptionMng::GetMailAuthor(MailItemRef item, std::wstring& name) {
    constexpr const char* kFunction = "CRedemptionMng::GetMailAuthor";
    CTraceScope trace(kFunction);
    return ReadSenderField(kFunction, item, kSentRepresentingName, L"42001E: ", name);
}

bool CRedemptionMng::GetMailEmail(MailItemRef item, std::wstring& address) {
    constexpr const char* kFunction = "CRedemptionMng::GetMailEmail";
    CTraceScope trace(kFunction);
    return ReadSenderField(kFunction, item, kSentRepresentingEmail, nullptr, address);
}

bool CRedemptionMng::GetMessgeBody(MailItemRef item, std::wstring& body, long& format) {
    constexpr const char* kFunction = "CRedemptionMng::GetMessgeBody";
    CTraceScope trace(kFunction);
    CComPtr<bvoltool::IBVMailItem> safeItem = SafeItemFor(kFunction, item);
    if (!safeItem)
        return false;
    CComBSTR plain;
    CComBSTR html;
    LogIfFailed(kFunction, safeItem->get_Body(&plain));
    LogIfFailed(kFunction, safeItem->get_HTMLBody(&html));
    const std::wstring htmlText(html.m_str ? html.m_str : L"", html.Length());
    if (htmlText.empty() || htmlText.find(kConvertedMarker) != std::wstring::npos) {
        if (plain.Length() == 0)
            return false;
        body.assign(plain.m_str, plain.Length());
        format = kBodyFormatPlain;
        return true;
    }
    body = htmlText;
    format = kBodyFormatHtml;
    return true;
}

bool GetMessageRFC822(MailItemRef item, std::unique_ptr<wchar_t[]>& text, DWORD& length,
                      std::wstring& headers) {
    CTraceScope trace("GetMessageRFC822");
    return CRedemptionMng::GetInstance().GetMessageRFC822(item, text, length, headers);
}

bool IsSameExchangeServer(MailItemRef item) {
    CTraceScope trace("IsSameExchangeServer");
    return CRedemptionMng::GetInstance().IsSameExchangeServer(item);
}

bool IsExchangeUser(MailItemRef item) {
    CTraceScope trace("IsExchangeUser");
    return CRedemptionMng::GetInstance().IsExchangeUser(item);
}

bool GetMailAuthor(MailItemRef item, std::wstring& name) {
    CTraceScope trace("GetMailAuthor");
    return CRedemptionMng::GetInstance().GetMailAuthor(item, name);
}

bool GetMailEmail(MailItemRef item, std::wstring& address) {
    CTraceScope trace("GetMailEmail");
    return CRedemptionMng::GetInstance().GetMailEmail(item, address);
}

bool GetMessgeBody(MailItemRef item, std::wstring& body, long& format) {
    CTraceScope trace("GetMessgeBody");
    return CRedemptionMng::GetInstance().GetMessgeBody(item, body, format);
}

bool SetMessgeBody(MailItemRef item, const std::wstring& body, long format) {
    CTraceScope trace("SetMessgeBody");
    if (!item || body.empty())
        return false;
    const wchar_t* property = format == kBodyFormatHtml    ? L"HTMLBody"
                              : format == kBodyFormatPlain ? L"Body"
                                                           : nullptr;
    if (!property)
        return false;
    CComVariant value(body.c_str());
    return SUCCEEDED(CComDispatchDriver(item).PutPropertyByName(property, &value));
}
