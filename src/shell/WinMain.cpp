#include "shell/Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, wchar_t* commandLine, int showCommand) {
    return RunEntry(instance, previous, commandLine, showCommand);
}
