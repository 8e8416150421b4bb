// Every service as the runtime sees it, against its schema file: the generated binders (bound by
// the simulator, which implements all thirteen services) give each service its id, operations in
// slot order with wire names, error lists, definitions and read-only marks, and record the machine
// of each resource field; records and enumerations match their metadata and value tables. Then
// what sets single services apart, and one service end to end through the in-process provider.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <type_traits>
#include <vector>

#include "binding/version.h"
#include "runtime/local_provider.h"
#include "runtime/std_errors.h"
#include "runtime/stub.h"
#include "tests/test_values.h"
#include "tools/sim/simulator.h"
#include "vm/compute/cpus.h"
#include "vm/data_sets.h"
#include "vm/device/cdrom.h"
#include "vm/device/disk.h"
#include "vm/device/network.h"
#include "vm/device/sata_controller.h"
#include "vm/device/scsi_controller.h"
#include "vm/dock.h"
#include "vm/modules/log_level.h"
#include "vm/power.h"
#include "vm/zub.h"

namespace {

using Json = nlohmann::json;
using namespace ::KovTest;  // NOLINT(build/namespaces)
namespace Vm = Com::Brantel::Kov::Vm;
using Strings = std::vector<std::string>;
using Messages = std::vector<Tarn::BaseMessage>;

std::shared_ptr<Tarn::Data::StructValue> Input(const Fields& fields) {
  return Struct(Tarn::Data::TypeInfo<Tarn::OperationInput>::name(), fields);
}
std::string StdError(const std::string& wire) { return "com.brantel.tarn.std.errors." + wire; }

std::map<std::string, std::shared_ptr<const Tarn::Provider::AsyncApiInterface>> Bound() {
  std::map<std::string, std::shared_ptr<const Tarn::Provider::AsyncApiInterface>> bound;
  for (auto& iface : Kov::Sim::Simulator().Bind()) bound[iface->identifier()->name()] = iface;
  return bound;
}

// Invokes the method object `wire`, which the simulator answers within the call.
struct Answer {
  int calls = 0;
  Tarn::Data::ErrorValuePtr error;
  Strings resources;
};
Answer Invoke(const Tarn::Provider::AsyncApiInterface& iface, const std::string& wire,
              const Tarn::Data::DataValuePtr& input) {
  Answer answer;
  auto activation = Tarn::Core::AsyncActivation::GetInstance();
  iface.FindMethod(wire)->Invoke(
      input, activation,
      [&answer](const Tarn::Core::MethodResultPtr& r, const Tarn::Progress&,
                Tarn::Core::AsyncApiResultCb::Continuation&&) {
        ++answer.calls;
        answer.error = r ? r->error() : nullptr;
      });
  answer.resources = activation->resourceIds();
  return answer;
}
std::string ErrorName(const Answer& a) { return a.error ? a.error->name() : ""; }

// Every schema file, read by Python's own TOML reader (not the generator's), keyed by path.
Json Schemas() {
  const std::string command =
      "python3 -c 'import json, pathlib, sys, tomllib; r = pathlib.Path(sys.argv[1]); "
      "print(json.dumps({str(p.relative_to(r)): tomllib.loads(p.read_text()) "
      "for p in r.rglob(\"*.toml\")}))' " KOV_SOURCE_DIR "/schema";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    pclose(pipe);
  }
  return Json::parse(text, nullptr, false);
}

std::string S(const Json& text) { return text.get<std::string>(); }

// "NotAllowedInCurrentState" -> "not_allowed_in_current_state".
std::string Snake(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (std::isupper(static_cast<unsigned char>(c)) && !out.empty()) out += '_';
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// One service's schema, and what the runtime must make of its types.
struct Service {
  Json schema;

  static bool Is(const std::string& type, const char* prefix) { return type.rfind(prefix, 0) == 0; }
  // The enum or struct named by `type` ("enum:Name", "struct:Name").
  const Json& Named(const char* kind, const std::string& type) const {
    static const Json none;
    for (auto& item : schema[kind]) {
      if (type.substr(type.find(':') + 1) == S(item["name"])) return item;
    }
    ADD_FAILURE() << "no " << type;
    return none;
  }
  // What the runtime's definition of a schema type, or of a list of fields, shows as text.
  std::string Definition(const std::string& type) const {
    if (type == "int64") return "integer";
    if (type == "bool") return "boolean";
    if (type == "string" || type == "void") return type;
    if (Is(type, "enum:")) return "string";
    if (Is(type, "set:")) return "list<string>";
    if (Is(type, "list:")) return "list<" + Definition(type.substr(5)) + ">";
    const Json& record = Named("structs", type);
    return Fields(S(schema["id"]) + "." + S(record["wire"]), record);
  }
  std::string Fields(const std::string& name, const Json& record,
                     const char* key = "fields") const {
    std::map<std::string, std::string> fields;
    for (auto& f : record[key].is_array() ? record[key] : Json::array()) {
      std::string type = Definition(S(f["type"]));
      if (f.contains("union_cases")) {
        type = "case<" + S(record["union"]["tag"]) + ", " + type + ">";
      } else if (f.value("optional", false)) {
        type = "optional<" + type + ">";
      }
      fields[S(f["wire"])] = type;
    }
    std::string out = "struct " + name + " {";
    for (auto& [wire, type] : fields) out += (out.back() == '{' ? "" : ", ") + wire + ": " + type;
    return out + "}";
  }

  // A valid value of a schema type, or of the record `name` with its required fields set: texts
  // name their field, so that the resource recorded shows which field the binder read. A union's
  // tag takes a value that no required case needs.
  Tarn::Data::DataValuePtr Sample(const std::string& type, const std::string& wire,
                                  const Json& record) const {
    if (type == "string") return Str("v-" + wire);
    if (type == "int64") return Int(1);
    if (type == "bool") return Bool(true);
    if (Is(type, "list:")) return List({});
    if (Is(type, "set:")) return Texts({});
    if (Is(type, "enum:")) {
      for (auto& value : Named("enums", type)["values"]) {
        bool needed = false;
        for (auto& f : record.value("fields", Json::array())) {
          needed |= f.value("union_predicate", "") == "required" &&
                    f["union_cases"].get<std::set<std::string>>().count(S(value)) > 0;
        }
        if (!needed) return Str(S(value));
      }
    }
    const Json& nested = Named("structs", type);
    return Record(S(schema["id"]) + "." + S(nested["wire"]), nested);
  }
  std::shared_ptr<Tarn::Data::StructValue> Record(const std::string& name, const Json& record,
                                                  const char* key = "fields") const {
    auto value = Struct(name, {});
    for (auto& f : record[key].is_array() ? record[key] : Json::array()) {
      if (!f.value("optional", false)) {
        value->SetField(S(f["wire"]), Sample(S(f["type"]), S(f["wire"]), record));
      }
    }
    return value;
  }
};

TEST(Services, BoundAsTheirSchemasDescribe) {
  EXPECT_STREQ(KovVmBindingsVersion(), KOV_PROJECT_VERSION);
  const Json schemas = Schemas();
  ASSERT_TRUE(schemas.is_object()) << "the schema files could not be read";
  const auto bound = Bound();
  ASSERT_EQ(bound.size(), 13u);
  ASSERT_EQ(schemas.size(), 13u);
  const std::string input = Tarn::Data::TypeInfo<Tarn::OperationInput>::name();
  for (auto& [path, schema] : schemas.items()) {
    SCOPED_TRACE(path);
    const Service service{schema};
    const auto& iface = *bound.at(S(schema["id"]));
    Strings wires, slots;
    for (auto& op : schema["operations"]) wires.push_back(S(op["wire"]));
    for (auto& method : iface.methods()) slots.push_back(method->methodName());
    ASSERT_EQ(slots, wires);
    for (std::size_t i = 0; i < wires.size(); ++i) {
      SCOPED_TRACE(wires[i]);
      const Json& op = schema["operations"][i];
      const Tarn::Provider::AsyncApiMethod& method = *iface.methods()[i];
      Strings expected, errors;
      for (auto& e : op["errors"]) expected.push_back(StdError(Snake(S(e))));
      for (auto& d : method.errorDefinitions()) {
        errors.push_back(static_cast<const Tarn::Data::StructDefinition&>(*d).name());
      }
      EXPECT_EQ(errors, expected);
      EXPECT_EQ(method.inputDefinition()->ToString(), service.Fields(input, op, "input"));
      EXPECT_EQ(method.outputDefinition()->ToString(), service.Definition(S(op["output"])));
      EXPECT_EQ(method.readsOnly(), op.value("reads_only", false));
      // A valid input reaches the implementation (which may refuse the machine it names) with
      // the machine of the resource field, and only that, recorded.
      auto answer = Invoke(iface, wires[i], service.Record(input, op, "input"));
      EXPECT_EQ(answer.calls, 1);
      EXPECT_NE(ErrorName(answer), StdError("invalid_argument")) << answer.error->ToString();
      Strings resources;
      if (op.contains("resource")) {
        resources.push_back("com.brantel.kov.vm.VirtualMachine.v-" + S(op["resource"]));
      }
      EXPECT_EQ(answer.resources, resources);
    }
  }
}

// The structure metadata (name: {field: resource type}) and enumeration value tables of the
// records named by their canonical type.
template <class... T, class... E>
void ExpectMetadataAndTablesOf(const Json& schemas, std::tuple<E...>* = nullptr) {
  Json metadata, expectedMetadata, tables, expectedTables;
  for (auto info : {Tarn::Metadata::StructInfo::Create<T>()...}) {
    metadata[info->name] = Json::object();
    for (auto& [field, f] : info->fields) metadata[info->name][field] = f->resourceType;
  }
  for (auto [name, values] : {std::make_pair(E::typeName, E::Strings::values)...}) {
    for (int i = 0; values[i] != nullptr; ++i) tables[name].push_back(values[i]);
  }
  for (auto& [path, schema] : schemas.items()) {
    for (auto& record : schema.value("structs", Json::array())) {
      if (!record.contains("metadata")) continue;
      Json& fields = expectedMetadata[S(record["metadata"]["name"])] = Json::object();
      for (auto& pair : record["metadata"]["fields"]) fields[S(pair[0])] = pair[1];
    }
    for (auto& e : schema.value("enums", Json::array())) {
      (expectedTables[S(schema["id"]) + "." + S(e["wire"])] = e["values"]).push_back("_UNKNOWN");
    }
  }
  EXPECT_EQ(metadata, expectedMetadata);
  EXPECT_EQ(tables, expectedTables);
}

TEST(Services, RecordMetadataAndEnumerationTablesAsTheirSchemasDescribe) {
  namespace Dev = Vm::Device;
  ExpectMetadataAndTablesOf<Vm::DataSetsSvc::Summary, Vm::DockSvc::Info, Vm::ZubSvc::CreateSpec,
                            Dev::CdromSvc::Summary, Dev::CdromSvc::FilterSpec,
                            Dev::DiskSvc::Summary, Dev::DiskSvc::FilterSpec, Dev::DiskSvc::AddSpec,
                            Dev::NetworkSvc::Summary, Dev::NetworkSvc::FilterSpec,
                            Dev::NetworkSvc::AddSpec>(
      Schemas(),
      static_cast<
          std::tuple<Vm::PowerSvc::State, Vm::DataSetsSvc::Access, Vm::Modules::LogLevelSvc::Level,
                     Dev::SataControllerSvc::HbaType, Dev::ScsiControllerSvc::HbaType,
                     Dev::NetworkSvc::VirtualDev, Dev::CdromSvc::BackingType>*>(nullptr));
}

// The SCSI controller names its machine "vm_id": "vm" instead is refused, and beside it is an
// undeclared field that the record's validation reports.
TEST(ScsiController, TheMachineIsVmIdNotVm) {
  const auto iface = Bound().at("com.brantel.kov.vm.device.scsi_controller");
  Fields fields = {{"vm", Str("vm-8")}, {"hba_type", Str("ZSCSI")}, {"controller_number", Int(1)}};
  EXPECT_EQ(ErrorName(Invoke(*iface, "add", Input(fields))), StdError("invalid_argument"));
  fields.push_back({"vm_id", Str("vm-8")});
  auto refused = Invoke(*iface, "add", Input(fields));
  ASSERT_TRUE(refused.error && refused.resources.empty());
  EXPECT_EQ(refused.error->Messages().at(1),
            Tarn::Message<Tarn::CoreTag>(
                "tarn.data.compound.field.extra",
                "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::AddMethod::Input", "vm", ""));
}

// The unions run their checks in their own orders, and the first failure ends the check. Power:
// a missing tag first, then the "suspended" case. CD-ROM: the device case, then the image case,
// and only then a missing tag.
TEST(Unions, ChecksRunInTheirOwnOrder) {
  auto message = [](const char* id, auto... args) {
    return Messages{Tarn::Message<Tarn::CoreTag>(std::string("tarn.data.union.") + id, args...)};
  };
  auto set = [&](auto... a) { return message("invalid.case.state.isset.short", a...); };
  auto unset = [&](auto... a) { return message("invalid.case.state.isnotset.short", a...); };
  auto noTag = [&](const char* tag) { return message("missing.tag.field", tag); };
  auto validated = [](const auto& record) {
    Tarn::MessageList messages;
    const bool valid =
        Tarn::Data::Validator::isValid(record, Tarn::Data::Validator::kRejectUndeclared, messages);
    EXPECT_EQ(valid, messages.empty());
    return messages;
  };
  constexpr char kInfo[] = "com.brantel.kov.vm.power.info";
  // A state "" is the default value; a text outside the table is unknown.
  // clang-format off
  const std::vector<std::tuple<const char*, boost::optional<bool>, Messages>> power = {
      {"ON", boost::none, {}}, {"OFF", false, {}}, {"OFF", boost::none, unset(kInfo, "suspended")},
      {"ON", true, set(kInfo, "suspended")}, {"", true, noTag("state")},
      {"STANDBY", true, noTag("state")},
  };
  // clang-format on
  for (auto& [state, suspended, expected] : power) {
    Vm::PowerSvc::Info info;
    info.state = Tarn::EnumFromText<Vm::PowerSvc::State>(state);
    info.suspended = suspended;
    EXPECT_EQ(validated(info), expected) << state;
  }
  constexpr char kBacking[] = "com.brantel.kov.vm.device.cdrom.backing_info";
  // The type, the device name and the image file; null: unset.
  // clang-format off
  const std::vector<std::tuple<const char*, const char*, const char*, Messages>> cdrom = {
      {"ATAPI", "/dev/sr0", nullptr, {}}, {"IMAGE", nullptr, nullptr, {}},
      {"IMAGE", nullptr, "a.iso", {}}, {"ATAPI", nullptr, "a.iso", unset(kBacking, "deviceName")},
      {"RAW", "/dev/sr0", "a.iso", set(kBacking, "isoFile")},
      {"IMAGE", "", "a.iso", set(kBacking, "deviceName")},
      {"FLOPPY", nullptr, "a.iso", set(kBacking, "isoFile")},
      {"FLOPPY", nullptr, nullptr, noTag("type")}, {"", nullptr, nullptr, noTag("type")},
  };
  // clang-format on
  for (auto& [type, device, iso, expected] : cdrom) {
    Vm::Device::CdromSvc::BackingInfo backing;
    backing.type = Tarn::EnumFromText<Vm::Device::CdromSvc::BackingType>(type);
    if (device) backing.deviceName = std::string(device);
    if (iso) backing.isoFile = std::string(iso);
    EXPECT_EQ(validated(backing), expected)
        << type << (device ? " device" : "") << (iso ? " iso" : "");
  }
}

// The dock's "list" takes the runtime's operation input, unvalidated and naming no resource; the
// operation input declares no fields, so none is reported as undeclared.
TEST(DockList, TakesTheOperationInputUnvalidated) {
  static_assert(std::is_same<Vm::DockSvc::ListMethod::Input, Tarn::OperationInput>::value,
                "list has no input record of its own");
  const auto iface = Bound().at("com.brantel.kov.vm.dock");
  // clang-format off
  for (const auto& [input, reaches] : std::vector<std::pair<Tarn::Data::DataValuePtr, bool>>{
           {Input({}), true}, {Input({{"x", Int(3)}}), true}, {Str(""), true},
           {Str("all"), false}}) {
    // clang-format on
    const auto answer = Invoke(*iface, "list", input);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(ErrorName(answer), reaches ? "" : StdError("invalid_argument"));
    EXPECT_TRUE(answer.resources.empty());
  }
}

// Cpus end to end: its stub, through the in-process provider, into a bound implementation and
// back. What only the whole chain shows: an answer given late, from another thread, after the
// service was withdrawn still reaches the client.
using CpusSvc = Vm::Compute::CpusSvc;
using GetResult = CpusSvc::GetMethod::ResultCbType;

class HostCpus : public CpusSvc::AsyncServiceInterface {
 public:
  void Get(const std::string&, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const GetResult& result) override {
    kept = result;
  }
  void Update(const std::string&, const std::shared_ptr<const CpusSvc::UpdateSpec>&,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const CpusSvc::UpdateMethod::ResultCbType& result) override {
    result(Tarn::Void());
  }
  GetResult kept;
};

TEST(CpusEndToEnd, LateAnswerFromAnotherThreadAfterWithdrawalReachesTheClient) {
  auto host = std::make_shared<HostCpus>();
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  ASSERT_TRUE(provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(host), messages));
  CpusSvc::AsyncServiceStub stub(Tarn::Stub::AsyncApiStub::GetInstance(provider));
  int calls = 0;
  std::int64_t count = 0;
  stub.Get("vm-1", nullptr, [&](const auto& info, const auto& error, const auto&) {
    ++calls;
    if (info && *info && !error) count = (*info)->count;
  });
  EXPECT_EQ(calls, 0);
  // The outstanding answer keeps the method object, and so the implementation, alive.
  GetResult kept = std::move(host->kept);
  std::weak_ptr<HostCpus> watch = host;
  EXPECT_TRUE(provider->Unregister("com.brantel.kov.vm.compute.cpus"));
  host.reset();
  EXPECT_FALSE(watch.expired());
  std::thread worker([result = std::move(kept)] {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 32;
    result(info);
  });
  worker.join();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(count, 32);
  EXPECT_TRUE(watch.expired());
}

}  // namespace
