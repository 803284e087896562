// A module for the loader's tests. It writes what happens to it (entry point
// notifications, the destruction of its static objects at unload) to the host
// file named by BV_MODULE_LOG, one "tag:event" line each.
#include <windows.h>

#include "platform/module_resources.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Record(const char* event) {
    const char* log = std::getenv("BV_MODULE_LOG");
    if (!log)
        return;
    if (FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s:%s\n", MODULE_TAG, event);
        std::fclose(file);
    }
}

struct UnloadWitness {
    ~UnloadWitness() { Record("unload"); }
} unloadWitness;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            // The loader has the module in its table before it runs the entry point.
            Record(GetModuleHandleW(MODULE_TAG L"_module") == instance ? "attach"
                                                                       : "attach-unknown");
#ifdef REFUSE_ATTACH
            return FALSE;
#else
            return TRUE;
#endif
        case DLL_PROCESS_DETACH:
            Record("detach");
            return TRUE;
    }
    return TRUE;
}

extern "C" __attribute__((visibility("default"))) int TestModuleAdd(int a, int b) {
    return a + b;
}

#ifndef REFUSE_ATTACH
// Resources of the kinds a COM server carries.
namespace {

const char kScript[] = "HKCR { NoRemove CLSID }";
const char kManifest[] = "<assembly manifestVersion='1.0'/>";
const char kConfig[] = "named";
const BYTE kDialog[] = {1, 0, 0xFF, 0xFF};
const char kEnglish[] = "english";
const char kGerman[] = "german";

const platform::resources::Resource kResources[] = {
    {L"REGISTRY", MAKEINTRESOURCEW(101), 0, kScript, sizeof kScript - 1},
    {RT_MANIFEST, MAKEINTRESOURCEW(2), 0, kManifest, sizeof kManifest - 1},
    {RT_RCDATA, L"Config", 0, kConfig, sizeof kConfig - 1},
    {RT_DIALOG, MAKEINTRESOURCEW(201), 0, kDialog, sizeof kDialog},
    {RT_RCDATA, MAKEINTRESOURCEW(7), 0x0409, kEnglish, sizeof kEnglish - 1},
    {RT_RCDATA, MAKEINTRESOURCEW(7), 0x0407, kGerman, sizeof kGerman - 1},
};

const platform::resources::String kStrings[] = {
    {100, L"BVOL"}, {101, L"Second string"}, {17, L"In the second block"}};

}  // namespace

BV_MODULE_RESOURCES(kResources, kStrings);
#endif
