// Derives the runtime definition of a native type from the type alone. Like the value adapters it
// loops over a work container; a per-call cache shares one definition per structure type and
// turns a structure met inside itself into a reference resolved at the end.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/native.h"
#include "binding/value_adapter.h"
#include "runtime/data_definition.h"
#include "runtime/message.h"

namespace Tarn {
namespace Data {

namespace N2D_internal {
class StackMapCnt;
}

namespace NativeToDefinitionAdapter {

using DefinitionHolder = std::shared_ptr<DataDefinitionPtr>;
using FieldMap = std::shared_ptr<StructDefinition::Fields>;

struct SrcType;
using Function = void (*)(const SrcType& src, DataDefinitionPtr* dst,
                          N2D_internal::StackMapCnt& work, MessageList& messages);

// What an entry reads besides its destination; a default-constructed one is all empty.
struct SrcType {
  DefinitionHolder holder;
  FieldMap fields;
  std::string name;
  std::shared_ptr<StructRefDefinition> ref;
  Function key = nullptr;
};

}  // namespace NativeToDefinitionAdapter

namespace N2D_internal {

// The work stack and the per-call cache of structure definitions. A key mapped to an empty
// definition is a structure being built now.
class StackMapCnt {
 public:
  using Entry =
      BasicAdaptEntry<NativeToDefinitionAdapter::SrcType, DataDefinitionPtr*, StackMapCnt>;
  using Key = NativeToDefinitionAdapter::Function;

  void Push(NativeToDefinitionAdapter::SrcType src, Key fn, DataDefinitionPtr* dst) {
    entries_.push_back(Entry{std::move(src), fn, dst});
  }
  // Runs after everything else.
  void PushFront(NativeToDefinitionAdapter::SrcType src, Key fn, DataDefinitionPtr* dst) {
    entries_.push_front(Entry{std::move(src), fn, dst});
  }
  bool Empty() const { return entries_.empty(); }
  Entry Pop() {
    Entry e = std::move(entries_.back());
    entries_.pop_back();
    return e;
  }
  std::pair<bool, DataDefinitionPtr> GetDef(Key key) const {
    auto it = cache_.find(key);
    if (it == cache_.end()) return {false, nullptr};
    return {true, it->second};
  }
  void SetDef(Key key, DataDefinitionPtr def) { cache_[key] = std::move(def); }

 private:
  std::deque<Entry> entries_;
  std::map<Key, DataDefinitionPtr> cache_;
};

}  // namespace N2D_internal

// The definition driver: runs the begin function, then every pending entry, last pushed first.
struct DataAdapter {
  static void Adapt(NativeToDefinitionAdapter::Function begin, DataDefinitionPtr* destination,
                    N2D_internal::StackMapCnt& work, MessageList& messages) {
    begin(NativeToDefinitionAdapter::SrcType{}, destination, work, messages);
    while (!work.Empty()) {
      auto entry = work.Pop();
      entry.fn(entry.src, entry.dst, work, messages);
    }
  }
};

namespace NativeToDefinitionAdapter {

using Work = N2D_internal::StackMapCnt;

template <class M, class = void>
struct Select;

template <class X>
void PrimitiveMethod(const SrcType&, DataDefinitionPtr* dst, Work&, MessageList&) {
  *dst = DataDefinition::Create<X>();
}

template <class X>
void DefinitionMethod(const SrcType& src, DataDefinitionPtr* dst, Work& work, MessageList&) {
  work.Push(src, Select<X>::fn, dst);
}

// Closing entries of the wrappers: build the wrapper around the held element definition.
struct OptionalEnd {
  static DataDefinitionPtr Make(const DataDefinitionPtr& held) {
    return OptionalDefinition::GetInstance(held);
  }
};
struct ListEnd {
  static DataDefinitionPtr Make(const DataDefinitionPtr& held) {
    return ListDefinition::GetInstance(held);
  }
};
template <class Tags, int TagIndex, class Predicate>
struct UnionCaseEnd {
  static DataDefinitionPtr Make(const DataDefinitionPtr& held) {
    return UnionCaseDefinition::GetInstance(held, Tags::Strings::values[TagIndex],
                                            UnionCaseDefinition::Predicate(Predicate()));
  }
};

template <class End>
void CompositeEndMethod(const SrcType& src, DataDefinitionPtr* dst, Work&, MessageList&) {
  *dst = End::Make(*src.holder);
}

// A wrapper (optional, list, union case): the closing entry goes in first, so the contents, and
// everything they push, finish before it runs.
template <class X, class End>
void CompositeBeginMethod(const SrcType& src, DataDefinitionPtr* dst, Work& work, MessageList&) {
  SrcType closing = src;
  closing.holder = std::make_shared<DataDefinitionPtr>();
  DataDefinitionPtr* cell = closing.holder.get();
  work.Push(std::move(closing), &CompositeEndMethod<End>, dst);
  work.Push(src, Select<X>::fn, cell);
}

template <class T>
void StructBeginMethod(const SrcType& src, DataDefinitionPtr* dst, Work& work,
                       MessageList& messages);

KOV_EXPORT void CompoundEndMethod(const SrcType& src, DataDefinitionPtr* dst, Work& work,
                                  MessageList&);
KOV_EXPORT void ResolveMethod(const SrcType& src, DataDefinitionPtr* dst, Work& work, MessageList&);

// Registers the fields of a structure definition under construction.
template <class D>
class CompoundHelper;

template <>
class CompoundHelper<StructDefinition> {
 public:
  CompoundHelper(Work& work) : work_(work), fields_(std::make_shared<StructDefinition::Fields>()) {}

  // Pushes the closing entry of the structure: it runs after all of its fields.
  void Start(std::string name, Function key, DataDefinitionPtr* dst) {
    SrcType closing;
    closing.fields = fields_;
    closing.name = std::move(name);
    closing.key = key;
    work_.Push(std::move(closing), &CompoundEndMethod, dst);
  }

  template <class R, class M>
  void AddField(const char* name, M R::*member) {
    Function fn = Select<M>::fn;
    if constexpr (HasUnionRules<R>::value) {
      UnionCaseOf<R, M> governed{member, fn};
      R::UnionRules::Check(governed);
    }
    work_.Push(SrcType{}, fn, Slot(name));
  }

 private:
  // Finds, among the checks of a union, the one of field `member`: a field the union governs is
  // defined as a union case of the tag's values that its predicate names.
  template <class R, class M>
  struct UnionCaseOf {
    M R::*member;
    Function& fn;
    template <class Tags, class E>
    void MissingTag(E R::*) {}
    template <class E, class F, class Predicate>
    void Case(E R::*, F R::*field, const char*, Predicate) {
      if constexpr (std::is_same<F, M>::value) {
        if (field == member) {
          fn = &CompositeBeginMethod<typename M::value_type,
                                     UnionCaseEnd<typename R::UnionTags, 0, Predicate>>;
        }
      }
    }
  };

  DataDefinitionPtr* Slot(const char* name) { return &(*fields_)[name]; }
  Work& work_;
  FieldMap fields_;
};

template <class T>
void StructBeginMethod(const SrcType&, DataDefinitionPtr* dst, Work& work, MessageList&) {
  const Function key = &StructBeginMethod<T>;
  auto cached = work.GetDef(key);
  if (!cached.first) {
    work.SetDef(key, nullptr);
    CompoundHelper<StructDefinition> helper(work);
    helper.Start(TypeInfo<T>::name(), key, dst);
    T::AdapterHelper::AddFields(helper);
  } else if (cached.second) {
    *dst = cached.second;
  } else {
    // The structure contains itself: refer to the definition being built.
    SrcType resolve;
    resolve.ref = StructRefDefinition::GetInstance(TypeInfo<T>::name());
    resolve.key = key;
    *dst = resolve.ref;
    work.PushFront(std::move(resolve), &ResolveMethod, nullptr);
  }
}

template <class X>
void StdErrorMethod(const SrcType&, DataDefinitionPtr* dst, Work&, MessageList&) {
  *dst = X::Definition();
}

inline void OperationInputMethod(const SrcType&, DataDefinitionPtr* dst, Work&, MessageList&) {
  *dst = OperationInputDefinition();
}

template <class M>
struct Select<M, std::enable_if_t<IsStruct<M>::value>> {
  static constexpr Function fn = &StructBeginMethod<M>;
};
template <class M>
struct Select<M, std::enable_if_t<IsEnum<M>::value>> {
  static constexpr Function fn = &PrimitiveMethod<std::string>;
};
template <class M>
struct Select<M, std::enable_if_t<IsPrimitive<M>::value>> {
  static constexpr Function fn = &PrimitiveMethod<M>;
};
template <class X>
struct Select<boost::optional<X>> {
  static constexpr Function fn = &CompositeBeginMethod<X, OptionalEnd>;
};
template <class T>
struct Select<OptionalPtr<T>> {
  static constexpr Function fn = &CompositeBeginMethod<std::remove_const_t<T>, OptionalEnd>;
};
template <class T>
struct Select<std::shared_ptr<T>> {
  static constexpr Function fn = &DefinitionMethod<std::remove_const_t<T>>;
};
template <class T>
struct Select<std::vector<T>> {
  static constexpr Function fn = &CompositeBeginMethod<T, ListEnd>;
};
template <class X>
struct Select<std::set<X>> {
  static constexpr Function fn = &CompositeBeginMethod<X, ListEnd>;
};
template <class M>
struct Select<M, std::enable_if_t<IsStdError<M>::value>> {
  static constexpr Function fn = &StdErrorMethod<M>;
};
template <>
struct Select<OperationInput> {
  static constexpr Function fn = &OperationInputMethod;
};

template <class T>
struct AdaptMethod {
  static Function Get() { return Select<T>::fn; }
};

// Builds the definition reached from `begin` into `destination`, with a fresh cache.
KOV_EXPORT void Adapt(Function begin, DataDefinitionPtr* destination, MessageList& messages);

// The definition of a native type (a record, a result type, or a standard error type).
template <class X>
DataDefinitionPtr Adapt() {
  DataDefinitionPtr definition;
  MessageList discarded;
  Adapt(AdaptMethod<X>::Get(), &definition, discarded);
  return definition;
}

template <class X>
void Adapt(DataDefinitionPtr* destination) {
  MessageList discarded;
  Adapt(AdaptMethod<X>::Get(), destination, discarded);
}

}  // namespace NativeToDefinitionAdapter
}  // namespace Data
}  // namespace Tarn
