// The client side of the runtime: the object a stub hands its invocations to, and the target
// that carries them to a provider.
#pragma once

#include <memory>

#include "runtime/activation.h"
#include "runtime/data_value.h"
#include "runtime/export.h"
#include "runtime/method.h"

namespace Tarn {
namespace Core {

// Carries an invocation to a provider and answers through the callback, at once or later, on
// any thread, once per answer.
class KOV_EXPORT InvocationTarget {
 public:
  virtual ~InvocationTarget();
  virtual void Invoke(const std::shared_ptr<const MethodIdentifier>& methodId,
                      const Data::DataValuePtr& input,
                      const std::shared_ptr<AsyncActivation>& activation,
                      const AsyncApiResultCb& resultCb) = 0;
};

}  // namespace Core

namespace Stub {

class KOV_EXPORT AsyncApiStub {
 public:
  // `target` must not be null; a null `defaultActivation` is replaced by a fresh one.
  static std::shared_ptr<AsyncApiStub> GetInstance(
      std::shared_ptr<Core::InvocationTarget> target,
      std::shared_ptr<Core::AsyncActivation> defaultActivation = nullptr);
  AsyncApiStub(std::shared_ptr<Core::InvocationTarget> target,
               std::shared_ptr<Core::AsyncActivation> defaultActivation);

  // Invokes through the target. A null activation is replaced by a duplicate of the default one.
  void Invoke(const std::shared_ptr<const Core::MethodIdentifier>& methodId,
              const Data::DataValuePtr& input,
              const std::shared_ptr<Core::AsyncActivation>& activation,
              const Core::AsyncApiResultCb& resultCb) const;

  const std::shared_ptr<Core::InvocationTarget>& target() const { return target_; }
  const std::shared_ptr<Core::AsyncActivation>& defaultActivation() const {
    return defaultActivation_;
  }

 private:
  std::shared_ptr<Core::InvocationTarget> target_;
  std::shared_ptr<Core::AsyncActivation> defaultActivation_;
};

}  // namespace Stub
}  // namespace Tarn
