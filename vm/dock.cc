// Generated from schema/dock.toml by codegen/generate.py. Do not edit.
#include "vm/dock.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {

DockSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface> DockSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(implementation, localizer,
                                         MakeSlot<LoadMethod>(&AsyncServiceInterface::Load),
                                         MakeSlot<ListMethod>(&AsyncServiceInterface::List));
}

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
DockSvc::AsyncServiceBinder::BindImplementation(
    const std::shared_ptr<AsyncServiceInterface>& implementation) {
  return AsyncServiceBinderHelper::Bind(implementation,
                                        std::make_shared<::Tarn::L10n::Localizer>());
}

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
DockSvc::AsyncServiceBinder::BindImplementation(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  return AsyncServiceBinderHelper::Bind(implementation, localizer);
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

}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
