/*
 * A stand-in for the product's process: it only waits to be ended. Tests
 * copy it under a name unique to the test run. It ends by itself after two
 * minutes so that no copy outlives a failed test for long.
 */
#include <chrono>
#include <thread>

int main() {
    std::this_thread::sleep_for(std::chrono::minutes(2));
    return 0;
}
