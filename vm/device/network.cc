// Generated from schema/device/network.toml by codegen/generate.py. Do not edit.
#include "vm/device/network.h"

namespace Com::Brantel::Kov::Vm::Device {

NetworkSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
NetworkSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<AddMethod>(&AsyncServiceInterface::Add),
      MakeSlot<ListMethod>(&AsyncServiceInterface::List),
      MakeSlot<RemoveMethod>(&AsyncServiceInterface::Remove));
}

void NetworkSvc::AsyncServiceStub::Add(
    const std::shared_ptr<const AddSpec>& spec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const AddMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<AddMethod>(apiStub_, activation, result, spec);
}

void NetworkSvc::AsyncServiceStub::List(
    const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ListMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ListMethod>(apiStub_, activation, result, vm, filter);
}

void NetworkSvc::AsyncServiceStub::Remove(
    const std::string& vm, const std::string& device,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const RemoveMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<RemoveMethod>(apiStub_, activation, result, vm, device);
}

}  // namespace Com::Brantel::Kov::Vm::Device
