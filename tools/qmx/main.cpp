// qmx: the command-line host. Subcommands are added as the host framework grows.
#include <cstdio>

int main() {
  std::fprintf(stderr, "qmx: no commands yet\n");
  return 2;
}
