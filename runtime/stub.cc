#include "runtime/stub.h"

namespace Tarn {
namespace Core {
InvocationTarget::~InvocationTarget() = default;
}  // namespace Core

namespace Stub {

std::shared_ptr<AsyncApiStub> AsyncApiStub::GetInstance(
    std::shared_ptr<Core::InvocationTarget> target,
    std::shared_ptr<Core::AsyncActivation> defaultActivation) {
  return std::make_shared<AsyncApiStub>(std::move(target), std::move(defaultActivation));
}

AsyncApiStub::AsyncApiStub(std::shared_ptr<Core::InvocationTarget> target,
                           std::shared_ptr<Core::AsyncActivation> defaultActivation)
    : target_(std::move(target)),
      defaultActivation_(defaultActivation ? std::move(defaultActivation)
                                           : Core::AsyncActivation::GetInstance()) {}

void AsyncApiStub::Invoke(const std::shared_ptr<const Core::MethodIdentifier>& methodId,
                          const Data::DataValuePtr& input,
                          const std::shared_ptr<Core::AsyncActivation>& activation,
                          const Core::AsyncApiResultCb& resultCb) const {
  if (activation) {
    target_->Invoke(methodId, input, activation, resultCb);
  } else {
    target_->Invoke(methodId, input, defaultActivation_->Dup(), resultCb);
  }
}

}  // namespace Stub
}  // namespace Tarn
