// Dynamic values: the runtime's self-describing data that travels between a client, the runtime and
// a provider. Every value is immutable once published through a `DataValuePtr`; builders hold the
// mutable object while they fill it.
#pragma once

#include <boost/container/flat_map.hpp>
#include <boost/container/small_vector.hpp>
#include <boost/utility/string_view.hpp>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/export.h"
#include "runtime/message.h"

namespace Tarn {

// The value of an operation without output.
struct Void {
  friend bool operator==(Void, Void) { return true; }
  friend bool operator!=(Void, Void) { return false; }
};

namespace Data {

// Kind numbers of dynamic values. 15, 6 and 9 are the three kinds that supply structure fields.
enum class DataType : int {
  VOID = 0,
  INTEGER = 1,
  DOUBLE = 2,
  BOOLEAN = 3,
  BLOB = 4,
  STRING = 5,
  STRUCTURE = 6,
  OPTIONAL = 7,
  LIST = 8,
  ERROR = 9,
  SECRET = 10,
  DYNAMIC_STRUCTURE = 15,
  // Definition-only kinds: no value has them.
  STRUCTURE_REF = 16,
  UNION_CASE = 17,
  LIST_STRING = 20,
};

// A readable name of a kind, for messages ("integer", "string", ...).
KOV_EXPORT const char* DataTypeName(DataType type);

class DataValue;
using DataValuePtr = std::shared_ptr<const DataValue>;

class KOV_EXPORT DataValue {
 public:
  virtual ~DataValue();
  DataValue(const DataValue&) = delete;
  DataValue& operator=(const DataValue&) = delete;

  DataType GetType() const { return type_; }

  // The text form of the value, e.g. `com.x.info{count: 4, name: "a"}`; a string on its own is
  // its text, a string inside a container is quoted.
  std::string ToString() const;

  // Structural equality: same kind and same contents, compared without recursion.
  bool Equals(const DataValue& other) const;

  // Factories for the primitive kinds: bool, std::int64_t, double, std::string, Tarn::Void.
  template <class X>
  static DataValuePtr Create(const X& value);

  // Extracts a primitive of the matching kind (a double also accepts an integer). A mismatch
  // appends one message naming the expected and the found kind and returns false; `out` is then
  // unchanged.
  template <class X>
  bool Value(X& out, MessageList& messages) const;

  // Like `Value`, but a string value is parsed as X ("42" as an integer, "true" as a boolean, the
  // empty text as Tarn::Void). Unparsable or out-of-range text appends one message and returns
  // false.
  template <class X>
  bool ToPrimitive(X& out, MessageList& messages) const;

 protected:
  explicit DataValue(DataType type) : type_(type) {}

  // Children are moved out before a container dies, so that deep values die without recursion.
  // The first few wait on the stack: a small value dies without a heap allocation.
  using ReleaseList = boost::container::small_vector<DataValuePtr, 8>;
  virtual void DetachChildren(ReleaseList& out);
  static void ReleaseIteratively(ReleaseList& pending);

 private:
  friend class ValuePrinter;
  DataType type_;
};

inline bool operator==(const DataValue& a, const DataValue& b) { return a.Equals(b); }
inline bool operator!=(const DataValue& a, const DataValue& b) { return !a.Equals(b); }

template <>
KOV_EXPORT DataValuePtr DataValue::Create<bool>(const bool& value);
template <>
KOV_EXPORT DataValuePtr DataValue::Create<std::int64_t>(const std::int64_t& value);
template <>
KOV_EXPORT DataValuePtr DataValue::Create<double>(const double& value);
template <>
KOV_EXPORT DataValuePtr DataValue::Create<std::string>(const std::string& value);
template <>
KOV_EXPORT DataValuePtr DataValue::Create<Void>(const Void& value);

template <>
KOV_EXPORT bool DataValue::Value<bool>(bool& out, MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::Value<std::int64_t>(std::int64_t& out, MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::Value<double>(double& out, MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::Value<std::string>(std::string& out, MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::Value<Void>(Void& out, MessageList& messages) const;

template <>
KOV_EXPORT bool DataValue::ToPrimitive<bool>(bool& out, MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::ToPrimitive<std::int64_t>(std::int64_t& out,
                                                     MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::ToPrimitive<double>(double& out, MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::ToPrimitive<std::string>(std::string& out, MessageList& messages) const;
template <>
KOV_EXPORT bool DataValue::ToPrimitive<Void>(Void& out, MessageList& messages) const;

// The instances of the most common values (void, the two booleans, small integers, the empty
// string) are made once and never freed, and the pointers handed out own nothing: they cost no
// allocation, and threads share them without writing to a reference count.
class KOV_EXPORT VoidValue final : public DataValue {
 public:
  static constexpr DataType kType = DataType::VOID;
  static std::shared_ptr<const VoidValue> GetInstance();
  VoidValue() : DataValue(kType) {}
};

template <DataType K, class T>
class ScalarValue : public DataValue {
 public:
  static constexpr DataType kType = K;
  explicit ScalarValue(T value) : DataValue(K), value_(std::move(value)) {}
  const T& value() const { return value_; }

 private:
  T value_;
};

class KOV_EXPORT IntegerValue final : public ScalarValue<DataType::INTEGER, std::int64_t> {
 public:
  using ScalarValue::ScalarValue;
  static std::shared_ptr<const IntegerValue> GetInstance(std::int64_t v);
};

class KOV_EXPORT DoubleValue final : public ScalarValue<DataType::DOUBLE, double> {
 public:
  using ScalarValue::ScalarValue;
  static std::shared_ptr<const DoubleValue> GetInstance(double v);
};

class KOV_EXPORT BooleanValue final : public ScalarValue<DataType::BOOLEAN, bool> {
 public:
  using ScalarValue::ScalarValue;
  static std::shared_ptr<const BooleanValue> GetInstance(bool v);
};

class KOV_EXPORT StringValue final : public ScalarValue<DataType::STRING, std::string> {
 public:
  using ScalarValue::ScalarValue;
  static std::shared_ptr<const StringValue> GetInstance(std::string v);
};

// Opaque bytes.
class KOV_EXPORT BlobValue final : public ScalarValue<DataType::BLOB, std::string> {
 public:
  using ScalarValue::ScalarValue;
  static std::shared_ptr<const BlobValue> GetInstance(std::string bytes);
};

// A text that is never printed.
class KOV_EXPORT SecretValue final : public ScalarValue<DataType::SECRET, std::string> {
 public:
  using ScalarValue::ScalarValue;
  static std::shared_ptr<const SecretValue> GetInstance(std::string secret);
};

class KOV_EXPORT OptionalValue final : public DataValue {
 public:
  static constexpr DataType kType = DataType::OPTIONAL;
  // An optional value that holds nothing.
  static std::shared_ptr<OptionalValue> GetInstance();
  static std::shared_ptr<OptionalValue> GetInstance(DataValuePtr value);
  OptionalValue() : DataValue(kType) {}
  ~OptionalValue() override;

  bool IsSet() const { return set_; }
  // The held value; null when unset.
  const DataValuePtr& value() const { return value_; }
  // Marks the optional as set and returns the slot of its value, to be filled by a builder.
  DataValuePtr* value(std::nullptr_t) {
    set_ = true;
    return &value_;
  }

 private:
  void DetachChildren(ReleaseList& out) override;
  bool set_ = false;
  DataValuePtr value_;
};

class KOV_EXPORT ListValue final : public DataValue {
 public:
  static constexpr DataType kType = DataType::LIST;
  // `kind` tells how the list was made: 1 for a list, 2 for a set of enumeration values.
  static std::shared_ptr<ListValue> GetInstance(int kind = 1);
  explicit ListValue(int kind) : DataValue(kType), kind_(kind) {}
  ~ListValue() override;

  int kind() const { return kind_; }
  const std::vector<DataValuePtr>& elements() const { return elements_; }
  void Reserve(std::size_t n) { elements_.reserve(n); }
  void Add(DataValuePtr v) { elements_.push_back(std::move(v)); }
  // Appends an empty element and returns its slot. Reserve first: slots stay valid only while
  // the list does not grow beyond its capacity.
  DataValuePtr* AddSlot() {
    elements_.emplace_back();
    return &elements_.back();
  }

 private:
  void DetachChildren(ReleaseList& out) override;
  int kind_;
  std::vector<DataValuePtr> elements_;
};

class KOV_EXPORT ListValueString final : public DataValue {
 public:
  static constexpr DataType kType = DataType::LIST_STRING;
  static std::shared_ptr<ListValueString> GetInstance();
  ListValueString() : DataValue(kType) {}

  const std::vector<std::string>& elements() const { return elements_; }
  void Reserve(std::size_t n) { elements_.reserve(n); }
  void Add(std::string s) { elements_.push_back(std::move(s)); }

 private:
  std::vector<std::string> elements_;
};

// A text that lives as long as the process, e.g. a generated record's type name: a value names
// itself with it instead of copying it.
struct LastingName {
  const std::string& text;
};

// The name of a field: a lasting text (from a generated record's name table) that it refers to,
// or a copy of its own. Reads as a const std::string.
class KOV_EXPORT FieldName {
 public:
  FieldName(std::string text) : own_(std::move(text)), text_(&own_) {}  // NOLINT: implicit
  FieldName(const char* text) : own_(text), text_(&own_) {}             // NOLINT: implicit
  FieldName(LastingName name) : text_(&name.text) {}                    // NOLINT: implicit
  FieldName(const FieldName& other) : own_(other.own_), text_(other.Owns() ? &own_ : other.text_) {}
  FieldName(FieldName&& other) noexcept
      : own_(std::move(other.own_)), text_(other.Owns() ? &own_ : other.text_) {}
  FieldName& operator=(const FieldName& other) {
    if (this != &other) {
      own_ = other.own_;
      text_ = other.Owns() ? &own_ : other.text_;
    }
    return *this;
  }
  FieldName& operator=(FieldName&& other) noexcept {
    if (this != &other) {
      own_ = std::move(other.own_);
      text_ = other.Owns() ? &own_ : other.text_;
    }
    return *this;
  }

  const std::string& str() const { return *text_; }
  operator const std::string&() const { return *text_; }  // NOLINT: implicit
  std::size_t size() const { return text_->size(); }
  bool empty() const { return text_->empty(); }
  const char* c_str() const { return text_->c_str(); }

  friend bool operator<(const FieldName& a, const FieldName& b) { return a.str() < b.str(); }
  friend bool operator<(const FieldName& a, boost::string_view b) { return a.str() < b; }
  friend bool operator<(boost::string_view a, const FieldName& b) { return a < b.str(); }
  friend bool operator<(const FieldName& a, const std::string& b) { return a.str() < b; }
  friend bool operator<(const std::string& a, const FieldName& b) { return a < b.str(); }
  friend bool operator<(const FieldName& a, const char* b) { return a.str() < b; }
  friend bool operator<(const char* a, const FieldName& b) { return a < b.str(); }
  friend bool operator==(const FieldName& a, boost::string_view b) { return a.str() == b; }
  friend bool operator!=(const FieldName& a, boost::string_view b) { return a.str() != b; }
  friend bool operator==(const FieldName& a, const std::string& b) { return a.str() == b; }
  friend bool operator!=(const FieldName& a, const std::string& b) { return a.str() != b; }
  friend bool operator==(const FieldName& a, const char* b) { return a.str() == b; }
  friend bool operator!=(const FieldName& a, const char* b) { return a.str() != b; }
  friend bool operator==(const FieldName& a, const FieldName& b) { return a.str() == b.str(); }
  friend bool operator!=(const FieldName& a, const FieldName& b) { return a.str() != b.str(); }

 private:
  bool Owns() const { return text_ == &own_; }
  std::string own_;
  const std::string* text_;
};

// A named value with fields ordered by name: a structure, a dynamic structure or an error.
class KOV_EXPORT CompoundValue : public DataValue {
 public:
  // Sorted by name in one block; a structure of up to four fields keeps them inside itself, so
  // that it and its fields take one allocation.
  using Fields = boost::container::flat_map<
      FieldName, DataValuePtr, std::less<>,
      boost::container::small_vector<std::pair<FieldName, DataValuePtr>, 4>>;
  ~CompoundValue() override;

  const std::string& name() const { return *name_; }
  const Fields& fields() const { return fields_; }

  // Finds a field. A missing field appends a message naming the field and the structure.
  bool GetField(const std::string& name, DataValuePtr& value, MessageList& messages) const;
  bool GetField(const char* name, DataValuePtr& value, MessageList& messages) const;
  // The same without copying the value: its slot, or null after appending the message.
  const DataValuePtr* GetField(const char* name, MessageList& messages) const;
  // The field's value slot, or null when there is no such field.
  const DataValuePtr* FindField(boost::string_view name) const;
  bool HasField(const std::string& name) const { return fields_.count(name) != 0; }
  void SetField(const std::string& name, DataValuePtr value);
  // Inserts (or finds) a field and returns its slot, to be filled by a builder. A slot stays
  // valid until the next field is added.
  DataValuePtr* FieldSlot(boost::string_view name);
  // The same for a field named by a lasting text, which the field refers to instead of copying.
  DataValuePtr* FieldSlot(LastingName name);
  void ReserveFields(std::size_t n) { fields_.reserve(n); }

 protected:
  CompoundValue(DataType type, std::string name)
      : DataValue(type), ownName_(std::move(name)), name_(&ownName_) {}
  CompoundValue(DataType type, LastingName name) : DataValue(type), name_(&name.text) {}

 private:
  void DetachChildren(ReleaseList& out) override;
  std::string ownName_;
  const std::string* name_;  // ownName_, or a lasting name
  Fields fields_;
};

class KOV_EXPORT StructValue final : public CompoundValue {
 public:
  static constexpr DataType kType = DataType::STRUCTURE;
  static std::shared_ptr<StructValue> GetInstance(std::string name);
  static std::shared_ptr<StructValue> GetInstance(LastingName name);
  explicit StructValue(std::string name) : CompoundValue(kType, std::move(name)) {}
  explicit StructValue(LastingName name) : CompoundValue(kType, name) {}
};

// A structure whose fields are not known in advance.
class KOV_EXPORT DynamicStructValue final : public CompoundValue {
 public:
  static constexpr DataType kType = DataType::DYNAMIC_STRUCTURE;
  static std::shared_ptr<DynamicStructValue> GetInstance(std::string name);
  explicit DynamicStructValue(std::string name) : CompoundValue(kType, std::move(name)) {}
};

// An error: a structure named after its error type, whose field "messages" carries the message
// list (identifier, default text and arguments of each message).
class KOV_EXPORT ErrorValue final : public CompoundValue {
 public:
  static constexpr DataType kType = DataType::ERROR;
  static std::shared_ptr<ErrorValue> Create(std::string name, const MessageList& messages);
  static std::shared_ptr<ErrorValue> GetInstance(std::string name);
  explicit ErrorValue(std::string name) : CompoundValue(kType, std::move(name)) {}

  // The messages the error carries; empty when it has none or they are malformed.
  MessageList Messages() const;
};

using ErrorValuePtr = std::shared_ptr<const ErrorValue>;

// The name of the structure that carries one message inside an error value.
KOV_EXPORT const char* LocalizableMessageName();

template <class T>
struct NarrowTraits {
  static bool Matches(DataType t) { return t == T::kType; }
};
template <>
struct NarrowTraits<CompoundValue> {
  static bool Matches(DataType t) {
    return t == DataType::DYNAMIC_STRUCTURE || t == DataType::STRUCTURE || t == DataType::ERROR;
  }
};

// Narrows a value to the kind of T: the value itself when its kind matches, else null.
template <class T>
std::shared_ptr<const T> NarrowDataTypeInt(const DataValuePtr& value) {
  if (!value || !NarrowTraits<T>::Matches(value->GetType())) return nullptr;
  return std::static_pointer_cast<const T>(value);
}

}  // namespace Data
}  // namespace Tarn
