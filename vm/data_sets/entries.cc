// Generated from schema/data_sets/entries.toml by codegen/generate.py. Do not edit.
#include "vm/data_sets/entries.h"

namespace Com::Brantel::Kov::Vm::DataSets {

EntriesSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
EntriesSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<SetMethod>(&AsyncServiceInterface::Set),
      MakeSlot<GetMethod>(&AsyncServiceInterface::Get),
      MakeSlot<DeleteMethod>(&AsyncServiceInterface::Delete),
      MakeSlot<ListMethod>(&AsyncServiceInterface::List));
}

void EntriesSvc::AsyncServiceStub::Set(
    const std::string& vm, const std::string& dataSet, const std::string& key,
    const std::string& value, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const SetMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<SetMethod>(apiStub_, activation, result, vm, dataSet, key, value);
}

void EntriesSvc::AsyncServiceStub::Get(
    const std::string& vm, const std::string& dataSet, const std::string& key,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const GetMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<GetMethod>(apiStub_, activation, result, vm, dataSet, key);
}

void EntriesSvc::AsyncServiceStub::Delete(
    const std::string& vm, const std::string& dataSet, const std::string& key,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const DeleteMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<DeleteMethod>(apiStub_, activation, result, vm, dataSet, key);
}

void EntriesSvc::AsyncServiceStub::List(
    const std::string& vm, const std::string& dataSet,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ListMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ListMethod>(apiStub_, activation, result, vm, dataSet);
}

}  // namespace Com::Brantel::Kov::Vm::DataSets
