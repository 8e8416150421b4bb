#include "binding/native.h"

namespace Tarn {
namespace Data {

void BaseNative::AdapterHelper::AddUnknownFields(const BaseNative& base, CompoundValue& target) {
  if (!base.unknownFields) return;
  for (auto& field : base.unknownFields->fields()) target.SetField(field.first, field.second);
}

}  // namespace Data

namespace Metadata {

std::shared_ptr<const FieldInfo> FieldInfo::GetInstance(int number, std::string resourceType) {
  auto info = std::make_shared<FieldInfo>();
  info->number = number;
  info->resourceType = std::move(resourceType);
  return info;
}

}  // namespace Metadata
}  // namespace Tarn
