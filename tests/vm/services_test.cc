// Every service as the runtime sees it, against its schema file: the generated binders (bound
// here by the simulator, which implements all thirteen services) must give each service its id,
// its operations in slot order with their wire names, error lists, input and output definitions
// and read-only marks, and record the machine named by each operation's resource field. Records
// and enumerations are checked against their structure metadata and value tables. Then what sets
// single services apart, and one service end to end through the in-process provider.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
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

// A method input value: a structure under the runtime's operation-input name.
std::shared_ptr<Tarn::Data::StructValue> Input(const Fields& fields) {
  return Struct(Tarn::Data::TypeInfo<Tarn::OperationInput>::name(), fields);
}
std::string StdError(const std::string& wire) { return "com.brantel.tarn.std.errors." + wire; }

// The simulator's bound services by id.
std::map<std::string, std::shared_ptr<const Tarn::Provider::AsyncApiInterface>> Bound() {
  std::map<std::string, std::shared_ptr<const Tarn::Provider::AsyncApiInterface>> bound;
  for (auto& iface : Kov::Sim::Simulator().Bind()) bound[iface->identifier()->name()] = iface;
  return bound;
}

// Invokes the method object `wire`; the simulator answers within the call. The error's name and
// messages, or "" on success; the resources the activation recorded.
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

  const Json& Named(const char* kind, const std::string& name) const {
    for (auto& item : schema[kind]) {
      if (item["name"] == name) return item;
    }
    static const Json none;
    ADD_FAILURE() << "no " << kind << " " << name;
    return none;
  }
  std::string After(const std::string& type, const std::string& prefix) const {
    return type.compare(0, prefix.size(), prefix) == 0 ? type.substr(prefix.size()) : "";
  }

  // What the runtime's definition of a schema type shows as text.
  std::string Definition(const std::string& type) const {
    if (type == "int64") return "integer";
    if (type == "bool") return "boolean";
    if (type == "string" || type == "void") return type;
    if (!After(type, "enum:").empty()) return "string";
    if (!After(type, "set:").empty()) return "list<string>";
    if (!After(type, "list:").empty()) return "list<" + Definition(After(type, "list:")) + ">";
    const Json& record = Named("structs", After(type, "struct:"));
    std::map<std::string, std::string> fields;
    for (auto& f : record["fields"]) fields[S(f["wire"])] = FieldDefinition(record, f);
    return Structure(S(schema["id"]) + "." + S(record["wire"]), fields);
  }
  std::string FieldDefinition(const Json& record, const Json& field) const {
    std::string type = Definition(S(field["type"]));
    if (field.contains("union_cases")) {
      return "case<" + S(record["union"]["tag"]) + ", " + type + ">";
    }
    return field.value("optional", false) ? "optional<" + type + ">" : type;
  }
  static std::string Structure(const std::string& name,
                               const std::map<std::string, std::string>& fields) {
    std::string out = "struct " + name + " {";
    for (auto& [wire, type] : fields) out += (out.back() == '{' ? "" : ", ") + wire + ": " + type;
    return out + "}";
  }
  std::string InputDefinition(const Json& op) const {
    std::map<std::string, std::string> fields;
    if (op["input"].is_array()) {
      for (auto& f : op["input"]) fields[S(f["wire"])] = FieldDefinition(Json::object(), f);
    }
    return Structure("com.brantel.tarn.operation_input", fields);
  }

  // A valid value of a schema type: texts name their field, so that the resource recorded shows
  // which field the binder read. Optional and union-governed fields stay unset; a union's tag
  // takes a value that no required case needs.
  Tarn::Data::DataValuePtr Sample(const std::string& type, const std::string& wire,
                                  const Json& record = Json::object()) const {
    if (type == "string") return Str("v-" + wire);
    if (type == "int64") return Int(1);
    if (type == "bool") return Bool(true);
    if (!After(type, "list:").empty()) return List({});
    if (!After(type, "set:").empty()) return Texts({});
    if (!After(type, "enum:").empty()) {
      for (auto& value : Named("enums", After(type, "enum:"))["values"]) {
        bool needed = false;
        for (auto& f : record.value("fields", Json::array())) {
          needed |= f.value("union_predicate", "") == "required" &&
                    f["union_cases"].get<std::set<std::string>>().count(S(value)) > 0;
        }
        if (!needed) return Str(S(value));
      }
    }
    const Json& nested = Named("structs", After(type, "struct:"));
    auto value = Struct(S(schema["id"]) + "." + S(nested["wire"]), {});
    for (auto& f : nested["fields"]) {
      if (!f.value("optional", false)) {
        value->SetField(S(f["wire"]), Sample(S(f["type"]), S(f["wire"]), nested));
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

  for (auto& [path, schema] : schemas.items()) {
    SCOPED_TRACE(path);
    const Service service{schema};
    auto found = bound.find(S(schema["id"]));
    ASSERT_NE(found, bound.end());
    const auto& iface = *found->second;
    std::vector<std::string> wires, slots;
    for (auto& op : schema["operations"]) wires.push_back(S(op["wire"]));
    for (auto& method : iface.methods()) slots.push_back(method->methodName());
    ASSERT_EQ(slots, wires);

    for (std::size_t i = 0; i < wires.size(); ++i) {
      SCOPED_TRACE(wires[i]);
      const Json& op = schema["operations"][i];
      const Tarn::Provider::AsyncApiMethod& method = *iface.methods()[i];
      std::vector<std::string> expected, errors;
      for (auto& e : op["errors"]) expected.push_back(StdError(Snake(S(e))));
      for (auto& d : method.errorDefinitions()) {
        errors.push_back(d && d->GetType() == Tarn::Data::DataType::ERROR
                             ? static_cast<const Tarn::Data::StructDefinition&>(*d).name()
                             : "?");
      }
      EXPECT_EQ(errors, expected);
      EXPECT_EQ(method.inputDefinition()->ToString(), service.InputDefinition(op));
      EXPECT_EQ(method.outputDefinition()->ToString(), service.Definition(S(op["output"])));
      EXPECT_EQ(method.readsOnly(), op.value("reads_only", false));

      // A valid input reaches the implementation (which may refuse the machine it names) with
      // the machine of the resource field, and only that, recorded.
      auto input = Input({});
      for (auto& f : op["input"].is_array() ? op["input"] : Json::array()) {
        if (!f.value("optional", false)) {
          input->SetField(S(f["wire"]), service.Sample(S(f["type"]), S(f["wire"])));
        }
      }
      auto answer = Invoke(iface, wires[i], input);
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

// The structure metadata and enumeration tables of records named by their canonical type.
template <class... T>
std::map<std::string, std::string> MetadataOf() {
  std::map<std::string, std::string> out;
  for (auto info : {Tarn::Metadata::StructInfo::Create<T>()...}) {
    std::string text = info->name;
    for (auto& [field, f] : info->fields) text += " " + field + "=" + f->resourceType;
    out[info->name] = text;
  }
  return out;
}
template <class... E>
std::map<std::string, std::vector<std::string>> TablesOf() {
  auto table = [](const char* const* values) {
    Strings texts;
    for (int i = 0; values[i] != nullptr; ++i) texts.push_back(values[i]);
    return texts;
  };
  return {{E::typeName, table(E::Strings::values)}...};
}

TEST(Services, RecordMetadataAndEnumerationTablesAsTheirSchemasDescribe) {
  std::map<std::string, std::string> metadata, expectedMetadata;
  std::map<std::string, std::vector<std::string>> tables, expectedTables;
  const Json schemas = Schemas();
  for (auto& [path, schema] : schemas.items()) {
    for (auto& record : schema.value("structs", Json::array())) {
      if (!record.contains("metadata")) continue;
      std::map<std::string, std::string> fields;
      for (auto& pair : record["metadata"]["fields"]) fields[S(pair[0])] = S(pair[1]);
      std::string text = S(record["metadata"]["name"]);
      for (auto& [field, type] : fields) text += " " + field + "=" + type;
      expectedMetadata[S(record["metadata"]["name"])] = text;
    }
    for (auto& e : schema.value("enums", Json::array())) {
      auto values = e["values"].get<std::vector<std::string>>();
      values.push_back("_UNKNOWN");
      expectedTables[S(schema["id"]) + "." + S(e["wire"])] = values;
    }
  }
  metadata = MetadataOf<Vm::DataSetsSvc::Summary, Vm::DockSvc::Info, Vm::ZubSvc::CreateSpec,
                        Vm::Device::CdromSvc::Summary, Vm::Device::CdromSvc::FilterSpec,
                        Vm::Device::DiskSvc::Summary, Vm::Device::DiskSvc::FilterSpec,
                        Vm::Device::DiskSvc::AddSpec, Vm::Device::NetworkSvc::Summary,
                        Vm::Device::NetworkSvc::FilterSpec, Vm::Device::NetworkSvc::AddSpec>();
  tables = TablesOf<Vm::PowerSvc::State, Vm::DataSetsSvc::Access, Vm::Modules::LogLevelSvc::Level,
                    Vm::Device::SataControllerSvc::HbaType, Vm::Device::ScsiControllerSvc::HbaType,
                    Vm::Device::NetworkSvc::VirtualDev, Vm::Device::CdromSvc::BackingType>();
  EXPECT_EQ(metadata, expectedMetadata);
  EXPECT_EQ(tables, expectedTables);
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
  auto set = [](const char* record, const char* field) {
    return Messages{Tarn::Message<Tarn::CoreTag>("tarn.data.union.invalid.case.state.isset.short",
                                                 record, field)};
  };
  auto unset = [](const char* record, const char* field) {
    return Messages{Tarn::Message<Tarn::CoreTag>(
        "tarn.data.union.invalid.case.state.isnotset.short", record, field)};
  };
  auto noTag = [](const char* tag) {
    return Messages{Tarn::Message<Tarn::CoreTag>("tarn.data.union.missing.tag.field", tag)};
  };
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
  for (const auto& [input, reaches] :
       std::vector<std::pair<Tarn::Data::DataValuePtr, bool>>{{Input({}), true},
                                                              {Input({{"x", Int(3)}}), true},
                                                              {Str(""), true},
                                                              {Str("all"), false}}) {
    const auto answer = Invoke(*iface, "list", input);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(ErrorName(answer), reaches ? "" : StdError("invalid_argument"));
    EXPECT_TRUE(answer.resources.empty());
  }
}

// Cpus end to end: its stub, through the in-process provider, into a bound implementation and
// back. What only the whole chain shows: the implementation's errors are checked against the
// operation's list on their way to the client, and an answer given late, from another thread,
// after the service was withdrawn still reaches the client.
using CpusSvc = Vm::Compute::CpusSvc;
using GetResult = CpusSvc::GetMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;

class HostCpus : public CpusSvc::AsyncServiceInterface {
 public:
  void Get(const std::string&, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const GetResult& result) override {
    onGet(result);
  }
  void Update(const std::string&, const std::shared_ptr<const CpusSvc::UpdateSpec>&,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const CpusSvc::UpdateMethod::ResultCbType& result) override {
    result(Tarn::Void());
  }
  std::function<void(const GetResult&)> onGet;
};

// What the client received: how often, the value, and the error.
struct Outcome {
  int calls = 0;
  boost::optional<InfoPtr> value;
  Tarn::Data::ErrorValuePtr error;
  auto Callback() {
    return [this](const boost::optional<InfoPtr>& r, const Tarn::Data::ErrorValuePtr& e,
                  const Tarn::Progress&) {
      ++calls;
      value = r;
      error = e;
    };
  }
};

class CpusEndToEnd : public ::testing::Test {
 protected:
  CpusEndToEnd() {
    Tarn::MessageList messages;
    EXPECT_TRUE(
        provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(host), messages));
  }
  Outcome Get() {
    Outcome outcome;
    stub.Get("vm-1", nullptr, outcome.Callback());
    EXPECT_EQ(outcome.calls, 1);
    return outcome;
  }

  std::shared_ptr<HostCpus> host = std::make_shared<HostCpus>();
  std::shared_ptr<Tarn::Core::LocalProvider> provider = Tarn::Core::LocalProvider::GetInstance();
  CpusSvc::AsyncServiceStub stub{Tarn::Stub::AsyncApiStub::GetInstance(provider)};
};

TEST_F(CpusEndToEnd, ImplementationErrorsAreCheckedAgainstTheList) {
  namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
  auto listed = Errors::NotFound::Create({Tarn::BaseMessage{"m", "t", {"vm-1"}}});
  host->onGet = [&](const GetResult& result) { result.error(listed); };
  auto got = Get();
  ASSERT_TRUE(got.error);
  EXPECT_TRUE(got.error->Equals(*listed)) << got.error->ToString();
  // One outside the list arrives as the internal server error naming it; so does a null record,
  // without messages.
  host->onGet = [](const GetResult& result) { result.error(Errors::ResourceBusy::Create()); };
  got = Get();
  ASSERT_TRUE(got.error);
  EXPECT_EQ(got.error->name(), StdError("internal_server_error"));
  ASSERT_EQ(got.error->Messages().size(), 1u);
  EXPECT_EQ(got.error->Messages()[0].args, (Strings{"get", Errors::ResourceBusy::typeName}));
  host->onGet = [](const GetResult& result) { result(nullptr); };
  got = Get();
  ASSERT_TRUE(got.error);
  EXPECT_EQ(got.error->name(), StdError("internal_server_error"));
  EXPECT_TRUE(got.error->Messages().empty());
}

TEST_F(CpusEndToEnd, LateAnswerFromAnotherThreadAfterWithdrawalReachesTheClient) {
  GetResult kept;
  host->onGet = [&kept](const GetResult& result) { kept = result; };
  Outcome outcome;
  stub.Get("vm-1", nullptr, outcome.Callback());
  EXPECT_EQ(outcome.calls, 0);
  // The outstanding answer keeps the method object, and so the implementation, alive.
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
  ASSERT_TRUE(outcome.calls == 1 && outcome.value && *outcome.value && !outcome.error);
  EXPECT_EQ((*outcome.value)->count, 32);
  EXPECT_TRUE(watch.expired());
}

}  // namespace
