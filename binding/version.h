#ifndef KOV_BINDING_VERSION_H_
#define KOV_BINDING_VERSION_H_

#include "runtime/export.h"

// The version of the kov_vm_bindings library that is loaded, as "major.minor.patch". It can
// differ from the version of the headers a program was compiled with.
KOV_EXPORT const char* KovVmBindingsVersion();

#endif  // KOV_BINDING_VERSION_H_
