#include "runtime/local_provider.h"

#include <mutex>

#include "runtime/std_errors.h"

namespace Tarn {
namespace Core {

namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

std::shared_ptr<LocalProvider> LocalProvider::GetInstance() {
  return std::make_shared<LocalProvider>();
}

bool LocalProvider::Register(std::shared_ptr<const Provider::AsyncApiInterface> iface,
                             MessageList& messages) {
  if (!iface || !iface->identifier()) {
    messages.push_back(Message<CoreTag>("tarn.provider.interface.not.found", "(null)"));
    return false;
  }
  const std::string& name = iface->identifier()->name();
  std::unique_lock<std::shared_mutex> lock(mutex_);
  if (!interfaces_.emplace(name, std::move(iface)).second) {
    messages.push_back(Message<CoreTag>("tarn.provider.interface.already.registered", name));
    return false;
  }
  return true;
}

bool LocalProvider::Unregister(const std::string& name) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  return interfaces_.erase(name) != 0;
}

std::shared_ptr<const Provider::AsyncApiInterface> LocalProvider::Find(
    const std::string& name) const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  auto it = interfaces_.find(name);
  return it == interfaces_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<const Provider::AsyncApiInterface>> LocalProvider::Interfaces() const {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  std::vector<std::shared_ptr<const Provider::AsyncApiInterface>> out;
  out.reserve(interfaces_.size());
  for (auto& entry : interfaces_) out.push_back(entry.second);
  return out;
}

void LocalProvider::Invoke(const std::shared_ptr<const MethodIdentifier>& methodId,
                           const Data::DataValuePtr& input,
                           const std::shared_ptr<AsyncActivation>& activation,
                           const AsyncApiResultCb& resultCb) {
  auto notFound = [&](BaseMessage message) {
    resultCb(std::make_shared<const MethodResult>(nullptr,
                                                  Errors::NotFound::Create({std::move(message)})),
             Progress{});
  };
  if (!methodId || !methodId->interfaceId()) {
    notFound(Message<CoreTag>("tarn.provider.interface.not.found", "(null)"));
    return;
  }
  const std::string& ifaceName = methodId->interfaceId()->name();
  auto iface = Find(ifaceName);
  if (!iface) {
    notFound(Message<CoreTag>("tarn.provider.interface.not.found", ifaceName));
    return;
  }
  auto method = iface->FindMethod(methodId->name());
  if (!method) {
    notFound(Message<CoreTag>("tarn.provider.method.not.found", ifaceName, methodId->name()));
    return;
  }
  method->Invoke(input, activation ? activation : AsyncActivation::GetInstance(), resultCb);
}

}  // namespace Core
}  // namespace Tarn
