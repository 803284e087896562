#include "proxies.h"

#include <mutex>

#include "application.h"
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
              RegisterTableProxy<Outlook::_ReportItem>(ReportItemObject::Members());
    });
    return all;
}

}  // namespace outlook::objects
