// Outlook's process as the simulator plays it: the installation on disk and
// in the registry, the host's application and explorers on this thread (the
// user-interface thread, a single-threaded apartment), the add-ins it loads
// from its add-in registration, its message loop and the passing of time.
//
// Every call that runs Outlook's code, and through it the add-in's, runs
// under a structured-exception guard: a hardware fault or an uncaught C++
// exception there is Outlook crashing. So is one on another thread (a worker
// of the add-in) that nothing handles: the platform hands it to the process,
// and the crashed thread stays blocked for ever. Either is recorded, and from
// then on nothing more is called in the add-in.
#pragma once

#include <mailstore/model.h>
#include <outlook_host.h>
#include <platform/crash.h>
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "scenario.h"
#include "sim_service.h"

struct IUnknown;

namespace olsim {

struct Crash {
    std::string command;              // the command that was running
    DWORD code = 0;                   // the exception code the fault raised
    std::string what;                 // the exception, as the platform describes it
    DWORD thread = 0;                 // the crashed thread's identifier
    bool userInterfaceThread = true;  // ... Outlook's own thread, not a worker
    std::string Describe() const;
};

// How the mail server's delivery meets Outlook's thread.
struct DeliveryOptions {
    bool pump = true;               // Outlook's thread handles the news before the next delivery
    bool deleteBeforePump = false;  // the message is gone again before that
};

// How long the last add-in connected took Outlook, in real time.
struct StartTimes {
    double onConnectionMs = 0;
    double onStartupCompleteMs = 0;
};

class OutlookProcess {
  public:
    explicit OutlookProcess(Profile profile);
    ~OutlookProcess();
    OutlookProcess(const OutlookProcess&) = delete;
    OutlookProcess& operator=(const OutlookProcess&) = delete;

    const Profile& profile() const { return m_profile; }

    // Lays down the installation; false with the reason in `error`. What was
    // done is added to `done`, one sentence per step.
    bool Install(std::vector<std::string>& done, std::string& error);

    // Starts Outlook: the explorers of the profile, then every add-in its
    // registration loads at start (OnConnection, OnStartupComplete). The
    // returned text names what was loaded or why nothing was.
    bool Start(std::string& message);
    // OnBeginShutdown, OnDisconnection, release, the explorers closed and the
    // add-in modules unloaded.
    bool Quit(std::string& message);
    bool started() const { return m_host != nullptr; }
    StartTimes lastStart() const { return m_lastStart; }
    size_t addinCount() const { return m_addins.size(); }

    // The user's actions on explorers; false with a reason when not possible.
    bool OpenExplorer(const std::wstring& caption, std::string& message, bool activate = true);
    bool ActivateExplorer(int id, std::string& message);
    bool ChangeSelection(int id, std::string& message);
    bool CloseExplorer(int id, std::string& message);
    std::vector<outlook::host::ExplorerInfo> Explorers() const;
    // A user's action on Outlook's windows (`command` names it for a crash):
    // `act` gives why it could not be done, or nothing; then the message loop
    // runs. False with the reason when it was refused or Outlook crashed.
    bool UserAction(const std::string& command,
                    const std::function<std::wstring(outlook::host::OutlookHost&)>& act,
                    std::string& message);
    // The command bars of explorer `id`; empty when it is not open.
    std::vector<outlook::host::BarInfo> Bars(int id) const;

    // Mail arriving as the mail server delivers it: into the store model,
    // which notifies the store's subscribers (MAPI's advise sinks, the
    // safe-item library's new-mail event), then the message loop runs, where
    // those reach the add-in. False with the model's reason when the message
    // is refused.
    bool DeliverMail(const mailstore::FolderPtr& folder, const mailstore::Bytes& message,
                     std::string& error, const DeliveryOptions& options = {});

    // The folder a message was delivered into ("Personal Folders/Inbox"), by
    // the entry identifier it had then (a move within a store keeps it);
    // nothing for a message this process did not deliver.
    std::optional<std::string> DeliveredInto(const mailstore::EntryId& id) const;

    // Runs the message loop until no message waits and the worker threads
    // have settled, or until a crash.
    void Pump();
    // Moves the clock forward, delivering timers and pumping as it goes.
    void Advance(unsigned long long ms);

    // Runs `body` as a command under the crash guard; false when Outlook
    // crashed (on this thread or another) while it ran.
    bool Guarded(const std::string& command, const std::function<void()>& body);
    // The first crash of the process, on any thread.
    std::optional<Crash> crash() const;

    // The filter service of the run; null before the installation.
    SimService* service() const { return m_service.get(); }

  private:
    struct Addin;
    void ConnectAddins(std::string& message);
    void PumpMessages();
    bool Crashed() const { return crash().has_value(); }
    // A crash on a thread that no guard of Outlook's covers (a worker of the
    // add-in), as the platform reports it.
    void CrashedElsewhere(const platform::host::ProcessCrash& crash);

    Profile m_profile;
    std::unique_ptr<SimService> m_service;
    bool m_comInitialized = false;
    std::unique_ptr<outlook::host::OutlookHost> m_host;
    std::vector<std::unique_ptr<Addin>> m_addins;
    StartTimes m_lastStart;
    const DWORD m_userInterfaceThread;
    std::map<mailstore::EntryId, std::string> m_deliveredInto;
    // The command and the crash are seen from every thread that may crash.
    mutable std::mutex m_lock;
    std::string m_command;  // the command running, empty between commands
    std::optional<Crash> m_crash;
};

}  // namespace olsim
