#include "support/log/trace_scope.h"

#include "support/log/logger.h"

CTraceScope::CTraceScope(const char* qualifiedName) : m_name(qualifiedName ? qualifiedName : "") {
    if (!m_name.empty())
        CLogger::GetInstance().LogMessage(("----> " + m_name).c_str(), L"Enter");
}

CTraceScope::~CTraceScope() {
    if (!m_name.empty())
        CLogger::GetInstance().LogMessage(("<---- " + m_name).c_str(), L"Exit");
}
