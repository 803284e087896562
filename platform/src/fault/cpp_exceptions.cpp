// C++ exceptions as the structured exception Windows raises for them: a
// guard's filter is asked about one that leaves the guarded body, and one
// that nothing catches reaches the unhandled-exception filter through
// std::terminate, which runs where it was thrown (the stack still whole, for
// the dump).
#include "fault/unhandled.h"

#include <cxxabi.h>
#include <platform/seh.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>

namespace platform::seh {
namespace {

// The first parameter of the record of a C++ exception, as Windows' C++
// runtime sets it.
constexpr ULONG_PTR kCppMagic = 0x19930520;

std::atomic<std::terminate_handler> hostTerminate{nullptr};

std::string Demangled(const char* name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> plain(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && plain ? plain.get() : name;
}

// The exception being handled as a std::exception, or null.
const std::exception* CurrentStdException() {
    if (!abi::__cxa_current_exception_type())
        return nullptr;
    try {
        throw;
    } catch (const std::exception& thrown) {
        return &thrown;  // lives as long as the exception is being handled
    } catch (...) {
        return nullptr;
    }
}

// The record, registers and pointers of the C++ exception being handled,
// raised (as far as anyone can tell) at `address`.
struct CppException {
    explicit CppException(void* address) {
        ucontext_t machine{};
        getcontext(&machine);
        FillContext(&machine, context);
        context.Rip = reinterpret_cast<DWORD64>(address);
        record.ExceptionCode = kCppExceptionCode;
        record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
        record.ExceptionAddress = address;
        record.NumberParameters = 3;
        record.ExceptionInformation[0] = kCppMagic;
        record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(CurrentStdException());
        record.ExceptionInformation[2] =
            reinterpret_cast<ULONG_PTR>(abi::__cxa_current_exception_type());
    }
    CppException(const CppException&) = delete;
    CppException& operator=(const CppException&) = delete;

    EXCEPTION_RECORD record{};
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
};

// std::terminate with an exception in hand is a C++ exception nothing caught:
// Windows' unhandled exception. Without one (or when the host's crash handler
// does not take it) the host's own handling follows.
[[noreturn]] void OnTerminate() {
    if (abi::__cxa_current_exception_type()) {
        CppException raised(__builtin_return_address(0));
        Unhandled(raised.pointers);
    }
    if (std::terminate_handler host = hostTerminate.load())
        host();
    std::abort();
}

}  // namespace

bool FilterHandlesCppException(const Filter& filter) {
    CppException raised(__builtin_return_address(0));
    return filter(&raised.pointers) == EXCEPTION_EXECUTE_HANDLER;
}

void InstallTerminateHandler() {
    std::terminate_handler previous = std::set_terminate(&OnTerminate);
    if (previous != &OnTerminate)
        hostTerminate = previous;
}

std::string DescribeException(const EXCEPTION_RECORD& record) {
    if (record.ExceptionCode == kCppExceptionCode) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        if (!type)
            return "C++ exception";
        std::string text = "C++ exception " + Demangled(type->name());
        if (const std::exception* thrown = CurrentStdException())
            text += std::string(": ") + thrown->what();
        return text;
    }
    // The faults the platform raises, by the signal each comes as.
    struct Kind {
        DWORD code;
        const char* text;
    };
    static const Kind kinds[] = {
        {EXCEPTION_ACCESS_VIOLATION, "access violation, SIGSEGV"},
        {EXCEPTION_IN_PAGE_ERROR, "in-page error, SIGBUS"},
        {EXCEPTION_INT_DIVIDE_BY_ZERO, "integer division by zero, SIGFPE"},
        {EXCEPTION_INT_OVERFLOW, "integer overflow, SIGFPE"},
        {EXCEPTION_FLT_DIVIDE_BY_ZERO, "floating-point division by zero, SIGFPE"},
        {EXCEPTION_FLT_INVALID_OPERATION, "floating-point fault, SIGFPE"},
        {EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction, SIGILL"},
        {EXCEPTION_PRIV_INSTRUCTION, "privileged instruction, SIGILL"}};
    for (const auto& kind : kinds)
        if (kind.code == record.ExceptionCode)
            return kind.text;
    return "fault";
}

}  // namespace platform::seh
