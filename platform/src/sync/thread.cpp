// Threads: CreateThread and ResumeThread, exit codes, identifiers and the
// pseudo handles of the current thread and process.
#include "sync/thread.h"

#include "sync/named_objects.h"

#include <errhandlingapi.h>
#include <processthreadsapi.h>
#include <winerror.h>

#include <unistd.h>

#include <atomic>
#include <platform/threads.h>
#include <system_error>
#include <thread>

namespace platform::sync {
namespace {

// The pseudo handles Windows returns for the current process and thread.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

DWORD NextThreadId() {
    // Windows' thread identifiers are multiples of four and never 0.
    static std::atomic<DWORD> next{0x104};
    return next.fetch_add(4);
}

// The calling thread's object. For a thread the platform did not start, the
// object ends (exit code 0) when the thread does.
struct ThreadIdentity {
    std::shared_ptr<ThreadObject> object;
    bool startedByPlatform = false;
    ~ThreadIdentity() {
        if (!object || startedByPlatform)
            return;
        auto lock = LockScheduler();
        object->End(0);
    }
};

thread_local ThreadIdentity identity;

// The threads CreateThread started, for the host's view; guarded by the
// scheduler lock. Ended threads are dropped when the list is next read.
std::vector<std::weak_ptr<ThreadObject>>& StartedThreads() {
    static auto* threads = new std::vector<std::weak_ptr<ThreadObject>>;
    return *threads;
}

// The process, as a waitable object: it never ends while someone waits on it.
class ProcessObject : public KernelObject, public SignalSource {
  public:
    bool IsSignalled() const override { return false; }
};

struct StartRoutine {
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
};

void RunThread(std::shared_ptr<ThreadObject> object, StartRoutine routine) {
    identity.object = object;
    identity.startedByPlatform = true;
    {
        auto lock = LockScheduler();
        object->WaitUntilResumed(lock);
        AdoptThreadStart();
    }
    DWORD exitCode = routine.start(routine.parameter);
    auto lock = LockScheduler();
    object->End(exitCode);
    ThreadEnding();
}

}  // namespace

void ThreadObject::End(DWORD exitCode) {
    m_exitCode = exitCode;
    WakeWaiters();
}

DWORD ThreadObject::Resume() {
    DWORD before = m_suspendCount;
    if (m_suspendCount > 0 && --m_suspendCount == 0) {
        ExpectThreadStart();
        m_resumed.notify_one();
    }
    return before;
}

void ThreadObject::WaitUntilResumed(std::unique_lock<std::mutex>& lock) {
    m_resumed.wait(lock, [&] { return m_suspendCount == 0; });
}

std::shared_ptr<ThreadObject> CurrentThreadObject() {
    if (!identity.object)
        identity.object = std::make_shared<ThreadObject>(NextThreadId(), 0);
    return identity.object;
}

void NoteWaiting(bool waiting, std::span<SignalSource* const> sources) {
    if (identity.object && identity.startedByPlatform)
        identity.object->SetWaiting(waiting, sources);
}

std::shared_ptr<KernelObject> ResolveHandle(HANDLE handle) {
    if (handle == kCurrentThread)
        return CurrentThreadObject();
    if (handle == kCurrentProcess) {
        static const auto process = std::make_shared<ProcessObject>();
        return process;
    }
    return LookupHandle(handle);
}

}  // namespace platform::sync

namespace platform::host {

std::vector<ThreadInfo> ListThreads() {
    // The names first (their own lock), holding the objects so that their
    // addresses stay theirs while the threads' waits are compared with them.
    std::vector<std::pair<std::wstring, const sync::SignalSource*>> names;
    auto named = sync::AllNamed();
    for (const auto& [name, object] : named)
        if (auto* source = dynamic_cast<const sync::SignalSource*>(object.get()))
            names.emplace_back(name, source);

    std::vector<ThreadInfo> threads;
    auto lock = sync::LockScheduler();
    auto& started = sync::StartedThreads();
    std::erase_if(started, [](const auto& weak) {
        auto thread = weak.lock();
        return !thread || thread->exitCode().has_value();
    });
    for (const auto& weak : started) {
        auto thread = weak.lock();
        ThreadInfo info;
        info.id = thread->id();
        info.waiting = thread->waiting();
        for (const auto* source : thread->waitingOn())
            for (const auto& [name, namedSource] : names)
                if (namedSource == source)
                    info.waitingOn.push_back(name);
        threads.push_back(std::move(info));
    }
    return threads;
}

}  // namespace platform::host

using platform::sync::ThreadObject;

// The stack size is left to the host's default; the creation flags other than
// CREATE_SUSPENDED (a stack reservation size) change nothing here.
extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start,
                                      LPVOID parameter, DWORD flags, LPDWORD lpThreadId) {
    if (!start) {
        // Windows would start the thread and let it fault at address 0; a
        // failed call is the kinder answer here.
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool suspended = (flags & CREATE_SUSPENDED) != 0;
    auto object = std::make_shared<ThreadObject>(platform::sync::NextThreadId(), suspended ? 1 : 0);
    {
        // Under the lock, so that the new thread adopts its start only after
        // it has been counted.
        auto lock = platform::sync::LockScheduler();
        try {
            std::thread(platform::sync::RunThread, object,
                        platform::sync::StartRoutine{start, parameter})
                .detach();
        } catch (const std::system_error&) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (!suspended)
            platform::sync::ExpectThreadStart();
        platform::sync::StartedThreads().push_back(object);
    }
    if (lpThreadId)
        *lpThreadId = object->id();
    return platform::InsertHandle(object);
}

extern "C" DWORD WINAPI ResumeThread(HANDLE hThread) {
    auto thread = std::dynamic_pointer_cast<ThreadObject>(platform::sync::ResolveHandle(hThread));
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    auto lock = platform::sync::LockScheduler();
    return thread->Resume();
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = std::dynamic_pointer_cast<ThreadObject>(platform::sync::ResolveHandle(hThread));
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    auto lock = platform::sync::LockScheduler();
    *lpExitCode = thread->exitCode().value_or(STILL_ACTIVE);
    return TRUE;
}

extern "C" DWORD WINAPI GetCurrentThreadId(void) {
    return platform::sync::CurrentThreadObject()->id();
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}

extern "C" HANDLE WINAPI GetCurrentThread(void) {
    return platform::sync::kCurrentThread;
}

extern "C" HANDLE WINAPI GetCurrentProcess(void) {
    return platform::sync::kCurrentProcess;
}
