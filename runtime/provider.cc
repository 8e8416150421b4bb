#include "runtime/provider.h"

#include "runtime/std_errors.h"

namespace Tarn {
namespace Provider {

namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

AsyncApiMethod::~AsyncApiMethod() = default;

std::shared_ptr<AsyncApiInterface> AsyncApiInterface::GetInstance(
    std::shared_ptr<const Core::InterfaceIdentifier> id, std::vector<AsyncApiMethodPtr> methods) {
  return std::make_shared<AsyncApiInterface>(std::move(id), std::move(methods));
}

AsyncApiMethodPtr AsyncApiInterface::FindMethod(const std::string& name) const {
  for (auto& m : methods_) {
    if (m && m->methodName() == name) return m;
  }
  return nullptr;
}

bool ApiMethodHelper::ValidateInput(const std::string&, const Data::DataDefinitionPtr& inputDef,
                                    const Data::DataValuePtr& input,
                                    Core::MethodResultPtr& result) {
  MessageList messages;
  if (inputDef && inputDef->Validate(input, messages)) return true;
  if (!inputDef) messages.push_back(Message<CoreTag>("tarn.data.invalid.type"));
  result = std::make_shared<const Core::MethodResult>(nullptr, GetInvalidArgumentError(messages));
  return false;
}

Core::MethodResultPtr ApiMethodHelper::ValidateOutput(const std::string& methodName,
                                                      const Data::DataDefinitionPtr& outputDef,
                                                      const Data::DataValuePtr& output) {
  MessageList messages;
  if (outputDef && outputDef->Validate(output, messages)) {
    return std::make_shared<const Core::MethodResult>(output, nullptr);
  }
  messages.insert(messages.begin(), Message<CoreTag>("tarn.provider.output.invalid", methodName));
  return std::make_shared<const Core::MethodResult>(nullptr,
                                                    Errors::InternalServerError::Create(messages));
}

Core::MethodResultPtr ApiMethodHelper::ValidateError(const std::string& methodName,
                                                     const DataDefinitionList& errorDefs,
                                                     const Data::ErrorValuePtr& error) {
  auto pass = [&] { return std::make_shared<const Core::MethodResult>(nullptr, error); };
  if (!error) {
    return std::make_shared<const Core::MethodResult>(
        nullptr, Errors::InternalServerError::Create(
                     {Message<CoreTag>("tarn.provider.error.undeclared", methodName, "null")}));
  }
  const std::string& name = error->name();
  if (name == Errors::InvalidArgument::typeName || name == Errors::InternalServerError::typeName) {
    return pass();
  }
  for (auto& def : errorDefs) {
    if (!def || def->GetType() != Data::DataType::ERROR) continue;
    auto* errorDef = static_cast<const Data::StructDefinition*>(def.get());
    if (errorDef->name() != name) continue;
    MessageList scratch;
    if (def->Validate(error, scratch)) return pass();
  }
  return std::make_shared<const Core::MethodResult>(
      nullptr, Errors::InternalServerError::Create(
                   {Message<CoreTag>("tarn.provider.error.undeclared", methodName, name)}));
}

Data::ErrorValuePtr ApiMethodHelper::GetInvalidArgumentError(const MessageList& messages) {
  return Errors::InvalidArgument::Create(messages);
}

}  // namespace Provider

namespace Data {

ErrorValuePtr NativeErrorHelper::GetError(const ErrorValuePtr& error,
                                          const boost::optional<NativeError>& nativeError,
                                          const L10n::RequestLocalizer&) {
  // Texts are kept in their default language: the local runtime has no other catalogue.
  if (error) return error;
  if (nativeError) return ErrorValue::Create(nativeError->errorType, nativeError->messages);
  return nullptr;
}

}  // namespace Data
}  // namespace Tarn
