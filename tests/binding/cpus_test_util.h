// Helpers shared by the tests that drive the generated cpus service through the provider and
// client faces: its result types, wire names, dynamic values of its inputs and outputs, the one
// fake implementation and a caller that records its answers.
#pragma once

#include <boost/optional.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/operation_input.h"
#include "runtime/std_errors.h"
#include "tests/binding/binding_test_util.h"
#include "vm/compute/cpus.h"

namespace KovTest {

using ::Tarn::Progress;
using ::Tarn::Core::AsyncActivation;
using ::Tarn::Core::AsyncApiResultCb;
using ::Tarn::Core::MethodResultPtr;
using ::Tarn::Data::ErrorValuePtr;
using ::Tarn::Data::IntegerValue;
using ::Tarn::Data::StructValue;
using CpusSvc = ::Com::Brantel::Kov::Vm::Compute::CpusSvc;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using GetResult = CpusSvc::GetMethod::ResultCbType;
using UpdateResult = CpusSvc::UpdateMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;

constexpr char kInfoName[] = "com.brantel.kov.vm.compute.cpus.info";
constexpr char kSpecName[] = "com.brantel.kov.vm.compute.cpus.update_spec";
constexpr char kVmPrefix[] = "com.brantel.kov.vm.VirtualMachine.";

// An operation input value with `fields`.
inline std::shared_ptr<::Tarn::Data::StructValue> Input(const Fields& fields) {
  return Struct(::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name(), fields);
}
inline std::shared_ptr<::Tarn::Data::StructValue> GetInput(const std::string& vm) {
  return Input({{"vm", Str(vm)}});
}
inline std::shared_ptr<::Tarn::Data::StructValue> Spec(const Fields& fields = {}) {
  return Struct(kSpecName, fields);
}
inline std::shared_ptr<::Tarn::Data::StructValue> UpdateInput(const std::string& vm,
                                                              DataValuePtr spec) {
  return Input({{"vm", Str(vm)}, {"update_spec", std::move(spec)}});
}
inline std::shared_ptr<::Tarn::Data::StructValue> InfoValue(std::int64_t count, std::int64_t cores,
                                                            bool add, bool remove) {
  return Struct(kInfoName, {{"count", Int(count)},
                            {"cores_per_socket", Int(cores)},
                            {"hot_add_enabled", Bool(add)},
                            {"hot_remove_enabled", Bool(remove)}});
}

// An implementation that records what reaches it and answers as each test tells it to: by default
// "get" answers a record whose count is 4 and "update" succeeds. Calls may come from many threads;
// set the answers before they start.
class FakeCpus : public CpusSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string vm;
    std::shared_ptr<const CpusSvc::UpdateSpec> spec;
    std::shared_ptr<AsyncActivation> activation;
    std::vector<std::string> resourcesAtCall;  // what the activation had been told by then
  };

  std::function<void(const std::string&, const GetResult&)> onGet = [](const std::string&,
                                                                       const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    result(info);
  };
  std::function<void(const UpdateResult&)> onUpdate = [](const UpdateResult& result) {
    result(::Tarn::Void());
  };

  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const GetResult& result) override {
    Note(gets, {vm, nullptr, activation, activation->resourceIds()});
    onGet(vm, result);
  }
  void Update(const std::string& vm, const std::shared_ptr<const CpusSvc::UpdateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const UpdateResult& result) override {
    Note(updates, {vm, spec, activation, activation->resourceIds()});
    onUpdate(result);
  }
  // Calls whose activation did not name exactly their machine when they arrived.
  int BadResources() {
    std::lock_guard<std::mutex> lock(mutex_);
    int bad = 0;
    for (auto* calls : {&gets, &updates}) {
      for (auto& c : *calls) bad += c.resourcesAtCall != std::vector<std::string>{kVmPrefix + c.vm};
    }
    return bad;
  }

  std::vector<Call> gets;
  std::vector<Call> updates;

 private:
  void Note(std::vector<Call>& calls, Call call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back(std::move(call));
  }
  std::mutex mutex_;
};

inline std::vector<std::string> MessageIds(const ::Tarn::Data::ErrorValuePtr& error) {
  return error ? Ids(error->Messages()) : std::vector<std::string>{};
}

// Every answer a caller received, in order.
template <class R>
struct Seen {
  boost::optional<R> result;
  ErrorValuePtr error;
  Progress progress;
};

// A caller of the cpus service: result objects that record every answer they receive.
struct CpusCaller {
  GetResult CatchGet() {
    return GetResult(
        [this](const boost::optional<InfoPtr>& r, const ErrorValuePtr& e, const Progress& p) {
          gets.push_back({r, e, p});
        });
  }
  UpdateResult CatchUpdate() {
    return UpdateResult(
        [this](const boost::optional<::Tarn::Void>& r, const ErrorValuePtr& e, const Progress& p) {
          updates.push_back({r, e, p});
        });
  }
  std::vector<Seen<InfoPtr>> gets;
  std::vector<Seen<::Tarn::Void>> updates;
};

}  // namespace KovTest