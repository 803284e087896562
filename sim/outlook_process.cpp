#include "outlook_process.h"

#include <atlbase.h>
#include <installation_kit.h>
#include <mapiview/installation.h>
#include <msaddndr.h>
#include <objbase.h>
#include <platform/clock.h>
#include <platform/filesystem.h>
#include <platform/seh.h>
#include <platform/call_faults.h>
#include <platform/windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <utility>

#include "mail.h"
#include "mail_census.h"
#include "registry_access.h"
#include "text.h"

namespace olsim {
namespace {

using AddInDesignerObjects::_IDTExtensibility2;

const wchar_t kAddinsKey[] = L"HKCU\\Software\\Microsoft\\Office\\Outlook\\Addins";
const wchar_t kInstallationKey[] = L"HKLM\\Software\\Brevint\\Installation";
// Where MAPI keeps the user's mail profiles and names the default one.

// The built modules an installation lays down, and where.
struct ModuleFile {
    const char* built;
    const wchar_t* name;
    bool registers;  // runs DllRegisterServer at installation
};
const ModuleFile kModules[] = {{OLSIM_ADDIN_MODULE_FILE, L"BVOL0000.dll", true},
                               {OLSIM_CORE_MODULE_FILE, L"Core.dll", true},
                               {OLSIM_SAFEITEM_MODULE_FILE, L"BVOLTOOL.dll", true}};

std::wstring WithBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path;
}

// "11.0.0.8312" -> "11.0", the version text Outlook's own keys are named by.
std::wstring MajorMinor(const std::wstring& version) {
    size_t first = version.find(L'.');
    if (first == std::wstring::npos)
        return version;
    size_t second = version.find(L'.', first + 1);
    return version.substr(0, second);
}

std::wstring AppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, path)))
        return L"";
    return path;
}

bool CopyModule(const std::filesystem::path& from, const std::wstring& to, std::string& error) {
    std::error_code failed;
    auto target = platform::host::HostPathFromWindows(to);
    std::filesystem::create_directories(target.parent_path(), failed);
    std::filesystem::copy_file(from, target, std::filesystem::copy_options::overwrite_existing,
                               failed);
    if (failed)
        error = "could not copy " + from.string() + " to " + Narrow(to) + ": " + failed.message();
    return !failed;
}

HRESULT RegisterModule(const std::wstring& path) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    HRESULT result = registerServer ? registerServer() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    FreeLibrary(module);
    return result;
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string Crash::Describe() const {
    std::string where = "Outlook crashed during '" + command + "'";
    if (!userInterfaceThread)
        where += " on thread " + std::to_string(thread) + ", a worker thread";
    return where + ": " + what + " (exception code " + Hex(code) + ")";
}

// One loaded add-in: its ProgID and its connection object.
struct OutlookProcess::Addin {
    std::wstring progId;
    CComPtr<_IDTExtensibility2> connection;
};

OutlookProcess::OutlookProcess(Profile profile)
    : m_profile(std::move(profile)), m_userInterfaceThread(GetCurrentThreadId()) {
    m_comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // Time passing by itself waits for this thread to block, as it waits for
    // the workers: it never moves while Outlook's thread runs.
    platform::host::AdvanceWaitsForThisThread();
    platform::host::OnProcessCrash(
        [this](const platform::host::ProcessCrash& crash) { CrashedElsewhere(crash); });
    SetUpMailStores(m_profile);
}

std::optional<Crash> OutlookProcess::crash() const {
    std::lock_guard guard(m_lock);
    return m_crash;
}

void OutlookProcess::CrashedElsewhere(const platform::host::ProcessCrash& crash) {
    std::unique_lock guard(m_lock);
    if (!m_crash) {
        m_crash = Crash{m_command.empty() ? "between commands" : m_command, crash.code,
                        crash.description, crash.threadId, crash.threadId == m_userInterfaceThread};
    }
    if (crash.threadId != m_userInterfaceThread)
        return;  // the worker stays where it crashed; this thread goes on
    // Outlook's own thread outside every guard: nothing can go on.
    guard.unlock();
    std::fprintf(stderr, "olsim: %s outside a command's guard; the run ends here\n",
                 m_crash->Describe().c_str());
    std::fflush(nullptr);
    std::_Exit(1);
}

bool OutlookProcess::DeliverMail(const mailstore::FolderPtr& folder,
                                 const mailstore::Bytes& message, std::string& error,
                                 const DeliveryOptions& options) {
    // The store's subscribers (the MAPI view and through it the add-in) hear
    // of the message on this thread, so the delivery runs under the crash
    // guard like every call into Outlook.
    bool refused = false;
    Guarded("deliver", [&] {
        mailstore::MessagePtr delivered;
        try {
            delivered = folder->Deliver(message);
        } catch (const mailstore::StoreError& reason) {
            error = reason.what();
            refused = true;
            return;
        }
        if (delivered)
            m_deliveredInto[delivered->Id()] = FolderPath(folder);
        if (options.deleteBeforePump && delivered)
            delivered->Delete();
        if (options.pump)
            Pump();
    });
    return !refused;
}

std::optional<std::string> OutlookProcess::DeliveredInto(const mailstore::EntryId& id) const {
    auto found = m_deliveredInto.find(id);
    if (found == m_deliveredInto.end())
        return std::nullopt;
    return found->second;
}

OutlookProcess::~OutlookProcess() {
    platform::host::OnProcessCrash(nullptr);
    if (Crashed()) {
        // Nothing more is called in the add-in: what it holds stays as the
        // crash left it, for the process's end to take away.
        for (auto& addin : m_addins)
            addin.release();
        m_host.release();
        return;
    }
    if (m_host) {
        std::string ignored;
        Quit(ignored);
    }
    if (m_comInitialized)
        CoUninitialize();
}

bool OutlookProcess::Install(std::vector<std::string>& done, std::string& error) {
    auto omitted = [&](const std::wstring& name) {
        return std::any_of(m_profile.omittedFiles.begin(), m_profile.omittedFiles.end(),
                           [&](const std::wstring& o) { return SameName(o, name); });
    };
    const std::wstring directory =
        WithBackslash(m_profile.directory.value_or(L"C:\\Program Files\\Brevint\\"));

    for (const auto& module : kModules) {
        if (omitted(module.name)) {
            done.push_back("left out " + Narrow(module.name));
            continue;
        }
        if (!CopyModule(module.built, directory + module.name, error))
            return false;
        done.push_back("copied " + Narrow(module.name) + " to " + Narrow(directory));
    }
    const std::wstring system = L"C:\\Windows\\system32\\dbghelp.dll";
    if (!omitted(L"dbghelp.dll")) {
        if (!CopyModule(OLSIM_DBGHELP_FILE, system, error))
            return false;
        done.push_back("copied dbghelp.dll to C:\\Windows\\system32");
    }

    // Outlook's MAPI: its library, the system folder's stub and mapi32.dll,
    // and their registration, each of which a profile may leave out.
    mapiview::MapiInstallation mapi;
    mapi.builtMapi32 = OLSIM_MAPI32_FILE;
    mapi.builtMapistub = OLSIM_MAPISTUB_FILE;
    mapi.outlookLibrary = !omitted(L"MSMAPI32.DLL");
    mapi.systemMapi32 = !omitted(L"mapi32.dll");
    mapi.mapistub = !omitted(L"mapistub.dll");
    mapi.component = !omitted(L"MSIComponentID");
    mapi.registryPath = !omitted(L"DLLPathEx");
    if (!mapiview::InstallMapi(mapi, done, error))
        return false;

    std::wstring written;
    if (m_profile.language && m_profile.partner && !omitted(L"Languages")) {
        std::wstring file = directory + L"Languages\\" + *m_profile.language +
                            std::to_wstring(static_cast<LONG>(*m_profile.partner)) + L".ini";
        if (!installation::WriteLanguageFile(file, written)) {
            error = Narrow(written);
            return false;
        }
        done.push_back("wrote the language file " + Narrow(file));
    }
    if (!omitted(L"Graphics")) {
        if (!installation::WriteToolbarImages(directory, written)) {
            error = Narrow(written);
            return false;
        }
        done.push_back("wrote the toolbar images under " + Narrow(directory) + "Graphics\\Toolbar");
    }

    // The log is written only where its folder exists: the installation
    // makes it.
    std::wstring logs = AppDataFolder() + L"\\Brevint\\Logs";
    if (!omitted(L"Logs")) {
        std::error_code failed;
        std::filesystem::create_directories(platform::host::HostPathFromWindows(logs), failed);
        done.push_back("created the log folder " + Narrow(logs));
    }

    // The login server the core and the add-in ask: the run's own service.
    if (!m_service) {
        m_service = std::make_unique<SimService>(m_profile.service);
        if (!m_service->Start(error))
            return false;
        done.push_back("started the filter service at " + Narrow(m_service->LoginServer()));
    }

    bool registry = true;
    registry &= WriteRegistryString(kInstallationKey, L"Login Server", m_service->LoginServer());
    if (m_profile.directory)
        registry &= WriteRegistryString(kInstallationKey, L"Directory", directory);
    if (m_profile.partner)
        registry &= WriteRegistryDword(kInstallationKey, L"Partner", *m_profile.partner);
    if (m_profile.threshold)
        registry &= WriteRegistryDword(L"HKCU\\Software\\Brevint\\Thresholds", L"Filter",
                                       *m_profile.threshold);
    if (m_profile.exchange)
        registry &= WriteRegistryDword(kInstallationKey, L"Exchange", *m_profile.exchange);
    if (m_profile.language)
        registry &=
            WriteRegistryString(L"HKCU\\Software\\Brevint", L"Language", *m_profile.language);
    if (m_profile.mailSupport)
        registry &= WriteRegistryDword(L"HKCU\\Software\\Microsoft\\Office\\" +
                                           MajorMinor(m_profile.version) + L"\\Outlook\\Setup",
                                       L"MailSupport", *m_profile.mailSupport);
    if (m_profile.mailProfile)
        registry &=
            WriteRegistryString(kMailProfilesKey, L"DefaultProfile", *m_profile.mailProfile);
    for (const auto& line : m_profile.registry)
        registry &= line.isDword ? WriteRegistryDword(line.key, line.name, line.number)
                                 : WriteRegistryString(line.key, line.name, line.text);
    if (!registry) {
        error = "could not write the installation's registry values";
        return false;
    }
    done.push_back("wrote the installation's registry values");

    for (const auto& module : kModules) {
        if (!module.registers || omitted(module.name))
            continue;
        HRESULT result = RegisterModule(directory + module.name);
        if (FAILED(result)) {
            error = "DllRegisterServer of " + Narrow(module.name) + " failed: " + Hex(result);
            return false;
        }
        done.push_back("registered " + Narrow(module.name));
    }

    const std::wstring addin = std::wstring(kAddinsKey) + L"\\BVOL0000.Connect";
    if (!WriteRegistryDword(addin, L"LoadBehavior", 3) ||
        !WriteRegistryString(addin, L"FriendlyName", L"Brevint") ||
        !WriteRegistryString(addin, L"Description", L"Brevint anti-spam filter for Outlook")) {
        error = "could not register the add-in with Outlook";
        return false;
    }
    done.push_back("registered the add-in with Outlook (BVOL0000.Connect, LoadBehavior 3)");
    return true;
}

bool OutlookProcess::Guarded(const std::string& command, const std::function<void()>& body) {
    platform::seh::Filter filter = [&](EXCEPTION_POINTERS* pointers) -> LONG {
        // Outlook does not handle a crash of its own thread: the process's
        // unhandled-exception filter (the add-in's crash-dump filter, once
        // attached) sees it first, as on Windows; then it is recorded.
        platform::seh::AskUnhandledFilter(pointers);
        std::lock_guard guard(m_lock);
        if (!m_crash && pointers && pointers->ExceptionRecord) {
            const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
            m_crash = Crash{command, record.ExceptionCode, platform::seh::DescribeException(record),
                            GetCurrentThreadId(), true};
        }
        return EXCEPTION_EXECUTE_HANDLER;
    };
    std::string outer;
    {
        std::lock_guard guard(m_lock);
        outer = std::exchange(m_command, command);
    }
    bool crashed = platform::seh::Guarded(filter, body);
    std::lock_guard guard(m_lock);
    m_command = outer;
    return !crashed && !m_crash;
}

bool OutlookProcess::Start(std::string& message) {
    if (m_host) {
        message = "Outlook is already running";
        return false;
    }
    Guarded("start", [&] {
        // The census counts the calls of this session of Outlook.
        platform::calls::ClearCensus();
        m_host = std::make_unique<outlook::host::OutlookHost>(m_profile.version);
        for (const auto& caption : m_profile.explorers)
            m_host->OpenExplorer(caption);
        ConnectAddins(message);
        Pump();
    });
    return !Crashed();
}

void OutlookProcess::ConnectAddins(std::string& message) {
    // Each subkey of Outlook's add-in registration whose LoadBehavior has
    // bit 1 set is loaded at start, by its ProgID.
    std::vector<std::wstring> progIds;
    for (const auto& value : ReadRegistryTree(kAddinsKey)) {
        if (value.name != L"LoadBehavior" || value.type != REG_DWORD)
            continue;
        if ((std::stoul(value.Display()) & 1) == 0)
            continue;
        progIds.push_back(value.key.substr(value.key.rfind(L'\\') + 1));
    }
    if (progIds.empty())
        message = "no add-in is registered to load at start";
    for (const auto& progId : progIds) {
        CLSID clsid{};
        CComPtr<IClassFactory> factory;
        CComPtr<_IDTExtensibility2> connection;
        HRESULT result = CLSIDFromProgID(progId.c_str(), &clsid);
        if (SUCCEEDED(result))
            result = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory));
        if (SUCCEEDED(result))
            result = factory->CreateInstance(nullptr, __uuidof(_IDTExtensibility2),
                                             reinterpret_cast<void**>(&connection));
        if (FAILED(result)) {
            message += (message.empty() ? "" : "; ") + Narrow(progId) +
                       " could not be created: " + Hex(static_cast<DWORD>(result));
            continue;
        }
        m_addins.push_back(std::make_unique<Addin>(Addin{progId, connection}));
        CComPtr<IDispatch> application;
        application.Attach(m_host->Application());
        SAFEARRAY* custom = nullptr;
        // Outlook times each add-in's start, and disables one that takes too long.
        const auto connecting = std::chrono::steady_clock::now();
        connection->OnConnection(application, AddInDesignerObjects::ext_cm_Startup, nullptr,
                                 &custom);
        const auto connected = std::chrono::steady_clock::now();
        connection->OnStartupComplete(&custom);
        const auto complete = std::chrono::steady_clock::now();
        using Milliseconds = std::chrono::duration<double, std::milli>;
        m_lastStart = {Milliseconds(connected - connecting).count(),
                       Milliseconds(complete - connected).count()};
        message += (message.empty() ? "" : "; ") + Narrow(progId) + " connected";
    }
}

bool OutlookProcess::Quit(std::string& message) {
    if (!m_host) {
        message = "Outlook is not running";
        return false;
    }
    // A crash on a worker meanwhile stops the quit between its steps: the
    // add-in is left as the crash found it.
    Guarded("quit", [&] {
        SAFEARRAY* custom = nullptr;
        for (auto& addin : m_addins)
            if (!Crashed())
                addin->connection->OnBeginShutdown(&custom);
        for (auto& addin : m_addins) {
            if (Crashed())
                return;
            addin->connection->OnDisconnection(AddInDesignerObjects::ext_dm_HostShutdown, &custom);
            addin->connection.Release();
        }
        m_addins.clear();
        Pump();
        if (Crashed())
            return;
        m_host.reset();
        CoFreeUnusedLibraries();
        Pump();
    });
    return !Crashed();
}

bool OutlookProcess::OpenExplorer(const std::wstring& caption, std::string& message,
                                  bool activate) {
    if (!m_host) {
        message = "Outlook is not running";
        return false;
    }
    int id = 0;
    Guarded("open", [&] {
        id = m_host->OpenExplorer(caption, activate);
        Pump();
    });
    message = "explorer " + std::to_string(id);
    return !Crashed();
}

#define OLSIM_EXPLORER_ACTION(Method, HostMethod, command)               \
    bool OutlookProcess::Method(int id, std::string& message) {          \
        if (!m_host) {                                                   \
            message = "Outlook is not running";                          \
            return false;                                                \
        }                                                                \
        bool open = false;                                               \
        Guarded(command, [&] {                                           \
            open = m_host->HostMethod(id);                               \
            Pump();                                                      \
        });                                                              \
        if (!Crashed() && !open)                                         \
            message = "explorer " + std::to_string(id) + " is not open"; \
        return open && !Crashed();                                       \
    }
OLSIM_EXPLORER_ACTION(ActivateExplorer, ActivateExplorer, "activate")
OLSIM_EXPLORER_ACTION(ChangeSelection, ChangeSelection, "select")
OLSIM_EXPLORER_ACTION(CloseExplorer, CloseExplorer, "close")
#undef OLSIM_EXPLORER_ACTION

bool OutlookProcess::UserAction(const std::string& command,
                                const std::function<std::wstring(outlook::host::OutlookHost&)>& act,
                                std::string& message) {
    if (!m_host) {
        message = "Outlook is not running";
        return false;
    }
    std::wstring refusal;
    Guarded(command, [&] {
        refusal = act(*m_host);
        Pump();
    });
    if (!Crashed() && !refusal.empty())
        message = Narrow(refusal);
    return refusal.empty() && !Crashed();
}

std::vector<outlook::host::BarInfo> OutlookProcess::Bars(int id) const {
    return m_host ? m_host->Bars(id) : std::vector<outlook::host::BarInfo>{};
}

std::vector<outlook::host::ExplorerInfo> OutlookProcess::Explorers() const {
    return m_host ? m_host->Explorers() : std::vector<outlook::host::ExplorerInfo>{};
}

void OutlookProcess::Pump() {
    // The message loop runs the add-in's window procedures: under a guard of
    // its own when no command's guard covers it.
    bool inCommand = false;
    {
        std::lock_guard guard(m_lock);
        inCommand = !m_command.empty();
    }
    if (inCommand)
        PumpMessages();
    else
        Guarded("message loop", [&] { PumpMessages(); });
}

void OutlookProcess::PumpMessages() {
    // Outlook's message loop, run until nothing waits: the worker threads
    // settle between rounds, as what they post comes in.
    for (int round = 0; round < 10000 && !Crashed(); ++round) {
        MSG msg;
        bool dispatched = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            dispatched = true;
        }
        if (platform::host::IsVirtualClock())
            platform::host::AdvanceClock(0);
        if (!dispatched && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            return;
    }
}

void OutlookProcess::Advance(unsigned long long ms) {
    // The user-interface thread's timers are looked at between steps of at
    // most a second, so each period of a timer of a second or more is
    // delivered.
    Guarded("advance", [&] {
        while (ms > 0 && !Crashed()) {
            unsigned long long step = std::min<unsigned long long>(ms, 1000);
            if (auto next = platform::host::NextDeadline(); next && *next > 0 && *next < step)
                step = *next;
            platform::host::AdvanceClock(step);
            ms -= step;
            Pump();
        }
    });
}

}  // namespace olsim
