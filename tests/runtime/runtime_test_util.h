// Helpers shared by the runtime tests: short builders of dynamic values, the check of a reported
// message, and a thread with a small stack for the tests of deep values.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/data_value.h"

namespace Tarn {
namespace Testing {

using Data::DataValuePtr;
using Strings = std::vector<std::string>;

// A message must carry its id and arguments, and its catalogue text must know the id and show
// every non-empty argument.
inline void ExpectMessage(const BaseMessage& m, const std::string& id, const Strings& args) {
  EXPECT_EQ(m.id, id);
  EXPECT_EQ(m.args, args);
  EXPECT_EQ(m.defaultMessage.rfind("Unknown message id", 0), std::string::npos) << m.id;
  for (const auto& a : args) {
    if (!a.empty()) {
      EXPECT_THAT(m.defaultMessage, ::testing::HasSubstr(a));
    }
  }
}

inline DataValuePtr Int(std::int64_t v) { return Data::IntegerValue::GetInstance(v); }
inline DataValuePtr Str(const std::string& v) { return Data::StringValue::GetInstance(v); }
inline DataValuePtr Bool(bool v) { return Data::BooleanValue::GetInstance(v); }
inline DataValuePtr Opt(DataValuePtr v) { return Data::OptionalValue::GetInstance(std::move(v)); }
inline DataValuePtr Unset() { return Data::OptionalValue::GetInstance(); }

inline std::shared_ptr<Data::StructValue> Struct(
    const std::string& name, std::vector<std::pair<std::string, DataValuePtr>> fields) {
  auto s = Data::StructValue::GetInstance(name);
  for (auto& f : fields) s->SetField(f.first, std::move(f.second));
  return s;
}

inline std::shared_ptr<Data::ListValue> List(std::vector<DataValuePtr> elements, int kind = 1) {
  auto l = Data::ListValue::GetInstance(kind);
  for (auto& e : elements) l->Add(std::move(e));
  return l;
}

inline std::shared_ptr<Data::ListValueString> Texts(const Strings& elements) {
  auto l = Data::ListValueString::GetInstance();
  for (auto& e : elements) l->Add(e);
  return l;
}

// Runs `body` on a thread with a 1 MiB stack, so that any recursion over a value 100,000 deep
// overflows at once instead of passing on a large default stack.
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

}  // namespace Testing
}  // namespace Tarn
