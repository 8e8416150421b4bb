// The drivers of the two value adapters: loops over a work container of pending entries, so that
// no conversion recurses over the data. Each entry converts one node and pushes entries for the
// children it could not convert at once.
#pragma once

#include <algorithm>
#include <boost/container/small_vector.hpp>
#include <memory>

#include "runtime/data_value.h"
#include "runtime/export.h"
#include "runtime/l10n.h"
#include "runtime/message.h"

namespace Tarn {

// Type-erased addresses of native members, read by one adapter and written by the other.
using NativeConstPtr = const void*;
using NativePtr = void*;

namespace Data {

// One pending conversion: what to read, how to convert it, and where to put the result.
template <class Src, class Dst, class Cnt>
struct BasicAdaptEntry {
  using Function = void (*)(const Src& src, Dst dst, Cnt& work, MessageList& messages);
  Src src;
  Function fn;
  Dst dst;
};

// A last-in first-out work container. Entries pushed by one entry run after it; clearing the
// container ends the conversion.
template <class Entry>
class WorkStack {
 public:
  void Push(Entry entry) { entries_.push_back(std::move(entry)); }
  // Makes room for `n` more entries, e.g. one per element of a list about to be pushed.
  void Reserve(std::size_t n) { entries_.reserve(entries_.size() + n); }
  void Clear() { entries_.clear(); }
  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }
  // Runs entries until none are left, depth first and in the order each entry pushed its own:
  // fields in declaration order, elements in list order. So when a value has several problems,
  // the one reported is the first in reading order.
  template <class Container>
  void Run(Container& self, MessageList& messages) {
    while (!entries_.empty()) {
      Entry entry = std::move(entries_.back());
      entries_.pop_back();
      const std::size_t mark = entries_.size();
      entry.fn(entry.src, entry.dst, self, messages);
      if (entries_.size() > mark + 1) std::reverse(entries_.begin() + mark, entries_.end());
    }
  }

 private:
  // A typical record's entries fit on the stack; only larger values take the heap.
  boost::container::small_vector<Entry, 16> entries_;
};

// Work container of the native-to-value adapter.
class KOV_EXPORT Deque
    : public WorkStack<BasicAdaptEntry<NativeConstPtr, DataValuePtr*, class Deque>> {
 public:
  using Entry = BasicAdaptEntry<NativeConstPtr, DataValuePtr*, Deque>;
  using Function = Entry::Function;
  void Push(NativeConstPtr src, Function fn, DataValuePtr* dst) {
    WorkStack::Push(Entry{src, fn, dst});
  }
};

namespace V2N_internal {
// Work container of the value-to-native adapter.
class KOV_EXPORT StackMapCnt
    : public WorkStack<BasicAdaptEntry<DataValuePtr, NativePtr, class StackMapCnt>> {
 public:
  using Entry = BasicAdaptEntry<DataValuePtr, NativePtr, StackMapCnt>;
  using Function = Entry::Function;
  void Push(DataValuePtr src, Function fn, NativePtr dst) {
    WorkStack::Push(Entry{std::move(src), fn, dst});
  }
};
}  // namespace V2N_internal

namespace NativeToValueAdapter {
using Function = Deque::Function;
// Converts the native object at `src` with `fn` into `*dst`. True when no message was recorded.
KOV_EXPORT bool Adapt(NativeConstPtr src, Function fn, DataValuePtr* dst, MessageList& messages,
                      const L10n::RequestLocalizer& localizer);
// Gives, per native type, the function that converts it (`Get(const T*)`).
template <class T>
struct AdaptMethod;
}  // namespace NativeToValueAdapter

namespace ValueToNativeAdapter {
using Function = V2N_internal::StackMapCnt::Function;
// Converts `value` with `fn` into the native object at `dst`. True when no message was recorded.
KOV_EXPORT bool Adapt(const DataValuePtr& value, Function fn, NativePtr dst, MessageList& messages);
template <class T>
struct AdaptMethod;
}  // namespace ValueToNativeAdapter

}  // namespace Data
}  // namespace Tarn
