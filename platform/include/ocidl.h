// Connection points: how an object's events are advised and unadvised.
#pragma once

#include "windef.h"
#include "unknwn.h"

struct IConnectionPoint;
struct IConnectionPointContainer;

typedef struct tagCONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
} CONNECTDATA, *LPCONNECTDATA;

struct IEnumConnections : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, LPCONNECTDATA rgcd,
                                           ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** ppEnum) = 0;
};
BV_DECLARE_UUID(IEnumConnections, "B196B287-BAB4-101A-B69C-00AA00341D07")

struct IConnectionPoint : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) = 0;
};
BV_DECLARE_UUID(IConnectionPoint, "B196B286-BAB4-101A-B69C-00AA00341D07")

struct IEnumConnectionPoints : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, IConnectionPoint** ppCP,
                                           ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) = 0;
};
BV_DECLARE_UUID(IEnumConnectionPoints, "B196B285-BAB4-101A-B69C-00AA00341D07")

struct IConnectionPointContainer : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;
};
BV_DECLARE_UUID(IConnectionPointContainer, "B196B284-BAB4-101A-B69C-00AA00341D07")

inline constexpr IID IID_IEnumConnections = __uuidof(IEnumConnections);
inline constexpr IID IID_IConnectionPoint = __uuidof(IConnectionPoint);
inline constexpr IID IID_IEnumConnectionPoints = __uuidof(IEnumConnectionPoints);
inline constexpr IID IID_IConnectionPointContainer = __uuidof(IConnectionPointContainer);
