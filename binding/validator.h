// Checks a native record for what its type cannot express: fields it does not declare, union
// rules, and the validity of the records nested in it. Nested records are checked from a work
// stack, not by recursion.
#pragma once

#include <boost/container/small_vector.hpp>
#include <boost/logic/tribool.hpp>
#include <boost/optional.hpp>
#include <memory>
#include <vector>

#include "binding/native.h"
#include "binding/value_adapter.h"
#include "runtime/message.h"

namespace Tarn {
namespace Data {

struct Validator {
  enum Policy : int {
    // Undeclared fields are not looked at.
    kIgnoreUndeclared = 0,
    // Every undeclared field that holds a value is reported.
    kRejectUndeclared = 1,
  };

  template <class T>
  static bool isValid(const T& record, Policy policy, MessageList& messages);
};

namespace ValidatorInternal {

struct Pending;
// The records still to check; a typical record's fit on the stack.
using Stack = boost::container::small_vector<Pending, 8>;
struct Pending {
  const void* record;
  bool (*fn)(const void* record, Validator::Policy policy, MessageList& messages, Stack& stack);
};

template <class T>
bool ValidateOne(const void* record, Validator::Policy policy, MessageList& messages, Stack& stack);

// Runs a record's union checks in the order its union fixes; the first failure ends them.
template <class T>
class UnionChecker {
 public:
  UnionChecker(const T& record, MessageList& messages) : record_(record), messages_(messages) {}
  bool ok() const { return ok_; }

  template <class Tags, class E>
  void MissingTag(E T::*tag) {
    if (!ok_ || (record_.*tag).number() != UnknownNumber<typename E::Strings>()) return;
    Fail(Message<CoreTag>("tarn.data.union.missing.tag.field", Tags::Strings::values[0]));
  }

  template <class E, class X, class Predicate>
  void Case(E T::*tag, boost::optional<X> T::*field, const char* fieldName, Predicate predicate) {
    if (!ok_) return;
    boost::logic::tribool must = predicate(EnumToText(record_.*tag));
    const bool set = static_cast<bool>(record_.*field);
    if (must && !set) {
      Fail(Message<CoreTag>("tarn.data.union.invalid.case.state.isnotset.short",
                            TypeInfo<T>::name(), fieldName));
    } else if (!must && set) {
      Fail(Message<CoreTag>("tarn.data.union.invalid.case.state.isset.short", TypeInfo<T>::name(),
                            fieldName));
    }
  }

 private:
  void Fail(BaseMessage message) {
    messages_.push_back(std::move(message));
    ok_ = false;
  }
  const T& record_;
  MessageList& messages_;
  bool ok_ = true;
};

// Stands for a required nested record that is null: it fails the check when its turn comes, so
// that an invalid record before it still reports its messages.
inline bool NullRecord(const void*, Validator::Policy, MessageList&, Stack&) { return false; }

// Collects the nested records of one record, in field and element order.
template <class T>
class NestedCollector {
 public:
  explicit NestedCollector(const T& record) : record_(record) {}
  Stack& children() { return children_; }

  template <class R, class M>
  void AddField(const char*, M R::*member) {
    Visit(record_.*member);
  }

 private:
  template <class M>
  void Visit(const M&) {}
  template <class U>
  void Visit(const std::shared_ptr<U>& nested) {
    children_.push_back(
        {nested.get(), nested ? &ValidateOne<std::remove_const_t<U>> : &NullRecord});
  }
  template <class U>
  void Visit(const OptionalPtr<U>& nested) {
    if (nested) children_.push_back({nested.get(), &ValidateOne<std::remove_const_t<U>>});
  }
  template <class U>
  void Visit(const std::vector<std::shared_ptr<U>>& list) {
    for (auto& element : list) Visit(element);
  }

  const T& record_;
  Stack children_;
};

template <class T>
bool ValidateOne(const void* raw, Validator::Policy policy, MessageList& messages, Stack& stack) {
  const T& record = *static_cast<const T*>(raw);
  if (policy == Validator::kRejectUndeclared && record.unknownFields) {
    bool reported = false;
    for (auto& field : record.unknownFields->fields()) {
      auto* value = field.second.get();
      if (value && value->GetType() == DataType::OPTIONAL &&
          !static_cast<const OptionalValue*>(value)->IsSet()) {
        continue;  // an unset optional carries nothing
      }
      messages.push_back(
          Message<CoreTag>("tarn.data.compound.field.extra", T::nativeName, field.first.str(), ""));
      reported = true;
    }
    if (reported) return false;
  }
  if constexpr (HasUnionRules<T>::value) {
    UnionChecker<T> checker(record, messages);
    T::UnionRules::Check(checker);
    if (!checker.ok()) return false;
  }
  NestedCollector<T> nested(record);
  T::AdapterHelper::AddFields(nested);
  stack.insert(stack.end(), nested.children().rbegin(), nested.children().rend());
  return true;
}

}  // namespace ValidatorInternal

template <class T>
bool Validator::isValid(const T& record, Policy policy, MessageList& messages) {
  ValidatorInternal::Stack stack{{&record, &ValidatorInternal::ValidateOne<T>}};
  bool valid = true;
  while (valid && !stack.empty()) {
    ValidatorInternal::Pending next = stack.back();
    stack.pop_back();
    valid = next.fn(next.record, policy, messages, stack);
  }
  if (!valid) {
    if constexpr (HasOperationName<T>::value) {
      messages.insert(messages.begin(),
                      Message<CoreTag>("tarn.invoke.invalid.input", T::operationName));
    }
  }
  return valid;
}

}  // namespace Data
}  // namespace Tarn
