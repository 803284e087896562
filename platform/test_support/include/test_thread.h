// A thread started through CreateThread that runs a callable; the object waits
// for the thread to end before it goes, so the callable's captures stay valid.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

class TestThread {
  public:
    explicit TestThread(std::function<DWORD()> body, DWORD flags = 0)
        : body_(std::make_unique<std::function<DWORD()>>(std::move(body))) {
        handle_ = CreateThread(nullptr, 0, &Run, body_.get(), flags, &id_);
    }
    ~TestThread() {
        if (!handle_)
            return;
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
    }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    HANDLE handle() const { return handle_; }
    DWORD id() const { return id_; }

  private:
    static DWORD WINAPI Run(LPVOID body) { return (*static_cast<std::function<DWORD()>*>(body))(); }

    std::unique_ptr<std::function<DWORD()>> body_;
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
};
