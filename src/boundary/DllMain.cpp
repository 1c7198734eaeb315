// The library's entry point: accepts every load, unload and thread
// notification and does no work of its own (the global calculator is built
// by the runtime's static initialisation).

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
