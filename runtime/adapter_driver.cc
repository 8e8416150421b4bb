#include "runtime/adapter_driver.h"

namespace Tarn {
namespace Data {

bool NativeToValueAdapter::Adapt(NativeConstPtr src, Function fn, DataValuePtr* dst,
                                 MessageList& messages, const L10n::RequestLocalizer&) {
  const std::size_t before = messages.size();
  Deque work;
  work.Push(src, fn, dst);
  work.Run(work, messages);
  return messages.size() == before;
}

bool ValueToNativeAdapter::Adapt(const DataValuePtr& value, Function fn, NativePtr dst,
                                 MessageList& messages) {
  const std::size_t before = messages.size();
  V2N_internal::StackMapCnt work;
  work.Push(value, fn, dst);
  work.Run(work, messages);
  return messages.size() == before;
}

}  // namespace Data
}  // namespace Tarn
