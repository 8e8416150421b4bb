#include "tools/sim/simulator.h"

#include "tools/sim/services.h"

namespace Kov {
namespace Sim {

Simulator::Simulator(std::shared_ptr<Lab> lab)
    : lab_(lab ? std::move(lab) : std::make_shared<Lab>()) {}

std::vector<std::shared_ptr<const Tarn::Provider::AsyncApiInterface>> Simulator::Bind() const {
  return {BindPower(lab_),          BindZub(lab_),      BindCpus(lab_),    BindMemory(lab_),
          BindCdrom(lab_),          BindDisk(lab_),     BindNetwork(lab_), BindSataController(lab_),
          BindScsiController(lab_), BindDataSets(lab_), BindEntries(lab_), BindDock(lab_),
          BindLogLevel(lab_)};
}

bool Simulator::RegisterWith(Tarn::Core::LocalProvider& provider,
                             Tarn::MessageList& messages) const {
  for (auto& iface : Bind()) {
    if (!provider.Register(iface, messages)) return false;
  }
  return true;
}

void CountingTarget::Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>& methodId,
                            const Tarn::Data::DataValuePtr& input,
                            const std::shared_ptr<Tarn::Core::AsyncActivation>& activation,
                            const Tarn::Core::AsyncApiResultCb& resultCb) {
  if (methodId && methodId->interfaceId()) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[methodId->interfaceId()->name() + "/" + methodId->name()];
  }
  next_->Invoke(methodId, input, activation, resultCb);
}

std::map<std::string, int> CountingTarget::Counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

}  // namespace Sim
}  // namespace Kov
