// Stand-in, replaced by the recording mpr.dll.
#include <windows.h>
extern "C" __declspec(dllexport) DWORD APIENTRY KestelStandinPlaceholder() { return 0; }
