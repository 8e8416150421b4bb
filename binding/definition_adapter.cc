#include "binding/definition_adapter.h"

namespace Tarn {
namespace Data {
namespace NativeToDefinitionAdapter {

void CompoundEndMethod(const SrcType& src, DataDefinitionPtr* dst, Work& work, MessageList&) {
  DataDefinitionPtr definition = StructDefinition::GetInstance(src.name, std::move(*src.fields));
  work.SetDef(src.key, definition);
  *dst = std::move(definition);
}

void ResolveMethod(const SrcType& src, DataDefinitionPtr*, Work& work, MessageList&) {
  auto found = work.GetDef(src.key);
  if (src.ref && found.second) src.ref->Resolve(found.second);
}

void Adapt(Function begin, DataDefinitionPtr* destination, MessageList& messages) {
  Work work;
  DataAdapter::Adapt(begin, destination, work, messages);
}

}  // namespace NativeToDefinitionAdapter
}  // namespace Data
}  // namespace Tarn
