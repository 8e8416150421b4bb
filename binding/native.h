// Native records: the base of every structure (with the fields it does not declare), enumerations
// with kept unknown texts, union case predicates, type names and structure metadata.
#pragma once

#include <array>
#include <boost/logic/tribool.hpp>
#include <boost/optional.hpp>
#include <boost/utility/string_view.hpp>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "runtime/data_value.h"
#include "runtime/export.h"
#include "runtime/format.h"
#include "runtime/operation_input.h"
#include "runtime/std_errors.h"

namespace Tarn {

// An optional nested record: a shared pointer that is null when unset. A type of its own so that
// adapters can tell it from a required nested record.
template <class T>
class OptionalPtr : public std::shared_ptr<T> {
 public:
  using std::shared_ptr<T>::shared_ptr;
  OptionalPtr() = default;
  OptionalPtr(std::shared_ptr<T> p) : std::shared_ptr<T>(std::move(p)) {}  // NOLINT: implicit
};

// Base of every enumeration: a value number and, for a text outside the table, that text.
class KOV_EXPORT Enum {
 public:
  std::int32_t number() const { return number_; }
  // The text as received when the value is unknown; empty otherwise.
  const std::string& unknownText() const { return text_; }

  // Sets are ordered by value number, then by kept text: two different unknown texts are two
  // different elements.
  friend bool operator<(const Enum& a, const Enum& b) {
    return a.number_ < b.number_ || (a.number_ == b.number_ && a.text_ < b.text_);
  }
  friend bool operator==(const Enum& a, const Enum& b) {
    return a.number_ == b.number_ && a.text_ == b.text_;
  }
  friend bool operator!=(const Enum& a, const Enum& b) { return !(a == b); }

 protected:
  explicit Enum(std::int32_t number, std::string text = {})
      : number_(number), text_(std::move(text)) {}

 private:
  friend struct EnumConverter;
  std::int32_t number_;
  std::string text_;
};

// Comparison with a value of the enumeration's table: `state == State::ON`. A kept unknown text
// makes a value differ from the plain _UNKNOWN.
template <class E, class = std::enable_if_t<std::is_base_of<Enum, E>::value>>
bool operator==(const E& e, typename E::Value v) {
  return e.number() == static_cast<std::int32_t>(v) && e.unknownText().empty();
}
template <class E, class = std::enable_if_t<std::is_base_of<Enum, E>::value>>
bool operator!=(const E& e, typename E::Value v) {
  return !(e == v);
}
template <class E, class = std::enable_if_t<std::is_base_of<Enum, E>::value>>
bool operator==(typename E::Value v, const E& e) {
  return e == v;
}
template <class E, class = std::enable_if_t<std::is_base_of<Enum, E>::value>>
bool operator!=(typename E::Value v, const E& e) {
  return !(e == v);
}

// The number of known values of a table: the index of its "_UNKNOWN" entry.
template <class Strings>
constexpr std::int32_t UnknownNumber() {
  std::int32_t n = 0;
  while (Strings::values[n] != nullptr) ++n;
  return n - 1;
}

// Index of `text` in a string table, compared exactly; the "_UNKNOWN" number when not found.
template <class Strings>
std::int32_t LookupText(boost::string_view text) {
  constexpr std::int32_t unknown = UnknownNumber<Strings>();
  for (std::int32_t i = 0; Strings::values[i] != nullptr; ++i) {
    if (text == Strings::values[i]) return i < unknown ? i : unknown;
  }
  return unknown;
}

struct EnumConverter {
  // From text: a text outside the table gives "_UNKNOWN" keeping the text.
  template <class Strings, class E>
  static void Convert(const std::string& text, E& out) {
    out.number_ = LookupText<Strings>(text);
    if (out.number_ == UnknownNumber<Strings>() && text != Strings::values[out.number_]) {
      out.text_ = text;
    } else {
      out.text_.clear();
    }
  }
  // To text: an unknown value travels back as its kept text, a default one as "_UNKNOWN".
  template <class Strings, class E>
  static std::string Convert(const E& in) {
    if (in.number_ == UnknownNumber<Strings>() && !in.text_.empty()) return in.text_;
    return Strings::values[in.number_];
  }
};

// The members every generated enumeration E shares: made from a value of E::Value (implicitly,
// so that `State s = State::ON` reads naturally), "_UNKNOWN" by default. E declares its value
// enumeration and its Strings table and inherits these constructors.
template <class E>
class EnumBase : public Enum {
 public:
  EnumBase() : Enum(UnknownNumber<typename E::Strings>()) {}
  template <class V, class X = E,
            class = std::enable_if_t<std::is_same<V, typename X::Value>::value>>
  EnumBase(V value) : Enum(static_cast<std::int32_t>(value)) {}  // NOLINT: implicit on purpose
  auto value() const { return static_cast<typename E::Value>(number()); }
};

template <class E>
E EnumFromText(const std::string& text) {
  E e;
  EnumConverter::Convert<typename E::Strings>(text, e);
  return e;
}

template <class E>
std::string EnumToText(const E& e) {
  return EnumConverter::Convert<typename E::Strings>(e);
}

namespace Detail {

// Enumerations are placed in message texts as their index in decimal; the spec is ignored.
template <class T>
struct formatter<T, false> {
  static_assert(std::is_base_of<Enum, T>::value,
                "no formatter for this argument type: pass a text, an integer or an enumeration");
  static void call(std::ostream& out, boost::string_view, const void* value) {
    FormatInt32(out, boost::string_view(), static_cast<const T*>(value)->number());
  }
};

}  // namespace Detail

namespace Data {

template <std::size_t N>
using SortedNames = std::array<boost::string_view, N>;

class KOV_EXPORT BaseNative {
 public:
  // The fields of an incoming value that the record does not declare, unconverted; null while
  // there are none.
  std::shared_ptr<StructValue> unknownFields;

  struct KOV_EXPORT AdapterHelper {
    // Native to value: copies the kept fields onto the structure value being built.
    static void AddUnknownFields(const BaseNative& base, CompoundValue& target);

    // Value to native: collects the fields of `source` not among the sorted declared names.
    template <std::size_t N>
    static void AddUnknownFields(const SortedNames<N>& sortedNames, const CompoundValue* source,
                                 std::shared_ptr<StructValue>& target) {
      if (!source) return;
      std::size_t next = 0;
      for (auto& field : source->fields()) {
        boost::string_view name(field.first.str());
        while (next < N && sortedNames[next] < name) ++next;
        if (next < N && sortedNames[next] == name) {
          ++next;
          continue;
        }
        if (!target) target = StructValue::GetInstance("unknownFields");
        target->SetField(field.first, field.second);
      }
    }
  };
};

// Compile-time checks of a record's field lists. The unknown-field rule merges the incoming
// fields with `sortedNames`, so the names must be in ascending byte order and name exactly the
// fields that `AddFields` registers; the value-to-native conversion asserts both.
constexpr int CompareNames(boost::string_view a, boost::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Collects the names that AddFields registers, in a constant expression.
template <std::size_t N>
struct FieldNames {
  boost::string_view names[N + 1] = {};
  std::size_t count = 0;
  template <class R, class M>
  constexpr void AddField(const char* name, M R::*) {
    names[count < N ? count : N] = name;
    ++count;
  }
  constexpr bool Has(boost::string_view name) const {
    for (std::size_t i = 0; i < count && i < N; ++i) {
      if (CompareNames(names[i], name) == 0) return true;
    }
    return false;
  }
};

template <class T>
constexpr bool SortedNamesAreSorted() {
  const auto& sorted = T::AdapterHelper::sortedNames;
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    if (CompareNames(sorted[i - 1], sorted[i]) >= 0) return false;
  }
  return true;
}

template <class T>
constexpr bool SortedNamesAreTheFields() {
  const auto& sorted = T::AdapterHelper::sortedNames;
  FieldNames<std::tuple_size<std::decay_t<decltype(sorted)>>::value> fields;
  T::AdapterHelper::AddFields(fields);
  if (fields.count != sorted.size()) return false;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (!fields.Has(sorted[i])) return false;
  }
  return true;
}

// Detection of the generated names a type carries.
template <class T, class = void>
struct HasOperationName : std::false_type {};
template <class T>
struct HasOperationName<T, std::void_t<decltype(T::operationName)>> : std::true_type {};

template <class T, class = void>
struct HasUnionRules : std::false_type {};
template <class T>
struct HasUnionRules<T, std::void_t<typename T::UnionRules>> : std::true_type {};

template <class T>
struct IsStdError : std::is_base_of<::Com::Brantel::Tarn::Std::Errors::StdError<T>, T> {};

// Canonical type names and default instances.
template <class T>
struct TypeInfo {
  static std::string name() {
    if constexpr (HasOperationName<T>::value) {
      return TypeInfo<OperationInput>::name();
    } else {
      return T::typeName;
    }
  }
  // A new, default-constructed record; the value is not looked at.
  static std::shared_ptr<T> defaultInstance(const DataValuePtr& = nullptr) {
    return std::make_shared<T>();
  }
};

// The canonical name of T, made once and kept for the life of the process: structure values
// built from records of T refer to it instead of copying it.
template <class T>
LastingName LastingTypeName() {
  static const std::string* const name = new std::string(TypeInfo<T>::name());
  return LastingName{*name};
}

template <class T>
struct TypeInfo<std::shared_ptr<T>> {
  static std::string name() {
    return "SharedPtr<" + TypeInfo<std::remove_const_t<T>>::name() + ">";
  }
};
template <class T>
struct TypeInfo<const T> : TypeInfo<T> {};
template <>
struct TypeInfo<std::string> {
  static std::string name() { return "String"; }
};

// Union case predicates over a tag's text, matched as enumeration texts are.
// The field must be set for a listed tag value, and unset otherwise.
template <class Cases>
struct UnionCaseAnyEnumValue {
  boost::logic::tribool operator()(const std::string& tag) const {
    using Table = typename Cases::Strings;
    return LookupText<Table>(tag) != UnknownNumber<Table>();
  }
};
// The field may be set for a listed tag value, and must be unset otherwise.
template <class Cases>
struct OptUnionCaseAnyEnumValue {
  boost::logic::tribool operator()(const std::string& tag) const {
    using Table = typename Cases::Strings;
    if (LookupText<Table>(tag) != UnknownNumber<Table>()) return boost::logic::indeterminate;
    return false;
  }
};

}  // namespace Data

namespace Metadata {

struct KOV_EXPORT FieldInfo {
  static std::shared_ptr<const FieldInfo> GetInstance(int number, std::string resourceType);
  int number = 0;
  std::string resourceType;
  std::map<std::string, std::string> properties;
  boost::optional<std::string> documentation;
};

// Generated records that name resources carry `Metadata::name` and `Metadata::fields`.
struct ResourceField {
  const char* field;
  const char* resourceType;
};

struct StructInfo {
  int number = 0;
  std::string name;
  boost::optional<std::string> documentation;
  std::map<std::string, std::shared_ptr<const FieldInfo>> fields;

  // A new description of record T: its metadata name and the resource type of each field
  // holding a resource identifier.
  template <class T>
  static std::shared_ptr<StructInfo> Create() {
    auto info = std::make_shared<StructInfo>();
    info->name = T::Metadata::name;
    for (auto& f : T::Metadata::fields) {
      info->fields.emplace(f.field, FieldInfo::GetInstance(0, f.resourceType));
    }
    return info;
  }
};

}  // namespace Metadata
}  // namespace Tarn
