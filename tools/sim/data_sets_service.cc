// The data sets service of the simulated host. Data sets get identifiers from the host ("ds-1",
// "ds-2", ...; never reused within a machine); names are unique within a machine.
//
// - create: NotFound for an unknown machine; an empty name, or an access level outside NONE,
//   READ_ONLY and READ_WRITE, is InvalidArgument; a name in use is AlreadyExists; a 65th data set
//   is UnableToAllocateResource. Answers with the new identifier.
// - delete: NotFound for an unknown machine or data set; a data set that still holds entries is
//   ResourceInUse unless "force" is true.
// - get: the data set's settings, with "used" the bytes its keys and values take.
// - update: changes the members given; InvalidArgument for an access level outside the table.
// - list: the data sets in creation order.
#include <algorithm>

#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/data_sets.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::DataSetsSvc;

DataSet* FindDataSet(Machine& m, const std::string& id) {
  for (auto& d : m.dataSets) {
    if (d.id == id) return &d;
  }
  return nullptr;
}

Tarn::Data::ErrorValuePtr DataSetNotFound(const std::string& vm, const std::string& id) {
  return Fail<StdErrors::NotFound>("kov.sim.data.set.not.found",
                                   "Virtual machine \"{}\" has no data set \"{}\".", vm, id);
}

// The text of an access level, or an InvalidArgument error when it is outside the table.
Tarn::Data::ErrorValuePtr CheckAccess(const DataSetsSvc::Access& access, const char* who,
                                      std::string& text) {
  text = Tarn::EnumToText(access);
  if (Texts::Contains(Texts::Access(), text)) return nullptr;
  return Fail<StdErrors::InvalidArgument>("kov.sim.data.set.access.unknown",
                                          "\"{}\" is not an access level for the {}; use {}.", text,
                                          who, Texts::Join(Texts::Access()));
}

class DataSets final : public DataSetsSvc::AsyncServiceInterface {
 public:
  explicit DataSets(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Create(const std::string& vm, const std::shared_ptr<const DataSetsSvc::CreateSpec>& spec,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const DataSetsSvc::CreateMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::string> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (!spec) return NoSpec<StdErrors::InvalidArgument>();
      DataSet d;
      d.name = spec->name;
      d.description = spec->description;
      d.omitFromSnapshotAndClone = spec->omitFromSnapshotAndClone.value_or(false);
      if (d.name.empty()) {
        return Fail<StdErrors::InvalidArgument>("kov.sim.data.set.name.empty",
                                                "A data set needs a non-empty name.");
      }
      if (auto e = CheckAccess(spec->host, "host", d.host)) return e;
      if (auto e = CheckAccess(spec->guest, "guest", d.guest)) return e;
      if (std::any_of(m->dataSets.begin(), m->dataSets.end(),
                      [&](const DataSet& x) { return x.name == d.name; })) {
        return Fail<StdErrors::AlreadyExists>(
            "kov.sim.data.set.exists",
            "Virtual machine \"{}\" already has a data set named \"{}\".", vm, d.name);
      }
      if (m->dataSets.size() >= Limits::kMaxDataSets) {
        return Fail<StdErrors::UnableToAllocateResource>(
            "kov.sim.data.set.limit",
            "Virtual machine \"{}\" already has {} data sets, the most it can hold.", vm,
            static_cast<std::int64_t>(Limits::kMaxDataSets));
      }
      do {
        d.id = "ds-" + std::to_string(m->nextDataSet++);
      } while (FindDataSet(*m, d.id));
      std::string id = d.id;
      m->dataSets.push_back(std::move(d));
      return id;
    });
  }

  void Delete(const std::string& vm, const std::string& dataSet, const boost::optional<bool>& force,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const DataSetsSvc::DeleteMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto it = std::find_if(m->dataSets.begin(), m->dataSets.end(),
                             [&](const DataSet& d) { return d.id == dataSet; });
      if (it == m->dataSets.end()) return DataSetNotFound(vm, dataSet);
      if (!it->entries.empty() && !force.value_or(false)) {
        return Fail<StdErrors::ResourceInUse>(
            "kov.sim.data.set.not.empty",
            "Data set \"{}\" still holds entries; delete them first, or pass \"force\": true.",
            dataSet);
      }
      m->dataSets.erase(it);
      return Tarn::Void();
    });
  }

  void Get(const std::string& vm, const std::string& dataSet,
           const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const DataSetsSvc::GetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::shared_ptr<const DataSetsSvc::Info>> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      const DataSet* d = FindDataSet(*m, dataSet);
      if (!d) return DataSetNotFound(vm, dataSet);
      auto info = std::make_shared<DataSetsSvc::Info>();
      info->name = d->name;
      info->description = d->description;
      info->host = Tarn::EnumFromText<DataSetsSvc::Access>(d->host);
      info->guest = Tarn::EnumFromText<DataSetsSvc::Access>(d->guest);
      info->used = UsedBytes(*d);
      info->omitFromSnapshotAndClone = d->omitFromSnapshotAndClone;
      return std::shared_ptr<const DataSetsSvc::Info>(std::move(info));
    });
  }

  void Update(const std::string& vm, const std::string& dataSet,
              const std::shared_ptr<const DataSetsSvc::UpdateSpec>& spec,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const DataSetsSvc::UpdateMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      DataSet* d = FindDataSet(*m, dataSet);
      if (!d) return DataSetNotFound(vm, dataSet);
      if (!spec) return NoSpec<StdErrors::InvalidArgument>();
      std::string host = d->host, guest = d->guest;
      if (spec->host) {
        if (auto e = CheckAccess(*spec->host, "host", host)) return e;
      }
      if (spec->guest) {
        if (auto e = CheckAccess(*spec->guest, "guest", guest)) return e;
      }
      if (spec->description) d->description = *spec->description;
      if (spec->omitFromSnapshotAndClone) {
        d->omitFromSnapshotAndClone = *spec->omitFromSnapshotAndClone;
      }
      d->host = host;
      d->guest = guest;
      return Tarn::Void();
    });
  }

  void List(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const DataSetsSvc::ListMethod::ResultCbType& result) override {
    using Summaries = std::vector<std::shared_ptr<const DataSetsSvc::Summary>>;
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Summaries> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      Summaries list;
      for (auto& d : m->dataSets) {
        auto summary = std::make_shared<DataSetsSvc::Summary>();
        summary->dataSet = d.id;
        summary->name = d.name;
        summary->description = d.description;
        list.push_back(std::move(summary));
      }
      return list;
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindDataSets(const std::shared_ptr<Lab>& lab) {
  return DataSetsSvc::AsyncServiceBinder::BindImplementation(std::make_shared<DataSets>(lab));
}

}  // namespace Sim
}  // namespace Kov
