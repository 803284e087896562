// The add-in object's hold on the crash-dump handler: attached when the
// object begins to be built, before any member that calls into Outlook, MAPI
// or the libraries, so that a crash while the rest is built still leaves a
// dump; detached when the object is gone, after its last member.
#pragma once

#include <windows.h>

class CDumpHandlerAttachment {
  public:
    // Attaches the handler with the dump files named after the host's
    // executable in "<application data>\Brevint\Dumps"; a failure is logged
    // under `function`.
    explicit CDumpHandlerAttachment(const char* function);
    ~CDumpHandlerAttachment();
    CDumpHandlerAttachment(const CDumpHandlerAttachment&) = delete;
    CDumpHandlerAttachment& operator=(const CDumpHandlerAttachment&) = delete;

    // 1 when the handler was attached, else 0.
    DWORD IsAttached() const { return m_isAttached; }

  private:
    DWORD m_isAttached = 0;
};
