#include "runtime/operation_input.h"

namespace Tarn {
namespace Data {

std::string TypeInfo<OperationInput>::name() { return "com.brantel.tarn.operation_input"; }

DataDefinitionPtr OperationInputDefinition() {
  return StructDefinition::GetInstance(TypeInfo<OperationInput>::name(), {});
}

namespace {

void ToValue(const NativeConstPtr&, DataValuePtr* dst, Deque&, MessageList&) {
  static const std::string* const name = new std::string(TypeInfo<OperationInput>::name());
  *dst = StructValue::GetInstance(LastingName{*name});
}

// Any structure (its fields are not looked at) or the empty string stands for an operation input.
void FromValue(const DataValuePtr& value, NativePtr dst, V2N_internal::StackMapCnt& work,
               MessageList& messages) {
  auto* input = static_cast<OperationInput*>(dst);
  auto text = NarrowDataTypeInt<StringValue>(value);
  if (NarrowDataTypeInt<CompoundValue>(value) || (text && text->value().empty())) {
    input->valid = true;
    return;
  }
  input->valid = false;
  messages.push_back(Message<CoreTag>("tarn.data.invalid.type"));
  work.Clear();
}

}  // namespace

NativeToValueAdapter::Function NativeToValueAdapter::AdaptMethod<OperationInput>::Get(
    const OperationInput*) {
  return &ToValue;
}

ValueToNativeAdapter::Function ValueToNativeAdapter::AdaptMethod<OperationInput>::Get(
    const OperationInput*) {
  return &FromValue;
}

}  // namespace Data
}  // namespace Tarn
