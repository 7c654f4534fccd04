#pragma once

// The program: banner, switch, reader monitor. Returns the exit status (0).
int quillon_main(int argc, char** argv);
