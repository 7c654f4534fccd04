#pragma once

// The program: banner, switch, reader monitor. Returns the exit status (0);
// a write to standard output that fails ends the program at once instead
// (console_flush).
int quillon_main(int argc, char** argv);
