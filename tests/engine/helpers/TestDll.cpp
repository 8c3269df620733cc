// The smallest DLL a helper program can hold loaded.
#include <windows.h>

extern "C" __declspec(dllexport) int PvTestDllMarker() { return 42; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
