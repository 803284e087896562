// A library whose registration the tests watch: DllRegisterServer appends
// "registered" to the file named by BV_REGISTER_LOG, and then never returns
// when BV_REGISTER_HANG is set.
#include <windows.h>

#include <cstdlib>
#include <fstream>

extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE DllRegisterServer() {
    if (const char* log = std::getenv("BV_REGISTER_LOG"))
        std::ofstream(log, std::ios::app) << "registered\n";
    if (std::getenv("BV_REGISTER_HANG"))
        Sleep(INFINITE);
    return S_OK;
}
