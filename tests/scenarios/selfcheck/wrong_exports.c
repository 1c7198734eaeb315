/*
 * A DLL that breaks every rule the Windows binary check enforces: SetSentence
 * uses the caller-cleans convention, SetVarValue keeps its decorated name,
 * an eleventh function is exported, the rest are missing, and DllMain
 * refuses to load. The check must reject it.
 */
#include <stdint.h>
#include <windows.h>

static char Buffer[16];

__declspec(dllexport) void SetSentence(const char *sentence) { Buffer[0] = sentence[0]; }

__declspec(dllexport) void __stdcall SetVarValue(const char *name, const char *value, int32_t type) {
  Buffer[1] = (char)(name[0] + value[0] + type);
}

__declspec(dllexport) const char *GetTokensAndMore(void) { return Buffer; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  return reason != DLL_PROCESS_ATTACH;
}
