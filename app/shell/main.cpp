// The program's entry point. Until the application shell stands, it only
// brings up the platform layer and exits.
#include "Host.h"

int main(int argc, char** argv) {
  HostInitialize(&argc, &argv);
  return 0;
}
