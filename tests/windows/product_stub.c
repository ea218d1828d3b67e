/*
 * A stand-in for the product's process on Windows. It prints the system
 * uptime as GetTickCount gives it (the value the check bases its startup
 * rule on) and, unless its only argument is "tick", waits to be ended. It
 * ends by itself after two minutes so that no copy outlives a failed test
 * for long. Single-threaded.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    printf("tick %lu\n", (unsigned long)GetTickCount());
    fflush(stdout);
    if (argc == 2 && strcmp(argv[1], "tick") == 0) return 0;
    Sleep(120000);
    return 0;
}
