// Helpers shared by the binding tests: short builders of dynamic values, the typed conversions
// with their message lists, and an iterative release of deep native chains (a recursive
// destructor would undo what the tests prove about the adapters).
#pragma once

#include <gtest/gtest.h>

#include <boost/optional.hpp>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/binding/test_records.h"

namespace boost {
// Lets test failures show optional members.
template <class T>
void PrintTo(const optional<T>& value, std::ostream* out) {
  *out << (value ? "optional(" + ::testing::PrintToString(*value) + ")" : std::string("none"));
}
}  // namespace boost

namespace KovTest {

inline void PrintTo(const TestSvc::Color& color, std::ostream* out) {
  *out << ::Tarn::EnumToText(color);
}

using ::Tarn::MessageList;
using ::Tarn::Data::DataValuePtr;

inline DataValuePtr Str(std::string s) { return ::Tarn::Data::StringValue::GetInstance(s); }
inline DataValuePtr Int(std::int64_t i) { return ::Tarn::Data::IntegerValue::GetInstance(i); }
inline DataValuePtr Bool(bool b) { return ::Tarn::Data::BooleanValue::GetInstance(b); }
inline DataValuePtr Unset() { return ::Tarn::Data::OptionalValue::GetInstance(); }
inline DataValuePtr Opt(DataValuePtr v) {
  return ::Tarn::Data::OptionalValue::GetInstance(std::move(v));
}

inline DataValuePtr List(std::vector<DataValuePtr> elements, int kind = 1) {
  auto list = ::Tarn::Data::ListValue::GetInstance(kind);
  for (auto& e : elements) list->Add(e);
  return list;
}

inline DataValuePtr Strings(std::vector<std::string> elements) {
  auto list = ::Tarn::Data::ListValueString::GetInstance();
  for (auto& e : elements) list->Add(e);
  return list;
}

using FieldList = std::vector<std::pair<std::string, DataValuePtr>>;

inline std::shared_ptr<::Tarn::Data::StructValue> Struct(const std::string& name,
                                                         const FieldList& fields) {
  auto s = ::Tarn::Data::StructValue::GetInstance(name);
  for (auto& f : fields) s->SetField(f.first, f.second);
  return s;
}

// `fields` with the field `name` set to `value` (appended when absent), or removed.
inline FieldList With(FieldList fields, const std::string& name, DataValuePtr value) {
  for (auto& f : fields) {
    if (f.first == name) {
      f.second = std::move(value);
      return fields;
    }
  }
  fields.emplace_back(name, std::move(value));
  return fields;
}
inline FieldList Without(FieldList fields, const std::string& name) {
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    if (it->first == name) {
      fields.erase(it);
      break;
    }
  }
  return fields;
}

inline DataValuePtr LeafValue(const std::string& name, std::int64_t size) {
  return Struct(TestSvc::Leaf::typeName, {{"name", Str(name)}, {"size", Int(size)}});
}

// Every required field of Everything with a valid value; optional fields absent.
inline FieldList EverythingFields() {
  return {{"count", Int(1)},       {"enabled", Bool(true)},     {"label", Str("lbl")},
          {"color", Str("GREEN")}, {"leaf", LeafValue("l", 1)}, {"leaves", List({})},
          {"tags", Strings({})},   {"colors", Strings({})}};
}

inline std::shared_ptr<const TestSvc::Leaf> MakeLeaf(const std::string& name, std::int64_t size) {
  auto leaf = std::make_shared<TestSvc::Leaf>();
  leaf->name = name;
  leaf->size = size;
  return leaf;
}

template <class E>
E EnumOf(const std::string& text) {
  return ::Tarn::EnumFromText<E>(text);
}

template <class T>
DataValuePtr ToValue(const T& record, MessageList& messages, bool* ok = nullptr) {
  DataValuePtr value;
  bool result = ::Tarn::Data::NativeToValueAdapter::Adapt(&record, &value, messages);
  if (ok) *ok = result;
  return value;
}

template <class T>
bool ToNative(const DataValuePtr& value, T& record, MessageList& messages) {
  return ::Tarn::Data::ValueToNativeAdapter::Adapt(value, &record, messages);
}

// An Everything whose optionals are unset, whose containers are empty, and whose required record
// is a default one.
inline std::shared_ptr<TestSvc::Everything> SparseRecord() {
  auto e = std::make_shared<TestSvc::Everything>();
  e->leaf = std::make_shared<TestSvc::Leaf>();
  return e;
}

// The value of a record that converts without messages.
template <class T>
DataValuePtr ValueOf(const T& record) {
  MessageList messages;
  DataValuePtr value = ToValue(record, messages);
  EXPECT_TRUE(messages.empty());
  return value;
}

// A list of message arguments, written as a call so that a table keeps one line a case.
template <class... T>
std::vector<std::string> A(const T&... args) {
  return {std::string(args)...};
}

inline std::vector<std::string> Ids(const MessageList& messages) {
  std::vector<std::string> ids;
  for (auto& m : messages) ids.push_back(m.id);
  return ids;
}

// Builds a chain of `depth` records, the outermost with depth 0.
inline std::shared_ptr<TestSvc::Chain> MakeChain(int depth) {
  std::shared_ptr<TestSvc::Chain> head;
  for (int i = depth - 1; i >= 0; --i) {
    auto node = std::make_shared<TestSvc::Chain>();
    node->depth = i;
    node->next = std::move(head);
    head = std::move(node);
  }
  return head;
}

// Drops a chain link by link: each record dies while its successor is still held elsewhere.
template <class P>
void ReleaseChain(P head) {
  std::shared_ptr<const TestSvc::Chain> current = std::move(head);
  while (current) {
    std::shared_ptr<const TestSvc::Chain> next = current->next;
    current.reset();
    current = std::move(next);
  }
}

// Drops a tree without recursion: the children of a record are taken before it dies.
template <class P>
void ReleaseTree(P root) {
  std::vector<std::shared_ptr<const TestSvc::Tree>> pending;
  pending.push_back(std::move(root));
  while (!pending.empty()) {
    std::shared_ptr<const TestSvc::Tree> node = std::move(pending.back());
    pending.pop_back();
    if (!node) continue;
    std::vector<std::shared_ptr<const TestSvc::Tree>> children = node->children;
    node.reset();
    for (auto& c : children) pending.push_back(std::move(c));
  }
}

}  // namespace KovTest
