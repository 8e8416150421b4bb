// Helpers shared by the tests that drive the generated cpus service through the provider and
// client faces: its result types, wire names, and dynamic values of its inputs and outputs.
#pragma once

#include <boost/optional.hpp>
#include <cstdint>
#include <memory>
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
inline std::shared_ptr<::Tarn::Data::StructValue> Input(const FieldList& fields) {
  return Struct(::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name(), fields);
}
inline std::shared_ptr<::Tarn::Data::StructValue> GetInput(const std::string& vm) {
  return Input({{"vm", Str(vm)}});
}
inline std::shared_ptr<::Tarn::Data::StructValue> Spec(const FieldList& fields = {}) {
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