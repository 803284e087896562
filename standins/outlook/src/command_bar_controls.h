// The controls of a command bar or of a pop-up menu, in their order.
#pragma once

#include <vector>

#include "command_bar_control.h"

namespace outlook::objects {

class CommandBarControlsObject : public ModelObject<Office::CommandBarControls> {
  public:
    BEGIN_COM_MAP(CommandBarControlsObject)
    COM_INTERFACE_ENTRY(Office::CommandBarControls)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    CommandBarControlsObject();

    // The controls, in order (the host's walk).
    std::vector<ControlNode*> Nodes() const;
    // Adds a control as `info` describes it, with its menu's controls (a
    // command bar restored at start); returns it.
    ControlNode* Restore(const host::ControlInfo& info);
    // Lets the sinks of every button below go.
    void Disconnect();

    STDMETHODIMP Add(VARIANT type, VARIANT id, VARIANT parameter, VARIANT before, VARIANT temporary,
                     Office::CommandBarControl** control) override;
    STDMETHODIMP get_Count(int* count) override;
    STDMETHODIMP get_Item(VARIANT index, Office::CommandBarControl** control) override;

  private:
    struct Entry {
        CComPtr<IUnknown> object;  // keeps the node alive
        ControlNode* node;
    };
    Entry Make(int type);
    std::vector<Entry> m_entries;
};

// A VARIANT argument left out by its caller (VT_ERROR, or VT_EMPTY).
bool LeftOut(const VARIANT& argument);

}  // namespace outlook::objects
