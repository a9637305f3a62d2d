// quillon.exe's entry point. RunProgram reads the command line itself (as UTF-16).
#include <windows.h>

#include "app/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return app::RunProgram(); }
