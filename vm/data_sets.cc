// Generated from schema/data_sets.toml by codegen/generate.py. Do not edit.
#include "vm/data_sets.h"

namespace Com::Brantel::Kov::Vm {

DataSetsSvc::AsyncServiceInterface::~AsyncServiceInterface() = default;

std::shared_ptr<::Tarn::Provider::AsyncApiInterface>
DataSetsSvc::AsyncServiceBinderHelper::Bind(
    const std::shared_ptr<AsyncServiceInterface>& implementation,
    const std::shared_ptr<::Tarn::L10n::Localizer>& localizer) {
  using ::Tarn::Provider::MakeSlot;
  return ::Tarn::Provider::BindInterface(
      implementation, localizer, MakeSlot<CreateMethod>(&AsyncServiceInterface::Create),
      MakeSlot<DeleteMethod>(&AsyncServiceInterface::Delete),
      MakeSlot<GetMethod>(&AsyncServiceInterface::Get),
      MakeSlot<UpdateMethod>(&AsyncServiceInterface::Update),
      MakeSlot<ListMethod>(&AsyncServiceInterface::List));
}

void DataSetsSvc::AsyncServiceStub::Create(
    const std::string& vm, const std::shared_ptr<const CreateSpec>& spec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const CreateMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<CreateMethod>(apiStub_, activation, result, vm, spec);
}

void DataSetsSvc::AsyncServiceStub::Delete(
    const std::string& vm, const std::string& dataSet, const boost::optional<bool>& force,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const DeleteMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<DeleteMethod>(apiStub_, activation, result, vm, dataSet, force);
}

void DataSetsSvc::AsyncServiceStub::Get(
    const std::string& vm, const std::string& dataSet,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const GetMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<GetMethod>(apiStub_, activation, result, vm, dataSet);
}

void DataSetsSvc::AsyncServiceStub::Update(
    const std::string& vm, const std::string& dataSet,
    const std::shared_ptr<const UpdateSpec>& spec,
    const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const UpdateMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<UpdateMethod>(apiStub_, activation, result, vm, dataSet, spec);
}

void DataSetsSvc::AsyncServiceStub::List(
    const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
    const ListMethod::ResultCbType& result) {
  ::Tarn::Stub::Call<ListMethod>(apiStub_, activation, result, vm);
}

}  // namespace Com::Brantel::Kov::Vm
