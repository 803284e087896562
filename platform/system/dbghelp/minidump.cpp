// MiniDumpWriteDump of "dbghelp.dll". The dump is text a person can read: the
// process and thread, the exception with its registers, and the stack of the
// calling thread from the faulting instruction down, each frame named by its
// module and nearest exported symbol. It is written from inside a fault
// handler, so it is formatted into fixed buffers and written in pieces.
#include <dbghelp.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

class DumpWriter {
  public:
    explicit DumpWriter(HANDLE file) : m_file(file) {}

    void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char line[512];
        va_list arguments;
        va_start(arguments, format);
        int length = vsnprintf(line, sizeof line - 1, format, arguments);
        va_end(arguments);
        if (length < 0)
            return;
        size_t size = std::min(static_cast<size_t>(length), sizeof line - 2);
        line[size++] = '\n';
        Write(line, size);
    }

    bool Failed() const { return m_failed; }

  private:
    void Write(const char* bytes, size_t size) {
        DWORD written = 0;
        if (!m_failed && !WriteFile(m_file, bytes, static_cast<DWORD>(size), &written, nullptr))
            m_failed = true;
    }

    HANDLE m_file;
    bool m_failed = false;
};

const char* BaseName(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void WriteFrame(DumpWriter& out, int number, void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) {
        out.Line("  #%-2d 0x%016" PRIxPTR, number, reinterpret_cast<uintptr_t>(address));
        return;
    }
    uintptr_t at = reinterpret_cast<uintptr_t>(address);
    if (info.dli_sname && info.dli_saddr) {
        out.Line("  #%-2d 0x%016" PRIxPTR " %s!%s+0x%" PRIxPTR, number, at,
                 BaseName(info.dli_fname), info.dli_sname,
                 at - reinterpret_cast<uintptr_t>(info.dli_saddr));
    } else {
        out.Line("  #%-2d 0x%016" PRIxPTR " %s+0x%" PRIxPTR, number, at, BaseName(info.dli_fname),
                 at - reinterpret_cast<uintptr_t>(info.dli_fbase));
    }
}

void WriteException(DumpWriter& out, const EXCEPTION_POINTERS& pointers) {
    const EXCEPTION_RECORD& record = *pointers.ExceptionRecord;
    out.Line("Exception code: 0x%08" PRIX32, record.ExceptionCode);
    out.Line("Exception address: 0x%016" PRIxPTR,
             reinterpret_cast<uintptr_t>(record.ExceptionAddress));
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        const char* kind = record.ExceptionInformation[0] == 1   ? "write to"
                           : record.ExceptionInformation[0] == 8 ? "execution of"
                                                                 : "read of";
        out.Line("Access violation: %s 0x%016" PRIxPTR, kind,
                 static_cast<uintptr_t>(record.ExceptionInformation[1]));
    }
    if (const CONTEXT* c = pointers.ContextRecord) {
        out.Line("Registers:");
        out.Line("  rip=%016" PRIx64 " rsp=%016" PRIx64 " rbp=%016" PRIx64, c->Rip, c->Rsp, c->Rbp);
        out.Line("  rax=%016" PRIx64 " rbx=%016" PRIx64 " rcx=%016" PRIx64 " rdx=%016" PRIx64,
                 c->Rax, c->Rbx, c->Rcx, c->Rdx);
        out.Line("  rsi=%016" PRIx64 " rdi=%016" PRIx64 " r8=%016" PRIx64 " r9=%016" PRIx64, c->Rsi,
                 c->Rdi, c->R8, c->R9);
    }
}

// The frames of this thread, from the faulting instruction when it is among
// them (the frames of the fault handler above it are left out).
void WriteStack(DumpWriter& out, const EXCEPTION_POINTERS* pointers) {
    void* frames[64];
    int count = backtrace(frames, 64);
    int first = 0;
    if (pointers && pointers->ExceptionRecord) {
        for (int i = 0; i < count; ++i) {
            if (frames[i] == pointers->ExceptionRecord->ExceptionAddress) {
                first = i;
                break;
            }
        }
    }
    out.Line("Stack:");
    for (int i = first; i < count; ++i)
        WriteFrame(out, i - first, frames[i]);
}

// The first backtrace loads the unwinder library; done when the module
// loads, so that a dump written inside a fault does not load a library.
__attribute__((constructor)) void LoadTheUnwinder() {
    void* frame[1];
    backtrace(frame, 1);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) BOOL WINAPI
MiniDumpWriteDump(HANDLE, DWORD ProcessId, HANDLE hFile, MINIDUMP_TYPE DumpType,
                  PMINIDUMP_EXCEPTION_INFORMATION ExceptionParam, PMINIDUMP_USER_STREAM_INFORMATION,
                  PMINIDUMP_CALLBACK_INFORMATION) {
    DumpWriter out(hFile);
    out.Line("Crash dump");
    out.Line("Process: %" PRIu32, ProcessId);
    out.Line("Thread: %" PRIu32, ExceptionParam ? ExceptionParam->ThreadId : GetCurrentThreadId());
    out.Line("Dump type: 0x%08X", static_cast<unsigned>(DumpType));
    const EXCEPTION_POINTERS* pointers =
        ExceptionParam ? ExceptionParam->ExceptionPointers : nullptr;
    if (pointers && pointers->ExceptionRecord)
        WriteException(out, *pointers);
    else
        out.Line("Exception: none");
    WriteStack(out, pointers);
    return out.Failed() ? FALSE : TRUE;
}
