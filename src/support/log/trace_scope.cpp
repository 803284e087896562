#include "support/log/trace_scope.h"

#include "support/log/logger.h"

CTraceScope::CTraceScope(const char* qualifiedName) : name_(qualifiedName ? qualifiedName : "") {
    if (!name_.empty())
        CLogger::GetInstance().LogMessage(("----> " + name_).c_str(), L"Enter");
}

CTraceScope::~CTraceScope() {
    if (!name_.empty())
        CLogger::GetInstance().LogMessage(("<---- " + name_).c_str(), L"Exit");
}
