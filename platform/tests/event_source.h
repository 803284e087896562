// A command-bar button as an event source for the tests of connection points
// and dispatch event sinks: it raises Click(button, &cancel) on its
// ButtonEvents connection point and Changed() on OtherEvents.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <atlconnect.h>

#include <functional>

struct ButtonEvents : public IDispatch {};
BV_DECLARE_UUID(ButtonEvents, "6E0C3A10-1F2B-4C5D-8E9F-0A1B2C3D4E5F")
struct OtherEvents : public IDispatch {};
BV_DECLARE_UUID(OtherEvents, "6E0C3A11-1F2B-4C5D-8E9F-0A1B2C3D4E5F")

// The button's own dual interface, as handlers see it.
struct CommandBarButton : public IDispatch {};
BV_DECLARE_UUID(CommandBarButton, "6E0C3A12-1F2B-4C5D-8E9F-0A1B2C3D4E5F")

constexpr DISPID kClick = 1;
constexpr DISPID kChanged = 2;

class Button final : public CommandBarButton,
                     public IConnectionPointContainerImpl<Button>,
                     public IConnectionPointImpl<Button, &__uuidof(ButtonEvents)>,
                     public IConnectionPointImpl<Button, &__uuidof(OtherEvents)> {
  public:
    using Clicks = IConnectionPointImpl<Button, &__uuidof(ButtonEvents)>;

    LONG references = 1;
    // Runs when the count reaches 0 (a button on the heap deletes itself).
    std::function<void()> onFinalRelease;

    IUnknown* GetUnknown() { return static_cast<CommandBarButton*>(this); }

    // Returns the Cancel flag the sinks left.
    VARIANT_BOOL Click(HRESULT* fired = nullptr) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        const HRESULT hr = Clicks::FireEvent(kClick, static_cast<CommandBarButton*>(this), &cancel);
        if (fired != nullptr)
            *fired = hr;
        return cancel;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(CommandBarButton))
            *ppv = static_cast<CommandBarButton*>(this);
        else if (riid == IID_IConnectionPointContainer)
            *ppv = static_cast<IConnectionPointContainer*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = --references;
        if (left == 0 && onFinalRelease)
            onFinalRelease();
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    BEGIN_CONNECTION_POINT_MAP(Button)
    CONNECTION_POINT_ENTRY(__uuidof(ButtonEvents))
    CONNECTION_POINT_ENTRY(__uuidof(OtherEvents))
    END_CONNECTION_POINT_MAP()
};

// The sinks a connection point holds, in advise order, from EnumConnections.
inline std::vector<CONNECTDATA> Connections(IUnknown* source, const IID& iid) {
    std::vector<CONNECTDATA> found;
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    IEnumConnections* connections = nullptr;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(&container))))
        return found;
    if (SUCCEEDED(container->FindConnectionPoint(iid, &point)) &&
        SUCCEEDED(point->EnumConnections(&connections))) {
        CONNECTDATA data;
        while (connections->Next(1, &data, nullptr) == S_OK) {
            found.push_back(data);
            data.pUnk->Release();  // the source keeps its own reference
        }
        connections->Release();
    }
    if (point != nullptr)
        point->Release();
    container->Release();
    return found;
}
