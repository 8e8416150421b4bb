// Generated from schema/zub.toml by codegen/generate.py. Do not edit.
#include "vm/zub.h"

namespace Com::Brantel::Kov::Vm {

ZubSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
ZubSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<CreateMethod>(&AsyncServiceInterface::Create),
      MakeSlot<DeleteMethod>(&AsyncServiceInterface::Delete));
}

void ZubSvc::AsyncServiceStub::Create(
    const std::shared_ptr<const CreateSpec>& spec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const CreateMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<CreateMethod>(apiStub_, activation, result, spec);
}

void ZubSvc::AsyncServiceStub::Delete(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const DeleteMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<DeleteMethod>(apiStub_, activation, result, vm);
}

}  // namespace Com::Brantel::Kov::Vm
