// The in-process server's exported entry points and its library entry.
#include <windows.h>
#include <ole2.h>

#include "Orvane.h"
#include "module/ServerModule.h"

namespace {
// The one instance the COM runtime talks to through the exports.
orvane::CServerModule g_server;
}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_server.Initialize(instance, LIBID_ORVANELib);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on. When the process is ending, the other threads are
        // already gone, possibly holding the table's lock: there is nothing to tidy up then.
        g_server.Terminate();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return g_server.CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    return g_server.GetClassObject(clsid, iid, object);
}

STDAPI DllRegisterServer()
{
    return g_server.RegisterServer();
}

STDAPI DllUnregisterServer()
{
    return g_server.UnregisterServer();
}

}  // extern "C"
