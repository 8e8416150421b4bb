// JSON to values through definitions, and values to JSON. The simulator's and the client's tests
// convert inputs of every shape; here are the edges.
#include "tools/sim/json_value.h"

#include <gtest/gtest.h>

#include "tests/test_values.h"
#include "tools/sim/simulator.h"

namespace Kov {
namespace Sim {
namespace {

using nlohmann::json;
using namespace Tarn::Data;

// The input definition of an operation, from the method object the binder built.
DataDefinitionPtr InputDef(const std::string& service, const std::string& operation) {
  for (auto& iface : Simulator().Bind()) {
    if (iface->identifier()->name() == "com.brantel.kov.vm." + service)
      return iface->FindMethod(operation)->inputDefinition();
  }
  ADD_FAILURE() << "no service " << service;
  return nullptr;
}

// The value `text` converts to, or its refusal after "refused: ".
std::string Convert(const std::string& text, const DataDefinitionPtr& def) {
  DataValuePtr value = StringValue::GetInstance("untouched");
  const DataValuePtr before = value;
  std::string error;
  if (JsonToValue(json::parse(text), def, value, error)) return ValueToJson(value).dump();
  EXPECT_EQ(value, before) << "the output must be left alone on failure";
  return "refused: " + error;
}

TEST(JsonToValue, ValuesAndRefusalsThatNameThePlaceAndTheProblem) {
  const auto cpus = InputDef("compute.cpus", "update"), cdrom = InputDef("device.cdrom", "list");
  const auto dock = InputDef("dock", "list");
  const struct {
    DataDefinitionPtr def;
    std::string in;
    const char* out = nullptr;  // null: the input itself
  } cases[] = {
      {cpus, R"({"update_spec":{"count":9223372036854775807},"vm":"a"})"},
      {cpus, R"({"update_spec":{"count":-9223372036854775808},"vm":"a"})"},
      {cpus, R"({"update_spec":{"count":null},"vm":"a"})", R"({"update_spec":{},"vm":"a"})"},
      {dock, "{}"},
      {dock, R"({"vm": "a"})", "which has no members"},
      {cpus, R"({"update_spec": {}})", "vm is missing"},
      {cpus, R"({"vm": "a", "update_spec": null})", "update_spec must be an object"},
      {cpus, R"({"vm": 5, "update_spec": {}})", "vm must be a string, not an integer"},
      {cpus, R"({"vm": "a", "update_spec": {"count": "4"}})", "must be an integer, not a string"},
      {cpus, R"({"vm": "a", "update_spec": {"count": 1.5}})", "not a number with a fraction"},
      {cpus, R"({"vm": "a", "update_spec": {"count": 1e3}})", "count must be an integer"},
      {cpus, R"({"vm": "a", "update_spec": {"count": 9223372036854775808}})",
       "update_spec.count is too large for a 64-bit integer"},
      {cpus, R"({"vm": "a", "update_spec": {"cnt": 1}})",
       "update_spec.cnt is not a member of com.brantel.kov.vm.compute.cpus.update_spec; its "
       "members are: cores_per_socket, count, hot_add_enabled, hot_remove_enabled"},
      {cdrom, R"({"vm": "a", "filter": {"cdroms": ["c-1", 3]}})",
       "filter.cdroms[1] must be a string, not an integer"},
      {cdrom, R"({"vm": "a", "filter": {"backing_types": "RAW"}})",
       "filter.backing_types must be an array (each element a string), not a string"},
      // Definitions of the other primitive kinds.
      {DataDefinition::Create<double>(), "2.5"},
      {DataDefinition::Create<Tarn::Void>(), "null"},
      {DataDefinition::CreatePrimitive(DataType::BLOB), "\"b\""},
      {DataDefinition::CreatePrimitive(DataType::SECRET), "\"s\"", "\"<secret>\""},
      {DataDefinition::Create<Tarn::Void>(), "0", "must be null"},
      {DataDefinition::Create<double>(), "true", "must be a number"},
      {nullptr, "{}", "refused: "},
  };
  for (auto& c : cases) {
    const std::string got = Convert(c.in, c.def);
    if (c.out && got.rfind("refused: ", 0) == 0) {
      EXPECT_NE(got.find(c.out), std::string::npos) << c.in << "\n  gave: " << got;
    } else {
      EXPECT_EQ(got, c.out ? c.out : c.in);
    }
  }
}

TEST(JsonToValue, DeepRecursiveInputIsRefusedNotFollowed) {
  auto ref = StructRefDefinition::GetInstance("node");
  StructDefinition::Fields fields{{"child", OptionalDefinition::GetInstance(ref)}};
  std::shared_ptr<const DataDefinition> node = StructDefinition::GetInstance("node", fields);
  ref->Resolve(node);
  json deep = json::object();
  for (int i = 0; i < 2000; ++i) deep = json{{"child", std::move(deep)}};
  EXPECT_NE(Convert(deep.dump(), node).find("nested too deeply"), std::string::npos);
  EXPECT_EQ(Convert(R"({"child":{"child":{}}})", node), R"({"child":{"child":{}}})");
}

TEST(ValueToJson, EveryKind) {
  using namespace KovTest;
  auto s = Struct("x", {{"i", Int(-3)},
                        {"d", Dbl(0.5)},
                        {"b", Bool(true)},
                        {"s", Str("t")},
                        {"unset", Unset()},
                        {"set", Opt(Int(7))},
                        {"list", List({Str("a"), Unset()})},
                        {"strings", KovTest::Texts({"k1"})},
                        {"secret", SecretValue::GetInstance("hunter2")},
                        {"void", VoidValue::GetInstance()}});
  EXPECT_EQ(ValueToJson(s), json::parse(R"({"i": -3, "d": 0.5, "b": true, "s": "t", "set": 7,
      "list": ["a", null], "strings": ["k1"], "secret": "<secret>", "void": null})"));
  EXPECT_EQ(ValueToJson(nullptr), json(nullptr));
  auto error = Com::Brantel::Tarn::Std::Errors::NotFound::Create(
      {Tarn::MakeMessage("kov.x", "No {}.", "thing")});
  EXPECT_EQ(ValueToJson(error)["messages"][0]["id"], "kov.x");
  EXPECT_EQ(ValueToJson(error)["messages"][0]["default_message"], "No thing.");
}

}  // namespace
}  // namespace Sim
}  // namespace Kov
