// Writes the Enter line of a traced operation when constructed and its Exit
// line when the operation is left, also by an exception. An empty name writes
// neither.
#pragma once

#include <string>

class CTraceScope {
  public:
    explicit CTraceScope(const char* qualifiedName);
    ~CTraceScope();
    CTraceScope(const CTraceScope&) = delete;
    CTraceScope& operator=(const CTraceScope&) = delete;

  private:
    std::string m_name;
};
