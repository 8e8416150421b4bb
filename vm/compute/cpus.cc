// Generated from schema/compute/cpus.toml by codegen/generate.py. Do not edit.
#include "vm/compute/cpus.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Compute {

CpusSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface> CpusSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(implementation, localizer,
                                         MakeSlot<GetMethod>(&AsyncServiceInterface::Get),
                                         MakeSlot<UpdateMethod>(&AsyncServiceInterface::Update));
}

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
CpusSvc::AsyncServiceBinder::BindImplementation(
    const std::shared_ptr<AsyncServiceInterface>& implementation) {
  return AsyncServiceBinderHelper::Bind(implementation,
                                        std::make_shared<::Tarn::L10n::Localizer>());
}

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
CpusSvc::AsyncServiceBinder::BindImplementation(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  return AsyncServiceBinderHelper::Bind(implementation, localizer);
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

}  // namespace Compute
}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
