// A worker thread that waits on a list of handles and runs the client of the
// one that is signalled, in the shape of ATL's CWorkerThread.
//
// The thread keeps its own copy of the wait list. Two internal events lead the
// list: shutdown (the thread leaves) and refresh (the thread takes a new copy
// and says so through a third event, so that AddHandle returns only once the
// new handle is really waited on). The list holds at most MAXIMUM_WAIT_OBJECTS
// handles in all, so a client may add 62.
//
// The thread's state is shared between the object and the thread: a thread
// that is still busy when Shutdown stops waiting for it is left behind, and
// what it touches afterwards stays alive until it has ended.
#pragma once

#include <windows.h>

#include <memory>
#include <new>
#include <vector>

#define ATL_WORKER_THREAD_WAIT 10000

// The client of a handle in the wait list. Not a COM interface: the thread
// calls it directly.
struct IWorkerThreadClient {
    // Runs on the worker thread when `hObject` is signalled; `dwParam` is the
    // value given with the handle. The result is not looked at.
    virtual HRESULT Execute(DWORD_PTR dwParam, HANDLE hObject) = 0;
    // Called when the handle leaves the wait list, to close it.
    virtual HRESULT CloseHandle(HANDLE hHandle) = 0;

  protected:
    ~IWorkerThreadClient() = default;
};

class DefaultThreadTraits {
  public:
    static HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, DWORD stackSize,
                               LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                               DWORD* threadId) {
        return ::CreateThread(security, stackSize, start, parameter, flags, threadId);
    }
};

namespace atl_detail {

struct WaitEntry {
    HANDLE handle;
    IWorkerThreadClient* client;
    DWORD_PTR parameter;
};

// What the worker thread reads: shared with the thread so that it outlives
// an object whose Shutdown gave up waiting.
struct WorkerThreadState {
    enum : size_t { kShutdown = 0, kRefresh = 1, kFirstClient = 2 };

    CRITICAL_SECTION lock;
    std::vector<WaitEntry> entries;  // the two internal events first
    HANDLE refreshDone = nullptr;

    WorkerThreadState() { InitializeCriticalSection(&lock); }
    ~WorkerThreadState() { DeleteCriticalSection(&lock); }
    WorkerThreadState(const WorkerThreadState&) = delete;
    WorkerThreadState& operator=(const WorkerThreadState&) = delete;

    std::vector<WaitEntry> Copy() {
        EnterCriticalSection(&lock);
        std::vector<WaitEntry> copy = entries;
        LeaveCriticalSection(&lock);
        return copy;
    }

    // Waits on a copy of the list until shutdown or a failed wait.
    void Run() {
        std::vector<WaitEntry> copy = Copy();
        SetEvent(refreshDone);
        std::vector<HANDLE> handles = HandlesOf(copy);
        for (;;) {
            DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                  handles.data(), FALSE, INFINITE);
            if (result >= WAIT_OBJECT_0 + handles.size())
                return;
            size_t index = result - WAIT_OBJECT_0;
            if (index == kShutdown)
                return;
            if (index == kRefresh) {
                copy = Copy();
                handles = HandlesOf(copy);
                SetEvent(refreshDone);
                continue;
            }
            copy[index].client->Execute(copy[index].parameter, copy[index].handle);
        }
    }

    static std::vector<HANDLE> HandlesOf(const std::vector<WaitEntry>& list) {
        std::vector<HANDLE> handles;
        handles.reserve(list.size());
        for (const WaitEntry& entry : list)
            handles.push_back(entry.handle);
        return handles;
    }
};

struct WorkerThreadStart {
    std::shared_ptr<WorkerThreadState> state;
};

inline DWORD WINAPI WorkerThreadProc(void* parameter) {
    std::unique_ptr<WorkerThreadStart> start(static_cast<WorkerThreadStart*>(parameter));
    start->state->Run();
    return 0;
}

inline HRESULT HresultFromLastError() {
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace atl_detail

template <class ThreadTraits = DefaultThreadTraits>
class CWorkerThread {
  public:
    CWorkerThread() = default;
    ~CWorkerThread() { Shutdown(); }
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Creates the internal events and the thread, and returns once the thread
    // waits on its list.
    HRESULT Initialize() {
        if (m_state)
            return E_UNEXPECTED;
        auto state = std::make_shared<atl_detail::WorkerThreadState>();
        HANDLE shutdown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE refresh = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        state->refreshDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!shutdown || !refresh || !state->refreshDone) {
            HRESULT hr = atl_detail::HresultFromLastError();
            CloseIfOpen(shutdown);
            CloseIfOpen(refresh);
            CloseIfOpen(state->refreshDone);
            return hr;
        }
        state->entries = {{shutdown, nullptr, 0}, {refresh, nullptr, 0}};

        // Braced: clang before 16 makes no aggregate from parentheses.
        auto start =
            std::make_unique<atl_detail::WorkerThreadStart>(atl_detail::WorkerThreadStart{state});
        m_thread = ThreadTraits::CreateThread(nullptr, 0, &atl_detail::WorkerThreadProc,
                                              start.get(), 0, &m_threadId);
        if (!m_thread) {
            HRESULT hr = atl_detail::HresultFromLastError();
            CloseOwnHandles(*state);
            return hr;
        }
        start.release();  // the thread owns it now
        m_state = std::move(state);
        WaitUntilThreadHasCopied();
        return S_OK;
    }

    // Adds a handle for the thread to wait on; `pClient` runs when it is
    // signalled. Returns once the thread waits on the new list.
    HRESULT AddHandle(HANDLE hObject, IWorkerThreadClient* pClient, DWORD_PTR dwParam) {
        if (!m_state)
            return E_UNEXPECTED;
        EnterCriticalSection(&m_state->lock);
        HRESULT hr = Append(hObject, pClient, dwParam);
        LeaveCriticalSection(&m_state->lock);
        if (FAILED(hr))
            return hr;
        SetEvent(m_state->entries[atl_detail::WorkerThreadState::kRefresh].handle);
        WaitUntilThreadHasCopied();
        return S_OK;
    }

    // Stops the thread, waiting for it up to `dwWait` ms, then hands every
    // client its handle to close and closes the thread's own handles, whether
    // or not the thread ended in time. A thread left behind finds its handles
    // closed when its current run returns, and ends.
    HRESULT Shutdown(DWORD dwWait = ATL_WORKER_THREAD_WAIT) {
        if (!m_state)
            return S_OK;
        SetEvent(m_state->entries[atl_detail::WorkerThreadState::kShutdown].handle);
        HRESULT hr = S_OK;
        DWORD waited = WaitForSingleObject(m_thread, dwWait);
        if (waited == WAIT_FAILED)
            hr = atl_detail::HresultFromLastError();
        else if (waited != WAIT_OBJECT_0)
            hr = HRESULT_FROM_WIN32(waited);

        EnterCriticalSection(&m_state->lock);
        std::vector<atl_detail::WaitEntry> entries = std::move(m_state->entries);
        m_state->entries.clear();
        LeaveCriticalSection(&m_state->lock);
        for (size_t i = atl_detail::WorkerThreadState::kFirstClient; i < entries.size(); ++i)
            entries[i].client->CloseHandle(entries[i].handle);
        ::CloseHandle(entries[atl_detail::WorkerThreadState::kShutdown].handle);
        ::CloseHandle(entries[atl_detail::WorkerThreadState::kRefresh].handle);
        ::CloseHandle(m_state->refreshDone);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
        m_threadId = 0;
        m_state.reset();
        return hr;
    }

    HANDLE GetThreadHandle() const { return m_thread; }
    DWORD GetThreadId() const { return m_threadId; }

  private:
    HRESULT Append(HANDLE hObject, IWorkerThreadClient* pClient, DWORD_PTR dwParam) {
        if (m_state->entries.size() >= MAXIMUM_WAIT_OBJECTS)
            return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
        try {
            m_state->entries.push_back({hObject, pClient, dwParam});
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    // A thread whose wait failed has ended and will never answer.
    void WaitUntilThreadHasCopied() {
        HANDLE either[] = {m_state->refreshDone, m_thread};
        WaitForMultipleObjects(2, either, FALSE, INFINITE);
    }

    static void CloseIfOpen(HANDLE handle) {
        if (handle)
            ::CloseHandle(handle);
    }

    static void CloseOwnHandles(atl_detail::WorkerThreadState& state) {
        for (const atl_detail::WaitEntry& entry : state.entries)
            ::CloseHandle(entry.handle);
        ::CloseHandle(state.refreshDone);
    }

    std::shared_ptr<atl_detail::WorkerThreadState> m_state;
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
};
