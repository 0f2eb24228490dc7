// The program's entry point: the whole run is the application shell's.
#include "TDemoApplicationUnit.h"

int main(int argc, char** argv) { return QuorvelMain(argc, argv); }
