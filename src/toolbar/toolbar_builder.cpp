#include "toolbar/toolbar_builder.h"

#include <comdef.h>

#include <array>
#include <iterator>
#include <type_traits>

#include "support/language/sections.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/utility/brevint_helper.h"
#include "support/utility/com_error.h"
#include "toolbar/logo_window.h"

namespace {

constexpr const char* kCreate = "CConnect::CreateBVToolbar";
constexpr wchar_t kBarName[] = L"Brevint toolbar";
constexpr wchar_t kLeftoverMark[] = L"Brevint";
// No customizing, resizing, hiding, re-docking or vertical docking: the user
// may still move the bar along the top.
constexpr auto kProtection = static_cast<Office::MsoBarProtection>(
    Office::msoBarNoCustomize | Office::msoBarNoResize | Office::msoBarNoChangeVisible |
    Office::msoBarNoChangeDock | Office::msoBarNoVerticalDock);
constexpr int kControlWidth = 70;
constexpr int kLogoWidth = 90;

// Where a control is placed; the collections are taken in this order, each
// the first time a control goes into it.
enum class Parent { Bar, MainMenu, BlacklistMenu, WhitelistMenu };
constexpr const wchar_t* kMissingControls[] = {
    L"Could not get command bar controls 1", L"Could not get command bar controls 2",
    L"Could not get command bar controls 3", L"Could not get command bar controls 4"};

enum class Tag { Logo, Advert, Caption, BlacklistCaption, WhitelistCaption };
// What happens to a control right after it is created.
enum class Then { Nothing, DisableAndKeep, Keep, Hide };

using ButtonField = CComPtr<Office::CommandBarButton> CToolbarRecord::*;
using PopupField = CComPtr<Office::CommandBarPopup> CToolbarRecord::*;

struct ControlRow {
    ButtonField button;  // null for a pop-up menu
    PopupField popup;    // null for a button
    Parent parent;
    int captionKey;  // 0: no caption
    int tooltipKey;  // 0: no tooltip
    Tag tag;
    int width;
    bool enabled;
    bool beginGroup;
    bool outsideExchangeModule;  // built only when the Exchange module is not there
    Then then;
};

// The controls of a bar, in the order they are created.
constexpr ControlRow kControls[] = {
    {&CToolbarRecord::logoButton, nullptr, Parent::Bar, 0, 0, Tag::Logo, kLogoWidth, true, false,
     false, Then::DisableAndKeep},
    {&CToolbarRecord::blockButton, nullptr, Parent::Bar, 1, 11, Tag::Caption, kControlWidth, false,
     true, false, Then::Nothing},
    {&CToolbarRecord::unblockButton, nullptr, Parent::Bar, 2, 21, Tag::Caption, kControlWidth,
     false, false, false, Then::Nothing},
    {nullptr, &CToolbarRecord::mainMenu, Parent::Bar, 3, 31, Tag::Caption, kControlWidth, true,
     false, false, Then::Nothing},
    {&CToolbarRecord::advertButton, nullptr, Parent::Bar, 523, 0, Tag::Advert, kControlWidth, true,
     true, false, Then::Keep},
    {nullptr, &CToolbarRecord::blacklistMenu, Parent::MainMenu, 4, 0, Tag::Caption, kControlWidth,
     true, false, false, Then::Nothing},
    {nullptr, &CToolbarRecord::whitelistMenu, Parent::MainMenu, 5, 0, Tag::Caption, kControlWidth,
     true, false, false, Then::Nothing},
    {&CToolbarRecord::recheckButton, nullptr, Parent::MainMenu, 6, 0, Tag::Caption, kControlWidth,
     false, false, true, Then::Nothing},
    {&CToolbarRecord::emptyFolderButton, nullptr, Parent::MainMenu, 7, 0, Tag::Caption,
     kControlWidth, false, false, false, Then::Nothing},
    {&CToolbarRecord::tellAFriendButton, nullptr, Parent::MainMenu, 10, 0, Tag::Caption,
     kControlWidth, false, false, true, Then::Hide},
    {&CToolbarRecord::optionsButton, nullptr, Parent::MainMenu, 8, 0, Tag::Caption, kControlWidth,
     true, false, false, Then::Nothing},
    {&CToolbarRecord::blacklistEmailButton, nullptr, Parent::BlacklistMenu, 511, 0,
     Tag::BlacklistCaption, kControlWidth, false, false, false, Then::Nothing},
    {&CToolbarRecord::blacklistDomainButton, nullptr, Parent::BlacklistMenu, 521, 0,
     Tag::BlacklistCaption, kControlWidth, false, false, false, Then::Nothing},
    {&CToolbarRecord::whitelistEmailButton, nullptr, Parent::WhitelistMenu, 411, 0,
     Tag::WhitelistCaption, kControlWidth, false, false, false, Then::Nothing},
    {&CToolbarRecord::whitelistDomainButton, nullptr, Parent::WhitelistMenu, 421, 0,
     Tag::WhitelistCaption, kControlWidth, false, false, false, Then::Nothing},
};

// The buttons' images, in the order they are pasted: the clipboard keeps the
// last one.
struct ImageRow {
    ButtonField button;
    int image;
};
constexpr ImageRow kImages[] = {
    {&CToolbarRecord::blockButton, 2},          {&CToolbarRecord::unblockButton, 3},
    {&CToolbarRecord::recheckButton, 9},        {&CToolbarRecord::tellAFriendButton, 11},
    {&CToolbarRecord::emptyFolderButton, 10},   {&CToolbarRecord::optionsButton, 12},
    {&CToolbarRecord::blacklistEmailButton, 5}, {&CToolbarRecord::blacklistDomainButton, 6},
    {&CToolbarRecord::whitelistEmailButton, 7}, {&CToolbarRecord::whitelistDomainButton, 8},
};

// A step whose COM error is logged and after which construction goes on.
template <class Step>
void Guarded(const char* function, Step&& step) {
    try {
        step();
    } catch (const _com_error& error) {
        LogComException(function, error);
    }
}

void Log(const char* function, const wchar_t* message) {
    CLogger::GetInstance().LogMessage(function, message);
}

VARIANT Omitted() {
    VARIANT omitted;
    VariantInit(&omitted);
    V_VT(&omitted) = VT_ERROR;
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    return omitted;
}

CComVariant TypeArgument(Office::MsoControlType type) {
    return CComVariant(static_cast<LONG>(type));
}

// A new control of `type`, temporary, at the end of `controls`; null when
// Office gives none.
CComPtr<Office::CommandBarControl> AddControl(Office::CommandBarControls* controls,
                                              Office::MsoControlType type) {
    CComPtr<Office::CommandBarControl> control;
    if (!controls)
        return control;
    const CComVariant temporary(true);
    RaiseIfFailed(
        controls->Add(TypeArgument(type), Omitted(), Omitted(), Omitted(), temporary, &control),
        controls);
    return control;
}

// The properties both kinds of control share, in Office's order.
void SetCommonProperties(Office::CommandBarControl* control, const wchar_t* caption,
                         const wchar_t* tooltip, const wchar_t* tag, int width, int enabled,
                         int visible, int beginGroup) {
    auto text = [](const wchar_t* value) { return CComBSTR(value ? value : L""); };
    auto flag = [](int value) { return value ? VARIANT_TRUE : VARIANT_FALSE; };
    RaiseIfFailed(control->put_Visible(flag(visible)), control);
    RaiseIfFailed(control->put_Caption(text(caption)), control);
    RaiseIfFailed(control->put_Enabled(flag(enabled)), control);
    RaiseIfFailed(control->put_TooltipText(text(tooltip)), control);
    RaiseIfFailed(control->put_Tag(text(tag)), control);
    RaiseIfFailed(control->put_Width(width), control);
    RaiseIfFailed(control->put_BeginGroup(flag(beginGroup)), control);
}

// Frees a bitmap that nobody took over.
struct BitmapOwner {
    HBITMAP bitmap = nullptr;
    ~BitmapOwner() {
        if (bitmap)
            DeleteObject(bitmap);
    }
};

// Places the bitmap on the clipboard, which then owns it; false when the
// clipboard could not be opened or refused it.
bool PlaceOnClipboard(BitmapOwner& image) {
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_BITMAP, image.bitmap) != nullptr;
    if (placed)
        image.bitmap = nullptr;
    CloseClipboard();
    return placed;
}

}  // namespace

CToolbarBuilder::CToolbarBuilder(const CBrevintHelper& labels, CLogoWindows& logos)
    : m_labels(labels), m_logos(logos) {}

void CToolbarBuilder::CreateBVToolbar(CToolbarRecord& record, ToolbarMode mode) {
    replay::scope hold(&m_lock);
    CComPtr<Office::_CommandBars> bars;
    Guarded(kCreate, [&] {
        if (record.explorer)
            RaiseIfFailed(record.explorer->get_CommandBars(&bars), record.explorer.p);
    });
    if (!bars) {
        Log(kCreate, L"Could not get command bars");
        return;
    }
    DeleteLeftoverBars(bars);
    AddBar(record, bars);
    CreateControls(record, mode);
    Guarded(kCreate, [&] {
        if (record.commandBar)
            RaiseIfFailed(record.commandBar->put_Visible(VARIANT_TRUE), record.commandBar.p);
    });
    m_logos.AddLogoWindow(record, false);
    AddImages(record);
}

void CToolbarBuilder::DeleteLeftoverBars(Office::_CommandBars* bars) {
    int count = 0;
    RaiseIfFailed(bars->get_Count(&count), bars);
    for (int i = count; i >= 1; --i) {
        CComVariant index;
        V_VT(&index) = VT_UI4;
        V_UI4(&index) = static_cast<ULONG>(i);
        CComPtr<Office::CommandBar> bar;
        if (FAILED(bars->get_Item(index, &bar)) || !bar)
            continue;
        CComBSTR name;
        if (FAILED(bar->get_Name(&name)) || name.Length() == 0)
            continue;
        if (!CBrevintHelper::IsSubstringConsisted(std::wstring(name, name.Length()), kLeftoverMark))
            continue;
        Log(kCreate, L"Old Brevint toolbar found");
        RaiseIfFailed(bar->Delete(), bar.p);
        Log(kCreate, L"Old Brevint toolbar was deleted");
    }
}

void CToolbarBuilder::AddBar(CToolbarRecord& record, Office::_CommandBars* bars) {
    Guarded(kCreate, [&] {
        const CComVariant name(kBarName);
        const CComVariant position(static_cast<LONG>(Office::msoBarTop));
        const CComVariant temporary(true);
        record.commandBar.Release();
        RaiseIfFailed(bars->Add(name, position, Omitted(), temporary, &record.commandBar), bars);
        if (!record.commandBar)
            return;
        RaiseIfFailed(record.commandBar->put_Visible(VARIANT_FALSE), record.commandBar.p);
        RaiseIfFailed(record.commandBar->put_Protection(kProtection), record.commandBar.p);
    });
}

void CToolbarBuilder::CreateControls(CToolbarRecord& record, ToolbarMode mode) {
    std::array<CComPtr<Office::CommandBarControls>, std::size(kMissingControls)> collections;
    std::array<bool, std::size(kMissingControls)> taken{};
    // A menu's collection is taken once its menu exists, the first time a
    // control goes into it.
    auto collection = [&](Parent parent) -> Office::CommandBarControls* {
        const auto at = static_cast<size_t>(parent);
        if (!taken[at]) {
            taken[at] = true;
            Guarded(kCreate, [&] {
                switch (parent) {
                    case Parent::Bar:
                        if (record.commandBar)
                            RaiseIfFailed(record.commandBar->get_Controls(&collections[at]),
                                          record.commandBar.p);
                        break;
                    case Parent::MainMenu:
                    case Parent::BlacklistMenu:
                    case Parent::WhitelistMenu: {
                        const PopupField menu =
                            parent == Parent::MainMenu        ? &CToolbarRecord::mainMenu
                            : parent == Parent::BlacklistMenu ? &CToolbarRecord::blacklistMenu
                                                              : &CToolbarRecord::whitelistMenu;
                        if (Office::CommandBarPopup* popup = record.*menu)
                            RaiseIfFailed(popup->get_Controls(&collections[at]), popup);
                        break;
                    }
                }
            });
            if (!collections[at])
                Log(kCreate, kMissingControls[at]);
        }
        return collections[at];
    };

    for (const ControlRow& row : kControls) {
        if (row.outsideExchangeModule && mode.exchangeModule)
            continue;
        Office::CommandBarControls* controls = collection(row.parent);
        if (!controls)
            continue;
        std::wstring caption;
        if (row.tag == Tag::Advert && mode.exchangeModule)
            caption = L"Connecting to VXM";
        else if (row.captionKey)
            m_labels.GetLabelText(language::kOutlookToolbar, row.captionKey, caption);
        std::wstring tooltip;
        if (row.tooltipKey)
            m_labels.GetLabelText(language::kOutlookToolbar, row.tooltipKey, tooltip);
        std::wstring tag;
        switch (row.tag) {
            case Tag::Logo:
                tag = L"Tag Logo";
                break;
            case Tag::Advert:
                tag = L"Tag Advert";
                break;
            case Tag::Caption:
                tag = L"Tag " + caption;
                break;
            case Tag::BlacklistCaption:
                tag = L"Tag BL" + caption;
                break;
            case Tag::WhitelistCaption:
                tag = L"Tag WL" + caption;
                break;
        }
        if (row.popup) {
            AddToolbarGroupButton(caption.c_str(), tooltip.c_str(), tag.c_str(), row.width,
                                  row.enabled, true, row.beginGroup, record.*row.popup, controls);
            continue;
        }
        CComPtr<Office::CommandBarButton>& button = record.*row.button;
        AddToolbarButton(caption.c_str(), tooltip.c_str(), tag.c_str(), row.width, row.enabled,
                         true, row.beginGroup, button, controls);
        if (!button || row.then == Then::Nothing)
            continue;
        Guarded(kCreate, [&] {
            switch (row.then) {
                case Then::DisableAndKeep:
                    RaiseIfFailed(button->put_Enabled(VARIANT_FALSE), button.p);
                    RaiseIfFailed(button->put_Priority(1), button.p);
                    break;
                case Then::Keep:
                    RaiseIfFailed(button->put_Priority(1), button.p);
                    break;
                case Then::Hide:
                    RaiseIfFailed(button->put_Visible(VARIANT_FALSE), button.p);
                    break;
                case Then::Nothing:
                    break;
            }
        });
    }
}

void CToolbarBuilder::AddImages(CToolbarRecord& record) {
    for (const ImageRow& row : kImages) {
        Office::CommandBarButton* button = record.*row.button;
        if (!button)
            continue;
        std::wstring path;
        CBrevintHelper::GetImageLocation(row.image, path);
        AddImageToButton(button, path);
    }
}

namespace {

// How one kind of control is added: what Office is asked for and what the
// log says when it gives none. A button is made caption-only first.
struct ControlKind {
    const char* function;
    Office::MsoControlType type;
    const wchar_t* noControl;  // Controls.Add gave nothing
    const wchar_t* noKind;     // the control is not of the kind asked for
};

template <class Control>
void AddOfKind(const ControlKind& kind, const wchar_t* caption, const wchar_t* tooltip,
               const wchar_t* tag, int width, int enabled, int visible, int beginGroup,
               CComPtr<Control>& control, Office::CommandBarControls* controls) {
    CTraceScope trace(kind.function);
    RunLoggedStage(
        kind.function, L"Unhandled exception",
        [&] {
            const CComPtr<Office::CommandBarControl> added = AddControl(controls, kind.type);
            control.Release();
            if (!added) {
                Log(kind.function, kind.noControl);
                return;
            }
            if (FAILED(added.QueryInterface(&control)) || !control) {
                Log(kind.function, kind.noKind);
                return;
            }
            if constexpr (std::is_same_v<Control, Office::CommandBarButton>)
                RaiseIfFailed(control->put_Style(Office::msoButtonCaption), control.p);
            SetCommonProperties(control, caption, tooltip, tag, width, enabled, visible,
                                beginGroup);
        },
        OtherFailures::LoggedAndRethrown);
}

constexpr ControlKind kButton{"CConnect::AddToolbarButton", Office::msoControlButton,
                              L"Could not add control", L"Could not create button"};
constexpr ControlKind kPopup{"CConnect::AddToolbarGroupButton", Office::msoControlPopup,
                             L"Could not get commandbar popup 1",
                             L"Could not get commandbar popup 1"};

}  // namespace

void CToolbarBuilder::AddToolbarButton(const wchar_t* caption, const wchar_t* tooltip,
                                       const wchar_t* tag, int width, int enabled, int visible,
                                       int beginGroup, CComPtr<Office::CommandBarButton>& control,
                                       Office::CommandBarControls* controls) {
    AddOfKind(kButton, caption, tooltip, tag, width, enabled, visible, beginGroup, control,
              controls);
}

void CToolbarBuilder::AddToolbarGroupButton(const wchar_t* caption, const wchar_t* tooltip,
                                            const wchar_t* tag, int width, int enabled, int visible,
                                            int beginGroup,
                                            CComPtr<Office::CommandBarPopup>& control,
                                            Office::CommandBarControls* controls) {
    AddOfKind(kPopup, caption, tooltip, tag, width, enabled, visible, beginGroup, control,
              controls);
}

void CToolbarBuilder::AddImageToButton(Office::CommandBarButton* control,
                                       const std::wstring& path) {
    constexpr const char* kFunction = "CConnect::AddImageToButton";
    Log(kFunction, L"convertion enter");
    CComQIPtr<Office::CommandBarButton> button(control);
    Log(kFunction, L"convertion exit");
    if (path.empty() || !button)
        return;
    BitmapOwner image;
    image.bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!image.bitmap || !PlaceOnClipboard(image))
        return;
    // Each call has its own guard: the face is still pasted when the style
    // could not be set.
    auto attempt = [&](auto call) {
        try {
            RaiseIfFailed(call(), button.p);
        } catch (const _com_error& error) {
            LogComException(kFunction, error);
            Log(kFunction, L"Could not put image");
        }
    };
    attempt([&] { return button->put_Style(Office::msoButtonIconAndCaption); });
    attempt([&] { return button->PasteFace(); });
}
