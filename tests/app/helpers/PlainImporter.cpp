// The control case of the planted-DLL test: a program that loads comctl32
// with the system's default search order, which looks in the program's own
// folder first, so a DLL planted beside it is what loads.
#include <windows.h>

int wmain() { return ::LoadLibraryW(L"comctl32.dll") ? 0 : 1; }
