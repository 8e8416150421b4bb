// Generated from schema/compute/cpus.toml by codegen/generate.py. Do not edit.
#include "vm/compute/cpus.h"

namespace Com::Brantel::Kov::Vm::Compute {

CpusSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
CpusSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<GetMethod>(&AsyncServiceInterface::Get),
      MakeSlot<UpdateMethod>(&AsyncServiceInterface::Update));
}

void CpusSvc::AsyncServiceStub::Get(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const GetMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<GetMethod>(apiStub_, activation, result, vm);
}

void CpusSvc::AsyncServiceStub::Update(
    const std::string& vm, const std::shared_ptr<const UpdateSpec>& updateSpec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const UpdateMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<UpdateMethod>(apiStub_, activation, result, vm, updateSpec);
}

}  // namespace Com::Brantel::Kov::Vm::Compute
