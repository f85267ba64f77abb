// Program entry: the application's main window, then its message loop.
#include "app/fMain.h"

#include <windows.h>

// The narrow entry point: mingw links wWinMain only with -municode. The program reads nothing
// from the narrow command line.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return tw::RunMainWindow(instance); }
