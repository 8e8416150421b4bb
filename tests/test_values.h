// Short builders of dynamic values and message-list readers, shared by the tests of every folder,
// and a thread with a small stack for the tests of deep values.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/data_value.h"

namespace KovTest {

using ::Tarn::MessageList;
using ::Tarn::Data::DataValuePtr;
using Fields = std::vector<std::pair<std::string, DataValuePtr>>;

inline DataValuePtr Str(const std::string& v) { return ::Tarn::Data::StringValue::GetInstance(v); }
inline DataValuePtr Int(std::int64_t v) { return ::Tarn::Data::IntegerValue::GetInstance(v); }
inline DataValuePtr Dbl(double v) { return ::Tarn::Data::DoubleValue::GetInstance(v); }
inline DataValuePtr Bool(bool v) { return ::Tarn::Data::BooleanValue::GetInstance(v); }
inline DataValuePtr Unset() { return ::Tarn::Data::OptionalValue::GetInstance(); }
inline DataValuePtr Opt(DataValuePtr v) {
  return ::Tarn::Data::OptionalValue::GetInstance(std::move(v));
}
// A generic list; kind 2 is a set of enumeration values.
inline DataValuePtr List(std::vector<DataValuePtr> elements, int kind = 1) {
  auto l = ::Tarn::Data::ListValue::GetInstance(kind);
  for (auto& e : elements) l->Add(std::move(e));
  return l;
}
// A list of strings.
inline DataValuePtr Texts(const std::vector<std::string>& elements) {
  auto l = ::Tarn::Data::ListValueString::GetInstance();
  for (auto& e : elements) l->Add(e);
  return l;
}
inline std::shared_ptr<::Tarn::Data::StructValue> Struct(const std::string& name,
                                                         const Fields& fields) {
  auto s = ::Tarn::Data::StructValue::GetInstance(name);
  for (auto& f : fields) s->SetField(f.first, f.second);
  return s;
}

inline std::vector<std::string> Ids(const MessageList& messages) {
  std::vector<std::string> ids;
  for (auto& m : messages) ids.push_back(m.id);
  return ids;
}

// Runs `body` on a thread with a 1 MiB stack, so that any recursion over a value thousands of
// levels deep overflows at once instead of passing on a large default stack.
inline void OnSmallStack(void (*body)()) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, std::size_t{1} << 20), 0);
  pthread_t thread;
  const int created = pthread_create(
      &thread, &attr,
      [](void* arg) -> void* {
        (*static_cast<void (**)()>(arg))();
        return nullptr;
      },
      &body);
  pthread_attr_destroy(&attr);
  ASSERT_EQ(created, 0);
  pthread_join(thread, nullptr);
}

}  // namespace KovTest
