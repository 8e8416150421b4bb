// Generated from schema/modules/log_level.toml by codegen/generate.py. Do not edit.
#include "vm/modules/log_level.h"

namespace Com::Brantel::Kov::Vm::Modules {

LogLevelSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
LogLevelSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<SetMethod>(&AsyncServiceInterface::Set),
      MakeSlot<DeleteMethod>(&AsyncServiceInterface::Delete));
}

void LogLevelSvc::AsyncServiceStub::Set(
    const std::string& vm, const std::string& module, const std::shared_ptr<const SetSpec>& spec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const SetMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<SetMethod>(apiStub_, activation, result, vm, module, spec);
}

void LogLevelSvc::AsyncServiceStub::Delete(
    const std::string& vm, const std::string& module,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const DeleteMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<DeleteMethod>(apiStub_, activation, result, vm, module);
}

}  // namespace Com::Brantel::Kov::Vm::Modules
