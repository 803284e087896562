#include "advise.h"

#include <atlbase.h>

#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace mapiview {
namespace {

// One NOTIFICATION in a MAPI buffer, its identifiers chained to it.
LPNOTIFICATION BuildNotification(const mailstore::Notification& from) {
    void* block = nullptr;
    if (FAILED(AllocateBuffer(sizeof(NOTIFICATION), &block)))
        return nullptr;
    auto* notification = static_cast<LPNOTIFICATION>(block);
    notification->ulEventType = from.event;
    auto copyId = [&](const mailstore::EntryId& id, ULONG& size, LPENTRYID& out) {
        size = static_cast<ULONG>(id.size());
        out = id.empty() ? nullptr : CopyEntryId(id, block);
    };
    if (from.event == fnevNewMail) {
        NEWMAIL_NOTIFICATION& mail = notification->info.newmail;
        copyId(from.entryId, mail.cbEntryID, mail.lpEntryID);
        copyId(from.parentId, mail.cbParentID, mail.lpParentID);
        mail.ulFlags = 0;
        void* text = nullptr;
        if (SUCCEEDED(
                AllocateMore(static_cast<ULONG>(from.messageClass.size() + 1), block, &text))) {
            std::memcpy(text, from.messageClass.c_str(), from.messageClass.size() + 1);
            mail.lpszMessageClass = static_cast<LPSTR>(text);
        }
        mail.ulMessageFlags = from.messageFlags;
    } else {
        OBJECT_NOTIFICATION& object = notification->info.obj;
        copyId(from.entryId, object.cbEntryID, object.lpEntryID);
        object.ulObjType = from.objectType;
        copyId(from.parentId, object.cbParentID, object.lpParentID);
        copyId(from.oldId, object.cbOldID, object.lpOldID);
        copyId(from.oldParentId, object.cbOldParentID, object.lpOldParentID);
        object.lpPropTagArray = nullptr;
    }
    return notification;
}

// A deep copy of a NOTIFICATION in a buffer of its own.
LPNOTIFICATION CopyNotification(const NOTIFICATION& from) {
    void* block = nullptr;
    if (FAILED(AllocateBuffer(sizeof(NOTIFICATION), &block)))
        return nullptr;
    auto* copy = static_cast<LPNOTIFICATION>(block);
    *copy = from;
    auto copyBytes = [&](ULONG size, LPENTRYID& id) {
        if (!id || size == 0)
            return;
        void* bytes = nullptr;
        if (FAILED(AllocateMore(size, block, &bytes))) {
            id = nullptr;
            return;
        }
        std::memcpy(bytes, id, size);
        id = static_cast<LPENTRYID>(bytes);
    };
    if (from.ulEventType == fnevNewMail) {
        NEWMAIL_NOTIFICATION& mail = copy->info.newmail;
        copyBytes(mail.cbEntryID, mail.lpEntryID);
        copyBytes(mail.cbParentID, mail.lpParentID);
        if (mail.lpszMessageClass) {
            const ULONG size = static_cast<ULONG>(std::strlen(mail.lpszMessageClass) + 1);
            auto* text = reinterpret_cast<LPENTRYID>(mail.lpszMessageClass);
            copyBytes(size, text);
            mail.lpszMessageClass = reinterpret_cast<LPSTR>(text);
        }
    } else if (from.ulEventType != fnevCriticalError && from.ulEventType != fnevTableModified) {
        OBJECT_NOTIFICATION& object = copy->info.obj;
        copyBytes(object.cbEntryID, object.lpEntryID);
        copyBytes(object.cbParentID, object.lpParentID);
        copyBytes(object.cbOldID, object.lpOldID);
        copyBytes(object.cbOldParentID, object.lpOldParentID);
        object.lpPropTagArray = nullptr;
    }
    return copy;
}

struct SinkReleaser {
    void operator()(IMAPIAdviseSink* sink) const { sink->Release(); }
};

// The sink that MAPI's HrThisThreadAdviseSink makes: notifications from any
// thread are copied into its queue, and a message posted to its window on the
// advising thread hands them on when that thread pumps.
class ThreadSink : public Counted<IMAPIAdviseSink> {
  public:
    static constexpr UINT kDeliver = WM_APP + 0x4D41;

    // Only the stores call it: no member of it is entered as the add-in's call.
    explicit ThreadSink(LPMAPIADVISESINK target) : Counted(L"IMAPIAdviseSink"), m_target(target) {
        m_window = CreateWindowExW(0, ClassName(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   nullptr, nullptr);
        if (m_window)
            SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    bool HasWindow() const { return m_window != nullptr; }

    STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
        if (!notifications)
            return 0;
        {
            std::lock_guard guard(m_lock);
            for (ULONG i = 0; i < count; ++i)
                if (LPNOTIFICATION copy = CopyNotification(notifications[i]))
                    m_queue.push_back(copy);
        }
        PostMessageW(m_window, kDeliver, 0, 0);
        return 0;
    }

  protected:
    ~ThreadSink() override {
        if (m_window) {
            SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
            DestroyWindow(m_window);
        }
        for (LPNOTIFICATION left : m_queue)
            FreeBuffer(left);
    }
    bool Answers(REFIID iid) const override {
        return iid == IID_IUnknown || iid == IID_IMAPIAdviseSink;
    }

  private:
    static const wchar_t* ClassName() {
        static const bool registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = &ThreadSink::WindowProc;
            windowClass.lpszClassName = L"MapiViewThreadSink";
            return RegisterClassW(&windowClass) != 0;
        }();
        (void)registered;
        return L"MapiViewThreadSink";
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kDeliver)
            return DefWindowProcW(window, message, wParam, lParam);
        auto* self = reinterpret_cast<ThreadSink*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self)
            self->Deliver();
        return 0;
    }

    // Everything that queued up since the last delivery goes in one call, as
    // MAPI batches the notifications it holds for a sink. The wrapper keeps
    // itself alive meanwhile: the sink may unadvise (and so release it) from
    // inside its OnNotify.
    void Deliver() {
        AddRef();
        std::deque<LPNOTIFICATION> batch;
        {
            std::lock_guard guard(m_lock);
            batch.swap(m_queue);
        }
        if (!batch.empty()) {
            // The copies' identifier buffers stay where they are; only the
            // structures are laid side by side.
            std::vector<NOTIFICATION> notifications;
            notifications.reserve(batch.size());
            for (LPNOTIFICATION copy : batch)
                notifications.push_back(*copy);
            m_target->OnNotify(static_cast<ULONG>(notifications.size()), notifications.data());
            for (LPNOTIFICATION copy : batch)
                FreeBuffer(copy);
        }
        Release();
    }

    CComPtr<IMAPIAdviseSink> m_target;
    HWND m_window = nullptr;
    std::mutex m_lock;
    std::deque<LPNOTIFICATION> m_queue;
};

}  // namespace

mailstore::NotificationCallback NotifierFor(LPMAPIADVISESINK sink) {
    sink->AddRef();
    std::shared_ptr<IMAPIAdviseSink> held(sink, SinkReleaser{});
    return [held](const mailstore::Notification& change) {
        LPNOTIFICATION notification = BuildNotification(change);
        if (!notification)
            return;
        held->OnNotify(1, notification);
        FreeBuffer(notification);
    };
}

HRESULT ThisThreadAdviseSink(LPMAPIADVISESINK sink, LPMAPIADVISESINK* wrapper) {
    if (!sink || !wrapper)
        return MAPI_E_INVALID_PARAMETER;
    *wrapper = nullptr;
    auto* made = new ThreadSink(sink);
    if (!made->HasWindow()) {
        made->Release();
        return MAPI_E_NOT_ENOUGH_RESOURCES;
    }
    *wrapper = made;
    return S_OK;
}

}  // namespace mapiview
