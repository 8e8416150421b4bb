// Helpers shared by the binding tests: the typed conversions with their message lists, field-list
// edits, and the generated records the tests convert, check and describe.
#pragma once

#include <gtest/gtest.h>

#include <boost/optional.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "binding/service.h"
#include "tests/test_values.h"
#include "vm/compute/cpus.h"
#include "vm/data_sets.h"
#include "vm/device/cdrom.h"
#include "vm/device/disk.h"
#include "vm/power.h"

namespace boost {
// Lets test failures show optional members.
template <class T>
void PrintTo(const optional<T>& value, std::ostream* out) {
  *out << (value ? "optional(" + ::testing::PrintToString(*value) + ")" : std::string("none"));
}
}  // namespace boost

namespace KovTest {

using CdromSvc = ::Com::Brantel::Kov::Vm::Device::CdromSvc;
using DiskSvc = ::Com::Brantel::Kov::Vm::Device::DiskSvc;
using DataSetsSvc = ::Com::Brantel::Kov::Vm::DataSetsSvc;
using PowerSvc = ::Com::Brantel::Kov::Vm::PowerSvc;
using Access = DataSetsSvc::Access;
using Backing = CdromSvc::BackingType;

// `fields` with the field `name` set to `value` (appended when absent), or removed.
inline Fields With(Fields fields, const std::string& name, DataValuePtr value) {
  for (auto& f : fields) {
    if (f.first == name) {
      f.second = std::move(value);
      return fields;
    }
  }
  fields.emplace_back(name, std::move(value));
  return fields;
}
inline Fields Without(Fields fields, const std::string& name) {
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    if (it->first == name) {
      fields.erase(it);
      break;
    }
  }
  return fields;
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

}  // namespace KovTest
