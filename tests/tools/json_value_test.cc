// JSON to values through definitions, and values to JSON.
#include "tools/sim/json_value.h"

#include <gtest/gtest.h>

#include "tools/sim/simulator.h"

namespace Kov {
namespace Sim {
namespace {

using nlohmann::json;
using namespace Tarn::Data;

// The input definition of an operation, from the method object the binder built.
DataDefinitionPtr InputDef(const std::string& service, const std::string& operation) {
  for (auto& iface : Simulator().Bind()) {
    if (iface->identifier()->name() == service)
      return iface->FindMethod(operation)->inputDefinition();
  }
  ADD_FAILURE() << "no service " << service;
  return nullptr;
}

DataDefinitionPtr CpusUpdate() { return InputDef("com.brantel.kov.vm.compute.cpus", "update"); }

DataValuePtr Convert(const char* text, const DataDefinitionPtr& def) {
  DataValuePtr value;
  std::string error;
  EXPECT_TRUE(JsonToValue(json::parse(text), def, value, error)) << text << ": " << error;
  return value;
}

std::string Refusal(const char* text, const DataDefinitionPtr& def) {
  DataValuePtr value = StringValue::GetInstance("untouched");
  DataValuePtr before = value;
  std::string error;
  EXPECT_FALSE(JsonToValue(json::parse(text), def, value, error)) << text;
  EXPECT_EQ(value, before) << "the output must be left alone on failure";
  return error;
}

// Every valid input comes back unchanged from its value (an unset optional member is left out);
// the simulator's tests convert inputs of every shape, here are the edges.
TEST(JsonToValue, ValidInputRoundTrips) {
  const struct {
    const char* in;
    const char* back;
  } cases[] = {
      {R"({"vm":"a","update_spec":{"count":9223372036854775807}})", nullptr},
      {R"({"vm":"a","update_spec":{"count":-9223372036854775808}})", nullptr},
      {R"({"vm":"a","update_spec":{"count":null,"hot_add_enabled":true}})",
       R"({"vm":"a","update_spec":{"hot_add_enabled":true}})"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ValueToJson(Convert(c.in, CpusUpdate())), json::parse(c.back ? c.back : c.in));
  }
}

TEST(JsonToValue, RefusalsNameThePlaceAndTheProblem) {
  const auto cdrom = InputDef("com.brantel.kov.vm.device.cdrom", "list");
  const struct {
    const char* json;
    const char* expected;
    bool cdromList = false;
  } cases[] = {
      {R"({"update_spec": {}})", "vm is missing"},
      {R"({"vm": "a", "update_spec": null})", "update_spec must be an object"},
      {R"({"vm": 5, "update_spec": {}})", "vm must be a string, not an integer"},
      {R"({"vm": "a", "update_spec": {"count": "4"}})",
       "update_spec.count must be an integer, not a string"},
      {R"({"vm": "a", "update_spec": {"count": 1.5}})",
       "update_spec.count must be an integer, not a number with a fraction"},
      {R"({"vm": "a", "update_spec": {"count": 1e3}})", "update_spec.count must be an integer"},
      {R"({"vm": "a", "update_spec": {"count": 9223372036854775808}})",
       "update_spec.count is too large for a 64-bit integer"},
      {R"({"vm": "a", "update_spec": {"cnt": 1}})",
       "update_spec.cnt is not a member of com.brantel.kov.vm.compute.cpus.update_spec; its "
       "members are: cores_per_socket, count, hot_add_enabled, hot_remove_enabled"},
      {R"({"vm": "a", "filter": {"cdroms": ["c-1", 3]}})",
       "filter.cdroms[1] must be a string, not an integer", true},
      {R"({"vm": "a", "filter": {"backing_types": "RAW"}})",
       "filter.backing_types must be an array (each element a string), not a string", true},
  };
  for (auto& c : cases) {
    std::string error = Refusal(c.json, c.cdromList ? cdrom : CpusUpdate());
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.json << "\n  gave: " << error;
  }
}

TEST(JsonToValue, OperationWithoutInputFieldsTakesAnEmptyObject) {
  auto def = InputDef("com.brantel.kov.vm.dock", "list");
  auto value = Convert("{}", def);
  Tarn::MessageList messages;
  EXPECT_TRUE(def->Validate(value, messages));
  EXPECT_NE(Refusal(R"({"vm": "a"})", def).find("which has no members"), std::string::npos);
}

TEST(JsonToValue, PrimitiveDefinitionsOfEveryKind) {
  EXPECT_TRUE(
      Convert("2.5", DataDefinition::Create<double>())->Equals(*DoubleValue::GetInstance(2.5)));
  EXPECT_EQ(Convert("null", DataDefinition::Create<Tarn::Void>())->GetType(), DataType::VOID);
  EXPECT_EQ(Convert("\"b\"", DataDefinition::CreatePrimitive(DataType::BLOB))->GetType(),
            DataType::BLOB);
  EXPECT_EQ(Convert("\"s\"", DataDefinition::CreatePrimitive(DataType::SECRET))->GetType(),
            DataType::SECRET);
  EXPECT_NE(Refusal("0", DataDefinition::Create<Tarn::Void>()).find("must be null"),
            std::string::npos);
  EXPECT_NE(Refusal("true", DataDefinition::Create<double>()).find("must be a number"),
            std::string::npos);
  std::string error;
  DataValuePtr out;
  EXPECT_FALSE(JsonToValue(json::object(), nullptr, out, error));
  EXPECT_FALSE(error.empty());
}

TEST(JsonToValue, DeepRecursiveInputIsRefusedNotFollowed) {
  auto ref = StructRefDefinition::GetInstance("node");
  StructDefinition::Fields fields{{"child", OptionalDefinition::GetInstance(ref)}};
  std::shared_ptr<const DataDefinition> node = StructDefinition::GetInstance("node", fields);
  ref->Resolve(node);
  json deep = json::object();
  for (int i = 0; i < 2000; ++i) deep = json{{"child", std::move(deep)}};
  DataValuePtr out;
  std::string error;
  EXPECT_FALSE(JsonToValue(deep, node, out, error));
  EXPECT_NE(error.find("nested too deeply"), std::string::npos);
  // A few levels are fine.
  EXPECT_TRUE(JsonToValue(json::parse(R"({"child": {"child": {}}})"), node, out, error)) << error;
}

TEST(ValueToJson, EveryKind) {
  auto s = StructValue::GetInstance("x");
  s->SetField("i", IntegerValue::GetInstance(-3));
  s->SetField("d", DoubleValue::GetInstance(0.5));
  s->SetField("b", BooleanValue::GetInstance(true));
  s->SetField("s", StringValue::GetInstance("t"));
  s->SetField("unset", OptionalValue::GetInstance());
  s->SetField("set", OptionalValue::GetInstance(IntegerValue::GetInstance(7)));
  auto list = ListValue::GetInstance();
  list->Add(StringValue::GetInstance("a"));
  list->Add(OptionalValue::GetInstance());
  s->SetField("list", list);
  auto strings = ListValueString::GetInstance();
  strings->Add("k1");
  s->SetField("strings", strings);
  s->SetField("secret", SecretValue::GetInstance("hunter2"));
  s->SetField("void", VoidValue::GetInstance());
  EXPECT_EQ(ValueToJson(s), json::parse(R"({"i": -3, "d": 0.5, "b": true, "s": "t", "set": 7,
      "list": ["a", null], "strings": ["k1"], "secret": "<secret>", "void": null})"));
  EXPECT_EQ(ValueToJson(nullptr), json(nullptr));
}

TEST(ValueToJson, ErrorsShowTheirMessages) {
  auto error = Com::Brantel::Tarn::Std::Errors::NotFound::Create(
      {Tarn::MakeMessage("kov.x", "No {}.", "thing")});
  auto j = ValueToJson(error);
  ASSERT_TRUE(j.contains("messages"));
  EXPECT_EQ(j["messages"][0]["id"], "kov.x");
  EXPECT_EQ(j["messages"][0]["default_message"], "No thing.");
}

}  // namespace
}  // namespace Sim
}  // namespace Kov
