// Helpers shared by the binding tests: typed conversions, field-list edits, and the generated cpus
// service's dynamic values and a fake implementation of it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/optional.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "binding/service.h"
#include "runtime/activation.h"
#include "runtime/operation_input.h"
#include "runtime/std_errors.h"
#include "tests/test_values.h"
#include "vm/compute/cpus.h"
#include "vm/data_sets.h"
#include "vm/device/cdrom.h"
#include "vm/device/disk.h"

namespace KovTest {

using ::Tarn::Progress;
using ::Tarn::Core::AsyncActivation;
using ::Tarn::Core::AsyncApiResultCb;
using ::Tarn::Core::MethodResultPtr;
using ::Tarn::Data::ErrorValuePtr;
using CdromSvc = ::Com::Brantel::Kov::Vm::Device::CdromSvc;
using DiskSvc = ::Com::Brantel::Kov::Vm::Device::DiskSvc;
using DataSetsSvc = ::Com::Brantel::Kov::Vm::DataSetsSvc;
using CpusSvc = ::Com::Brantel::Kov::Vm::Compute::CpusSvc;
using Access = DataSetsSvc::Access;
using Backing = CdromSvc::BackingType;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using GetResult = CpusSvc::GetMethod::ResultCbType;
using UpdateResult = CpusSvc::UpdateMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;

constexpr char kInfoName[] = "com.brantel.kov.vm.compute.cpus.info";
constexpr char kSpecName[] = "com.brantel.kov.vm.compute.cpus.update_spec";
const Progress kFinal{0, 1, 1};

// `fields` with the field `name` set to `value` (last), or removed when null.
inline Fields With(Fields fields, const std::string& name, DataValuePtr value) {
  fields.erase(
      std::remove_if(fields.begin(), fields.end(), [&](auto& f) { return f.first == name; }),
      fields.end());
  if (value) fields.emplace_back(name, std::move(value));
  return fields;
}

using ::Tarn::EnumFromText;
template <class T>
DataValuePtr ToValue(const T& record, MessageList& messages) {
  DataValuePtr value;
  ::Tarn::Data::NativeToValueAdapter::Adapt(&record, &value, messages);
  return value;
}
template <class T>
bool ToNative(const DataValuePtr& value, T& record, MessageList& messages) {
  return ::Tarn::Data::ValueToNativeAdapter::Adapt(value, &record, messages);
}
template <class T>
DataValuePtr ValueOf(const T& record) {
  MessageList messages;
  DataValuePtr value = ToValue(record, messages);
  EXPECT_TRUE(messages.empty());
  return value;
}
template <class... T>
std::vector<std::string> A(const T&... args) {
  return {std::string(args)...};
}

// Operation input values of the cpus service.
inline std::shared_ptr<::Tarn::Data::StructValue> Input(const Fields& fields) {
  return Struct(::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name(), fields);
}
inline DataValuePtr GetInput(const std::string& vm) { return Input({{"vm", Str(vm)}}); }
inline DataValuePtr Spec(const Fields& fields = {}) { return Struct(kSpecName, fields); }
inline DataValuePtr UpdateInput(const std::string& vm, DataValuePtr spec) {
  return Input({{"vm", Str(vm)}, {"update_spec", std::move(spec)}});
}
inline std::shared_ptr<::Tarn::Data::StructValue> InfoValue(std::int64_t count, std::int64_t cores,
                                                            bool add, bool remove) {
  return Struct(kInfoName, {{"count", Int(count)},
                            {"cores_per_socket", Int(cores)},
                            {"hot_add_enabled", Bool(add)},
                            {"hot_remove_enabled", Bool(remove)}});
}

// Records what reaches it and answers as told (by default: count 4, and success). Calls may come
// from many threads; set the answers before they start.
class FakeCpus : public CpusSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string vm;
    std::shared_ptr<const CpusSvc::UpdateSpec> spec;
    std::shared_ptr<AsyncActivation> activation;
  };

  std::function<void(const std::string&, const GetResult&)> onGet = [](const std::string&,
                                                                       const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    result(info);
  };

  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const GetResult& result) override {
    Note(gets, {vm, nullptr, activation}, activation);
    onGet(vm, result);
  }
  void Update(const std::string& vm, const std::shared_ptr<const CpusSvc::UpdateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const UpdateResult& result) override {
    Note(updates, {vm, spec, activation}, activation);
    result(::Tarn::Void());
  }

  std::vector<Call> gets;
  std::vector<Call> updates;
  int badResources = 0;  // calls whose activation did not name exactly their machine on arrival

 private:
  void Note(std::vector<Call>& calls, Call call, const std::shared_ptr<AsyncActivation>& a) {
    std::lock_guard<std::mutex> lock(mutex_);
    badResources += a->resourceIds() !=
                    std::vector<std::string>{"com.brantel.kov.vm.VirtualMachine." + call.vm};
    calls.push_back(std::move(call));
  }
  std::mutex mutex_;
};

}  // namespace KovTest
