// What mail and report items both answer, over one message of the store
// model. Items whose message class starts with "REPORT." are report items,
// which Outlook does not show as mail; every other item is a mail item.
#pragma once

#include <mailstore/model.h>

#include "model.h"

namespace outlook::objects {

// A report item for the "REPORT." classes, a mail item for every other, with
// one reference for the caller.
CComPtr<IDispatch> WrapItem(Model* model, mailstore::MessagePtr message);

class ItemCore : public ModelBound {
  public:
    using ModelBound::ModelBound;
    void SetMessage(mailstore::MessagePtr message) { message_ = std::move(message); }

  protected:
    // S_OK when the member may go on: it was entered (ModelBound::Enter) and
    // the message is there.
    template <class... Out>
    HRESULT Reach(const wchar_t* member, Out*... outputs) {
        if (HRESULT hr = Enter(member, outputs...); FAILED(hr))
            return hr;
        // A message deleted or moved to another store is gone for this object.
        return message_ && !message_->IsDeleted() ? S_OK : kNotFound;
    }
    HRESULT ClassOf(LONG* objectClass);
    HRESULT ParentOf(IDispatch** parent);
    // "EntryID", "MessageClass", "Subject", "Body" or "HTMLBody".
    HRESULT TextOf(const wchar_t* member, BSTR* text);
    HRESULT MoveInto(Outlook::MAPIFolder* destination, IDispatch** item);

    mailstore::MessagePtr message_;
};

}  // namespace outlook::objects
