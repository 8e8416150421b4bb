// Generated from schema/power.toml by codegen/generate.py. Do not edit.
#include "vm/power.h"

namespace Com::Brantel::Kov::Vm {

PowerSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
PowerSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<GetMethod>(&AsyncServiceInterface::Get),
      MakeSlot<SwitchOnMethod>(&AsyncServiceInterface::SwitchOn),
      MakeSlot<SwitchOffMethod>(&AsyncServiceInterface::SwitchOff),
      MakeSlot<ResetMethod>(&AsyncServiceInterface::Reset),
      MakeSlot<SuspendMethod>(&AsyncServiceInterface::Suspend));
}

void PowerSvc::AsyncServiceStub::Get(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const GetMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<GetMethod>(apiStub_, activation, result, vm);
}

void PowerSvc::AsyncServiceStub::SwitchOn(
    const std::string& vm, const std::shared_ptr<const SwitchOnSpec>& spec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const SwitchOnMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<SwitchOnMethod>(apiStub_, activation, result, vm, spec);
}

void PowerSvc::AsyncServiceStub::SwitchOff(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const SwitchOffMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<SwitchOffMethod>(apiStub_, activation, result, vm);
}

void PowerSvc::AsyncServiceStub::Reset(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ResetMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ResetMethod>(apiStub_, activation, result, vm);
}

void PowerSvc::AsyncServiceStub::Suspend(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const SuspendMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<SuspendMethod>(apiStub_, activation, result, vm);
}

}  // namespace Com::Brantel::Kov::Vm
