#include "tools/sim/shapes.h"

#include <set>
#include <type_traits>

#include "vm/compute/cpus.h"
#include "vm/compute/memory.h"
#include "vm/data_sets.h"
#include "vm/data_sets/entries.h"
#include "vm/device/cdrom.h"
#include "vm/device/disk.h"
#include "vm/device/network.h"
#include "vm/device/sata_controller.h"
#include "vm/device/scsi_controller.h"
#include "vm/dock.h"
#include "vm/modules/log_level.h"
#include "vm/power.h"
#include "vm/zub.h"

namespace Kov {
namespace Sim {

namespace {

using Records = std::map<std::string, RecordShape>;

template <class T, class = void>
struct IsRecord : std::false_type {};
template <class T>
struct IsRecord<T, std::void_t<typename T::AdapterHelper>> : std::true_type {};

template <class T>
void AddRecord(Records& records, const std::string& key);

// What a member's type adds to its field: enumeration values, or the shape of a nested record.
// Wrappers (optional, set, list, pointers) pass through to what they hold.
template <class M, class = void>
struct Walk {
  static void Field(FieldShape&, Records&) {}
};
template <class M>
struct Walk<M, std::enable_if_t<std::is_base_of<Tarn::Enum, M>::value>> {
  static void Field(FieldShape& field, Records&) { field.values = TextsOf<M>(); }
};
template <class M>
struct Walk<M, std::enable_if_t<IsRecord<M>::value && !std::is_base_of<Tarn::Enum, M>::value>> {
  static void Field(FieldShape&, Records& records) { AddRecord<M>(records, M::typeName); }
};
template <class X>
struct Walk<boost::optional<X>> : Walk<X> {};
template <class X>
struct Walk<std::set<X>> : Walk<X> {};
template <class X>
struct Walk<std::vector<X>> : Walk<X> {};
template <class X>
struct Walk<std::shared_ptr<X>> : Walk<std::remove_const_t<X>> {};
template <class X>
struct Walk<Tarn::OptionalPtr<X>> : Walk<std::remove_const_t<X>> {};

template <class T, class = void>
struct HasUnionRules : std::false_type {};
template <class T>
struct HasUnionRules<T, std::void_t<typename T::UnionRules>> : std::true_type {};

// The helper a record's AdapterHelper::AddFields registers its fields with, and the checker its
// UnionRules::Check states the union cases to. Members are told apart by their address in one
// default record, since the rules name them by member and the shape by wire name.
template <class T>
struct Collector {
  Records& records;
  std::vector<FieldShape> fields;
  std::vector<const void*> addresses;
  const T sample{};

  template <class R, class M, class... More>
  void AddField(const char* name, M R::*member, More...) {
    FieldShape field;
    field.name = name;
    Walk<M>::Field(field, records);
    fields.push_back(std::move(field));
    addresses.push_back(&(sample.*member));
  }

  template <class R, class Tag, class Held, class Predicate>
  void Case(Tag R::*tag, Held R::*held, const char*, Predicate predicate) {
    FieldShape* tagField = Find(&(sample.*tag));
    FieldShape* heldField = Find(&(sample.*held));
    if (!tagField || !heldField) return;
    heldField->tag = tagField->name;
    for (auto& value : tagField->values) {
      const boost::logic::tribool selected = predicate(value);
      if (selected) {
        heldField->requiredFor.push_back(value);
      } else if (boost::logic::indeterminate(selected)) {
        heldField->allowedFor.push_back(value);
      }
    }
  }
  template <class Tags, class M>
  void MissingTag(M) {}

 private:
  FieldShape* Find(const void* address) {
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      if (addresses[i] == address) return &fields[i];
    }
    return nullptr;
  }
};

template <class T>
void AddRecord(Records& records, const std::string& key) {
  if (!records.emplace(key, RecordShape{}).second) return;  // known, or being walked
  Collector<T> collector{records, {}, {}};
  if constexpr (IsRecord<T>::value) T::AdapterHelper::AddFields(collector);
  if constexpr (HasUnionRules<T>::value) T::UnionRules::Check(collector);
  records[key].fields = std::move(collector.fields);
}

template <class... Methods>
void AddService(Records& records) {
  FieldShape output;
  (AddRecord<typename Methods::Input>(
       records, Shapes::InputKey(Methods::Interface::typeName, Methods::wireName)),
   ...);
  (Walk<typename Methods::Output>::Field(output, records), ...);
}

}  // namespace

const FieldShape* RecordShape::Find(const std::string& name) const {
  for (auto& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

const Shapes& Shapes::Get() {
  static const Shapes shapes = [] {
    using namespace Com::Brantel::Kov::Vm;
    Shapes s;
    Records& r = s.records;
    AddService<PowerSvc::GetMethod, PowerSvc::SwitchOnMethod, PowerSvc::SwitchOffMethod,
               PowerSvc::ResetMethod, PowerSvc::SuspendMethod>(r);
    AddService<ZubSvc::CreateMethod, ZubSvc::DeleteMethod>(r);
    AddService<Compute::CpusSvc::GetMethod, Compute::CpusSvc::UpdateMethod>(r);
    AddService<Compute::MemorySvc::GetMethod, Compute::MemorySvc::UpdateMethod>(r);
    AddService<Device::CdromSvc::AddMethod, Device::CdromSvc::ListMethod,
               Device::CdromSvc::DeleteMethod>(r);
    AddService<Device::DiskSvc::AddMethod, Device::DiskSvc::ListMethod>(r);
    AddService<Device::NetworkSvc::AddMethod, Device::NetworkSvc::ListMethod,
               Device::NetworkSvc::RemoveMethod>(r);
    AddService<Device::SataControllerSvc::AddMethod, Device::SataControllerSvc::UpdateMethod,
               Device::SataControllerSvc::DeleteMethod, Device::SataControllerSvc::ListMethod>(r);
    AddService<Device::ScsiControllerSvc::AddMethod>(r);
    AddService<DataSetsSvc::CreateMethod, DataSetsSvc::DeleteMethod, DataSetsSvc::GetMethod,
               DataSetsSvc::UpdateMethod, DataSetsSvc::ListMethod>(r);
    AddService<DataSets::EntriesSvc::SetMethod, DataSets::EntriesSvc::GetMethod,
               DataSets::EntriesSvc::DeleteMethod, DataSets::EntriesSvc::ListMethod>(r);
    AddService<DockSvc::LoadMethod, DockSvc::ListMethod>(r);
    AddService<Modules::LogLevelSvc::SetMethod, Modules::LogLevelSvc::DeleteMethod>(r);
    return s;
  }();
  return shapes;
}

const RecordShape* Shapes::Input(const std::string& serviceId, const std::string& operation) const {
  return Record(InputKey(serviceId, operation));
}

const RecordShape* Shapes::Record(const std::string& typeName) const {
  auto it = records.find(typeName);
  return it == records.end() ? nullptr : &it->second;
}

}  // namespace Sim
}  // namespace Kov
