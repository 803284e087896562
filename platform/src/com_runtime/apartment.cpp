#include "com_runtime/apartment.h"

#include "com_runtime/apartment_window.h"
#include "com_runtime/server_modules.h"

#include <objbase.h>
#include <windows.h>

#include <atomic>

namespace platform::com {

struct Apartment::Call {
    std::function<void()> work;
    HANDLE done = nullptr;  // null for posted work nobody waits for
    HRESULT result = S_OK;
};

namespace {

struct ThreadApartment {
    ApartmentKind kind = ApartmentKind::None;
    unsigned initializations = 0;
    std::shared_ptr<Apartment> singleThreaded;
};

thread_local ThreadApartment currentThread;
std::atomic<unsigned> openApartments{0};  // threads with COM initialised

std::mutex multiThreadedLock;
unsigned multiThreadedMembers = 0;
std::shared_ptr<Apartment>& MultiThreaded() {
    static auto* apartment = new std::shared_ptr<Apartment>;
    return *apartment;
}

std::shared_ptr<Apartment> CurrentMultiThreaded() {
    std::lock_guard lock(multiThreadedLock);
    return MultiThreaded();
}

ApartmentKind KindOf(DWORD coInit) {
    return (coInit & COINIT_APARTMENTTHREADED) ? ApartmentKind::SingleThreaded
                                               : ApartmentKind::MultiThreaded;
}

void Enter(ApartmentKind kind) {
    currentThread.kind = kind;
    openApartments.fetch_add(1);
    if (kind == ApartmentKind::SingleThreaded) {
        currentThread.singleThreaded =
            std::make_shared<Apartment>(ApartmentKind::SingleThreaded, GetCurrentThreadId());
        OpenApartmentWindow(*currentThread.singleThreaded);
        return;
    }
    std::lock_guard lock(multiThreadedLock);
    if (multiThreadedMembers++ == 0)
        MultiThreaded() = std::make_shared<Apartment>(ApartmentKind::MultiThreaded, 0);
}

void Leave() {
    if (currentThread.kind == ApartmentKind::SingleThreaded) {
        const auto apartment = std::move(currentThread.singleThreaded);
        apartment->Close();
        CloseApartmentWindow(*apartment);
    } else {
        std::shared_ptr<Apartment> closing;
        {
            std::lock_guard lock(multiThreadedLock);
            if (--multiThreadedMembers == 0)
                closing = std::move(MultiThreaded());
        }
        if (closing)
            closing->Close();
    }
    currentThread.kind = ApartmentKind::None;
    // When the last apartment of the process closes, COM lets go of every
    // in-process server that agrees to be unloaded.
    if (openApartments.fetch_sub(1) == 1)
        FreeUnusedServers();
}

// Waits for `done`, serving the calling STA's own queue meanwhile, so that two
// apartments calling each other do not deadlock.
void AwaitCompletion(HANDLE done) {
    const auto mine = CurrentApartmentObject();
    if (!mine || mine->kind() != ApartmentKind::SingleThreaded) {
        WaitForSingleObject(done, INFINITE);
        return;
    }
    const HANDLE handles[] = {done, mine->incomingEvent()};
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0)
        mine->ServeIncoming();
}

}  // namespace

Apartment::Apartment(ApartmentKind kind, DWORD ownerThread)
    : m_kind(kind), m_ownerThread(ownerThread) {
    if (m_kind == ApartmentKind::SingleThreaded)
        m_incoming = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

Apartment::~Apartment() {
    if (m_incoming)
        CloseHandle(m_incoming);
}

bool Apartment::IsCurrent() const {
    return CurrentApartmentObject().get() == this;
}

HRESULT Apartment::Run(const std::function<HRESULT()>& call) {
    if (m_kind == ApartmentKind::MultiThreaded || GetCurrentThreadId() == m_ownerThread) {
        {
            std::lock_guard lock(m_lock);
            if (m_closed)
                return RPC_E_DISCONNECTED;
        }
        return call();
    }
    auto queued = std::make_shared<Call>();
    queued->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    queued->work = [&call, raw = queued.get()] { raw->result = call(); };
    {
        std::lock_guard lock(m_lock);
        if (m_closed) {
            CloseHandle(queued->done);
            return RPC_E_DISCONNECTED;
        }
        m_queue.push_back(queued);
        SetEvent(m_incoming);
    }
    AnnounceQueuedCalls(*this);
    AwaitCompletion(queued->done);
    CloseHandle(queued->done);
    return queued->result;
}

void Apartment::Post(std::function<void()> work) {
    if (m_kind == ApartmentKind::MultiThreaded || GetCurrentThreadId() == m_ownerThread) {
        work();
        return;
    }
    auto queued = std::make_shared<Call>();
    queued->work = std::move(work);
    {
        std::lock_guard lock(m_lock);
        if (m_closed)
            return;
        m_queue.push_back(std::move(queued));
        SetEvent(m_incoming);
    }
    AnnounceQueuedCalls(*this);
}

bool Apartment::ServeIncoming() {
    bool served = false;
    for (;;) {
        std::shared_ptr<Call> next;
        {
            std::lock_guard lock(m_lock);
            if (m_queue.empty())
                return served;
            next = std::move(m_queue.front());
            m_queue.pop_front();
        }
        next->work();
        if (next->done)
            SetEvent(next->done);
        served = true;
    }
}

void Apartment::Attach(std::shared_ptr<ApartmentBound> bound) {
    std::lock_guard lock(m_lock);
    const ApartmentBound* key = bound.get();
    m_bound.emplace(key, std::move(bound));
}

void Apartment::Detach(const ApartmentBound* bound) {
    std::lock_guard lock(m_lock);
    m_bound.erase(bound);
}

void Apartment::Close() {
    std::deque<std::shared_ptr<Call>> pending;
    std::map<const ApartmentBound*, std::shared_ptr<ApartmentBound>> bound;
    {
        std::lock_guard lock(m_lock);
        m_closed = true;
        pending.swap(m_queue);
        bound.swap(m_bound);
    }
    for (const auto& call : pending) {
        if (call->done) {
            call->result = RPC_E_DISCONNECTED;
            SetEvent(call->done);
        } else {
            call->work();  // a release, run here on the owner thread
        }
    }
    for (const auto& [key, each] : bound)
        each->Disconnect();
}

ApartmentKind CurrentApartment() {
    if (currentThread.kind == ApartmentKind::None && CurrentMultiThreaded())
        return ApartmentKind::MultiThreaded;
    return currentThread.kind;
}

std::shared_ptr<Apartment> CurrentApartmentObject() {
    if (currentThread.kind == ApartmentKind::SingleThreaded)
        return currentThread.singleThreaded;
    return CurrentMultiThreaded();
}

bool CanActivate() {
    return CurrentApartment() != ApartmentKind::None;
}

}  // namespace platform::com

using namespace platform::com;

extern "C" HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    constexpr DWORD kKnownFlags =
        COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;
    if (pvReserved || (dwCoInit & ~kKnownFlags))
        return E_INVALIDARG;
    const ApartmentKind wanted = KindOf(dwCoInit);
    if (currentThread.initializations > 0 && currentThread.kind != wanted)
        return RPC_E_CHANGED_MODE;  // not counted: the caller must not uninitialise
    if (currentThread.initializations++ > 0)
        return S_FALSE;
    Enter(wanted);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

extern "C" void WINAPI CoUninitialize(void) {
    // An unbalanced call on a thread without COM does nothing.
    if (currentThread.initializations == 0)
        return;
    if (--currentThread.initializations == 0)
        Leave();
}
