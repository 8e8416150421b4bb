// The data-set entries service of the simulated host. Calls come from the host's side, so the
// data set's host access level governs them: reading (get, list) needs READ_ONLY or READ_WRITE,
// writing (set, delete) needs READ_WRITE; otherwise Unauthorized. The guest level is kept with the
// data set but has no caller here.
//
// - set: creates or replaces an entry. NotFound for an unknown machine or data set; an empty key
//   is InvalidArgument; an entry that would take the data set past 1 MiB of keys and values is
//   UnableToAllocateResource.
// - get: NotFound for an unknown machine, data set or key.
// - delete: NotFound for an unknown machine, data set or key.
// - list: the keys in ascending order.
// Access is checked before the key is looked up, so a caller without access learns nothing of the
// keys.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/data_sets/entries.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::DataSets::EntriesSvc;

enum class Need { kRead, kWrite };

// Finds the data set and checks the host's access to it: the data set, or the error to answer.
Outcome<DataSet*> Open(LabData& lab, const std::string& vm, const std::string& dataSet, Need need) {
  Machine* m = FindMachine(lab, vm);
  if (!m) return MachineNotFound(vm);
  for (auto& d : m->dataSets) {
    if (d.id != dataSet) continue;
    const bool allowed = need == Need::kWrite ? d.host == "READ_WRITE" : d.host != "NONE";
    if (!allowed) {
      return Fail<StdErrors::Unauthorized>(
          "kov.sim.data.set.access.denied",
          "The host has {} access to data set \"{}\"; {} its entries needs {}.", d.host, dataSet,
          need == Need::kWrite ? "changing" : "reading",
          need == Need::kWrite ? "READ_WRITE" : "READ_ONLY or READ_WRITE");
    }
    return &d;
  }
  return Fail<StdErrors::NotFound>("kov.sim.data.set.not.found",
                                   "Virtual machine \"{}\" has no data set \"{}\".", vm, dataSet);
}

Tarn::Data::ErrorValuePtr KeyNotFound(const std::string& dataSet, const std::string& key) {
  return Fail<StdErrors::NotFound>("kov.sim.entry.not.found",
                                   "Data set \"{}\" has no entry \"{}\".", dataSet, key);
}

class Entries final : public EntriesSvc::AsyncServiceInterface {
 public:
  explicit Entries(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Set(const std::string& vm, const std::string& dataSet, const std::string& key,
           const std::string& value, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const EntriesSvc::SetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      auto open = Open(lab, vm, dataSet, Need::kWrite);
      if (open.error) return open.error;
      DataSet& d = **open.value;
      if (key.empty()) {
        return Fail<StdErrors::InvalidArgument>("kov.sim.entry.key.empty",
                                                "An entry needs a non-empty key.");
      }
      auto it = d.entries.find(key);
      const std::int64_t before =
          it == d.entries.end() ? 0 : static_cast<std::int64_t>(key.size() + it->second.size());
      const std::int64_t after =
          UsedBytes(d) - before + static_cast<std::int64_t>(key.size() + value.size());
      if (after > static_cast<std::int64_t>(Limits::kMaxDataSetBytes)) {
        return Fail<StdErrors::UnableToAllocateResource>(
            "kov.sim.data.set.full",
            "Data set \"{}\" would hold {} bytes, more than the {} it can hold.", dataSet, after,
            static_cast<std::int64_t>(Limits::kMaxDataSetBytes));
      }
      d.entries[key] = value;
      return Tarn::Void();
    });
  }

  void Get(const std::string& vm, const std::string& dataSet, const std::string& key,
           const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const EntriesSvc::GetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::string> {
      auto open = Open(lab, vm, dataSet, Need::kRead);
      if (open.error) return open.error;
      DataSet& d = **open.value;
      auto it = d.entries.find(key);
      if (it == d.entries.end()) return KeyNotFound(dataSet, key);
      return it->second;
    });
  }

  void Delete(const std::string& vm, const std::string& dataSet, const std::string& key,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const EntriesSvc::DeleteMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      auto open = Open(lab, vm, dataSet, Need::kWrite);
      if (open.error) return open.error;
      if ((*open.value)->entries.erase(key) == 0) return KeyNotFound(dataSet, key);
      return Tarn::Void();
    });
  }

  void List(const std::string& vm, const std::string& dataSet,
            const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const EntriesSvc::ListMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::set<std::string>> {
      auto open = Open(lab, vm, dataSet, Need::kRead);
      if (open.error) return open.error;
      std::set<std::string> keys;
      for (auto& e : (*open.value)->entries) keys.insert(keys.end(), e.first);
      return keys;
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindEntries(const std::shared_ptr<Lab>& lab) {
  return EntriesSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Entries>(lab));
}

}  // namespace Sim
}  // namespace Kov
