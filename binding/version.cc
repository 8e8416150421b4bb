#include "binding/version.h"

#ifndef KOV_VM_BINDINGS_VERSION
#error "KOV_VM_BINDINGS_VERSION must be defined by the build"
#endif

const char* KovVmBindingsVersion() { return KOV_VM_BINDINGS_VERSION; }
