// Generated from schema/dock.toml by codegen/generate.py. Do not edit.
#include "vm/dock.h"

namespace Com::Brantel::Kov::Vm {

DockSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
DockSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<LoadMethod>(&AsyncServiceInterface::Load),
      MakeSlot<ListMethod>(&AsyncServiceInterface::List));
}

void DockSvc::AsyncServiceStub::Load(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const LoadMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<LoadMethod>(apiStub_, activation, result, vm);
}

void DockSvc::AsyncServiceStub::List(
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ListMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ListMethod>(apiStub_, activation, result);
}

}  // namespace Com::Brantel::Kov::Vm
