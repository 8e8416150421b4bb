#include "binding/provider.h"

namespace Tarn {
namespace Provider {

namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

std::shared_ptr<AsyncApiMethodSignal> AsyncApiMethodSignal::GetInstance(
    std::string name, Data::DataDefinitionPtr inputDefinition,
    Data::DataDefinitionPtr outputDefinition, DataDefinitionList errorDefinitions,
    std::shared_ptr<L10n::Localizer> localizer) {
  return GetInstance(std::move(name), std::move(inputDefinition), std::move(outputDefinition),
                     std::move(errorDefinitions), std::move(localizer), Handler());
}

std::shared_ptr<AsyncApiMethodSignal> AsyncApiMethodSignal::GetInstance(
    std::string name, Data::DataDefinitionPtr inputDefinition,
    Data::DataDefinitionPtr outputDefinition, DataDefinitionList errorDefinitions,
    std::shared_ptr<L10n::Localizer> localizer, Handler handler, bool readsOnly) {
  return std::make_shared<AsyncApiMethodSignal>(
      Token(), std::move(name), std::move(inputDefinition), std::move(outputDefinition),
      std::move(errorDefinitions), std::move(localizer), std::move(handler), readsOnly);
}

AsyncApiMethodSignal::AsyncApiMethodSignal(Token, std::string name,
                                           Data::DataDefinitionPtr inputDefinition,
                                           Data::DataDefinitionPtr outputDefinition,
                                           DataDefinitionList errorDefinitions,
                                           std::shared_ptr<L10n::Localizer> localizer,
                                           Handler handler, bool readsOnly)
    : name_(std::move(name)),
      inputDefinition_(std::move(inputDefinition)),
      outputDefinition_(std::move(outputDefinition)),
      errorDefinitions_(std::move(errorDefinitions)),
      handler_(std::move(handler)),
      localizer_(std::move(localizer)),
      readsOnly_(readsOnly) {}

std::shared_ptr<const Core::MethodDefinition> AsyncApiMethodSignal::definition(
    const std::shared_ptr<const Core::InterfaceIdentifier>& interfaceId) const {
  return std::make_shared<const Core::MethodDefinition>(
      Core::MethodIdentifier::GetInstance(interfaceId, name_), inputDefinition_, outputDefinition_);
}

void AsyncApiMethodSignal::Invoke(const Data::DataValuePtr& input,
                                  const std::shared_ptr<Core::AsyncActivation>& activation,
                                  const Core::AsyncApiResultCb& resultCb) const {
  const Progress final{0, 1, 1};
  if (!handler_) {
    MessageList messages{Message<CoreTag>("tarn.provider.method.signal.not.connected")};
    resultCb(
        std::make_shared<const Core::MethodResult>(
            nullptr, Data::ErrorValue::Create(Errors::InternalServerError::typeName, messages)),
        final);
    return;
  }
  Core::MethodResultPtr rejected;
  if (!ApiMethodHelper::ValidateInput(name_, inputDefinition_, input, rejected)) {
    resultCb(rejected, final);
    return;
  }
  // The activation is tested first: the bound localizer is shared by every invocation on every
  // thread, and its flag matters only when the activation brings a localizer of its own.
  if (localizer_ && !(activation->localizer && localizer_->keepActivationLocalizer)) {
    activation->localizer = localizer_;
  }
  // The wrapper keeps the method object alive until the answer comes.
  std::shared_ptr<const AsyncApiMethod> self = shared_from_this();
  AsyncApiMethod::ResultCb callback(ValidateResultWrapper(std::move(self), resultCb));
  handler_(input, activation, callback);
}

Core::AsyncApiResultCb AsyncApiMethodSignal::ValidateResultWrapper::TakeCallback() {
  Core::AsyncApiResultCb taken = std::move(callback_);
  callback_ = Core::AsyncApiResultCb(IgnoreAnswer());
  return taken;
}

void AsyncApiMethodSignal::ValidateResultWrapper::operator()(
    const boost::optional<Data::DataValuePtr>& output, const Data::ErrorValuePtr& error,
    const Progress& progress, AsyncApiMethod::ResultCb::Continuation&& next) {
  if (error) {
    auto result =
        ApiMethodHelper::ValidateError(method_->methodName(), method_->errorDefinitions(), error);
    TakeCallback()(result, progress);
    return;
  }
  if (output) {
    auto result = ApiMethodHelper::ValidateOutput(method_->methodName(),
                                                  method_->outputDefinition(), *output);
    Core::AsyncApiResultCb::Continuation continuation;
    if (next) {
      continuation = [next = std::move(next),
                      method = method_](std::shared_ptr<Core::AsyncApiResultCb> cb) {
        if (!cb) {
          next(nullptr);
          return;
        }
        next(std::make_shared<AsyncApiMethod::ResultCb>(ValidateResultWrapper(method, *cb)));
      };
    }
    TakeCallback()(result, progress, std::move(continuation));
    return;
  }
  if (!progress.IsFinal()) {
    callback_(nullptr, progress);  // an intermediate report: the callback stays for what follows
    return;
  }
  TakeCallback()(Core::MethodResult::GetTerminationInstance(), progress);
}

}  // namespace Provider
}  // namespace Tarn
