#ifndef KOV_RUNTIME_EXPORT_H_
#define KOV_RUNTIME_EXPORT_H_

// Symbol visibility for tarn_runtime and kov_vm_bindings.
//
// Both shared libraries are compiled with hidden visibility, so only what is marked
// KOV_EXPORT is part of their binary interface. On ELF the same attribute serves the
// library that defines a symbol and the code that uses it, so one macro covers building,
// linking and installing both libraries.
#if defined(__GNUC__) || defined(__clang__)
#define KOV_EXPORT __attribute__((visibility("default")))
#else
#define KOV_EXPORT
#endif

#endif  // KOV_RUNTIME_EXPORT_H_
