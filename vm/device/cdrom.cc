// Generated from schema/device/cdrom.toml by codegen/generate.py. Do not edit.
#include "vm/device/cdrom.h"

namespace Com::Brantel::Kov::Vm::Device {

CdromSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
CdromSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<AddMethod>(&AsyncServiceInterface::Add),
      MakeSlot<ListMethod>(&AsyncServiceInterface::List),
      MakeSlot<DeleteMethod>(&AsyncServiceInterface::Delete));
}

void CdromSvc::AsyncServiceStub::Add(
    const std::string& vm, const std::shared_ptr<const BackingInfo>& backing,
    const std::string& device, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const AddMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<AddMethod>(apiStub_, activation, result, vm, backing, device);
}

void CdromSvc::AsyncServiceStub::List(
    const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ListMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ListMethod>(apiStub_, activation, result, vm, filter);
}

void CdromSvc::AsyncServiceStub::Delete(
    const std::string& vm, const std::string& device,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const DeleteMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<DeleteMethod>(apiStub_, activation, result, vm, device);
}

}  // namespace Com::Brantel::Kov::Vm::Device
