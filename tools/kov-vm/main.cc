// kov-vm: command-line client for the virtual-machine API.
#include <cstdio>
#include <cstring>

#include "binding/version.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: kov-vm <command>\n\ncommands:\n  demo     run the demonstration\n"
               "  version  print the library version\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "demo") == 0) {
    std::printf("kov-vm %s: the demonstration is not available yet.\n", KovVmBindingsVersion());
    return 0;
  }
  if (std::strcmp(command, "version") == 0) {
    std::printf("%s\n", KovVmBindingsVersion());
    return 0;
  }
  if (std::strcmp(command, "help") == 0 || std::strcmp(command, "--help") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  std::fprintf(stderr, "kov-vm: unknown command '%s'\n", command);
  PrintUsage(stderr);
  return 2;
}
