// A thread started through CreateThread that runs a callable; the object waits
// for the thread to end before it goes, so the callable's captures stay valid.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

class TestThread {
  public:
    explicit TestThread(std::function<DWORD()> body, DWORD flags = 0)
        : m_body(std::make_unique<std::function<DWORD()>>(std::move(body))) {
        m_handle = CreateThread(nullptr, 0, &Run, m_body.get(), flags, &m_id);
    }
    ~TestThread() {
        if (!m_handle)
            return;
        WaitForSingleObject(m_handle, INFINITE);
        CloseHandle(m_handle);
    }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    HANDLE handle() const { return m_handle; }
    DWORD id() const { return m_id; }

  private:
    static DWORD WINAPI Run(LPVOID body) { return (*static_cast<std::function<DWORD()>*>(body))(); }

    std::unique_ptr<std::function<DWORD()>> m_body;
    HANDLE m_handle = nullptr;
    DWORD m_id = 0;
};
