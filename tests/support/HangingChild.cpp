// A child process that says one line and then never ends, holding its output pipe open: what
// run_program's time limit must end.
#include <windows.h>
#include <cstdio>

int main()
{
    std::printf("hanging\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
