#include "runtime/method.h"

namespace Tarn {
namespace Core {

std::shared_ptr<const InterfaceIdentifier> InterfaceIdentifier::GetInstance(std::string name) {
  return std::make_shared<const InterfaceIdentifier>(std::move(name));
}

std::shared_ptr<const MethodIdentifier> MethodIdentifier::GetInstance(
    std::shared_ptr<const InterfaceIdentifier> interfaceId, std::string name) {
  return std::make_shared<const MethodIdentifier>(std::move(interfaceId), std::move(name));
}

MethodResult::~MethodResult() = default;

std::shared_ptr<const MethodResult> MethodResult::GetTerminationInstance() {
  return std::make_shared<const MethodResult>(nullptr, nullptr);
}

}  // namespace Core
}  // namespace Tarn
