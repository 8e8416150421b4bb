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

// An Everything value with every required field valid and `field` set to `value`.
DataValuePtr EverythingWith(const std::string& field, DataValuePtr value) {
  return Struct(kEverythingName, With(EverythingFields(), field, std::move(value)));
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

  // A sparse record: unset optionals and empty containers.
  const DataValuePtr sparse = Struct(kEverythingName, {{"count", Int(0)},
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
  EXPECT_EQ(*ValueOf(*SparseRecord()), *sparse);
}

TEST(ValueAdapterRoundTrip, NativeToValueToNativeKeepsEveryField) {
  for (auto record : {FullRecord(), SparseRecord()}) {
    const DataValuePtr value = ValueOf(*record);
    Everything back;
    MessageList messages;
    ASSERT_TRUE(ToNative(value, back, messages)) << (messages.empty() ? "" : messages[0].id);
    EXPECT_TRUE(messages.empty());
    // The value made from the copy equals the first one, every member and unknown field included.
    EXPECT_EQ(*ValueOf(back), *value);
    EXPECT_EQ(back.color, record->color);
    EXPECT_EQ(back.color.unknownText(), record->color.unknownText());
    EXPECT_EQ(back.colors, record->colors);
    EXPECT_EQ(back.optLabel, record->optLabel);
    ASSERT_EQ(!back.unknownFields, !record->unknownFields);
    if (back.unknownFields) {
      EXPECT_EQ(back.unknownFields->name(), "unknownFields");
      EXPECT_EQ(*back.unknownFields, *record->unknownFields);
      ASSERT_TRUE(back.leaves[1]->unknownFields);
      EXPECT_EQ(*back.leaves[1]->unknownFields, *record->leaves[1]->unknownFields);
    }
  }
}

TEST(ValueAdapterRoundTrip, InputRecordsAndRecordsContainingEachOther) {
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
  TestSvc::DoMethod::Input inputBack;
  ASSERT_TRUE(ToNative(value, inputBack, messages));
  EXPECT_EQ(inputBack.vm, "vm-1");
  ASSERT_TRUE(inputBack.spec);
  EXPECT_EQ(inputBack.spec->name, "s");
  EXPECT_FALSE(inputBack.machine);
  EXPECT_TRUE(inputBack.machines.empty());

  auto pong = std::make_shared<TestSvc::Pong>();
  pong->pings = {std::make_shared<TestSvc::Ping>(), std::make_shared<TestSvc::Ping>()};
  TestSvc::Ping ping;
  ping.pong = pong;
  value = ToValue(ping, messages);
  ASSERT_TRUE(messages.empty());
  const DataValuePtr inner = Struct(TestSvc::Ping::typeName, {{"pong", Unset()}});
  const DataValuePtr expected =
      Struct(TestSvc::Ping::typeName,
             {{"pong", Opt(Struct(TestSvc::Pong::typeName, {{"pings", List({inner, inner})}}))}});
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
  auto fields = With(With(EverythingFields(), "aaa", extraA), "color_x", extraB);
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
  ASSERT_TRUE(record.leaf && record.leaf->unknownFields);
  ASSERT_EQ(record.leaf->unknownFields->fields().size(), 1u);
  EXPECT_EQ(record.leaf->unknownFields->fields().at("weight").get(), leafExtra.get());

  // Declared fields only: no unknown fields, and the value has exactly the declared ones.
  Everything plain;
  ASSERT_TRUE(ToNative(Struct(kEverythingName, EverythingFields()), plain, messages));
  EXPECT_FALSE(plain.unknownFields);
  ASSERT_TRUE(plain.leaf);
  EXPECT_FALSE(plain.leaf->unknownFields);
  auto s = ::Tarn::Data::NarrowDataTypeInt<CompoundValue>(ValueOf(plain));
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

// ---- failures ----

constexpr char kInvalidType[] = "tarn.data.invalid.type";
constexpr char kBadCast1[] = "tarn.data.bad.cast1";
constexpr char kBadCast2[] = "tarn.data.bad.cast2";
constexpr char kDuplicate[] = "tarn.data.duplicate.set.element";
constexpr char kMismatch[] = "tarn.data.value.kind.mismatch";
constexpr char kMissing[] = "tarn.data.compound.field.missing";
constexpr char kParse[] = "tarn.data.value.parse.failed";

// Each failure records exactly one message and returns false.
TEST(ValueAdapterFailures, FailureTable) {
  struct Case {
    const char* what;
    DataValuePtr value;
    const char* id;
    Args args;
  };
  const FieldList base = EverythingFields();
  auto E = [](const char* field, DataValuePtr v) { return EverythingWith(field, std::move(v)); };
  auto without = [&](const FieldList& f) { return DataValuePtr(Struct(kEverythingName, f)); };
  const std::string leafPtr = "SharedPtr<" + kLeafName + ">";
  const Case cases[] = {
      // A structure from something that is not one.
      {"integer for a structure", Int(3), kInvalidType, A()},
      {"optional for a structure", Opt(Struct(kEverythingName, base)), kInvalidType, A()},
      {"list for a structure", List({}), kInvalidType, A()},
      {"list of strings for a structure", Strings({}), kInvalidType, A()},
      {"text for a structure", Str("abc"), kBadCast1, A("abc")},
      {"text for a required nested structure", E("leaf", Str("xyz")), kBadCast1, A("xyz")},
      {"integer for a required nested structure", E("leaf", Int(1)), kInvalidType, A()},
      {"text for an optional nested structure", E("opt_leaf", Str("xyz")), kBadCast1, A("xyz")},
      {"text in an optional for an optional structure", E("opt_leaf", Opt(Str("pq"))), kBadCast1,
       A("pq")},
      // Lists of structures.
      {"text for a list of structures", E("leaves", Str("one")), kBadCast1, A("one")},
      {"text element in a list of structures", E("leaves", List({Str("q")})), kBadCast1, A("q")},
      {"list of strings for a list of structures", E("leaves", Strings({"a"})), kBadCast2,
       A("20", leafPtr)},
      {"empty list of strings for a list of structures", E("leaves", Strings({})), kBadCast2,
       A("20", leafPtr)},
      {"integer for a list of structures", E("leaves", Int(1)), kInvalidType, A()},
      {"integer element in a list of structures", E("leaves", List({Int(1)})), kInvalidType, A()},
      // Sets of strings.
      {"integer for a set of strings", E("tags", Int(1)), kInvalidType, A()},
      {"optional for a set of strings", E("tags", Opt(Strings({}))), kInvalidType, A()},
      {"repeated string in a list of strings", E("tags", Strings({"a", "b", "a"})), kDuplicate,
       A("a")},
      {"repeated empty string", E("tags", Strings({"", ""})), kDuplicate, A("")},
      {"repeated string in a generic list", E("tags", List({Str("x"), Str("y"), Str("x")})),
       kDuplicate, A("x")},
      {"integer in a generic list for a set of strings", E("tags", List({Int(1)})), kMismatch,
       A("string", "integer")},
      // Sets of enumeration values.
      {"integer for a set of enumeration values", E("colors", Int(4)), kInvalidType, A()},
      {"repeated text in a list of strings", E("colors", Strings({"RED", "BLUE", "RED"})),
       kDuplicate, A("0")},
      {"repeated unknown text in a list of strings", E("colors", Strings({"ODD", "ODD"})),
       kDuplicate, A("3")},
      {"\"_UNKNOWN\" and the empty text are one element", E("colors", Strings({"_UNKNOWN", ""})),
       kDuplicate, A("3")},
      {"repeated text in a generic list",
       E("colors", List({Str("GREEN"), Str("BLUE"), Str("GREEN")}, 2)), kDuplicate, A("GREEN")},
      {"integer in a generic list for a set of enumeration values", E("colors", List({Int(1)})),
       kMismatch, A("string", "integer")},
      // Required fields: missing, or of a kind that does not fit.
      {"missing required integer", without(Without(base, "count")), kMissing,
       A("count", kEverythingName)},
      {"missing required nested structure", without(Without(base, "leaf")), kMissing,
       A("leaf", kEverythingName)},
      {"missing required list", without(Without(base, "leaves")), kMissing,
       A("leaves", kEverythingName)},
      {"only the first missing field in declaration order",
       without(Without(Without(Without(base, "colors"), "label"), "count")), kMissing,
       A("count", kEverythingName)},
      {"missing field of a nested structure", E("leaf", Struct(kLeafName, {{"name", Str("n")}})),
       kMissing, A("size", kLeafName)},
      {"boolean for an integer", E("count", Bool(true)), kMismatch, A("integer", "boolean")},
      {"integer for a string", E("label", Int(3)), kMismatch, A("string", "integer")},
      {"integer for an enumeration", E("color", Int(1)), kMismatch, A("string", "integer")},
      {"unparsable text for an integer", E("count", Str("abc")), kParse, A("abc", "integer")},
      {"empty text for a required integer", E("count", Str("")), kParse, A("", "integer")},
      {"unparsable text for a boolean", E("enabled", Str("yes")), kParse, A("yes", "boolean")},
      {"boolean for an optional integer", E("opt_count", Bool(true)), kMismatch,
       A("integer", "boolean")},
      {"boolean in an optional for an optional integer", E("opt_count", Opt(Bool(true))), kMismatch,
       A("integer", "boolean")},
      {"unparsable text for an optional integer", E("opt_count", Str("4x")), kParse,
       A("4x", "integer")},
      {"list for an optional string", E("opt_label", List({})), kMismatch, A("string", "list")},
      {"repeated string in an optional set", E("opt_tags", Opt(Strings({"a", "a"}))), kDuplicate,
       A("a")},
  };
  for (const auto& c : cases) {
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

// However many problems a value has, one message reports the first in reading order: fields in
// declaration order, list elements in list order.
TEST(ValueAdapterFailures, ManyProblemsGiveOneMessageAboutTheFirst) {
  const FieldList base = EverythingFields();
  auto badFields = base;
  for (auto& f : FieldList{{"count", Bool(true)},
                           {"enabled", Int(1)},
                           {"label", Int(2)},
                           {"color", Int(3)},
                           {"leaf", Str("bad")},
                           {"opt_count", Str("x")},
                           {"leaves", Strings({"a"})},
                           {"tags", Strings({"a", "a"})}}) {
    badFields = With(badFields, f.first, f.second);
  }
  const auto badLeaves = List({LeafValue("a", 1), Struct(kLeafName, {{"name", Str("b")}}),
                               Struct(kLeafName, {{"size", Int(2)}}), LeafValue("c", 3)});
  Everything record;
  MessageList messages;
  EXPECT_FALSE(ToNative(Struct(kEverythingName, badFields), record, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, kMismatch);  // "count", the first field, given a boolean
  EXPECT_EQ(messages[0].args, (Args{"integer", "boolean"}));
  messages.clear();
  EXPECT_FALSE(ToNative(EverythingWith("leaves", badLeaves), record, messages));
  ASSERT_EQ(Ids(messages), std::vector<std::string>{kMissing});
  EXPECT_EQ(messages[0].args[0], "size");  // the second element's, not the third's "name"
}

TEST(ValueAdapterFailures, NullValuesAreRejectedWithoutACrash) {
  const DataValuePtr cases[] = {
      nullptr,
      EverythingWith("count", nullptr),
      EverythingWith("color", nullptr),
      EverythingWith("leaf", nullptr),
      EverythingWith("leaves", nullptr),
      EverythingWith("leaves", List({nullptr})),
      EverythingWith("tags", nullptr),
      EverythingWith("tags", List({Str("a"), nullptr})),
      EverythingWith("colors", List({nullptr})),
      EverythingWith("opt_count", nullptr),
      EverythingWith("opt_leaf", nullptr),
  };
  for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SCOPED_TRACE(i);
    Everything record;
    MessageList messages;
    EXPECT_FALSE(ToNative(cases[i], record, messages));
    EXPECT_EQ(messages.size(), 1u);
  }
}

TEST(ValueAdapterFailures, ListOfStringsForASetOfStringsThroughTheGenericPath) {
  std::set<std::string> set{"kept"};
  MessageList messages;
  EXPECT_FALSE(::Tarn::Data::ValueToNativeAdapter::Adapt(
      Strings({"a"}), &::Tarn::Data::ValueToNativeAdapter::SetBeginMethod<std::string>, &set,
      messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, kBadCast2);
  EXPECT_EQ(messages[0].args, (Args{"20", "String"}));
}

TEST(ValueAdapterFailures, AFailureLeavesNoHalfDoneRecord) {
  // "colors" is declared after every required field that is present: their work is dropped.
  auto fields = Without(With(EverythingFields(), "count", Int(5)), "colors");
  Everything record;
  MessageList messages;
  EXPECT_FALSE(
      ToNative(Struct(kEverythingName, With(fields, "opt_count", Int(6))), record, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(record.count, 0);
  EXPECT_EQ(record.label, "");
  EXPECT_FALSE(record.leaf);
  EXPECT_FALSE(record.optCount);
  EXPECT_FALSE(record.unknownFields);

  // A text where a record belongs reads no field of the record.
  record.count = 7;
  record.label = "kept";
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
  EXPECT_EQ(messages[1].id, kInvalidType);

  auto nullLeaf = SparseRecord();
  nullLeaf->leaf = nullptr;
  bool ok = true;
  ToValue(*nullLeaf, messages, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(messages.size(), 3u);
}

TEST(ValueAdapterFailures, NullRequiredRecordInNativeToValueNamesItsType) {
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
  EXPECT_FALSE(
      ToNative(EverythingWith("colors", Strings({"RED", "RED", "BLUE", "ODD"})), record, messages));
  EXPECT_EQ(Ids(messages), std::vector<std::string>{kDuplicate});
  EXPECT_EQ(record.colors,
            (std::set<Color>{Color(Color::RED), Color(Color::BLUE), EnumOf<Color>("ODD")}));
}

// ---- the empty string ----

TEST(ValueAdapterEmptyString, StructureFromTheEmptyString) {
  Everything record;
  MessageList messages;
  ASSERT_TRUE(ToNative(Str(""), record, messages));
  EXPECT_TRUE(messages.empty());
  // Every member default, the required record built from the empty string in turn.
  EXPECT_EQ(*ValueOf(record), *ValueOf(*SparseRecord()));
  EXPECT_EQ(record.color.unknownText(), "");
  ASSERT_TRUE(record.leaf);
  EXPECT_FALSE(record.leaf->unknownFields);
  EXPECT_FALSE(record.unknownFields);

  // Primitives keep the values they had; enumerations and records are replaced.
  record.count = 9;
  record.enabled = true;
  record.label = "kept";
  record.color = Color(Color::RED);
  auto old = MakeLeaf("old", 5);
  record.leaf = old;
  ASSERT_TRUE(ToNative(Str(""), record, messages));
  EXPECT_EQ(record.count, 9);
  EXPECT_TRUE(record.enabled);
  EXPECT_EQ(record.label, "kept");
  EXPECT_EQ(record.color, Color());
  ASSERT_TRUE(record.leaf);
  EXPECT_NE(record.leaf.get(), old.get());
  EXPECT_EQ(record.leaf->name, "");
}

TEST(ValueAdapterEmptyString, OtherRecordsFromTheEmptyString) {
  MessageList messages;
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

// What a member becomes from each shape a field may take, read back through the record's value,
// which the first test pins down. The record had other contents before: lists and sets are
// replaced, not merged, and every other member is left as the rest of the value made it.
TEST(ValueAdapterOptionals, AcceptedShapesOfEachMember) {
  struct Case {
    const char* field;
    DataValuePtr value;     // null: the field is absent
    DataValuePtr expected;  // the member in the record's value
  };
  const Case cases[] = {
      {"opt_count", nullptr, Unset()},
      {"opt_count", Unset(), Unset()},
      {"opt_count", Opt(Int(5)), Opt(Int(5))},
      {"opt_count", Int(-5), Opt(Int(-5))},
      {"opt_count", Str(""), Unset()},
      {"opt_count", Str("42"), Opt(Int(42))},
      {"opt_count", Str("-7"), Opt(Int(-7))},
      {"opt_count", Opt(Str("42")), Opt(Int(42))},
      {"opt_count", Int(0), Opt(Int(0))},
      {"opt_label", Str(""), Unset()},            // a bare empty text is no value
      {"opt_label", Opt(Str("")), Opt(Str(""))},  // but inside an optional value it is one
      {"opt_label", Str("x"), Opt(Str("x"))},
      {"opt_color", Str(""), Unset()},
      {"opt_color", Str("RED"), Opt(Str("RED"))},
      {"opt_color", Opt(Str("ODD")), Opt(Str("ODD"))},
      {"opt_color", Unset(), Unset()},
      {"opt_enabled", Str("false"), Opt(Bool(false))},
      {"opt_enabled", Str("true"), Opt(Bool(true))},
      {"opt_tags", Str(""), Unset()},
      {"opt_tags", Str("solo"), Opt(Strings({"solo"}))},
      {"opt_tags", Opt(Strings({"b", "a"})), Opt(Strings({"a", "b"}))},
      {"opt_tags", Opt(Strings({})), Opt(Strings({}))},
      {"opt_tags", Unset(), Unset()},
      {"opt_leaf", Str(""), Unset()},
      {"opt_leaf", Unset(), Unset()},
      {"opt_leaf", Opt(LeafValue("in", 1)), Opt(LeafValue("in", 1))},
      {"opt_leaf", LeafValue("bare", 2), Opt(LeafValue("bare", 2))},
      {"opt_leaf", Opt(Str("")), Opt(LeafValue("", 0))},
      {"leaf", Str(""), LeafValue("", 0)},
      {"label", Str(""), Str("")},
      {"color", Str(""), Str("_UNKNOWN")},
      {"leaves", Str(""), List({})},
      {"tags", Str(""), Strings({})},
      {"tags", Str("solo"), Strings({"solo"})},
      {"tags", List({Str("x"), Str("y")}), Strings({"x", "y"})},
      {"colors", Str(""), List({}, 2)},
      {"colors", Str("BLUE"), List({Str("BLUE")}, 2)},
      {"colors", Str("ODD"), List({Str("ODD")}, 2)},
      {"colors", Strings({"ODD", "EVEN", "GREEN"}),
       List({Str("GREEN"), Str("EVEN"), Str("ODD")}, 2)},
  };
  FieldList base = With(EverythingFields(), "leaves", List({LeafValue("a", 1)}));
  base = With(With(base, "tags", Strings({"t"})), "colors", Strings({"RED"}));
  auto convert = [](const FieldList& fields) {
    Everything record;
    record.label = "overwritten";
    record.leaves = {MakeLeaf("old", 1), MakeLeaf("old", 2)};
    record.tags = {"old"};
    record.colors = {Color(Color::GREEN), Color(Color::BLUE)};
    MessageList messages;
    EXPECT_TRUE(ToNative(Struct(kEverythingName, fields), record, messages));
    EXPECT_TRUE(messages.empty()) << messages[0].id;
    return ValueOf(record);
  };
  const auto before = ::Tarn::Data::NarrowDataTypeInt<CompoundValue>(convert(base));
  ASSERT_TRUE(before);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " from " + (c.value ? c.value->ToString() : "nothing"));
    auto expected = StructValue::GetInstance(kEverythingName);
    for (auto& f : before->fields()) expected->SetField(f.first, f.second);
    expected->SetField(c.field, c.expected);
    const DataValuePtr got = convert(c.value ? With(base, c.field, c.value) : base);
    EXPECT_EQ(*got, *expected) << got->ToString();
  }
}

// ---- no recursion over data ----

constexpr int kDepth = 10000;

// Runs `body` on a thread of its own, with the default stack.
template <class Body>
void OnThread(Body body) {
  bool done = false;
  std::thread worker([&] {
    body();
    done = true;
  });
  worker.join();
  EXPECT_TRUE(done);
}

TEST(ValueAdapterNoRecursion, DeepChainThroughAnOptionalOnTheDefaultThreadStack) {
  OnThread([] {
    auto chain = MakeChain(kDepth);
    MessageList messages;
    bool ok = false;
    DataValuePtr value = ToValue(*chain, messages, &ok);
    ASSERT_TRUE(ok);
    // Depth of the value, walked without recursion.
    int depth = 0;
    for (const DataValue* v = value.get(); v; ++depth) {
      auto& s = static_cast<const CompoundValue&>(*v);
      EXPECT_EQ(s.fields().at("depth")->GetType(), DataType::INTEGER);
      auto& next = static_cast<const OptionalValue&>(*s.fields().at("next"));
      v = next.IsSet() ? next.value().get() : nullptr;
    }
    EXPECT_EQ(depth, kDepth);

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
    EXPECT_EQ(*ToValue(*back, messages), *value);
    EXPECT_TRUE(messages.empty());

    ReleaseChain(std::move(chain));
    ReleaseChain(std::move(back));
  });
}

TEST(ValueAdapterNoRecursion, AFailureAtTheBottomOfADeepValue) {
  OnThread([] {
    DataValuePtr value = Struct(TestSvc::Chain::typeName, {{"depth", Str("bottom")}});
    for (int i = kDepth - 2; i >= 0; --i) {
      value = Struct(TestSvc::Chain::typeName, {{"depth", Int(i)}, {"next", Opt(value)}});
    }
    auto back = std::make_shared<TestSvc::Chain>();
    MessageList messages;
    EXPECT_FALSE(ToNative(value, *back, messages));
    EXPECT_EQ(Ids(messages), std::vector<std::string>{kParse});
    ReleaseChain(std::move(back));
  });
}

TEST(ValueAdapterNoRecursion, DeepTreeThroughAListOnTheDefaultThreadStack) {
  OnThread([] {
    std::shared_ptr<TestSvc::Tree> root;
    for (int i = kDepth - 1; i >= 0; --i) {
      auto node = std::make_shared<TestSvc::Tree>();
      node->name = std::to_string(i);
      if (root) node->children = {root, std::make_shared<TestSvc::Tree>()};
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
  });
}

}  // namespace
}  // namespace KovTest
