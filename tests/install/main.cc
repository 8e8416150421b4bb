// Uses the installed bindings the way a host program would: headers from the kov-vm include
// folder (included as "runtime/...", "binding/...", "vm/..."), linked against the shared
// libraries. Exits non-zero when the loaded library is not the version that was installed.
#include <cstdio>
#include <cstring>

#include "binding/version.h"
#include "runtime/export.h"

#ifndef KOV_EXPECTED_VERSION
#error "KOV_EXPECTED_VERSION must name the installed version"
#endif

int main() {
  const char* version = KovVmBindingsVersion();
  if (version == nullptr || std::strcmp(version, KOV_EXPECTED_VERSION) != 0) {
    std::fprintf(stderr, "kov consumer: loaded bindings %s, expected %s\n",
                 version ? version : "(null)", KOV_EXPECTED_VERSION);
    return 1;
  }
  std::printf("kov consumer: bindings %s loaded\n", version);
  return 0;
}
