// DLL entry: creates the device at load and destroys it when the DLL is freed. A producer thread
// holds a reference to the DLL (FreeLibraryAndExitThread), so none runs when it is freed; at
// process exit (reserved != null) threads are gone already and nothing is torn down.
#include <windows.h>

#include "simboard/SimState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // No DisableThreadLibraryCalls: the statically linked runtime wants thread notifications.
        (void)instance;
        try {
            simboard::CreateDevice();
        } catch (...) {
            return FALSE;
        }
        break;
    case DLL_PROCESS_DETACH:
        if (reserved == nullptr) {
            simboard::DestroyDevice();
        }
        break;
    default:
        break;
    }
    return TRUE;
}
