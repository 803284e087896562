// Apartments: which one each thread has entered through CoInitializeEx, and
// how calls reach a single-threaded apartment from outside it.
//
// A single-threaded apartment (STA) is its thread. Calls into it from other
// apartments are queued to it and run on that thread when it serves its queue:
// while it waits in the COM runtime (an outgoing call of its own,
// CoWaitForMultipleHandles) or when its message loop dispatches the message
// that announces them to its hidden window (apartment_window.h). The multithreaded apartment (MTA)
// is shared by the threads that entered it, and by threads without COM while any thread is in it.
#pragma once

#include <windef.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <map>

namespace platform::com {

enum class ApartmentKind { None, SingleThreaded, MultiThreaded };

class ApartmentBound;

class Apartment : public std::enable_shared_from_this<Apartment> {
  public:
    Apartment(ApartmentKind kind, DWORD ownerThread);
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

    ApartmentKind kind() const { return m_kind; }
    DWORD ownerThread() const { return m_ownerThread; }  // 0 for the MTA
    bool IsCurrent() const;

    // Runs `call` in this apartment and returns its result: at once on the
    // owner thread or in the MTA, else queued to the owner while the caller
    // waits, serving its own apartment's calls if it is an STA.
    // RPC_E_DISCONNECTED once the apartment has closed.
    HRESULT Run(const std::function<HRESULT()>& call);
    // Queues `work` to the owner without waiting (releases of references);
    // dropped once the apartment has closed.
    void Post(std::function<void()> work);

    // Owner thread: runs the calls queued so far. Returns whether it ran any.
    bool ServeIncoming();
    // The auto-reset event that is set when a call is queued.
    HANDLE incomingEvent() const { return m_incoming; }
    // The hidden window whose message loop learns of queued calls (STA only).
    HWND window() const { return m_window.load(); }
    void SetWindow(HWND window) { m_window.store(window); }

    // Objects held on behalf of other apartments, released when this one closes.
    void Attach(std::shared_ptr<ApartmentBound> bound);
    void Detach(const ApartmentBound* bound);

    // Owner thread, at the last CoUninitialize: refuses further calls, fails the
    // queued ones and releases what others held of this apartment.
    void Close();

  private:
    struct Call;

    const ApartmentKind m_kind;
    const DWORD m_ownerThread;
    HANDLE m_incoming = nullptr;
    std::atomic<HWND> m_window{nullptr};
    std::mutex m_lock;
    bool m_closed = false;
    std::deque<std::shared_ptr<Call>> m_queue;
    std::map<const ApartmentBound*, std::shared_ptr<ApartmentBound>> m_bound;
};

// Something holding references to objects of an apartment (a proxy's link
// to its object): told to let go when the apartment closes.
class ApartmentBound {
  public:
    virtual ~ApartmentBound() = default;
    // On the apartment's thread; may also come after the holder let go.
    virtual void Disconnect() = 0;
};

// The calling thread's apartment kind; a thread that never initialised COM is
// in the multithreaded apartment implicitly while some thread has entered it.
ApartmentKind CurrentApartment();

// The calling thread's apartment (the MTA for an implicit member), or null.
std::shared_ptr<Apartment> CurrentApartmentObject();

// Whether the calling thread may create objects: it has initialised COM, or
// the process has a multithreaded apartment it implicitly belongs to.
bool CanActivate();

}  // namespace platform::com
