// Type definitions: the runtime's description of the values an operation takes and gives, and the
// check of a value against a definition.
#pragma once

#include <boost/logic/tribool.hpp>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/data_value.h"
#include "runtime/export.h"
#include "runtime/message.h"

namespace Tarn {
namespace Data {

class DataDefinition;
using DataDefinitionPtr = std::shared_ptr<const DataDefinition>;

class KOV_EXPORT DataDefinition {
 public:
  virtual ~DataDefinition();
  DataDefinition(const DataDefinition&) = delete;
  DataDefinition& operator=(const DataDefinition&) = delete;

  DataType GetType() const { return type_; }

  // Definitions of the primitive kinds: bool, std::int64_t, double, std::string, Tarn::Void.
  template <class X>
  static DataDefinitionPtr Create();
  // A primitive definition of any value kind (blob and secret included).
  static DataDefinitionPtr CreatePrimitive(DataType type);

  // A readable form, e.g. `struct com.x.info {count: integer, name: optional<string>}`. Structures
  // met again (through a reference or a second time) are written by name only.
  std::string ToString() const;

  // Checks a value against this definition: kinds, required fields, union cases, elements.
  // Fields a structure value carries beyond the definition are accepted. Appends one message and
  // returns false at the first problem. An empty string stands for an absent structure, optional
  // or list; a string is accepted for an integer, double or boolean when it parses as one.
  bool Validate(const DataValuePtr& value, MessageList& messages) const;

 protected:
  explicit DataDefinition(DataType type) : type_(type) {}

 private:
  DataType type_;
};

template <>
KOV_EXPORT DataDefinitionPtr DataDefinition::Create<bool>();
template <>
KOV_EXPORT DataDefinitionPtr DataDefinition::Create<std::int64_t>();
template <>
KOV_EXPORT DataDefinitionPtr DataDefinition::Create<double>();
template <>
KOV_EXPORT DataDefinitionPtr DataDefinition::Create<std::string>();
template <>
KOV_EXPORT DataDefinitionPtr DataDefinition::Create<Void>();

class KOV_EXPORT PrimitiveDefinition final : public DataDefinition {
 public:
  explicit PrimitiveDefinition(DataType type) : DataDefinition(type) {}
};

class KOV_EXPORT StructDefinition : public DataDefinition {
 public:
  using Fields = std::map<std::string, DataDefinitionPtr, std::less<>>;
  static std::shared_ptr<const StructDefinition> GetInstance(std::string name, Fields fields);
  StructDefinition(std::string name, Fields fields, DataType type = DataType::STRUCTURE)
      : DataDefinition(type), name_(std::move(name)), fields_(std::move(fields)) {}

  const std::string& name() const { return name_; }
  const Fields& fields() const { return fields_; }

 private:
  std::string name_;
  Fields fields_;
};

// The definition of an error type: a structure definition of kind error.
class KOV_EXPORT ErrorDefinition final : public StructDefinition {
 public:
  static std::shared_ptr<const ErrorDefinition> GetInstance(std::string name, Fields fields);
  ErrorDefinition(std::string name, Fields fields)
      : StructDefinition(std::move(name), std::move(fields), DataType::ERROR) {}
};

// A structure met again while its own definition is being built. It points at that definition
// through a non-owning link, so that a recursive type does not own itself.
class KOV_EXPORT StructRefDefinition final : public DataDefinition {
 public:
  static std::shared_ptr<StructRefDefinition> GetInstance(std::string name);
  explicit StructRefDefinition(std::string name)
      : DataDefinition(DataType::STRUCTURE_REF), name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  void Resolve(const std::shared_ptr<const DataDefinition>& target) { target_ = target; }
  // The structure this reference stands for; null while unresolved or after it died.
  std::shared_ptr<const DataDefinition> Target() const { return target_.lock(); }

 private:
  std::string name_;
  std::weak_ptr<const DataDefinition> target_;
};

class KOV_EXPORT OptionalDefinition final : public DataDefinition {
 public:
  static std::shared_ptr<const OptionalDefinition> GetInstance(DataDefinitionPtr element);
  explicit OptionalDefinition(DataDefinitionPtr element)
      : DataDefinition(DataType::OPTIONAL), element_(std::move(element)) {}
  const DataDefinitionPtr& element() const { return element_; }

 private:
  DataDefinitionPtr element_;
};

class KOV_EXPORT ListDefinition final : public DataDefinition {
 public:
  static std::shared_ptr<const ListDefinition> GetInstance(DataDefinitionPtr element);
  explicit ListDefinition(DataDefinitionPtr element)
      : DataDefinition(DataType::LIST), element_(std::move(element)) {}
  const DataDefinitionPtr& element() const { return element_; }

 private:
  DataDefinitionPtr element_;
};

// A field whose presence is governed by the text of a tag field of the same structure: the
// predicate answers true (must be set), false (must be unset) or indeterminate (either).
class KOV_EXPORT UnionCaseDefinition final : public DataDefinition {
 public:
  using Predicate = std::function<boost::logic::tribool(const std::string&)>;
  static std::shared_ptr<const UnionCaseDefinition> GetInstance(DataDefinitionPtr held,
                                                                std::string tagName,
                                                                Predicate predicate);
  UnionCaseDefinition(DataDefinitionPtr held, std::string tagName, Predicate predicate)
      : DataDefinition(DataType::UNION_CASE),
        held_(std::move(held)),
        tagName_(std::move(tagName)),
        predicate_(std::move(predicate)) {}

  const DataDefinitionPtr& held() const { return held_; }
  const std::string& tagName() const { return tagName_; }
  boost::logic::tribool Case(const std::string& tag) const {
    return predicate_ ? predicate_(tag) : boost::logic::tribool(boost::logic::indeterminate);
  }

 private:
  DataDefinitionPtr held_;
  std::string tagName_;
  Predicate predicate_;
};

}  // namespace Data
}  // namespace Tarn
