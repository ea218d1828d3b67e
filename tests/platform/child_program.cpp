/*
 * A tiny program that the process tests copy under a unique name and start:
 * "pause" waits until it is killed, "exit N" ends at once with status N.
 * Single-threaded.
 */
#include <unistd.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    while (true) pause();
}
