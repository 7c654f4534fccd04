#include "app/entry.h"

int main(int argc, char** argv) { return quillon_main(argc, argv); }
