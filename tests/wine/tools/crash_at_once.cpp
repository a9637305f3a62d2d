// A program that crashes as soon as it starts (a write through a null pointer), for the test that a crash
// under the test harness ends the program at once instead of leaving it waiting in a debugger.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
