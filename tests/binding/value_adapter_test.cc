#include "binding/value_adapter.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "binding/definition_adapter.h"
#include "binding/validator.h"
#include "tests/binding/binding_test_util.h"
#include "tests/binding/test_records.h"

namespace KovTest {
namespace {

using Color = TestSvc::Color;
using Everything = TestSvc::Everything;
using Leaf = TestSvc::Leaf;
using ::Tarn::Data::CompoundValue;
using ::Tarn::Data::DataType;
using ::Tarn::Data::DataValue;
using ::Tarn::Data::ListValue;
using ::Tarn::Data::OptionalValue;
using ::Tarn::Data::StructValue;
using Args = std::vector<std::string>;

const std::string kLeafName = Leaf::typeName;
const std::string kEverythingName = Everything::typeName;

std::shared_ptr<StructValue> Unknown(const FieldList& fields) {
  return Struct("unknownFields", fields);
}

// A record with every member set, unknown fields and unknown enumeration texts included.
std::shared_ptr<Everything> FullRecord() {
  auto e = std::make_shared<Everything>();
  e->count = -42;
  e->enabled = true;
  e->label = "a \"quoted\" label";
  e->color = EnumOf<Color>("MAGENTA");
  e->optCount = 0;
  e->optEnabled = false;
  e->optLabel = std::string();  // set, but empty
  e->optColor = EnumOf<Color>("BLUE");
  auto leaf = std::make_shared<Leaf>();
  leaf->name = "required";
  leaf->size = 1;
  leaf->unknownFields = Unknown({{"leaf_extra", Bool(true)}});
  e->leaf = leaf;
  e->optLeaf = MakeLeaf("optional", 2);
  auto second = std::make_shared<Leaf>();
  second->name = "second";
  second->size = 4;
  second->unknownFields = Unknown({{"a", Int(1)}, {"z", Strings({"x"})}});
  e->leaves = {MakeLeaf("first", 3), second, MakeLeaf("first", 3)};
  e->tags = {"b", "a", ""};
  e->colors = {EnumOf<Color>("RED"), EnumOf<Color>("MAUVE"), EnumOf<Color>("AMBER"),
               EnumOf<Color>("BLUE")};
  e->optTags = std::set<std::string>{"x"};
  e->unknownFields = Unknown({{"extra_int", Int(7)},
                              {"aaa", LeafValue("n", 9)},
                              {"zz_unset", Unset()},
                              {"colorz", Str("")}});
  return e;
}

// A record whose optionals are unset and whose containers are empty.
std::shared_ptr<Everything> SparseRecord() {
  auto e = std::make_shared<Everything>();
  e->leaf = std::make_shared<Leaf>();
  return e;
}

void ExpectSameLeaf(const std::shared_ptr<const Leaf>& a, const std::shared_ptr<const Leaf>& b) {
  ASSERT_EQ(!a, !b);
  if (!a) return;
  EXPECT_EQ(a->name, b->name);
  EXPECT_EQ(a->size, b->size);
  ASSERT_EQ(!a->unknownFields, !b->unknownFields);
  if (a->unknownFields) {
    EXPECT_EQ(*a->unknownFields, *b->unknownFields) << b->unknownFields->ToString();
  }
}

void ExpectSameEverything(const Everything& a, const Everything& b) {
  EXPECT_EQ(a.count, b.count);
  EXPECT_EQ(a.enabled, b.enabled);
  EXPECT_EQ(a.label, b.label);
  EXPECT_EQ(a.color, b.color);
  EXPECT_EQ(a.optCount, b.optCount);
  EXPECT_EQ(a.optEnabled, b.optEnabled);
  EXPECT_EQ(a.optLabel, b.optLabel);
  EXPECT_EQ(a.optColor, b.optColor);
  ExpectSameLeaf(a.leaf, b.leaf);
  ExpectSameLeaf(a.optLeaf, b.optLeaf);
  ASSERT_EQ(a.leaves.size(), b.leaves.size());
  for (std::size_t i = 0; i < a.leaves.size(); ++i) ExpectSameLeaf(a.leaves[i], b.leaves[i]);
  EXPECT_EQ(a.tags, b.tags);
  EXPECT_EQ(a.colors, b.colors);
  EXPECT_EQ(a.optTags, b.optTags);
  ASSERT_EQ(!a.unknownFields, !b.unknownFields);
  if (a.unknownFields) {
    EXPECT_EQ(a.unknownFields->name(), b.unknownFields->name());
    EXPECT_EQ(*a.unknownFields, *b.unknownFields) << b.unknownFields->ToString();
  }
}

// ---- round trips ----

TEST(ValueAdapterRoundTrip, NativeToValueWritesEveryMemberShape) {
  auto record = FullRecord();
  MessageList messages;
  bool ok = false;
  DataValuePtr value = ToValue(*record, messages, &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(value);

  auto leafValue = [](const char* name, std::int64_t size, FieldList extra = {}) {
    FieldList fields{{"name", Str(name)}, {"size", Int(size)}};
    fields.insert(fields.end(), extra.begin(), extra.end());
    return Struct(kLeafName, fields);
  };
  const DataValuePtr expected = Struct(
      kEverythingName,
      {{"count", Int(-42)},
       {"enabled", Bool(true)},
       {"label", Str("a \"quoted\" label")},
       {"color", Str("MAGENTA")},
       {"opt_count", Opt(Int(0))},
       {"opt_enabled", Opt(Bool(false))},
       {"opt_label", Opt(Str(""))},
       {"opt_color", Opt(Str("BLUE"))},
       {"leaf", leafValue("required", 1, {{"leaf_extra", Bool(true)}})},
       {"opt_leaf", Opt(leafValue("optional", 2))},
       {"leaves",
        List({leafValue("first", 3), leafValue("second", 4, {{"a", Int(1)}, {"z", Strings({"x"})}}),
              leafValue("first", 3)})},
       {"tags", Strings({"", "a", "b"})},
       {"colors", List({Str("RED"), Str("BLUE"), Str("AMBER"), Str("MAUVE")}, 2)},
       {"opt_tags", Opt(Strings({"x"}))},
       {"extra_int", Int(7)},
       {"aaa", LeafValue("n", 9)},
       {"zz_unset", Unset()},
       {"colorz", Str("")}});
  EXPECT_EQ(*value, *expected) << value->ToString() << "\n" << expected->ToString();

  auto s = ::Tarn::Data::NarrowDataTypeInt<CompoundValue>(value);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->GetType(), DataType::STRUCTURE);
  // A native list is a list of kind 1, a set of enumeration values one of kind 2, a set of
  // strings a list of strings.
  EXPECT_EQ(static_cast<const ListValue&>(*s->fields().at("leaves")).kind(), 1);
  EXPECT_EQ(static_cast<const ListValue&>(*s->fields().at("colors")).kind(), 2);
  EXPECT_EQ(s->fields().at("tags")->GetType(), DataType::LIST_STRING);
  // Unknown fields travel as the values that were received.
  EXPECT_EQ(s->fields().at("extra_int").get(),
            record->unknownFields->fields().at("extra_int").get());
}

TEST(ValueAdapterRoundTrip, SparseRecordWritesUnsetOptionalsAndEmptyContainers) {
  auto record = SparseRecord();
  MessageList messages;
  DataValuePtr value = ToValue(*record, messages);
  ASSERT_TRUE(messages.empty());
  const DataValuePtr expected = Struct(kEverythingName, {{"count", Int(0)},
                                                         {"enabled", Bool(false)},
                                                         {"label", Str("")},
                                                         {"color", Str("_UNKNOWN")},
                                                         {"opt_count", Unset()},
                                                         {"opt_enabled", Unset()},
                                                         {"opt_label", Unset()},
                                                         {"opt_color", Unset()},
                                                         {"leaf", LeafValue("", 0)},
                                                         {"opt_leaf", Unset()},
                                                         {"leaves", List({})},
                                                         {"tags", Strings({})},
                                                         {"colors", List({}, 2)},
                                                         {"opt_tags", Unset()}});
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, *expected) << value->ToString();
}

TEST(ValueAdapterRoundTrip, NativeToValueToNativeKeepsEveryField) {
  for (auto record : {FullRecord(), SparseRecord()}) {
    MessageList messages;
    DataValuePtr value = ToValue(*record, messages);
    ASSERT_TRUE(messages.empty());
    Everything back;
    ASSERT_TRUE(ToNative(value, back, messages)) << (messages.empty() ? "" : messages[0].id);
    EXPECT_TRUE(messages.empty());
    ExpectSameEverything(*record, back);
    EXPECT_EQ(back.color.unknownText(), record->color.unknownText());

    // And once more: the value made from the copy equals the first one.
    DataValuePtr again = ToValue(back, messages);
    ASSERT_TRUE(messages.empty());
    EXPECT_EQ(*again, *value);
  }
}

TEST(ValueAdapterRoundTrip, InputRecordsUseTheOperationInputName) {
  TestSvc::DoMethod::Input input;
  input.vm = "vm-1";
  input.spec = MakeLeaf("s", 1);
  MessageList messages;
  DataValuePtr value = ToValue(input, messages);
  ASSERT_TRUE(messages.empty());
  auto s = ::Tarn::Data::NarrowDataTypeInt<CompoundValue>(value);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->name(), ::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name());
  EXPECT_EQ(s->fields().size(), 4u);

  TestSvc::DoMethod::Input back;
  ASSERT_TRUE(ToNative(value, back, messages));
  EXPECT_EQ(back.vm, "vm-1");
  ASSERT_TRUE(back.spec);
  EXPECT_EQ(back.spec->name, "s");
  EXPECT_FALSE(back.machine);
  EXPECT_TRUE(back.machines.empty());
}

TEST(ValueAdapterRoundTrip, RecordsContainingEachOther) {
  auto inner = std::make_shared<TestSvc::Ping>();
  auto pong = std::make_shared<TestSvc::Pong>();
  pong->pings = {inner, std::make_shared<TestSvc::Ping>()};
  TestSvc::Ping ping;
  ping.pong = pong;
  MessageList messages;
  DataValuePtr value = ToValue(ping, messages);
  ASSERT_TRUE(messages.empty());
  const DataValuePtr expected = Struct(
      TestSvc::Ping::typeName,
      {{"pong",
        Opt(Struct(TestSvc::Pong::typeName,
                   {{"pings", List({Struct(TestSvc::Ping::typeName, {{"pong", Unset()}}),
                                    Struct(TestSvc::Ping::typeName, {{"pong", Unset()}})})}}))}});
  EXPECT_EQ(*value, *expected) << value->ToString();
  TestSvc::Ping back;
  ASSERT_TRUE(ToNative(value, back, messages));
  ASSERT_TRUE(back.pong);
  ASSERT_EQ(back.pong->pings.size(), 2u);
  EXPECT_FALSE(back.pong->pings[0]->pong);
}

// ---- unknown fields through the adapters ----

TEST(ValueAdapterUnknownFields, UndeclaredFieldsAreKeptUnconverted) {
  const DataValuePtr extraA = Str("first");
  const DataValuePtr extraB = List({Int(1)});
  const DataValuePtr leafExtra = Int(3);
  auto fields = EverythingFields();
  fields = With(fields, "aaa", extraA);
  fields = With(fields, "color_x", extraB);
  fields = With(fields, "leaf",
                Struct(kLeafName, {{"name", Str("l")}, {"size", Int(1)}, {"weight", leafExtra}}));
  Everything record;
  MessageList messages;
  ASSERT_TRUE(ToNative(Struct(kEverythingName, fields), record, messages));
  ASSERT_TRUE(record.unknownFields);
  EXPECT_EQ(record.unknownFields->name(), "unknownFields");
  ASSERT_EQ(record.unknownFields->fields().size(), 2u);
  EXPECT_EQ(record.unknownFields->fields().at("aaa").get(), extraA.get());
  EXPECT_EQ(record.unknownFields->fields().at("color_x").get(), extraB.get());
  ASSERT_TRUE(record.leaf);
  ASSERT_TRUE(record.leaf->unknownFields);
  ASSERT_EQ(record.leaf->unknownFields->fields().size(), 1u);
  EXPECT_EQ(record.leaf->unknownFields->fields().at("weight").get(), leafExtra.get());
}

TEST(ValueAdapterUnknownFields, DeclaredFieldsOnlyLeaveNoUnknownFields) {
  Everything record;
  MessageList messages;
  ASSERT_TRUE(ToNative(Struct(kEverythingName, EverythingFields()), record, messages));
  EXPECT_FALSE(record.unknownFields);
  ASSERT_TRUE(record.leaf);
  EXPECT_FALSE(record.leaf->unknownFields);

  DataValuePtr value = ToValue(record, messages);
  auto s = ::Tarn::Data::NarrowDataTypeInt<CompoundValue>(value);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->fields().size(), Everything::AdapterHelper::sortedNames.size());
}

TEST(ValueAdapterUnknownFields, EveryCompoundKindSuppliesFields) {
  auto dynamic = ::Tarn::Data::DynamicStructValue::GetInstance("anything");
  auto error = ::Tarn::Data::ErrorValue::GetInstance("some.error");
  for (auto& f : EverythingFields()) {
    dynamic->SetField(f.first, f.second);
    error->SetField(f.first, f.second);
  }
  for (DataValuePtr source : {DataValuePtr(dynamic), DataValuePtr(error)}) {
    SCOPED_TRACE(static_cast<int>(source->GetType()));
    Everything record;
    MessageList messages;
    ASSERT_TRUE(ToNative(source, record, messages)) << messages[0].id;
    EXPECT_EQ(record.count, 1);
    EXPECT_EQ(record.color.value(), Color::GREEN);
  }
}

// ---- the failure table ----

struct FailureCase {
  const char* what;
  DataValuePtr value;
  const char* id;
  Args args;
};

std::vector<FailureCase> FailureCases() {
  const FieldList base = EverythingFields();
  auto everything = [&](const char* field, DataValuePtr v) {
    return DataValuePtr(Struct(kEverythingName, With(base, field, std::move(v))));
  };
  const std::string leafPtr = "SharedPtr<" + kLeafName + ">";
  return {
      // A structure from something that is not one.
      {"integer for a structure", Int(3), "tarn.data.invalid.type", {}},
      {"optional for a structure",
       Opt(Struct(kEverythingName, base)),
       "tarn.data.invalid.type",
       {}},
      {"list for a structure", List({}), "tarn.data.invalid.type", {}},
      {"list of strings for a structure", Strings({}), "tarn.data.invalid.type", {}},
      {"text for a structure", Str("abc"), "tarn.data.bad.cast1", {"abc"}},
      {"text for a required nested structure",
       everything("leaf", Str("xyz")),
       "tarn.data.bad.cast1",
       {"xyz"}},
      {"integer for a required nested structure",
       everything("leaf", Int(1)),
       "tarn.data.invalid.type",
       {}},
      {"text for an optional nested structure",
       everything("opt_leaf", Str("xyz")),
       "tarn.data.bad.cast1",
       {"xyz"}},
      {"text in an optional for an optional nested structure",
       everything("opt_leaf", Opt(Str("pq"))),
       "tarn.data.bad.cast1",
       {"pq"}},
      // Lists of structures.
      {"text for a list of structures",
       everything("leaves", Str("one")),
       "tarn.data.bad.cast1",
       {"one"}},
      {"text element in a list of structures",
       everything("leaves", List({Str("q")})),
       "tarn.data.bad.cast1",
       {"q"}},
      {"list of strings for a list of structures",
       everything("leaves", Strings({"a"})),
       "tarn.data.bad.cast2",
       {"20", leafPtr}},
      {"empty list of strings for a list of structures",
       everything("leaves", Strings({})),
       "tarn.data.bad.cast2",
       {"20", leafPtr}},
      {"integer for a list of structures",
       everything("leaves", Int(1)),
       "tarn.data.invalid.type",
       {}},
      {"integer element in a list of structures",
       everything("leaves", List({Int(1)})),
       "tarn.data.invalid.type",
       {}},
      // Sets of strings.
      {"integer for a set of strings", everything("tags", Int(1)), "tarn.data.invalid.type", {}},
      {"optional for a set of strings",
       everything("tags", Opt(Strings({}))),
       "tarn.data.invalid.type",
       {}},
      {"repeated string in a list of strings",
       everything("tags", Strings({"a", "b", "a"})),
       "tarn.data.duplicate.set.element",
       {"a"}},
      {"repeated empty string",
       everything("tags", Strings({"", ""})),
       "tarn.data.duplicate.set.element",
       {""}},
      {"repeated string in a generic list",
       everything("tags", List({Str("x"), Str("y"), Str("x")})),
       "tarn.data.duplicate.set.element",
       {"x"}},
      {"integer in a generic list for a set of strings",
       everything("tags", List({Int(1)})),
       "tarn.data.value.kind.mismatch",
       {"string", "integer"}},
      // Sets of enumeration values.
      {"integer for a set of enumeration values",
       everything("colors", Int(4)),
       "tarn.data.invalid.type",
       {}},
      {"repeated text in a list of strings",
       everything("colors", Strings({"RED", "BLUE", "RED"})),
       "tarn.data.duplicate.set.element",
       {"0"}},
      {"repeated unknown text in a list of strings",
       everything("colors", Strings({"ODD", "ODD"})),
       "tarn.data.duplicate.set.element",
       {"3"}},
      {"\"_UNKNOWN\" and the empty text are one element",
       everything("colors", Strings({"_UNKNOWN", ""})),
       "tarn.data.duplicate.set.element",
       {"3"}},
      {"repeated text in a generic list",
       everything("colors", List({Str("GREEN"), Str("BLUE"), Str("GREEN")}, 2)),
       "tarn.data.duplicate.set.element",
       {"GREEN"}},
      {"integer in a generic list for a set of enumeration values",
       everything("colors", List({Int(1)})),
       "tarn.data.value.kind.mismatch",
       {"string", "integer"}},
      // Required fields: missing, or of a kind that does not fit.
      {"missing required integer",
       Struct(kEverythingName, Without(base, "count")),
       "tarn.data.compound.field.missing",
       {"count", kEverythingName}},
      {"missing required nested structure",
       Struct(kEverythingName, Without(base, "leaf")),
       "tarn.data.compound.field.missing",
       {"leaf", kEverythingName}},
      {"missing required list",
       Struct(kEverythingName, Without(base, "leaves")),
       "tarn.data.compound.field.missing",
       {"leaves", kEverythingName}},
      {"missing field of a nested structure",
       everything("leaf", Struct(kLeafName, {{"name", Str("n")}})),
       "tarn.data.compound.field.missing",
       {"size", kLeafName}},
      {"boolean for an integer",
       everything("count", Bool(true)),
       "tarn.data.value.kind.mismatch",
       {"integer", "boolean"}},
      {"integer for a string",
       everything("label", Int(3)),
       "tarn.data.value.kind.mismatch",
       {"string", "integer"}},
      {"integer for an enumeration",
       everything("color", Int(1)),
       "tarn.data.value.kind.mismatch",
       {"string", "integer"}},
      {"unparsable text for an integer",
       everything("count", Str("abc")),
       "tarn.data.value.parse.failed",
       {"abc", "integer"}},
      {"empty text for a required integer",
       everything("count", Str("")),
       "tarn.data.value.parse.failed",
       {"", "integer"}},
      {"unparsable text for a boolean",
       everything("enabled", Str("yes")),
       "tarn.data.value.parse.failed",
       {"yes", "boolean"}},
      {"boolean for an optional integer",
       everything("opt_count", Bool(true)),
       "tarn.data.value.kind.mismatch",
       {"integer", "boolean"}},
      {"boolean in an optional for an optional integer",
       everything("opt_count", Opt(Bool(true))),
       "tarn.data.value.kind.mismatch",
       {"integer", "boolean"}},
      {"unparsable text for an optional integer",
       everything("opt_count", Str("4x")),
       "tarn.data.value.parse.failed",
       {"4x", "integer"}},
      {"list for an optional string",
       everything("opt_label", List({})),
       "tarn.data.value.kind.mismatch",
       {"string", "list"}},
  };
}

TEST(ValueAdapterFailures, EachFailureRecordsExactlyOneMessageAndReturnsFalse) {
  for (const auto& c : FailureCases()) {
    SCOPED_TRACE(c.what);
    Everything record;
    MessageList messages;
    EXPECT_FALSE(ToNative(c.value, record, messages));
    ASSERT_EQ(messages.size(), 1u) << (messages.size() > 1 ? messages[1].id : "");
    EXPECT_EQ(messages[0].id, c.id);
    EXPECT_EQ(messages[0].args, c.args);
    EXPECT_FALSE(messages[0].defaultMessage.empty());
  }
}

TEST(ValueAdapterFailures, ListOfStringsForASetOfStringsThroughTheGenericPath) {
  std::set<std::string> set{"kept"};
  MessageList messages;
  EXPECT_FALSE(::Tarn::Data::ValueToNativeAdapter::Adapt(
      Strings({"a"}), &::Tarn::Data::ValueToNativeAdapter::SetBeginMethod<std::string>, &set,
      messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.bad.cast2");
  EXPECT_EQ(messages[0].args, (Args{"20", "String"}));
}

TEST(ValueAdapterFailures, NullValuesAreRejectedWithoutACrash) {
  const FieldList base = EverythingFields();
  const DataValuePtr cases[] = {
      nullptr,
      Struct(kEverythingName, With(base, "count", nullptr)),
      Struct(kEverythingName, With(base, "color", nullptr)),
      Struct(kEverythingName, With(base, "leaf", nullptr)),
      Struct(kEverythingName, With(base, "leaves", nullptr)),
      Struct(kEverythingName, With(base, "leaves", List({nullptr}))),
      Struct(kEverythingName, With(base, "tags", nullptr)),
      Struct(kEverythingName, With(base, "tags", List({Str("a"), nullptr}))),
      Struct(kEverythingName, With(base, "colors", List({nullptr}))),
      Struct(kEverythingName, With(base, "opt_count", nullptr)),
      Struct(kEverythingName, With(base, "opt_leaf", nullptr)),
  };
  for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SCOPED_TRACE(i);
    Everything record;
    MessageList messages;
    EXPECT_FALSE(ToNative(cases[i], record, messages));
    EXPECT_EQ(messages.size(), 1u);
  }
}

TEST(ValueAdapterFailures, OnlyTheFirstMissingFieldInDeclarationOrderIsReported) {
  auto fields = Without(Without(Without(EverythingFields(), "colors"), "label"), "count");
  Everything record;
  MessageList messages;
  EXPECT_FALSE(ToNative(Struct(kEverythingName, fields), record, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].args, (Args{"count", kEverythingName}));
}

TEST(ValueAdapterFailures, AMissingFieldDropsTheWorkOfEarlierFields) {
  // "colors" is declared after every required field that is present.
  auto fields = Without(With(EverythingFields(), "count", Int(5)), "colors");
  fields = With(fields, "opt_count", Int(6));
  Everything record;
  MessageList messages;
  EXPECT_FALSE(ToNative(Struct(kEverythingName, fields), record, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(record.count, 0);
  EXPECT_EQ(record.label, "");
  EXPECT_FALSE(record.leaf);
  EXPECT_FALSE(record.optCount);
  EXPECT_FALSE(record.unknownFields);
}

TEST(ValueAdapterFailures, ManyBadFieldsStillGiveOneMessage) {
  auto fields = EverythingFields();
  fields = With(fields, "count", Bool(true));
  fields = With(fields, "enabled", Int(1));
  fields = With(fields, "label", Int(2));
  fields = With(fields, "color", Int(3));
  fields = With(fields, "leaf", Str("bad"));
  fields = With(fields, "opt_count", Str("x"));
  fields = With(fields, "leaves", Strings({"a"}));
  fields = With(fields, "tags", Strings({"a", "a"}));
  Everything record;
  MessageList messages;
  EXPECT_FALSE(ToNative(Struct(kEverythingName, fields), record, messages));
  EXPECT_EQ(messages.size(), 1u);
}

TEST(ValueAdapterFailures, AFailureInsideAListElementEndsTheWholeConversion) {
  auto leaves = List({LeafValue("a", 1), Struct(kLeafName, {{"name", Str("b")}}),
                      Struct(kLeafName, {{"size", Int(2)}}), LeafValue("c", 3)});
  Everything record;
  MessageList messages;
  EXPECT_FALSE(ToNative(Struct(kEverythingName, With(EverythingFields(), "leaves", leaves)), record,
                        messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.compound.field.missing");
}

TEST(ValueAdapterFailures, BadCast1ReadsNoFieldOfTheRecord) {
  Everything record;
  record.count = 7;
  record.label = "kept";
  MessageList messages;
  EXPECT_FALSE(ToNative(Str("not a record"), record, messages));
  EXPECT_EQ(record.count, 7);
  EXPECT_EQ(record.label, "kept");
  EXPECT_FALSE(record.leaf);
  EXPECT_FALSE(record.unknownFields);
}

TEST(ValueAdapterFailures, ResultReflectsOnlyTheMessagesOfThisConversion) {
  MessageList messages{::Tarn::BaseMessage{"earlier", "text", {}}};
  Everything record;
  EXPECT_TRUE(ToNative(Struct(kEverythingName, EverythingFields()), record, messages));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(ToNative(Int(1), record, messages));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].id, "earlier");
  EXPECT_EQ(messages[1].id, "tarn.data.invalid.type");

  auto nullLeaf = SparseRecord();
  nullLeaf->leaf = nullptr;
  bool ok = true;
  ToValue(*nullLeaf, messages, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(messages.size(), 3u);
}

TEST(ValueAdapterFailures, NullRequiredNestedRecordInNativeToValue) {
  auto nullLeaf = FullRecord();
  nullLeaf->leaf = nullptr;
  auto nullElement = FullRecord();
  nullElement->leaves.push_back(nullptr);
  auto both = FullRecord();
  both->leaf = nullptr;
  both->leaves.insert(both->leaves.begin(), nullptr);
  for (auto* record : {nullLeaf.get(), nullElement.get(), both.get()}) {
    MessageList messages;
    bool ok = true;
    DataValuePtr value = ToValue(*record, messages, &ok);
    EXPECT_FALSE(ok);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
    EXPECT_EQ(messages[0].args, Args{kLeafName});
    // The structure value stored before the failure stays in the destination.
    auto s = ::Tarn::Data::NarrowDataTypeInt<CompoundValue>(value);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->name(), kEverythingName);
  }
}

TEST(ValueAdapterFailures, NullRecordInsideAnInputRecordNamesItsType) {
  TestSvc::DoMethod::Input input;
  input.spec = MakeLeaf("s", 1);
  input.machines = {std::make_shared<TestSvc::Machine>(), nullptr};
  MessageList messages;
  bool ok = true;
  ToValue(input, messages, &ok);
  EXPECT_FALSE(ok);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(messages[0].args, Args{TestSvc::Machine::typeName});
}

TEST(ValueAdapterFailures, DuplicateEnumerationTextsStillInsertTheRemainingStrings) {
  Everything record;
  MessageList messages;
  EXPECT_FALSE(ToNative(Struct(kEverythingName, With(EverythingFields(), "colors",
                                                     Strings({"RED", "RED", "BLUE", "ODD"}))),
                        record, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.duplicate.set.element");
  EXPECT_EQ(record.colors,
            (std::set<Color>{Color(Color::RED), Color(Color::BLUE), EnumOf<Color>("ODD")}));
}

// ---- the empty string ----

TEST(ValueAdapterEmptyString, StructureFromTheEmptyString) {
  Everything record;
  MessageList messages;
  ASSERT_TRUE(ToNative(Str(""), record, messages));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(record.count, 0);
  EXPECT_FALSE(record.enabled);
  EXPECT_EQ(record.label, "");
  EXPECT_EQ(record.color.value(), Color::_UNKNOWN);
  EXPECT_EQ(record.color.unknownText(), "");
  EXPECT_FALSE(record.optCount);
  EXPECT_FALSE(record.optEnabled);
  EXPECT_FALSE(record.optLabel);
  EXPECT_FALSE(record.optColor);
  ASSERT_TRUE(record.leaf);  // built from the empty string in turn
  EXPECT_EQ(record.leaf->name, "");
  EXPECT_EQ(record.leaf->size, 0);
  EXPECT_FALSE(record.leaf->unknownFields);
  EXPECT_FALSE(record.optLeaf);
  EXPECT_TRUE(record.leaves.empty());
  EXPECT_TRUE(record.tags.empty());
  EXPECT_TRUE(record.colors.empty());
  EXPECT_FALSE(record.optTags);
  EXPECT_FALSE(record.unknownFields);
}

TEST(ValueAdapterEmptyString, PrimitivesKeepTheirValuesEnumerationsAndRecordsAreReplaced) {
  Everything record;
  record.count = 9;
  record.enabled = true;
  record.label = "kept";
  record.color = Color(Color::RED);
  auto old = MakeLeaf("old", 5);
  record.leaf = old;
  MessageList messages;
  ASSERT_TRUE(ToNative(Str(""), record, messages));
  EXPECT_EQ(record.count, 9);
  EXPECT_TRUE(record.enabled);
  EXPECT_EQ(record.label, "kept");
  EXPECT_EQ(record.color, Color());
  ASSERT_TRUE(record.leaf);
  EXPECT_NE(record.leaf.get(), old.get());
  EXPECT_EQ(record.leaf->name, "");
}

TEST(ValueAdapterEmptyString, NestedStructuresAndOtherRecords) {
  auto fields = With(EverythingFields(), "leaf", Str(""));
  Everything record;
  MessageList messages;
  ASSERT_TRUE(ToNative(Struct(kEverythingName, fields), record, messages));
  ASSERT_TRUE(record.leaf);
  EXPECT_EQ(record.leaf->name, "");

  TestSvc::DoMethod::Input input;
  ASSERT_TRUE(ToNative(Str(""), input, messages));
  EXPECT_EQ(input.vm, "");
  ASSERT_TRUE(input.spec);
  EXPECT_FALSE(input.machine);
  EXPECT_TRUE(input.machines.empty());

  TestSvc::Backing backing;
  ASSERT_TRUE(ToNative(Str(""), backing, messages));
  EXPECT_EQ(backing.mode, TestSvc::PowerState());
  EXPECT_FALSE(backing.deviceName);
  EXPECT_FALSE(backing.note);

  TestSvc::Chain chain;
  ASSERT_TRUE(ToNative(Str(""), chain, messages));
  EXPECT_FALSE(chain.next);
  EXPECT_TRUE(messages.empty());
}

TEST(ValueAdapterEmptyString, RequiredStringAndEnumerationFromTheEmptyText) {
  auto fields = With(With(EverythingFields(), "label", Str("")), "color", Str(""));
  Everything record;
  record.label = "overwritten";
  MessageList messages;
  ASSERT_TRUE(ToNative(Struct(kEverythingName, fields), record, messages));
  EXPECT_EQ(record.label, "");
  EXPECT_EQ(record.color.value(), Color::_UNKNOWN);
  EXPECT_EQ(record.color.unknownText(), "");
}

TEST(ValueAdapterEmptyString, ListsAndSets) {
  struct Case {
    const char* field;
    DataValuePtr value;
    std::size_t leaves;
    std::set<std::string> tags;
    std::set<Color> colors;
  };
  const Case cases[] = {
      {"leaves", Str(""), 0, {"t"}, {Color(Color::RED)}},
      {"tags", Str(""), 1, {}, {Color(Color::RED)}},
      {"tags", Str("solo"), 1, {"solo"}, {Color(Color::RED)}},
      {"colors", Str(""), 1, {"t"}, {}},
      {"colors", Str("BLUE"), 1, {"t"}, {Color(Color::BLUE)}},
      {"colors", Str("ODD"), 1, {"t"}, {EnumOf<Color>("ODD")}},
      {"tags", List({Str("x"), Str("y")}), 1, {"x", "y"}, {Color(Color::RED)}},
      {"colors",
       Strings({"ODD", "EVEN", "GREEN"}),
       1,
       {"t"},
       {EnumOf<Color>("ODD"), EnumOf<Color>("EVEN"), Color(Color::GREEN)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.value->ToString());
    auto fields = EverythingFields();
    fields = With(fields, "leaves", List({LeafValue("a", 1)}));
    fields = With(fields, "tags", Strings({"t"}));
    fields = With(fields, "colors", Strings({"RED"}));
    fields = With(fields, c.field, c.value);
    Everything record;
    // Previous contents are replaced, not merged.
    record.leaves = {MakeLeaf("old", 1), MakeLeaf("old", 2)};
    record.tags = {"old"};
    record.colors = {Color(Color::GREEN), Color(Color::BLUE)};
    MessageList messages;
    ASSERT_TRUE(ToNative(Struct(kEverythingName, fields), record, messages)) << messages[0].id;
    EXPECT_EQ(record.leaves.size(), c.leaves);
    EXPECT_EQ(record.tags, c.tags);
    EXPECT_EQ(record.colors, c.colors);
  }
}

// ---- optionals ----

TEST(ValueAdapterOptionals, OptionalInteger) {
  struct Case {
    const char* what;
    DataValuePtr value;  // null: the field is absent
    boost::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {"absent", nullptr, boost::none},
      {"unset optional value", Unset(), boost::none},
      {"set optional value", Opt(Int(5)), 5},
      {"bare value", Int(-5), -5},
      {"empty text", Str(""), boost::none},
      {"text", Str("42"), 42},
      {"negative text", Str("-7"), -7},
      {"text in an optional value", Opt(Str("42")), 42},
      {"zero", Int(0), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto fields = EverythingFields();
    if (c.value) fields = With(fields, "opt_count", c.value);
    Everything record;
    MessageList messages;
    ASSERT_TRUE(ToNative(Struct(kEverythingName, fields), record, messages)) << messages[0].id;
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(record.optCount, c.expected);
  }
}

TEST(ValueAdapterOptionals, OptionalTextsEnumerationsSetsAndBooleans) {
  Everything record;
  MessageList messages;
  auto convert = [&](const char* field, DataValuePtr value) {
    record = Everything();
    messages.clear();
    return ToNative(Struct(kEverythingName, With(EverythingFields(), field, std::move(value))),
                    record, messages);
  };
  ASSERT_TRUE(convert("opt_label", Str("")));
  EXPECT_FALSE(record.optLabel);  // a bare empty text is no value
  ASSERT_TRUE(convert("opt_label", Opt(Str(""))));
  EXPECT_EQ(record.optLabel, std::string());  // but inside an optional value it is one
  ASSERT_TRUE(convert("opt_label", Str("x")));
  EXPECT_EQ(record.optLabel, std::string("x"));

  ASSERT_TRUE(convert("opt_color", Str("")));
  EXPECT_FALSE(record.optColor);
  ASSERT_TRUE(convert("opt_color", Str("RED")));
  EXPECT_EQ(record.optColor, Color(Color::RED));
  ASSERT_TRUE(convert("opt_color", Opt(Str("ODD"))));
  ASSERT_TRUE(record.optColor);
  EXPECT_EQ(record.optColor->unknownText(), "ODD");
  ASSERT_TRUE(convert("opt_color", Unset()));
  EXPECT_FALSE(record.optColor);

  ASSERT_TRUE(convert("opt_enabled", Str("false")));
  EXPECT_EQ(record.optEnabled, false);
  ASSERT_TRUE(convert("opt_enabled", Str("true")));
  EXPECT_EQ(record.optEnabled, true);

  ASSERT_TRUE(convert("opt_tags", Str("")));
  EXPECT_FALSE(record.optTags);
  ASSERT_TRUE(convert("opt_tags", Str("solo")));
  EXPECT_EQ(record.optTags, (std::set<std::string>{"solo"}));
  ASSERT_TRUE(convert("opt_tags", Opt(Strings({"a", "b"}))));
  EXPECT_EQ(record.optTags, (std::set<std::string>{"a", "b"}));
  ASSERT_TRUE(convert("opt_tags", Opt(Strings({}))));
  EXPECT_EQ(record.optTags, std::set<std::string>());
  ASSERT_TRUE(convert("opt_tags", Unset()));
  EXPECT_FALSE(record.optTags);
  EXPECT_FALSE(convert("opt_tags", Opt(Strings({"a", "a"}))));
  EXPECT_EQ(Ids(messages), std::vector<std::string>{"tarn.data.duplicate.set.element"});
}

TEST(ValueAdapterOptionals, OptionalNestedRecord) {
  struct Case {
    const char* what;
    DataValuePtr value;
    bool set;
    const char* name;
  };
  const Case cases[] = {
      {"empty text", Str(""), false, ""},
      {"unset optional value", Unset(), false, ""},
      {"set optional value", Opt(LeafValue("in", 1)), true, "in"},
      {"bare structure", LeafValue("bare", 2), true, "bare"},
      {"empty text in an optional value", Opt(Str("")), true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Everything record;
    MessageList messages;
    ASSERT_TRUE(ToNative(Struct(kEverythingName, With(EverythingFields(), "opt_leaf", c.value)),
                         record, messages));
    ASSERT_EQ(static_cast<bool>(record.optLeaf), c.set);
    if (c.set) {
      EXPECT_EQ(record.optLeaf->name, c.name);
    }
  }
}

// ---- no recursion over data ----

std::shared_ptr<const TestSvc::Tree> MakeTreeLeaf() {
  auto leaf = std::make_shared<TestSvc::Tree>();
  leaf->name = "leaf";
  return leaf;
}

// Depth of a value made from a chain, walked without recursion.
int ValueDepth(const DataValuePtr& value) {
  int depth = 0;
  const DataValue* current = value.get();
  while (current) {
    auto* s = static_cast<const CompoundValue*>(current);
    EXPECT_EQ(s->fields().at("depth")->GetType(), DataType::INTEGER);
    ++depth;
    auto& next = static_cast<const OptionalValue&>(*s->fields().at("next"));
    current = next.IsSet() ? next.value().get() : nullptr;
  }
  return depth;
}

TEST(ValueAdapterNoRecursion, DeepChainThroughAnOptionalOnTheDefaultThreadStack) {
  constexpr int kDepth = 10000;
  bool done = false;
  std::thread worker([&] {
    auto chain = MakeChain(kDepth);
    MessageList messages;
    bool ok = false;
    DataValuePtr value = ToValue(*chain, messages, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ValueDepth(value), kDepth);

    auto back = std::make_shared<TestSvc::Chain>();
    ASSERT_TRUE(ToNative(value, *back, messages));
    int expected = 0;
    for (const TestSvc::Chain* node = back.get(); node; node = node->next.get()) {
      ASSERT_EQ(node->depth, expected);
      ++expected;
    }
    EXPECT_EQ(expected, kDepth);

    EXPECT_TRUE(::Tarn::Data::Validator::isValid(*back, ::Tarn::Data::Validator::kRejectUndeclared,
                                                 messages));
    auto definition = ::Tarn::Data::NativeToDefinitionAdapter::Adapt<TestSvc::Chain>();
    EXPECT_TRUE(definition->Validate(value, messages));
    DataValuePtr again = ToValue(*back, messages);
    EXPECT_EQ(*again, *value);
    EXPECT_TRUE(messages.empty());

    ReleaseChain(std::move(chain));
    ReleaseChain(std::move(back));
    done = true;
  });
  worker.join();
  EXPECT_TRUE(done);
}

TEST(ValueAdapterNoRecursion, AFailureAtTheBottomOfADeepValue) {
  constexpr int kDepth = 10000;
  bool done = false;
  std::thread worker([&] {
    DataValuePtr value = Struct(TestSvc::Chain::typeName, {{"depth", Str("bottom")}});
    for (int i = kDepth - 2; i >= 0; --i) {
      value = Struct(TestSvc::Chain::typeName, {{"depth", Int(i)}, {"next", Opt(value)}});
    }
    auto back = std::make_shared<TestSvc::Chain>();
    MessageList messages;
    EXPECT_FALSE(ToNative(value, *back, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, "tarn.data.value.parse.failed");
    ReleaseChain(std::move(back));
    done = true;
  });
  worker.join();
  EXPECT_TRUE(done);
}

TEST(ValueAdapterNoRecursion, DeepTreeThroughAListOnTheDefaultThreadStack) {
  constexpr int kDepth = 10000;
  bool done = false;
  std::thread worker([&] {
    std::shared_ptr<TestSvc::Tree> root;
    for (int i = kDepth - 1; i >= 0; --i) {
      auto node = std::make_shared<TestSvc::Tree>();
      node->name = std::to_string(i);
      if (root) node->children = {root, MakeTreeLeaf()};
      root = std::move(node);
    }
    MessageList messages;
    DataValuePtr value = ToValue(*root, messages);
    ASSERT_TRUE(messages.empty());
    auto back = std::make_shared<TestSvc::Tree>();
    ASSERT_TRUE(ToNative(value, *back, messages));
    int depth = 0;
    for (const TestSvc::Tree* node = back.get(); node;
         node = node->children.empty() ? nullptr : node->children[0].get()) {
      ASSERT_EQ(node->name, std::to_string(depth));
      ASSERT_EQ(node->children.size(), depth + 1 == kDepth ? 0u : 2u);
      ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_TRUE(::Tarn::Data::Validator::isValid(*back, ::Tarn::Data::Validator::kRejectUndeclared,
                                                 messages));
    EXPECT_TRUE(messages.empty());
    ReleaseTree(std::move(root));
    ReleaseTree(std::move(back));
    done = true;
  });
  worker.join();
  EXPECT_TRUE(done);
}

}  // namespace
}  // namespace KovTest
