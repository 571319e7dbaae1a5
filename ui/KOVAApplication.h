#pragma once

// The program entry: start-up, the message loop and shut-down. Returns the exit status.
int RunKOVA(int argc, char* argv[]);
