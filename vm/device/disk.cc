// Generated from schema/device/disk.toml by codegen/generate.py. Do not edit.
#include "vm/device/disk.h"

namespace Com::Brantel::Kov::Vm::Device {

DiskSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
DiskSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<AddMethod>(&AsyncServiceInterface::Add),
      MakeSlot<ListMethod>(&AsyncServiceInterface::List));
}

void DiskSvc::AsyncServiceStub::Add(
    const std::shared_ptr<const AddSpec>& spec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const AddMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<AddMethod>(apiStub_, activation, result, spec);
}

void DiskSvc::AsyncServiceStub::List(
    const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ListMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ListMethod>(apiStub_, activation, result, vm, filter);
}

}  // namespace Com::Brantel::Kov::Vm::Device
