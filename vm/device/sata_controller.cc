// Generated from schema/device/sata_controller.toml by codegen/generate.py. Do not edit.
#include "vm/device/sata_controller.h"

namespace Com::Brantel::Kov::Vm::Device {

SataControllerSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
SataControllerSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<AddMethod>(&AsyncServiceInterface::Add),
      MakeSlot<UpdateMethod>(&AsyncServiceInterface::Update),
      MakeSlot<DeleteMethod>(&AsyncServiceInterface::Delete),
      MakeSlot<ListMethod>(&AsyncServiceInterface::List));
}

void SataControllerSvc::AsyncServiceStub::Add(
    const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const AddMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<AddMethod>(apiStub_, activation, result, vm, hbaType, controllerNumber);
}

void SataControllerSvc::AsyncServiceStub::Update(
    const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const UpdateMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<UpdateMethod>(apiStub_, activation, result, vm, hbaType, controllerNumber);
}

void SataControllerSvc::AsyncServiceStub::Delete(
    const std::string& vm, const std::int64_t& controllerNumber,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const DeleteMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<DeleteMethod>(apiStub_, activation, result, vm, controllerNumber);
}

void SataControllerSvc::AsyncServiceStub::List(
    const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ListMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ListMethod>(apiStub_, activation, result, vm, filter);
}

}  // namespace Com::Brantel::Kov::Vm::Device
