// The input of an operation that takes no input fields. Every method input record shares its
// type name.
#pragma once

#include <memory>
#include <string>

#include "runtime/adapter_driver.h"
#include "runtime/data_definition.h"
#include "runtime/export.h"

namespace Tarn {

struct OperationInput {
  // True when constructed; a conversion from a value that is not a structure clears it.
  bool valid = true;
};

namespace Data {

template <class T>
struct TypeInfo;

template <>
struct KOV_EXPORT TypeInfo<OperationInput> {
  // The operation-input name that every input record shares.
  static std::string name();
  static std::shared_ptr<OperationInput> defaultInstance(const DataValuePtr& = nullptr) {
    return std::make_shared<OperationInput>();
  }
};

// The definition of an operation input without fields.
KOV_EXPORT DataDefinitionPtr OperationInputDefinition();

namespace NativeToValueAdapter {
template <>
struct KOV_EXPORT AdaptMethod<OperationInput> {
  static Function Get(const OperationInput*);
};
}  // namespace NativeToValueAdapter

namespace ValueToNativeAdapter {
template <>
struct KOV_EXPORT AdaptMethod<OperationInput> {
  static Function Get(const OperationInput*);
};
}  // namespace ValueToNativeAdapter

}  // namespace Data
}  // namespace Tarn
