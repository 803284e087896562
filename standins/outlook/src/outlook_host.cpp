#include "outlook_host.h"

#include <mutex>

#include "application.h"
#include "command_bar_file.h"
#include "command_bar_popup.h"
#include "command_bars.h"
#include "explorer.h"
#include "explorers.h"
#include "frame_window.h"
#include "namespace.h"
#include "proxies.h"

namespace outlook::host {

using objects::ExplorerRecord;

struct OutlookHost::State {
    objects::Model model;
    CComPtr<objects::ApplicationObject> application;
    CComPtr<objects::ExplorersObject> explorers;
    CComPtr<objects::NameSpaceObject> mapi;
    int lastId = 0;
    // The bars that are not temporary, as the last explorer to close (or the
    // last still open when Outlook quits) left them: what a new explorer
    // finds, and what Outlook's command bar file keeps.
    std::vector<BarInfo> keptBars;
    std::filesystem::path barFile;

    static void KeepBarsOf(const ExplorerRecord& record, std::vector<BarInfo>& kept) {
        std::vector<BarInfo> bars;
        for (const auto& bar : record.object->CommandBars()->Bars())
            bars.push_back(bar->Snapshot());
        kept = objects::KeptBars(bars);
    }

    // The record of an open explorer, null when `id` is not open.
    ExplorerRecord* OpenRecord(int id) {
        ExplorerRecord* record = model.Find(id);
        return record && record->open ? record : nullptr;
    }

    // Takes the explorer's window down and out of Explorers.
    static void Shut(ExplorerRecord& record) {
        record.object->CommandBars()->ForgetWindows();
        if (record.frame)
            DestroyWindow(record.frame);
        record.frame = nullptr;
        record.open = false;
    }

    // Raises `event` on explorer `id`; false when it is not open.
    bool RaiseOn(int id, DISPID event) {
        ExplorerRecord* record = OpenRecord(id);
        if (!record)
            return false;
        CComPtr<objects::ExplorerObject> explorer = record->object;  // handlers may close it
        explorer->Raise(event);
        return true;
    }
};

OutlookHost::OutlookHost(std::wstring version) : m_state(std::make_unique<State>()) {
    objects::RegisterOutlookProxies();
    m_state->model.errorSource = objects::ErrorSourceOf(version);
    m_state->model.version = std::move(version);
    m_state->explorers = objects::MakeObject<objects::ExplorersObject>(&m_state->model);
    m_state->mapi = objects::MakeObject<objects::NameSpaceObject>(&m_state->model);
    m_state->application = objects::MakeObject<objects::ApplicationObject>(&m_state->model);
    m_state->application->SetParts(m_state->explorers, m_state->mapi);
    m_state->model.nameSpace = static_cast<Outlook::_NameSpace*>(m_state->mapi.p);
    m_state->barFile = objects::CommandBarFilePath();
    m_state->keptBars = objects::LoadCommandBars(m_state->barFile);
}

// No events are raised here: Outlook closes its windows, raising their
// events, before it lets its add-ins go; the simulator does so through
// CloseExplorer. What the add-in still holds answers RPC_E_DISCONNECTED, and
// the sinks it left advised on the explorers are let go, as the end of
// Outlook's process lets them go (an add-in holding an explorer whose Close
// it still watches would otherwise keep both alive).
OutlookHost::~OutlookHost() {
    for (ExplorerRecord& record : m_state->model.explorers) {
        if (record.open)
            State::KeepBarsOf(record, m_state->keptBars);
    }
    // Written when there is something to keep, or to forget.
    std::error_code ignored;
    if (!m_state->barFile.empty() &&
        (!m_state->keptBars.empty() || std::filesystem::exists(m_state->barFile, ignored)))
        objects::SaveCommandBars(m_state->barFile, m_state->keptBars);
    for (ExplorerRecord& record : m_state->model.explorers) {
        record.object->CommandBars()->Disconnect();
        State::Shut(record);
        record.object->Detach();
        record.object->DisconnectSinks();
    }
    m_state->application->Detach();
    m_state->explorers->Detach();
    m_state->mapi->Detach();
    // Folders and items the add-in still holds answer as closed too.
    const std::set<objects::ModelBound*> bound = m_state->model.bound;
    for (objects::ModelBound* object : bound)
        object->Detach();
    m_state->model.nameSpace = nullptr;
    m_state->application->SetParts(nullptr, nullptr);
}

IDispatch* OutlookHost::Application() {
    IDispatch* application = static_cast<Outlook::_Application*>(m_state->application.p);
    application->AddRef();
    return application;
}

HRESULT OutlookHost::MapiNamespace(Outlook::_NameSpace** nameSpace) {
    platform::calls::WorldsOwnCalls host;  // not a call of the add-in's
    return m_state->application->GetNamespace(CComBSTR(L"MAPI"), nameSpace);
}

int OutlookHost::OpenExplorer(const std::wstring& caption, bool activate) {
    State& state = *m_state;
    CComPtr<objects::ExplorerObject> explorer =
        objects::MakeObject<objects::ExplorerObject>(&state.model);
    explorer->SetCaption(caption);
    CComPtr<objects::CommandBarsObject> bars =
        objects::MakeObject<objects::CommandBarsObject>(&state.model);
    bars->Populate(state.keptBars);
    explorer->SetCommandBars(bars);
    const int id = ++state.lastId;
    ExplorerRecord record;
    record.id = id;
    record.caption = caption;
    record.object = explorer;
    record.open = true;
    state.model.explorers.push_back(std::move(record));

    // Outlook raises NewExplorer for a window that is made but not yet
    // shown; showing it makes it the active one, which it then announces.
    state.explorers->RaiseNewExplorer(explorer);
    ExplorerRecord* opened = state.OpenRecord(id);
    if (!opened)
        return id;  // a handler closed it already
    opened->frame = objects::CreateExplorerFrame(caption);
    if (opened->frame)
        bars->SetDock(FindWindowExW(opened->frame, nullptr, nullptr, L"MsoDockTop"));
    if (!activate)
        return id;
    opened->activated = ++state.model.activations;
    explorer->Raise(DISPID_Outlook_ExplorerEvents_Activate);
    return id;
}

bool OutlookHost::ActivateExplorer(int id) {
    if (ExplorerRecord* record = m_state->OpenRecord(id))
        record->activated = ++m_state->model.activations;
    return m_state->RaiseOn(id, DISPID_Outlook_ExplorerEvents_Activate);
}

bool OutlookHost::ChangeSelection(int id) {
    return m_state->RaiseOn(id, DISPID_Outlook_ExplorerEvents_SelectionChange);
}

bool OutlookHost::CloseExplorer(int id) {
    if (!m_state->RaiseOn(id, DISPID_Outlook_ExplorerEvents_Close))
        return false;
    // A handler may have opened explorers meanwhile: find the record again.
    ExplorerRecord* record = m_state->OpenRecord(id);
    if (record) {
        State::KeepBarsOf(*record, m_state->keptBars);
        State::Shut(*record);
    }
    return true;
}

bool OutlookHost::SendItem(IDispatch* item) {
    CComPtr<objects::ApplicationObject> application = m_state->application;
    return application->RaiseItemSend(item);
}

void OutlookHost::FaultOnNextCall(const std::wstring& member) {
    platform::calls::Injection fault;
    fault.action = platform::calls::Action::Fault;
    platform::calls::Arm(member, fault);
}

std::vector<ExplorerInfo> OutlookHost::Explorers() const {
    std::vector<ExplorerInfo> infos;
    const objects::ExplorerObject* active = m_state->model.Active();
    for (const ExplorerRecord& record : m_state->model.explorers) {
        ExplorerInfo info;
        info.id = record.id;
        info.caption = record.caption;
        info.frame = record.frame;
        info.open = record.open;
        info.active = record.open && record.object.p == active;
        infos.push_back(std::move(info));
    }
    return infos;
}

namespace {

using objects::ControlNode;

// The control that `path` names below `controls` (captions, ignoring case).
ControlNode* FindByPath(objects::CommandBarControlsObject* controls,
                        const std::vector<std::wstring>& path, std::size_t from,
                        std::wstring& refusal) {
    for (ControlNode* node : controls->Nodes()) {
        if (!objects::SameName(node->fields.caption, path[from]))
            continue;
        if (!node->fields.visible) {
            refusal = L"\"" + path[from] + L"\" is hidden";
            return nullptr;
        }
        if (from + 1 == path.size())
            return node;
        if (!node->Children()) {
            refusal = L"\"" + path[from] + L"\" is not a menu";
            return nullptr;
        }
        if (!node->fields.enabled) {
            refusal = L"menu \"" + path[from] + L"\" is disabled";
            return nullptr;
        }
        return FindByPath(node->Children(), path, from + 1, refusal);
    }
    refusal = L"no control \"" + path[from] + L"\"";
    return nullptr;
}

void CollectTagged(objects::CommandBarControlsObject* controls, const std::wstring& tag,
                   std::vector<ControlNode*>& found) {
    for (ControlNode* node : controls->Nodes()) {
        if (node->fields.type == Office::msoControlButton && node->fields.tag == tag)
            found.push_back(node);
        if (node->Children())
            CollectTagged(node->Children(), tag, found);
    }
}

}  // namespace

std::vector<BarInfo> OutlookHost::Bars(int id) const {
    std::vector<BarInfo> bars;
    if (ExplorerRecord* record = m_state->OpenRecord(id)) {
        for (const auto& bar : record->object->CommandBars()->Bars())
            bars.push_back(bar->Snapshot());
    }
    return bars;
}

namespace {

// Office's click: Click on every button of every open window that has the
// clicked button's tag, or on the button alone when its tag is empty. Each
// sink is given the clicked button and the one CancelDefault flag.
std::wstring Click(objects::Model& model, ControlNode* clicked) {
    if (!clicked->Children() && clicked->fields.type != Office::msoControlButton)
        return L"not a button";
    if (clicked->Children())
        return L"\"" + clicked->fields.caption + L"\" is a menu, not a button";
    if (!clicked->fields.enabled)
        return L"\"" + clicked->fields.caption + L"\" is disabled";
    std::vector<ControlNode*> targets;
    if (clicked->fields.tag.empty()) {
        targets.push_back(clicked);
    } else {
        for (objects::ExplorerObject* explorer : model.Open()) {
            for (const auto& bar : explorer->CommandBars()->Bars())
                CollectTagged(bar->Controls(), clicked->fields.tag, targets);
        }
    }
    std::vector<CComPtr<IDispatch>> alive;  // handlers may delete bars
    for (ControlNode* target : targets)
        alive.emplace_back(target->Dispatch());
    CComPtr<IDispatch> ctrl(clicked->Dispatch());
    VARIANT_BOOL cancel = VARIANT_FALSE;
    for (ControlNode* target : targets)
        target->RaiseClick(ctrl, &cancel);
    return {};
}

}  // namespace

std::wstring OutlookHost::ClickControl(int id, const std::vector<std::wstring>& path) {
    ExplorerRecord* record = m_state->OpenRecord(id);
    if (!record)
        return L"the explorer is not open";
    if (path.size() < 2)
        return L"a path names a bar and a control on it";
    objects::CommandBarObject* bar = record->object->CommandBars()->Find(path.front());
    if (!bar)
        return L"no bar \"" + path.front() + L"\"";
    if (!bar->State().visible)
        return L"bar \"" + path.front() + L"\" is hidden";
    std::wstring refusal;
    ControlNode* node = FindByPath(bar->Controls(), path, 1, refusal);
    return node ? Click(m_state->model, node) : refusal;
}

std::wstring OutlookHost::ClickTag(int id, const std::wstring& tag) {
    ExplorerRecord* record = m_state->OpenRecord(id);
    if (!record)
        return L"the explorer is not open";
    for (const auto& bar : record->object->CommandBars()->Bars()) {
        std::vector<ControlNode*> found;
        CollectTagged(bar->Controls(), tag, found);
        if (found.empty())
            continue;
        if (!bar->State().visible)
            return L"bar \"" + bar->State().name + L"\" is hidden";
        if (!found.front()->fields.visible)
            return L"the button tagged \"" + tag + L"\" is hidden";
        return Click(m_state->model, found.front());
    }
    return L"no button tagged \"" + tag + L"\"";
}

// The user drags a bar along the top dock: not when its protection forbids
// moving it, nor, for a bar that is not docked at the top, when it may not
// change its dock.
std::wstring OutlookHost::MoveBar(int id, const std::wstring& name, int rowIndex, int left,
                                  int top) {
    ExplorerRecord* record = m_state->OpenRecord(id);
    if (!record)
        return L"the explorer is not open";
    objects::CommandBarObject* bar = record->object->CommandBars()->Find(name);
    if (!bar)
        return L"no bar \"" + name + L"\"";
    const BarInfo& state = bar->State();
    if (!state.visible)
        return L"bar \"" + name + L"\" is hidden";
    if (state.protection & Office::msoBarNoMove)
        return L"bar \"" + name + L"\" may not be moved";
    if (state.position != Office::msoBarTop && (state.protection & Office::msoBarNoChangeDock))
        return L"bar \"" + name + L"\" may not change its dock";
    if (rowIndex < 1 || left < 0 || top < 0)
        return L"no such place on the top dock";
    bar->MoveTo(rowIndex, left, top);
    return {};
}

namespace {
std::mutex g_pickerLock;
std::optional<mailstore::EntryId> g_pickerChoice;
}  // namespace

void SetFolderPickerChoice(std::optional<mailstore::EntryId> folder) {
    std::lock_guard guard(g_pickerLock);
    g_pickerChoice = std::move(folder);
}

std::optional<mailstore::EntryId> FolderPickerChoice() {
    std::lock_guard guard(g_pickerLock);
    return g_pickerChoice;
}

}  // namespace outlook::host
