#include "sync/wait.h"

#include "sync/thread.h"

#include "time/clock.h"

#include <synchapi.h>

#include <algorithm>
#include <condition_variable>
#include <map>

namespace platform::sync {

// What the advance of virtual time knows about one thread.
struct Pace {
    // Started by CreateThread: the advance waits for it to block again after
    // each wake. Other (host) threads are waited for only until they have
    // returned from the wait that woke them.
    bool platformThread = false;
    // Woken by the platform (or just started) and not yet settled.
    bool running = false;
    ~Pace();
};

struct Waiter {
    Waiter(std::span<SignalSource* const> sources, WaitMode mode, Pace* pace)
        : sources(sources), mode(mode), pace(pace) {}

    std::span<SignalSource* const> sources;
    WaitMode mode;
    Pace* pace;
    std::condition_variable wake;
    std::multimap<ULONGLONG, Waiter*>::iterator deadlineEntry;
    bool timed = false;
    bool done = false;
    WaitOutcome outcome;
};

namespace {

struct Scheduler {
    std::mutex lock;
    std::multimap<ULONGLONG, Waiter*> deadlines;  // equal deadlines keep their order
    size_t unsettled = 0;                         // threads with Pace::running set
    std::condition_variable settled;
    std::mutex advancing;          // one explicit advance at a time
    bool explicitAdvance = false;  // an explicit advance is under way
    bool passWhenAllWait = false;  // the host's mode: time moves by itself
};

Scheduler& TheScheduler() {
    static Scheduler* scheduler = new Scheduler;  // outlives every thread's exit
    return *scheduler;
}

thread_local Pace currentPace;

void MarkRunning(Pace& pace) {
    if (pace.running)
        return;
    pace.running = true;
    ++TheScheduler().unsettled;
}

void PassTimeIfAllWait();

void MarkSettled(Pace& pace) {
    if (!pace.running)
        return;
    pace.running = false;
    if (--TheScheduler().unsettled == 0) {
        TheScheduler().settled.notify_all();
        PassTimeIfAllWait();
    }
}

}  // namespace

Pace::~Pace() {
    if (!running)
        return;
    auto lock = LockScheduler();
    MarkSettled(*this);
}

// The operations on waiters, with access to the sources' waiter lists.
struct WaitCore {
    static bool TrySatisfy(Waiter& waiter) {
        auto sources = waiter.sources;
        if (waiter.mode == WaitMode::Any) {
            for (size_t i = 0; i < sources.size(); ++i) {
                if (!sources[i]->IsSignalled())
                    continue;
                sources[i]->Acquire();
                waiter.outcome = {true, i};
                return true;
            }
            return false;
        }
        if (!std::all_of(sources.begin(), sources.end(),
                         [](SignalSource* source) { return source->IsSignalled(); })) {
            return false;
        }
        for (SignalSource* source : sources)
            source->Acquire();
        waiter.outcome = {true, 0};
        return true;
    }

    static void Enlist(Waiter& waiter, ULONGLONG deadline) {
        for (SignalSource* source : waiter.sources)
            source->m_waiters.push_back(&waiter);
        if (deadline != kNoDeadline) {
            waiter.deadlineEntry = TheScheduler().deadlines.emplace(deadline, &waiter);
            waiter.timed = true;
        }
    }

    static void Complete(Waiter& waiter) {
        for (SignalSource* source : waiter.sources) {
            auto& list = source->m_waiters;
            list.erase(std::find(list.begin(), list.end(), &waiter));
        }
        if (waiter.timed)
            TheScheduler().deadlines.erase(waiter.deadlineEntry);
        waiter.done = true;
        MarkRunning(*waiter.pace);
        waiter.wake.notify_one();
    }

    static void TimeOut(Waiter& waiter) {
        waiter.outcome = {};
        Complete(waiter);
    }

    // Sets the time to the earliest deadline and times its waiters out, in the
    // order they began waiting. Each of them then counts as running, so the
    // next deadline waits until they have settled.
    static void VisitEarliestDeadline() {
        auto& deadlines = TheScheduler().deadlines;
        ULONGLONG due = deadlines.begin()->first;
        clock::SetVirtualTick(std::max(due, clock::Tick()));
        while (!deadlines.empty() && deadlines.begin()->first == due)
            TimeOut(*deadlines.begin()->second);
    }

    static void WakeWaitersOf(SignalSource& source) {
        // Satisfying a waiter removes it from the list: walk a copy.
        std::vector<Waiter*> waiters = source.m_waiters;
        for (Waiter* waiter : waiters) {
            if (!source.IsSignalled())
                break;
            if (!waiter->done && TrySatisfy(*waiter))
                Complete(*waiter);
        }
    }
};

namespace {

// In the host's mode of time passing by itself: when no thread that the
// advance waits for is running (each is blocked in a platform wait, ended, or
// never started) and someone waits with a deadline, the earliest deadline
// comes now, as an explicit advance would visit it. The threads it wakes
// count as running, so one deadline is visited at a time. Lock held.
void PassTimeIfAllWait() {
    auto& scheduler = TheScheduler();
    if (!scheduler.passWhenAllWait || scheduler.explicitAdvance || scheduler.unsettled != 0 ||
        scheduler.deadlines.empty() || !clock::IsVirtual())
        return;
    WaitCore::VisitEarliestDeadline();
}

}  // namespace

std::unique_lock<std::mutex> LockScheduler() {
    return std::unique_lock(TheScheduler().lock);
}

void SignalSource::WakeWaiters() {
    WaitCore::WakeWaitersOf(*this);
}

ULONGLONG DeadlineAfter(DWORD ms) {
    return ms == INFINITE ? kNoDeadline : clock::Tick() + ms;
}

WaitOutcome Wait(std::unique_lock<std::mutex>& lock, std::span<SignalSource* const> sources,
                 WaitMode mode, ULONGLONG deadline) {
    Waiter waiter(sources, mode, &currentPace);
    if (WaitCore::TrySatisfy(waiter))
        return waiter.outcome;
    if (deadline != kNoDeadline && clock::Tick() >= deadline)
        return {};

    WaitCore::Enlist(waiter, deadline);
    NoteWaiting(true, sources);
    MarkSettled(currentPace);
    PassTimeIfAllWait();  // also when this thread was not counted as running
    while (!waiter.done) {
        // In virtual mode only the clock's movement ends a timed wait: an
        // advance, or time passing by itself.
        if (deadline == kNoDeadline || clock::IsVirtual()) {
            waiter.wake.wait(lock);
        } else if (waiter.wake.wait_until(lock, clock::RealInstantOfTick(deadline)) ==
                       std::cv_status::timeout &&
                   !waiter.done && clock::Tick() >= deadline) {
            WaitCore::TimeOut(waiter);
        }
    }
    NoteWaiting(false, {});
    if (!currentPace.platformThread)
        MarkSettled(currentPace);
    return waiter.outcome;
}

void ExpectThreadStart() {
    ++TheScheduler().unsettled;
}

void AdoptThreadStart() {
    currentPace.platformThread = true;
    currentPace.running = true;  // counted by ExpectThreadStart
}

void ThreadEnding() {
    MarkSettled(currentPace);
}

void SettleLikeAPlatformThread() {
    currentPace.platformThread = true;
    MarkRunning(currentPace);  // it is running now, not blocked in a wait
}

void PassTimeWhenAllWait(bool on) {
    TheScheduler().passWhenAllWait = on;
    PassTimeIfAllWait();
}

void ParkForever() {
    auto lock = LockScheduler();
    for (;;)
        Wait(lock, {}, WaitMode::Any, kNoDeadline);
}

ULONGLONG EarliestDeadline() {
    auto& deadlines = TheScheduler().deadlines;
    return deadlines.empty() ? kNoDeadline : deadlines.begin()->first;
}

void RecheckDeadlines() {
    for (auto& [deadline, waiter] : TheScheduler().deadlines)
        waiter->wake.notify_one();
    PassTimeIfAllWait();
}

namespace {

void Settle(std::unique_lock<std::mutex>& lock) {
    auto& scheduler = TheScheduler();
    scheduler.settled.wait(lock, [&] { return scheduler.unsettled == 0; });
}

}  // namespace

void AdvanceVirtualTime(ULONGLONG ms) {
    auto& scheduler = TheScheduler();
    std::lock_guard oneAtATime(scheduler.advancing);
    auto lock = LockScheduler();
    if (!clock::IsVirtual())
        return;
    scheduler.explicitAdvance = true;
    MarkSettled(currentPace);  // the advancing thread is not waited for
    Settle(lock);
    ULONGLONG target = clock::Tick() + ms;
    while (!scheduler.deadlines.empty() && scheduler.deadlines.begin()->first <= target) {
        WaitCore::VisitEarliestDeadline();
        Settle(lock);
    }
    clock::SetVirtualTick(target);
    scheduler.explicitAdvance = false;
    // The advancing thread goes on running; one that the advance waits for
    // counts as such again.
    if (currentPace.platformThread)
        MarkRunning(currentPace);
    PassTimeIfAllWait();
}

}  // namespace platform::sync
