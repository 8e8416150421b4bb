// Generated from schema/device/scsi_controller.toml by codegen/generate.py. Do not edit.
#include "vm/device/scsi_controller.h"

namespace Com::Brantel::Kov::Vm::Device {

ScsiControllerSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
ScsiControllerSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<AddMethod>(&AsyncServiceInterface::Add));
}

void ScsiControllerSvc::AsyncServiceStub::Add(
    const std::string& vmId, const HbaType& hbaType, const std::int64_t& controllerNumber,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const AddMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<AddMethod>(apiStub_, activation, result, vmId, hbaType, controllerNumber);
}

}  // namespace Com::Brantel::Kov::Vm::Device
