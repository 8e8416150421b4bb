// Every service as the runtime sees it, against its schema file: the generated binders (bound
// here by the simulator, which implements all thirteen services) must give each service its id,
// its operations in slot order with their wire names, error lists, input and output definitions
// and read-only marks, and record the machine named by each operation's resource field. Records
// and enumerations are checked against their structure metadata and value tables.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "binding/version.h"
#include "tests/vm/service_test_util.h"
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
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Vm = Com::Brantel::Kov::Vm;

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
  std::map<std::string, std::shared_ptr<const Tarn::Provider::AsyncApiInterface>> bound;
  for (auto& iface : Kov::Sim::Simulator().Bind()) bound[iface->identifier()->name()] = iface;
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
      auto activation = Tarn::Core::AsyncActivation::GetInstance();
      auto answer = Invoke(iface, wires[i], input, activation);
      EXPECT_EQ(answer.calls, 1);
      EXPECT_NE(answer.errorName(), StdError("invalid_argument")) << Text(answer.error());
      std::vector<std::string> resources;
      if (op.contains("resource")) {
        resources.push_back(MachineResource("v-" + S(op["resource"])));
      }
      EXPECT_EQ(activation->resourceIds(), resources);
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
  return {{E::typeName, TableOf<E>()}...};
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

}  // namespace
