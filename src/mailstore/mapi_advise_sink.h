// The advise sink registered on each message store: it hands every
// notification to a plain callback together with the two words it was made
// with (the window to report to and the store's index), and does nothing else
// inside MAPI's notification call.
#pragma once

#include <mapidefs.h>

// Returns MAPI's reserved notification result, 0.
using MapiNotifyCallback = ULONG (*)(ULONG count, LPNOTIFICATION notifications,
                                     ULONG_PTR firstContext, ULONG_PTR secondContext);

class CMapiAdviseSinkImpl : public IMAPIAdviseSink {
  public:
    CMapiAdviseSinkImpl(MapiNotifyCallback callback, ULONG_PTR firstContext,
                        ULONG_PTR secondContext);
    CMapiAdviseSinkImpl(const CMapiAdviseSinkImpl&) = delete;
    CMapiAdviseSinkImpl& operator=(const CMapiAdviseSinkImpl&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override;

  private:
    virtual ~CMapiAdviseSinkImpl() = default;

    LONG m_refCount = 0;
    MapiNotifyCallback m_callback;
    ULONG_PTR m_firstContext;
    ULONG_PTR m_secondContext;
};
