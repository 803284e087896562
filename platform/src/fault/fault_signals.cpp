// Hardware faults arrive as signals. The handler turns one into the exception
// record and registers Windows would give, asks the guards of the faulting
// thread and then the unhandled-exception filter, and does what they answer.
// A fault nobody handles goes to the host's crash handler when it has one,
// else on to whatever handled the signal before us (the default action ends
// the process), so the host sees it as it would.
#include "fault/unhandled.h"

#include <platform/seh.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace platform::seh {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

thread_local GuardFrame* innermostGuard = nullptr;

struct sigaction previousActions[sizeof kFaultSignals / sizeof kFaultSignals[0]];
std::mutex installing;
std::atomic<bool> installedOnce{false};

DWORD ExceptionCodeOf(int signal, int code) {
    switch (signal) {
        case SIGFPE:
            if (code == FPE_INTDIV)
                return EXCEPTION_INT_DIVIDE_BY_ZERO;
            if (code == FPE_INTOVF)
                return EXCEPTION_INT_OVERFLOW;
            if (code == FPE_FLTDIV)
                return EXCEPTION_FLT_DIVIDE_BY_ZERO;
            return EXCEPTION_FLT_INVALID_OPERATION;
        case SIGILL:
            return code == ILL_PRVOPC ? EXCEPTION_PRIV_INSTRUCTION : EXCEPTION_ILLEGAL_INSTRUCTION;
        case SIGBUS:
            return EXCEPTION_IN_PAGE_ERROR;
        default:
            return EXCEPTION_ACCESS_VIOLATION;
    }
}

}  // namespace

void FillContext(const ucontext_t* machine, CONTEXT& context) {
#if defined(__x86_64__)
    const greg_t* r = machine->uc_mcontext.gregs;
    context.Rax = r[REG_RAX], context.Rcx = r[REG_RCX], context.Rdx = r[REG_RDX];
    context.Rbx = r[REG_RBX], context.Rsp = r[REG_RSP], context.Rbp = r[REG_RBP];
    context.Rsi = r[REG_RSI], context.Rdi = r[REG_RDI];
    context.R8 = r[REG_R8], context.R9 = r[REG_R9], context.R10 = r[REG_R10];
    context.R11 = r[REG_R11], context.R12 = r[REG_R12], context.R13 = r[REG_R13];
    context.R14 = r[REG_R14], context.R15 = r[REG_R15];
    context.Rip = r[REG_RIP];
    context.EFlags = static_cast<DWORD>(r[REG_EFL]);
#else
    (void)machine;
    (void)context;
#endif
}

namespace {

void FillRecord(int signal, const siginfo_t* info, const CONTEXT& context,
                EXCEPTION_RECORD& record) {
    record.ExceptionCode = ExceptionCodeOf(signal, info->si_code);
    record.ExceptionAddress = reinterpret_cast<PVOID>(context.Rip);
    if (signal == SIGSEGV || signal == SIGBUS) {
        // Whether it was a read or a write the signal does not say: report a
        // read, with the address that was touched.
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = 0;
        record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info->si_addr);
    }
}

size_t IndexOf(int signal) {
    for (size_t i = 0; i < std::size(kFaultSignals); ++i) {
        if (kFaultSignals[i] == signal)
            return i;
    }
    return 0;
}

// Hands the fault to the handler we replaced. A fault of the processor comes
// again when the instruction is retried; a sent signal is sent again.
void PassOn(int signal, const siginfo_t* info) {
    sigaction(signal, &previousActions[IndexOf(signal)], nullptr);
    if (info->si_code <= 0)
        raise(signal);
}

void OnFault(int signal, siginfo_t* info, void* machine) {
    CONTEXT context{};
    FillContext(static_cast<ucontext_t*>(machine), context);
    EXCEPTION_RECORD record{};
    FillRecord(signal, info, context, record);
    EXCEPTION_POINTERS pointers{&record, &context};

    for (GuardFrame* frame = innermostGuard; frame; frame = frame->outer) {
        LONG answer = (*frame->filter)(&pointers);
        if (answer == EXCEPTION_CONTINUE_EXECUTION)
            return;
        if (answer == EXCEPTION_EXECUTE_HANDLER) {
            innermostGuard = frame->outer;
            siglongjmp(frame->resume, 1);
        }
    }

    if (Unhandled(pointers) == EXCEPTION_CONTINUE_EXECUTION)
        return;
    PassOn(signal, info);
}

}  // namespace

// A signal handler that someone put in our place since is taken as the
// host's handling in turn.
void InstallHandlers() {
    std::lock_guard<std::mutex> lock(installing);
    struct sigaction ours {};
    ours.sa_sigaction = &OnFault;
    ours.sa_flags = SA_SIGINFO;
    sigemptyset(&ours.sa_mask);
    for (size_t i = 0; i < std::size(kFaultSignals); ++i) {
        struct sigaction current {};
        sigaction(kFaultSignals[i], nullptr, &current);
        if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == &OnFault)
            continue;
        sigaction(kFaultSignals[i], &ours, &previousActions[i]);
    }
    InstallTerminateHandler();
    installedOnce = true;
}

void PushGuard(GuardFrame* frame) {
    if (!installedOnce)
        InstallHandlers();
    frame->outer = innermostGuard;
    innermostGuard = frame;
}

void PopGuard(GuardFrame* frame) {
    innermostGuard = frame->outer;
}

}  // namespace platform::seh
