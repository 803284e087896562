// The resources of BVOL0000.dll: its registry scripts, type library, string
// table, isolation manifest, version block and dialog templates, found by the
// system's resource functions as a Windows module's resource section is.
#include <platform/module_resources.h>

#include "resources/dialog_templates.h"
#include "resources/resource_ids.h"
#include "resources/version_info.h"

// Embedded from the files beside this one (see src/CMakeLists.txt).
extern const char kAppIdScript[];
extern const unsigned kAppIdScript_size;
extern const char kClassScript[];
extern const unsigned kClassScript_size;
extern const char kTypeLibrary[];
extern const unsigned kTypeLibrary_size;
extern const char kManifest[];
extern const unsigned kManifest_size;

namespace {

const std::vector<BYTE> kVersion = BuildVersionInfo({
    0x0409,
    0x04E4,
    {1, 0, 0, 1},
    {
        {L"FileDescription", L"Antispam plugin for Outlook"},
        {L"FileVersion", L"1, 0, 0, 1"},
        {L"InternalName", L"BVOL.dll"},
        {L"OriginalFilename", L"BVOL0000.dll"},
        {L"ProductVersion", L"1, 0, 0, 1"},
    },
});

platform::DialogTemplateBuilder addinWindow = HiddenWindowTemplate(true);
platform::DialogTemplateBuilder workerWindow = HiddenWindowTemplate(false);
platform::DialogTemplateBuilder progressDialog = ProgressDialogTemplate();

const platform::resources::Resource kResources[] = {
    {L"REGISTRY", MAKEINTRESOURCEW(IDR_BVOL), 0, kAppIdScript, kAppIdScript_size},
    {L"REGISTRY", MAKEINTRESOURCEW(IDR_CONNECT), 0, kClassScript, kClassScript_size},
    {L"TYPELIB", MAKEINTRESOURCEW(1), 0, kTypeLibrary, kTypeLibrary_size},
    {RT_MANIFEST, MAKEINTRESOURCEW(2), 0, kManifest, kManifest_size},
    {RT_VERSION, MAKEINTRESOURCEW(1), 0x0409, kVersion.data(), DWORD(kVersion.size())},
    {RT_DIALOG, MAKEINTRESOURCEW(IDD_ADDIN_WINDOW), 0x0409, addinWindow.Template(),
     DWORD(addinWindow.Size())},
    {RT_DIALOG, MAKEINTRESOURCEW(IDD_PROGRESS), 0x0409, progressDialog.Template(),
     DWORD(progressDialog.Size())},
    {RT_DIALOG, MAKEINTRESOURCEW(IDD_WORKER_WINDOW), 0x0409, workerWindow.Template(),
     DWORD(workerWindow.Size())},
};

const platform::resources::String kStrings[] = {{IDS_PROJNAME, L"BVOL"}};

}  // namespace

BV_MODULE_RESOURCES(kResources, kStrings);
