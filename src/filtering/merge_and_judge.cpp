// The verdict on a message's text, apart from the add-in object that asks for
// it, so that it can be run on its own.
#include "filtering/classification.h"
#include "service/brevint_proxy.h"
#include "support/log/logger.h"

bool MergeAndJudge(CBrevintProxy& proxy, const std::wstring& text, const std::wstring& headers,
                   const char* function, bool* judged) {
    std::wstring merged;
    if (!proxy.MergeMsgHeader(text, headers, merged))
        CLogger::GetInstance().LogMessage(function, L"Buffer merging failed");
    if (merged.empty())
        merged = text;
    return proxy.ProccessInboundMail(merged, judged);
}
