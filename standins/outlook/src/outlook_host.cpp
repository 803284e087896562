#include "outlook_host.h"

#include <mutex>

#include "application.h"
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

    // The record of an open explorer, null when `id` is not open.
    ExplorerRecord* OpenRecord(int id) {
        ExplorerRecord* record = model.Find(id);
        return record && record->open ? record : nullptr;
    }

    // Takes the explorer's window down and out of Explorers.
    static void Shut(ExplorerRecord& record) {
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

OutlookHost::OutlookHost(std::wstring version) : state_(std::make_unique<State>()) {
    objects::RegisterOutlookProxies();
    state_->model.errorSource = objects::ErrorSourceOf(version);
    state_->model.version = std::move(version);
    state_->explorers = objects::MakeObject<objects::ExplorersObject>(&state_->model);
    state_->mapi = objects::MakeObject<objects::NameSpaceObject>(&state_->model);
    state_->application = objects::MakeObject<objects::ApplicationObject>(&state_->model);
    state_->application->SetParts(state_->explorers, state_->mapi);
    state_->model.nameSpace = static_cast<Outlook::_NameSpace*>(state_->mapi.p);
}

// No events are raised here: Outlook closes its windows, raising their
// events, before it lets its add-ins go; the simulator does so through
// CloseExplorer. What the add-in still holds answers RPC_E_DISCONNECTED, and
// the sinks it left advised on the explorers are let go, as the end of
// Outlook's process lets them go (an add-in holding an explorer whose Close
// it still watches would otherwise keep both alive).
OutlookHost::~OutlookHost() {
    for (ExplorerRecord& record : state_->model.explorers) {
        State::Shut(record);
        record.object->Detach();
        record.object->DisconnectSinks();
    }
    state_->application->Detach();
    state_->explorers->Detach();
    state_->mapi->Detach();
    // Folders and items the add-in still holds answer as closed too.
    const std::set<objects::ModelBound*> bound = state_->model.bound;
    for (objects::ModelBound* object : bound)
        object->Detach();
    state_->model.nameSpace = nullptr;
    state_->application->SetParts(nullptr, nullptr);
}

IDispatch* OutlookHost::Application() {
    IDispatch* application = static_cast<Outlook::_Application*>(state_->application.p);
    application->AddRef();
    return application;
}

HRESULT OutlookHost::MapiNamespace(Outlook::_NameSpace** nameSpace) {
    platform::calls::WorldsOwnCalls host;  // not a call of the add-in's
    return state_->application->GetNamespace(CComBSTR(L"MAPI"), nameSpace);
}

int OutlookHost::OpenExplorer(const std::wstring& caption, bool activate) {
    State& state = *state_;
    CComPtr<objects::ExplorerObject> explorer =
        objects::MakeObject<objects::ExplorerObject>(&state.model);
    explorer->SetCaption(caption);
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
    if (!activate)
        return id;
    opened->activated = ++state.model.activations;
    explorer->Raise(DISPID_Outlook_ExplorerEvents_Activate);
    return id;
}

bool OutlookHost::ActivateExplorer(int id) {
    if (ExplorerRecord* record = state_->OpenRecord(id))
        record->activated = ++state_->model.activations;
    return state_->RaiseOn(id, DISPID_Outlook_ExplorerEvents_Activate);
}

bool OutlookHost::ChangeSelection(int id) {
    return state_->RaiseOn(id, DISPID_Outlook_ExplorerEvents_SelectionChange);
}

bool OutlookHost::CloseExplorer(int id) {
    if (!state_->RaiseOn(id, DISPID_Outlook_ExplorerEvents_Close))
        return false;
    // A handler may have opened explorers meanwhile: find the record again.
    ExplorerRecord* record = state_->OpenRecord(id);
    if (record)
        State::Shut(*record);
    return true;
}

bool OutlookHost::SendItem(IDispatch* item) {
    CComPtr<objects::ApplicationObject> application = state_->application;
    return application->RaiseItemSend(item);
}

void OutlookHost::FaultOnNextCall(const std::wstring& member) {
    platform::calls::Injection fault;
    fault.action = platform::calls::Action::Fault;
    platform::calls::Arm(member, fault);
}

std::vector<ExplorerInfo> OutlookHost::Explorers() const {
    std::vector<ExplorerInfo> infos;
    const objects::ExplorerObject* active = state_->model.Active();
    for (const ExplorerRecord& record : state_->model.explorers) {
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
