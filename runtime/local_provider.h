// An in-process invocation target: bound interface objects are registered here, and a call is
// routed by its method identifier to the method object's Invoke.
#pragma once

#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "runtime/export.h"
#include "runtime/provider.h"
#include "runtime/stub.h"

namespace Tarn {
namespace Core {

class KOV_EXPORT LocalProvider final : public InvocationTarget {
 public:
  static std::shared_ptr<LocalProvider> GetInstance();

  // Registers a bound interface under its identifier's name. Registering a name twice, or a null
  // interface, is refused: false, with a message saying why.
  bool Register(std::shared_ptr<const Provider::AsyncApiInterface> iface, MessageList& messages);
  // Removes an interface; false when none was registered under that name.
  bool Unregister(const std::string& name);

  std::shared_ptr<const Provider::AsyncApiInterface> Find(const std::string& name) const;
  // Every registered interface, ordered by name.
  std::vector<std::shared_ptr<const Provider::AsyncApiInterface>> Interfaces() const;

  // Routes the call. An unknown interface or method is answered at once with a not-found error
  // naming what was missing; a call without an activation gets a fresh one.
  void Invoke(const std::shared_ptr<const MethodIdentifier>& methodId,
              const Data::DataValuePtr& input, const std::shared_ptr<AsyncActivation>& activation,
              const AsyncApiResultCb& resultCb) override;

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::string, std::shared_ptr<const Provider::AsyncApiInterface>, std::less<>>
      interfaces_;
};

}  // namespace Core
}  // namespace Tarn
