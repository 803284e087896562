#include "event_source.h"

#include <atldispevent.h>
#include <comdef.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr DISPID kCount = 3;
constexpr DISPID kMistyped = 4;

// One class with three sinks: two of the button interface (identifiers 1
// and 2, as a toolbar's buttons have) and one of the other interface.
class ToolbarWatcher : public IDispEventSimpleImpl<1, ToolbarWatcher, &__uuidof(ButtonEvents)>,
                       public IDispEventSimpleImpl<2, ToolbarWatcher, &__uuidof(ButtonEvents)>,
                       public IDispEventSimpleImpl<3, ToolbarWatcher, &__uuidof(OtherEvents)> {
  public:
    using BlockSink = IDispEventSimpleImpl<1, ToolbarWatcher, &__uuidof(ButtonEvents)>;
    using UnblockSink = IDispEventSimpleImpl<2, ToolbarWatcher, &__uuidof(ButtonEvents)>;
    using ChangeSink = IDispEventSimpleImpl<3, ToolbarWatcher, &__uuidof(OtherEvents)>;

    std::vector<std::wstring> calls;
    CommandBarButton* clicked = nullptr;

    void __stdcall OnClickBlock(CommandBarButton* button, VARIANT_BOOL* cancel) {
        calls.push_back(L"block");
        clicked = button;
        *cancel = VARIANT_TRUE;
    }
    void __stdcall OnClickUnblock(CommandBarButton* button, VARIANT_BOOL*) {
        calls.push_back(L"unblock");
        clicked = button;
    }
    void __stdcall OnChanged() { calls.push_back(L"changed"); }
    void __stdcall OnCount(LONG count, BSTR text) {
        calls.push_back(std::to_wstring(count) + L" " + std::wstring(text, SysStringLen(text)));
    }
    void __stdcall OnMistyped(IDispatch*) { calls.push_back(L"mistyped"); }

    static inline _ATL_FUNC_INFO ClickInfo = {
        CC_STDCALL, VT_EMPTY, 2, {VT_DISPATCH, VT_BYREF | VT_BOOL}};
    static inline _ATL_FUNC_INFO NoArgumentsInfo = {CC_STDCALL, VT_EMPTY, 0, {}};
    static inline _ATL_FUNC_INFO WrongInfo = {CC_STDCALL, VT_EMPTY, 1, {VT_I4}};

    BEGIN_SINK_MAP(ToolbarWatcher)
    SINK_ENTRY_INFO(1, __uuidof(ButtonEvents), kClick, &ToolbarWatcher::OnClickBlock, &ClickInfo)
    SINK_ENTRY_INFO(2, __uuidof(ButtonEvents), kClick, &ToolbarWatcher::OnClickUnblock, &ClickInfo)
    SINK_ENTRY_INFO(3, __uuidof(OtherEvents), kChanged, &ToolbarWatcher::OnChanged,
                    &NoArgumentsInfo)
    SINK_ENTRY_EX(3, __uuidof(OtherEvents), kCount, &ToolbarWatcher::OnCount)
    SINK_ENTRY_INFO(3, __uuidof(OtherEvents), kMistyped, &ToolbarWatcher::OnMistyped, &WrongInfo)
    END_SINK_MAP()
};

// The sink the source holds for one of the watcher's bases.
IDispatch* SinkOn(Button& button, const IID& iid, size_t index = 0) {
    const std::vector<CONNECTDATA> connections = Connections(button.GetUnknown(), iid);
    return index < connections.size() ? static_cast<IDispatch*>(connections[index].pUnk) : nullptr;
}

TEST(DispatchEvent, SinksOfOneInterfaceReachTheirOwnHandlers) {
    Button blockButton, unblockButton;
    ToolbarWatcher watcher;
    ASSERT_EQ(watcher.BlockSink::DispEventAdvise(blockButton.GetUnknown()), S_OK);
    ASSERT_EQ(watcher.UnblockSink::DispEventAdvise(unblockButton.GetUnknown()), S_OK);

    EXPECT_EQ(blockButton.Click(), VARIANT_TRUE);  // the block handler cancels
    EXPECT_EQ(watcher.calls, std::vector<std::wstring>{L"block"});
    EXPECT_EQ(watcher.clicked, static_cast<CommandBarButton*>(&blockButton));

    EXPECT_EQ(unblockButton.Click(), VARIANT_FALSE);
    EXPECT_EQ(watcher.calls, (std::vector<std::wstring>{L"block", L"unblock"}));
    EXPECT_EQ(watcher.clicked, static_cast<CommandBarButton*>(&unblockButton));

    EXPECT_EQ(watcher.BlockSink::DispEventUnadvise(blockButton.GetUnknown()), S_OK);
    EXPECT_EQ(watcher.UnblockSink::DispEventUnadvise(unblockButton.GetUnknown()), S_OK);
    EXPECT_EQ(blockButton.references, 1);
}

TEST(DispatchEvent, EachSinkKeepsItsCookieAndIdentity) {
    Button button;
    ToolbarWatcher watcher;
    EXPECT_EQ(watcher.BlockSink::m_dwEventCookie, 0xFEFEFEFEu);
    ASSERT_EQ(watcher.BlockSink::DispEventAdvise(button.GetUnknown()), S_OK);
    ASSERT_EQ(watcher.UnblockSink::DispEventAdvise(button.GetUnknown()), S_OK);
    EXPECT_EQ(watcher.BlockSink::m_dwEventCookie, 1u);
    EXPECT_EQ(watcher.UnblockSink::m_dwEventCookie, 2u);

    IDispatch* block = SinkOn(button, __uuidof(ButtonEvents), 0);
    IDispatch* unblock = SinkOn(button, __uuidof(ButtonEvents), 1);
    ASSERT_NE(block, nullptr);
    ASSERT_NE(unblock, nullptr);
    EXPECT_NE(block, unblock);
    void* answer = nullptr;
    EXPECT_EQ(block->QueryInterface(IID_IUnknown, &answer), S_OK);
    EXPECT_EQ(answer, static_cast<void*>(block));
    EXPECT_EQ(block->QueryInterface(__uuidof(ButtonEvents), &answer), S_OK);
    EXPECT_EQ(block->QueryInterface(IID_IDispatch, &answer), S_OK);
    EXPECT_EQ(block->QueryInterface(__uuidof(OtherEvents), &answer), E_NOINTERFACE);

    // A connected sink cannot be connected again; the first connection stays.
    EXPECT_THROW(watcher.BlockSink::DispEventAdvise(button.GetUnknown()), _com_error);
    EXPECT_EQ(watcher.BlockSink::m_dwEventCookie, 1u);
    EXPECT_EQ(Connections(button.GetUnknown(), __uuidof(ButtonEvents)).size(), 2u);

    EXPECT_EQ(watcher.BlockSink::DispEventUnadvise(button.GetUnknown()), S_OK);
    EXPECT_EQ(watcher.BlockSink::m_dwEventCookie, 0xFEFEFEFEu);
    EXPECT_EQ(watcher.BlockSink::DispEventUnadvise(button.GetUnknown()), CONNECT_E_NOCONNECTION);
    watcher.calls.clear();
    button.Click();
    EXPECT_EQ(watcher.calls, std::vector<std::wstring>{L"unblock"});

    // A source without the interface leaves the sink unconnected.
    EXPECT_EQ(watcher.BlockSink::DispEventAdvise(button.GetUnknown(), &__uuidof(CommandBarButton)),
              CONNECT_E_NOCONNECTION);
    EXPECT_EQ(watcher.BlockSink::m_dwEventCookie, 0xFEFEFEFEu);
    watcher.UnblockSink::DispEventUnadvise(button.GetUnknown());
}

TEST(DispatchEvent, EventsWithoutAnEntryAreAcceptedAndIgnored) {
    Button button;
    ToolbarWatcher watcher;
    watcher.ChangeSink::DispEventAdvise(button.GetUnknown());
    watcher.UnblockSink::DispEventAdvise(button.GetUnknown());
    using Changes = IConnectionPointImpl<Button, &__uuidof(OtherEvents)>;
    EXPECT_EQ(button.Changes::FireEvent(kChanged), S_OK);
    EXPECT_EQ(button.Changes::FireEvent(99, LONG(5)), S_OK);
    EXPECT_EQ(button.Clicks::FireEvent(kChanged), S_OK);  // the click sinks have no Changed
    EXPECT_EQ(watcher.calls, std::vector<std::wstring>{L"changed"});
    watcher.ChangeSink::DispEventUnadvise(button.GetUnknown());
    watcher.UnblockSink::DispEventUnadvise(button.GetUnknown());
}

TEST(DispatchEvent, ArgumentsAreCheckedAndCoercedAsDeclared) {
    Button button;
    ToolbarWatcher watcher;
    watcher.BlockSink::DispEventAdvise(button.GetUnknown());
    watcher.ChangeSink::DispEventAdvise(button.GetUnknown());
    IDispatch* clicks = SinkOn(button, __uuidof(ButtonEvents));
    IDispatch* changes = SinkOn(button, __uuidof(OtherEvents));

    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG args[2];
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = static_cast<CommandBarButton*>(&button);
    args[0].vt = VT_BOOL;  // Cancel by value, where a reference is declared
    args[0].boolVal = VARIANT_FALSE;
    DISPPARAMS params{args, nullptr, 2, 0};
    UINT argErr = 99;
    EXPECT_EQ(
        clicks->Invoke(kClick, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argErr),
        DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    params.cArgs = 1;
    params.rgvarg = &args[1];
    EXPECT_EQ(
        clicks->Invoke(kClick, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
        DISP_E_BADPARAMCOUNT);
    EXPECT_TRUE(watcher.calls.empty());
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    params = {args, nullptr, 2, 0};
    EXPECT_EQ(
        clicks->Invoke(kClick, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);

    // Values are coerced to the types the handler's signature implies.
    BSTR text = SysAllocString(L"42");
    args[1].vt = VT_BSTR;  // count
    args[1].bstrVal = text;
    args[0].vt = VT_I4;  // text
    args[0].lVal = 7;
    EXPECT_EQ(
        changes->Invoke(kCount, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(watcher.calls.back(), L"42 7");
    SysReAllocString(&args[1].bstrVal, L"many");
    argErr = 99;
    EXPECT_EQ(
        changes->Invoke(kCount, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argErr),
        DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    SysFreeString(args[1].bstrVal);

    // An entry whose function info does not describe its handler is not called.
    params = {&args[1], nullptr, 1, 0};
    args[1].vt = VT_I4;
    args[1].lVal = 1;
    EXPECT_EQ(changes->Invoke(kMistyped, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                              nullptr),
              DISP_E_BADCALLEE);
    EXPECT_EQ(watcher.calls.size(), 2u);
    watcher.BlockSink::DispEventUnadvise(button.GetUnknown());
    watcher.ChangeSink::DispEventUnadvise(button.GetUnknown());
}

// A COM object's class: its interfaces give it no single AddRef, and its
// COM map's GetUnknown names its identity; the most derived class counts.
class ComWatcher : public IDispatch,
                   public ISupportErrorInfo,
                   public IDispEventSimpleImpl<1, ComWatcher, &__uuidof(ButtonEvents)> {
  public:
    using Sink = IDispEventSimpleImpl<1, ComWatcher, &__uuidof(ButtonEvents)>;
    IUnknown* GetUnknown() { return static_cast<IDispatch*>(this); }
    int clicks = 0;
    void __stdcall OnClick(IDispatch*, VARIANT_BOOL* cancel) {
        ++clicks;
        *cancel = VARIANT_TRUE;
    }
    BEGIN_SINK_MAP(ComWatcher)
    SINK_ENTRY_EX(1, __uuidof(ButtonEvents), kClick, &ComWatcher::OnClick)
    END_SINK_MAP()
};

class ComWatcherObject final : public ComWatcher {
  public:
    LONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID) override { return S_FALSE; }
};

// A source holding the sink must not keep the sink's owner alive: an add-in
// object whose sinks counted on it would never be destroyed while a source
// it watches lives.
TEST(DispatchEvent, AConnectedSinkLeavesItsComObjectsCountAlone) {
    Button button;
    ComWatcherObject watcher;
    ASSERT_EQ(watcher.Sink::DispEventAdvise(button.GetUnknown()), S_OK);
    EXPECT_EQ(watcher.references, 1);
    EXPECT_EQ(button.Click(), VARIANT_TRUE);  // the signature's info takes Cancel by reference
    EXPECT_EQ(watcher.clicks, 1);
    EXPECT_EQ(watcher.references, 1);
    EXPECT_EQ(watcher.Sink::DispEventUnadvise(button.GetUnknown()), S_OK);
    EXPECT_EQ(watcher.references, 1);
}

}  // namespace
