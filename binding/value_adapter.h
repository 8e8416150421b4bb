// The two value adapters: native records to dynamic values and back. Each conversion function
// converts one node and pushes an entry for every child still to convert; the runtime's driver
// loops over the work container, so nothing recurses over the data.
#pragma once

#include <boost/optional.hpp>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "binding/native.h"
#include "runtime/adapter_driver.h"
#include "runtime/data_value.h"
#include "runtime/l10n.h"
#include "runtime/message.h"

namespace Tarn {
namespace Data {

// Shapes of native members. Every mechanism below dispatches on these.
template <class T>
struct IsEnum : std::is_base_of<Enum, T> {};
template <class T>
struct IsStruct : std::is_base_of<BaseNative, T> {};
// The kinds every adapter converts as one value: 64-bit integer, boolean, double, string, void.
template <class T>
struct IsPrimitive
    : std::integral_constant<
          bool, std::is_same<T, std::int64_t>::value || std::is_same<T, bool>::value ||
                    std::is_same<T, double>::value || std::is_same<T, std::string>::value ||
                    std::is_same<T, Void>::value> {};
template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<boost::optional<T>> : std::true_type {};
template <class T>
struct IsOptional<OptionalPtr<T>> : std::true_type {};

template <class M>
struct NativeShape;
template <class X>
struct NativeShape<boost::optional<X>> {
  using Element = X;
};

// Builds the message the failure table gives for a repeated set element.
template <class X>
BaseMessage DuplicateElementMessage(const X& element) {
  return Message<CoreTag>("tarn.data.duplicate.set.element", FormatImpl<1>::call("{}", element));
}

namespace NativeToValueAdapter {

template <class M, class = void>
struct Select;

template <class T>
void StructMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque& work, MessageList& messages);

template <class X>
void PrimitiveMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque&, MessageList&) {
  *dst = DataValue::Create<X>(*static_cast<const X*>(src));
}

template <class E>
void EnumMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque&, MessageList&) {
  *dst = StringValue::GetInstance(EnumToText(*static_cast<const E*>(src)));
}

template <class T>
void SharedPtrMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque& work,
                     MessageList& messages) {
  auto& ptr = *static_cast<const std::shared_ptr<T>*>(src);
  if (!ptr) {
    messages.push_back(Message<CoreTag>("tarn.data.unset.non.optional.field",
                                        TypeInfo<std::remove_const_t<T>>::name()));
    work.Clear();
    return;
  }
  work.Push(ptr.get(), &StructMethod<std::remove_const_t<T>>, dst);
}

template <class X, class Opt>
void OptionalBeginMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque& work, MessageList&) {
  auto optional = OptionalValue::GetInstance();
  auto& member = *static_cast<const Opt*>(src);
  if (member) work.Push(&*member, Select<std::remove_const_t<X>>::fn, optional->value(nullptr));
  *dst = std::move(optional);
}

// A list of records (kind 1) or a set of enumeration values (kind 2): one pushed entry per element.
template <class Element, class Container, int Kind>
void ListBeginMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque& work, MessageList&) {
  auto& container = *static_cast<const Container*>(src);
  auto list = ListValue::GetInstance(Kind);
  list->Reserve(container.size());
  work.Reserve(container.size());
  for (auto& element : container) work.Push(&element, Select<Element>::fn, list->AddSlot());
  *dst = std::move(list);
}

template <class X, class L>
void SetPrimBeginMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque&, MessageList&) {
  auto& set = *static_cast<const std::set<X>*>(src);
  auto list = L::GetInstance();
  list->Reserve(set.size());
  for (auto& s : set) list->Add(s);
  *dst = std::move(list);
}

// Collects the wire names of a record's fields in the order AddFields registers them.
struct FieldNameCollector {
  std::vector<std::string>& names;
  template <class R, class M>
  void AddField(const char* name, M R::*) {
    names.emplace_back(name);
  }
};

// The wire names of T's fields in registration order, made once and kept for the life of the
// process: the structure values built from records of T refer to them instead of copying them.
template <class T>
const std::string* LastingFieldNames() {
  static const std::vector<std::string>* const names = [] {
    auto* list = new std::vector<std::string>();
    FieldNameCollector collector{*list};
    T::AdapterHelper::AddFields(collector);
    return list;
  }();
  return names->data();
}

// Registers the fields of one record on the structure value being built. Every name is inserted
// first; the entries are pushed only once the structure has all its fields, when its slots no
// longer move.
template <class V>
class CompoundHelper;

template <>
class CompoundHelper<StructValue> {
 public:
  CompoundHelper(StructValue& value, const void* record, const std::string* names)
      : value_(value), record_(record), names_(names) {}

  template <class R, class M>
  void AddField(const char*, M R::*member) {
    const std::string& name = names_[fields_.size()];
    value_.FieldSlot(LastingName{name});
    fields_.push_back({&name, &(static_cast<const R*>(record_)->*member), Select<M>::fn});
  }
  void PushFields(Deque& work) {
    for (auto& f : fields_) work.Push(f.member, f.fn, value_.FieldSlot(LastingName{*f.name}));
  }

 private:
  struct Pending {
    const std::string* name;
    NativeConstPtr member;
    Function fn;
  };
  StructValue& value_;
  const void* record_;
  const std::string* names_;  // T's lasting field names, in registration order
  boost::container::small_vector<Pending, 8> fields_;
};

template <class T>
void StructMethod(const NativeConstPtr& src, DataValuePtr* dst, Deque& work, MessageList&) {
  auto& record = *static_cast<const T*>(src);
  auto value = StructValue::GetInstance(LastingTypeName<T>());
  value->ReserveFields(T::AdapterHelper::sortedNames.size());
  CompoundHelper<StructValue> helper(*value, &record, LastingFieldNames<T>());
  T::AdapterHelper::AddFields(helper);
  BaseNative::AdapterHelper::AddUnknownFields(record, *value);
  helper.PushFields(work);
  *dst = std::move(value);
}

// The conversion function of each native shape.
template <class M>
struct Select<M, std::enable_if_t<IsStruct<M>::value && !std::is_same<M, OperationInput>::value>> {
  static constexpr Function fn = &StructMethod<M>;
};
template <class M>
struct Select<M, std::enable_if_t<IsEnum<M>::value>> {
  static constexpr Function fn = &EnumMethod<M>;
};
template <class M>
struct Select<M, std::enable_if_t<IsPrimitive<M>::value>> {
  static constexpr Function fn = &PrimitiveMethod<M>;
};
template <class X>
struct Select<boost::optional<X>> {
  static constexpr Function fn = &OptionalBeginMethod<X, boost::optional<X>>;
};
template <class T>
struct Select<OptionalPtr<T>> {
  static constexpr Function fn = &OptionalBeginMethod<T, OptionalPtr<T>>;
};
template <class T>
struct Select<std::shared_ptr<T>> {
  static constexpr Function fn = &SharedPtrMethod<T>;
};
template <class T>
struct Select<std::vector<std::shared_ptr<T>>> {
  static constexpr Function fn =
      &ListBeginMethod<std::shared_ptr<T>, std::vector<std::shared_ptr<T>>, 1>;
};
template <>
struct Select<std::set<std::string>> {
  static constexpr Function fn = &SetPrimBeginMethod<std::string, ListValueString>;
};
template <class E>
struct Select<std::set<E>, std::enable_if_t<IsEnum<E>::value>> {
  static constexpr Function fn = &ListBeginMethod<E, std::set<E>, 2>;
};
template <class T>
struct AdaptMethod {
  static Function Get(const T*) { return Select<T>::fn; }
};

// Converts a native object into a value under a default locale. True when no error was recorded.
template <class T>
bool Adapt(const T* source, DataValuePtr* destination, MessageList& messages) {
  return Adapt(source, AdaptMethod<T>::Get(source), destination, messages,
               L10n::RequestLocalizer::Default());
}

}  // namespace NativeToValueAdapter

namespace ValueToNativeAdapter {

using Work = V2N_internal::StackMapCnt;

template <class M, class = void>
struct Select;

// A primitive from a value: a string is parsed, any other kind must match.
template <class X>
bool AdaptPrimitive(const DataValue& value, X& out, MessageList& messages) {
  return value.GetType() == DataType::STRING ? value.ToPrimitive(out, messages)
                                             : value.Value(out, messages);
}

inline void InvalidType(Work& work, MessageList& messages) {
  messages.push_back(Message<CoreTag>("tarn.data.invalid.type"));
  work.Clear();
}

// A field or element slot that holds no value at all is a value of no kind.
inline bool Missing(const DataValuePtr& src, Work& work, MessageList& messages) {
  if (src) return false;
  InvalidType(work, messages);
  return true;
}

// A part of the value being converted, handed to the work container without taking a count: the
// caller holds the whole value for the conversion, and immutable parents hold their parts.
inline DataValuePtr Borrow(const DataValuePtr& part) {
  return DataValuePtr(std::shared_ptr<void>(), part.get());
}

template <class X>
void PrimitiveMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList& messages) {
  if (Missing(src, work, messages)) return;
  if (!AdaptPrimitive(*src, *static_cast<X*>(dst), messages)) work.Clear();
}

template <class E>
void EnumMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList& messages) {
  std::string text;
  if (Missing(src, work, messages)) return;
  if (!src->Value(text, messages)) {
    work.Clear();
    return;
  }
  EnumConverter::Convert<typename E::Strings>(text, *static_cast<E*>(dst));
}

template <class T>
void StructMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList& messages);

template <class T>
void SharedPtrMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList&) {
  using Record = std::remove_const_t<T>;
  std::shared_ptr<Record> record = TypeInfo<Record>::defaultInstance(src);
  Record* raw = record.get();
  *static_cast<std::shared_ptr<T>*>(dst) = std::move(record);
  work.Push(src, &StructMethod<Record>, raw);
}

// The empty string stands for an absent value; a non-empty one converts as the element would.
inline bool IsEmptyText(const DataValue& v, bool& isText) {
  isText = v.GetType() == DataType::STRING;
  return isText && static_cast<const StringValue&>(v).value().empty();
}

// Sets an optional member and returns the place its element is converted into.
template <class X>
void* InitOptional(boost::optional<X>& member, const DataValuePtr&) {
  member = X();
  return &*member;
}
template <class T>
void* InitOptional(OptionalPtr<T>& member, const DataValuePtr& value) {
  auto record = TypeInfo<std::remove_const_t<T>>::defaultInstance(value);
  void* raw = record.get();
  member = std::move(record);
  return raw;
}

template <class X, class Opt>
void OptionalBeginMethod(const DataValuePtr& src, NativePtr dst, Work& work,
                         MessageList& messages) {
  if (Missing(src, work, messages)) return;
  auto& member = *static_cast<Opt*>(dst);
  const Function element = Select<std::remove_const_t<X>>::fn;
  bool isText = false;
  if (IsEmptyText(*src, isText)) return;  // CastStringToOptional: absent
  if (isText) {
    work.Push(src, element, InitOptional(member, src));
    return;
  }
  // OptionalVisitor: an optional value gives its held value or nothing; any other kind is the
  // element itself, whose own function reports a mismatch.
  if (src->GetType() == DataType::OPTIONAL) {
    auto& optional = static_cast<const OptionalValue&>(*src);
    if (!optional.IsSet()) return;
    const DataValuePtr& held = optional.value();
    if (!held) return;
    work.Push(Borrow(held), element, InitOptional(member, held));
    return;
  }
  work.Push(src, element, InitOptional(member, src));
}

inline void BadCast2(const DataValue& src, const std::string& target, Work& work,
                     MessageList& messages) {
  messages.push_back(
      Message<CoreTag>("tarn.data.bad.cast2", static_cast<int>(src.GetType()), target));
  work.Clear();
}

// A list of records.
template <class Element, class Container>
void ListBeginMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList& messages) {
  if (Missing(src, work, messages)) return;
  auto& list = *static_cast<Container*>(dst);
  const DataType kind = src->GetType();
  if (kind == DataType::STRING) {  // CastStringToList
    list.clear();
    if (static_cast<const StringValue&>(*src).value().empty()) return;
    list.emplace_back();
    work.Push(src, Select<Element>::fn, &list.back());
    return;
  }
  if (kind == DataType::LIST_STRING) {  // ListSetStringEnumHandling
    BadCast2(*src, TypeInfo<Element>::name(), work, messages);
    return;
  }
  if (kind != DataType::LIST) {
    InvalidType(work, messages);
    return;
  }
  auto* values = static_cast<const ListValue*>(src.get());
  list.clear();
  list.reserve(values->elements().size());
  work.Reserve(values->elements().size());
  for (auto& element : values->elements()) {
    list.emplace_back();
    work.Push(Borrow(element), Select<Element>::fn, &list.back());
  }
}

template <class T>
bool Adapt(const DataValuePtr& value, T* destination, MessageList& messages);

// Converts one set element from a value: strings as primitives, enumerations through their text.
template <class X>
bool AdaptElement(const DataValuePtr& value, X& out, MessageList& messages) {
  if constexpr (IsEnum<X>::value) {
    return Adapt(value, &out, messages);
  } else {
    return AdaptPrimitive(*value, out, messages);
  }
}

template <class X>
bool ElementFromText(const std::string& text, X& out, MessageList& messages) {
  if constexpr (IsEnum<X>::value) {
    EnumConverter::Convert<typename X::Strings>(text, out);
    return true;
  } else {
    return AdaptPrimitive(*StringValue::GetInstance(text), out, messages);
  }
}

// CastStringToSet: the empty text is the empty set, another text a one-element set.
template <class X>
void CastStringToSet(const StringValue& src, std::set<X>& set, Work& work, MessageList& messages) {
  set.clear();
  if (src.value().empty()) return;
  X element{};
  if (!ElementFromText(src.value(), element, messages)) {
    work.Clear();
    return;
  }
  set.insert(std::move(element));
}

// Inserts an element; a repeated one records the duplicate message and clears the work.
template <class X>
bool InsertElemInCont(std::set<X>& set, X element, Work& work, MessageList& messages) {
  auto inserted = set.insert(std::move(element));
  if (inserted.second) return true;
  messages.push_back(DuplicateElementMessage(*inserted.first));
  work.Clear();
  return false;
}

// A set from a generic list (or a string, or, for enumerations, a list of strings): elements are
// converted at once, nothing is pushed.
template <class X>
void SetBeginMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList& messages) {
  if (Missing(src, work, messages)) return;
  auto& set = *static_cast<std::set<X>*>(dst);
  const DataType kind = src->GetType();
  if (kind == DataType::STRING) {
    CastStringToSet(static_cast<const StringValue&>(*src), set, work, messages);
    return;
  }
  if (kind == DataType::LIST_STRING) {
    if constexpr (IsEnum<X>::value) {
      set.clear();
      for (auto& text : static_cast<const ListValueString&>(*src).elements()) {
        X element;
        EnumConverter::Convert<typename X::Strings>(text, element);
        InsertElemInCont(set, std::move(element), work, messages);
      }
    } else {
      BadCast2(*src, TypeInfo<X>::name(), work, messages);
    }
    return;
  }
  auto values = NarrowDataTypeInt<ListValue>(src);
  if (!values) {
    InvalidType(work, messages);
    return;
  }
  set.clear();
  for (auto& value : values->elements()) {
    X element{};
    if (!value || !AdaptElement(value, element, messages)) {
      if (!value) messages.push_back(Message<CoreTag>("tarn.data.invalid.type"));
      work.Clear();
      return;
    }
    if (!set.insert(std::move(element)).second) {
      messages.push_back(Message<CoreTag>("tarn.data.duplicate.set.element", value->ToString()));
      work.Clear();
      return;
    }
  }
}

// A set of strings: a list of strings is the usual source; generic lists go through SetBeginMethod.
template <class X, class L>
void SetPrimBeginMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList& messages) {
  if (Missing(src, work, messages)) return;
  auto& set = *static_cast<std::set<X>*>(dst);
  const DataType kind = src->GetType();
  if (kind == DataType::STRING) {
    CastStringToSet(static_cast<const StringValue&>(*src), set, work, messages);
    return;
  }
  if (kind == DataType::LIST) {
    SetBeginMethod<X>(src, dst, work, messages);
    return;
  }
  auto strings = NarrowDataTypeInt<L>(src);
  if (!strings) {
    InvalidType(work, messages);
    return;
  }
  set.clear();
  for (auto& s : strings->elements()) {
    if (!InsertElemInCont(set, s, work, messages)) return;
  }
}

// Reads the fields of one structure value into a record. An empty string stands for an absent
// structure: its members keep their defaults. When it is destroyed after an error, it clears the
// work container: no further field of the structure is converted.
template <class V>
class CompoundHelper;

template <>
class CompoundHelper<StructValue> {
 public:
  CompoundHelper(const DataValuePtr& src, void* record, Work& work, MessageList& messages)
      : record_(record), work_(work), messages_(messages), count_(messages.size()) {
    if (!src) {
      messages_.push_back(Message<CoreTag>("tarn.data.invalid.type"));
    } else if (src->GetType() == DataType::STRING) {
      srcString_ = Borrow(src);
      const std::string& text = static_cast<const StringValue&>(*src).value();
      if (!text.empty()) messages_.push_back(Message<CoreTag>("tarn.data.bad.cast1", text));
    } else if (NarrowTraits<CompoundValue>::Matches(src->GetType())) {
      src_ = static_cast<const CompoundValue*>(src.get());
    } else {
      messages_.push_back(Message<CoreTag>("tarn.data.invalid.type"));
    }
  }
  ~CompoundHelper() {
    if (HasAdaptErrors()) work_.Clear();
  }
  CompoundHelper(const CompoundHelper&) = delete;
  CompoundHelper& operator=(const CompoundHelper&) = delete;

  bool HasAdaptErrors() const { return messages_.size() > count_; }
  const CompoundValue* srcDv() const { return src_; }

  template <class R, class M>
  void AddField(const char* name, M R::*member) {
    if (HasAdaptErrors()) return;
    M& target = static_cast<R*>(record_)->*member;
    if constexpr (IsOptional<M>::value) {
      if (!src_) return;  // the empty-string case leaves optionals unset
      const DataValuePtr* value = src_->FindField(name);
      if (!value) return;  // an absent optional field is no error
      work_.Push(Borrow(*value), Select<M>::fn, &target);
    } else {
      if (!src_) {
        // The empty-string case: enumerations and nested records convert from the empty text
        // itself; primitives and containers keep their defaults.
        if constexpr (IsEnum<M>::value || IsSharedPtr<M>::value) {
          work_.Push(srcString_, Select<M>::fn, &target);
        }
        return;
      }
      if (const DataValuePtr* value = src_->GetField(name, messages_)) {
        work_.Push(Borrow(*value), Select<M>::fn, &target);
      }
    }
  }

 private:
  template <class M>
  struct IsSharedPtr : std::false_type {};
  template <class T>
  struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {};

  void* record_;
  Work& work_;
  MessageList& messages_;
  std::size_t count_;
  const CompoundValue* src_ = nullptr;
  DataValuePtr srcString_;  // the empty-string case: the source text
};

template <class T>
void StructMethod(const DataValuePtr& src, NativePtr dst, Work& work, MessageList& messages) {
  static_assert(SortedNamesAreSorted<T>(), "AdapterHelper::sortedNames is not in ascending order");
  static_assert(SortedNamesAreTheFields<T>(),
                "AdapterHelper::sortedNames does not name exactly the fields AddFields registers");
  auto& record = *static_cast<T*>(dst);
  CompoundHelper<StructValue> helper(src, &record, work, messages);
  if (helper.HasAdaptErrors()) return;
  T::AdapterHelper::AddFields(helper);
  if (helper.HasAdaptErrors()) return;
  BaseNative::AdapterHelper::AddUnknownFields(T::AdapterHelper::sortedNames, helper.srcDv(),
                                              record.unknownFields);
}

template <class M>
struct Select<M, std::enable_if_t<IsStruct<M>::value && !std::is_same<M, OperationInput>::value>> {
  static constexpr Function fn = &StructMethod<M>;
};
template <class M>
struct Select<M, std::enable_if_t<IsEnum<M>::value>> {
  static constexpr Function fn = &EnumMethod<M>;
};
template <class M>
struct Select<M, std::enable_if_t<IsPrimitive<M>::value>> {
  static constexpr Function fn = &PrimitiveMethod<M>;
};
template <class X>
struct Select<boost::optional<X>> {
  static constexpr Function fn = &OptionalBeginMethod<X, boost::optional<X>>;
};
template <class T>
struct Select<OptionalPtr<T>> {
  static constexpr Function fn = &OptionalBeginMethod<T, OptionalPtr<T>>;
};
template <class T>
struct Select<std::shared_ptr<T>> {
  static constexpr Function fn = &SharedPtrMethod<T>;
};
template <class T>
struct Select<std::vector<std::shared_ptr<T>>> {
  static constexpr Function fn =
      &ListBeginMethod<std::shared_ptr<T>, std::vector<std::shared_ptr<T>>>;
};
template <>
struct Select<std::set<std::string>> {
  static constexpr Function fn = &SetPrimBeginMethod<std::string, ListValueString>;
};
template <class E>
struct Select<std::set<E>, std::enable_if_t<IsEnum<E>::value>> {
  static constexpr Function fn = &SetBeginMethod<E>;
};

template <class T>
struct AdaptMethod {
  static Function Get(const T*) { return Select<T>::fn; }
};

// Converts a value into a native object. True when no error was recorded.
template <class T>
bool Adapt(const DataValuePtr& value, T* destination, MessageList& messages) {
  if (!value) {
    messages.push_back(Message<CoreTag>("tarn.data.invalid.type"));
    return false;
  }
  return Adapt(value, AdaptMethod<T>::Get(destination), destination, messages);
}

}  // namespace ValueToNativeAdapter
}  // namespace Data
}  // namespace Tarn
