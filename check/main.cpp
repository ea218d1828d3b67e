/*
 * zrprereqhandler: the prerequisite check that the agent runs before it
 * applies a patch. The exit code is the answer; see README.md.
 */
#include "check/check_run.h"

int main(int argc, char** argv) { return static_cast<int>(orv::RunCheck(argc, argv)); }
