#include "proxies.h"

#include <mutex>

#include "application.h"
#include "command_bar_button.h"
#include "command_bar_popup.h"
#include "command_bars.h"
#include "explorer.h"
#include "explorers.h"
#include "folder.h"
#include "folders.h"
#include "items.h"
#include "mail_item.h"
#include "namespace.h"
#include "report_item.h"
#include "table_proxy.h"

namespace outlook::objects {

namespace {
constexpr auto kControlMembers = ControlMembers();
}  // namespace

bool RegisterOutlookProxies() {
    static std::once_flag registered;
    static bool all = false;
    std::call_once(registered, [] {
        all = RegisterTableProxy<Outlook::_Application>(ApplicationObject::Members()) &
              RegisterTableProxy<Outlook::_Explorers>(ExplorersObject::Members()) &
              RegisterTableProxy<Outlook::_Explorer>(ExplorerObject::Members()) &
              RegisterTableProxy<Outlook::_NameSpace>(NameSpaceObject::Members()) &
              RegisterTableProxy<Outlook::MAPIFolder>(FolderObject::Members()) &
              RegisterTableProxy<Outlook::_Folders>(FoldersObject::Members()) &
              RegisterTableProxy<Outlook::_Items>(ItemsObject::Members()) &
              RegisterTableProxy<Outlook::_MailItem>(MailItemObject::Members()) &
              RegisterTableProxy<Outlook::_ReportItem>(ReportItemObject::Members()) &
              RegisterTableProxy<Office::_CommandBars>(CommandBarsObject::Members()) &
              RegisterTableProxy<Office::CommandBar>(CommandBarObject::Members()) &
              RegisterTableProxy<Office::CommandBarControls>(CommandBarControlsObject::Members()) &
              RegisterTableProxy<Office::CommandBarControl>(kControlMembers) &
              RegisterTableProxy<Office::_CommandBarButton>(CommandBarButtonObject::Members()) &
              RegisterTableProxy<Office::CommandBarPopup>(CommandBarPopupObject::Members());
    });
    return all;
}

}  // namespace outlook::objects
