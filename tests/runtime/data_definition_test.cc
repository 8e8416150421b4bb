// Definitions and the check of a value against them: kinds, required and undeclared fields,
// recursive structures through references, union cases, lists and optionals; the text form of a
// definition; and the runtime's operation input.
#include "runtime/data_definition.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/adapter_driver.h"
#include "runtime/operation_input.h"
#include "tests/runtime/runtime_test_util.h"

namespace Tarn {
namespace Data {
namespace {

using namespace ::Tarn::Testing;  // NOLINT(build/namespaces)
using boost::logic::indeterminate;
using boost::logic::tribool;
using ::testing::HasSubstr;

constexpr char kKindMismatch[] = "tarn.data.definition.kind.mismatch";
constexpr char kMissing[] = "tarn.data.compound.field.missing";

DataDefinitionPtr IntDef() { return DataDefinition::Create<std::int64_t>(); }
DataDefinitionPtr StrDef() { return DataDefinition::Create<std::string>(); }

// Runs the check and expects it to pass without messages.
void ExpectValid(const DataDefinitionPtr& def, const DataValuePtr& value) {
  MessageList messages;
  EXPECT_TRUE(def->Validate(value, messages))
      << (value ? value->ToString() : "null")
      << (messages.empty() ? "" : messages[0].defaultMessage);
  EXPECT_TRUE(messages.empty());
}

// Runs the check and expects it to fail with exactly one message, returned for inspection.
BaseMessage ExpectInvalid(const DataDefinitionPtr& def, const DataValuePtr& value) {
  MessageList messages;
  EXPECT_FALSE(def->Validate(value, messages)) << (value ? value->ToString() : "null");
  EXPECT_EQ(messages.size(), 1u);
  return messages.empty() ? BaseMessage{} : messages[0];
}

// ---- primitives ----

TEST(DataDefinitionPrimitiveTest, KindsAndTexts) {
  struct Case {
    const char* what;
    DataDefinitionPtr def;
    DataValuePtr value;
    bool valid;
    const char* found;  // kind name in the mismatch message when invalid
  };
  const auto boolDef = DataDefinition::Create<bool>();
  const auto doubleDef = DataDefinition::Create<double>();
  const auto voidDef = DataDefinition::Create<Void>();
  const auto blobDef = DataDefinition::CreatePrimitive(DataType::BLOB);
  const auto secretDef = DataDefinition::CreatePrimitive(DataType::SECRET);
  const Case cases[] = {
      {"integer", IntDef(), Int(1), true, ""},
      {"integer from text", IntDef(), Str("-12"), true, ""},
      {"integer from bad text", IntDef(), Str("12x"), false, "string"},
      {"integer from out-of-range text", IntDef(), Str("99999999999999999999"), false, "string"},
      {"integer from optional", IntDef(), Opt(Int(1)), false, "optional"},
      {"integer from null", IntDef(), nullptr, false, "nothing"},
      {"bool from text", boolDef, Str("true"), true, ""},
      {"bool from bad text", boolDef, Str("2x"), false, "string"},
      {"double from integer", doubleDef, Int(2), true, ""},
      {"double from bad text", doubleDef, Str("x"), false, "string"},
      {"empty string", StrDef(), Str(""), true, ""},
      {"string from secret", StrDef(), SecretValue::GetInstance("x"), false, "secret"},
      {"string from list of strings", StrDef(), Texts({"x"}), false, "list of strings"},
      {"void from empty text", voidDef, Str(""), true, ""},
      {"void from text", voidDef, Str("x"), false, "string"},
      {"blob from string", blobDef, Str("b"), false, "string"},
      {"secret from string", secretDef, Str("s"), false, "string"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.valid) {
      ExpectValid(c.def, c.value);
    } else {
      ExpectMessage(ExpectInvalid(c.def, c.value), kKindMismatch,
                    {DataTypeName(c.def->GetType()), c.found, "(value)"});
    }
  }
}

// ---- structures ----

std::shared_ptr<const StructDefinition> InfoDef() {
  return StructDefinition::GetInstance("com.x.info",
                                       {{"count", IntDef()},
                                        {"name", StrDef()},
                                        {"note", OptionalDefinition::GetInstance(StrDef())}});
}

TEST(DataDefinitionStructTest, AcceptedValues) {
  auto dynamic = DynamicStructValue::GetInstance("com.x.info");
  dynamic->SetField("count", Int(1));
  dynamic->SetField("name", Str("a"));
  auto error = ErrorValue::GetInstance("com.x.info");
  error->SetField("count", Str("2"));
  error->SetField("name", Str(""));
  auto info = [](DataValuePtr note) {
    auto s = Struct("com.x.info", {{"count", Int(1)}, {"name", Str("a")}});
    if (note) s->SetField("note", note);
    return s;
  };
  for (const DataValuePtr& value : std::vector<DataValuePtr>{
           // Undeclared fields are accepted.
           Struct("com.x.info", {{"count", Int(1)},
                                 {"name", Str("a")},
                                 {"extra", Int(3)},
                                 {"zz", Struct("other", {})}}),
           // So is every compound kind, and the empty text standing for an absent structure.
           dynamic, error, Str(""),
           // An optional field absent, unset, empty or set.
           info(nullptr), info(Unset()), info(Str("")), info(Opt(Str("n")))}) {
    SCOPED_TRACE(value->ToString());
    ExpectValid(InfoDef(), value);
  }
  // A field whose definition is null accepts anything.
  auto any = StructDefinition::GetInstance("s", {{"any", nullptr}});
  ExpectValid(any, Struct("s", {{"any", Int(1)}}));
  ExpectValid(any, Struct("s", {{"any", nullptr}}));
}

TEST(DataDefinitionStructTest, RejectedValues) {
  struct Case {
    const char* what;
    DataValuePtr value;
    const char* id;
    Strings args;
  };
  auto info = [](DataValuePtr count, DataValuePtr name) {
    return Struct("com.x.info", {{"count", std::move(count)}, {"name", std::move(name)}});
  };
  const Case cases[] = {
      {"missing count",
       Struct("com.x.info", {{"name", Str("a")}, {"note", Unset()}}),
       kMissing,
       {"count", "com.x.info"}},
      {"integer for structure", Int(1), kKindMismatch, {"structure", "integer", "(value)"}},
      {"text for structure", Str("x"), kKindMismatch, {"structure", "string", "(value)"}},
      {"null for structure", nullptr, kKindMismatch, {"structure", "nothing", "(value)"}},
      {"optional structure for structure",
       Opt(Struct("com.x.info", {})),
       kKindMismatch,
       {"structure", "optional", "(value)"}},
      {"text field for integer",
       info(Str("many"), Str("a")),
       kKindMismatch,
       {"integer", "string", "count"}},
      {"null field", info(nullptr, Str("a")), kKindMismatch, {"integer", "nothing", "count"}},
      {"optional of the wrong kind",
       Struct("com.x.info", {{"count", Int(1)}, {"name", Str("a")}, {"note", Opt(Int(3))}}),
       kKindMismatch,
       {"string", "integer", "note"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectMessage(ExpectInvalid(InfoDef(), c.value), c.id, c.args);
  }
}

TEST(DataDefinitionStructTest, MismatchNamesThePathOfNestedFields) {
  auto inner = StructDefinition::GetInstance("com.x.inner", {{"count", IntDef()}});
  auto outer = StructDefinition::GetInstance("com.x.outer",
                                             {{"inner", inner},
                                              {"maybe", OptionalDefinition::GetInstance(inner)},
                                              {"items", ListDefinition::GetInstance(inner)}});
  auto good = [] { return Struct("com.x.inner", {{"count", Int(1)}}); };
  auto bad = [] { return Struct("com.x.inner", {{"count", BooleanValue::GetInstance(true)}}); };
  ExpectValid(outer, Struct("com.x.outer", {{"inner", good()}, {"items", List({good()})}}));

  BaseMessage m =
      ExpectInvalid(outer, Struct("com.x.outer", {{"inner", bad()}, {"items", List({})}}));
  ExpectMessage(m, kKindMismatch, {"integer", "boolean", "inner.count"});

  m = ExpectInvalid(outer, Struct("com.x.outer",
                                  {{"inner", good()}, {"maybe", Opt(bad())}, {"items", List({})}}));
  ExpectMessage(m, kKindMismatch, {"integer", "boolean", "maybe.count"});

  m = ExpectInvalid(outer,
                    Struct("com.x.outer", {{"inner", good()}, {"items", List({good(), bad()})}}));
  EXPECT_EQ(m.id, kKindMismatch);
  ASSERT_EQ(m.args.size(), 3u);
  EXPECT_THAT(m.args[2], HasSubstr("items"));
  EXPECT_THAT(m.args[2], HasSubstr("count"));

  // A missing field deep inside names the inner structure.
  m = ExpectInvalid(
      outer, Struct("com.x.outer", {{"inner", Struct("com.x.inner", {})}, {"items", List({})}}));
  ExpectMessage(m, kMissing, {"count", "com.x.inner"});
}

TEST(DataDefinitionStructTest, ErrorDefinitionChecksLikeAStructure) {
  auto def = ErrorDefinition::GetInstance("com.x.failed", {{"code", IntDef()}});
  EXPECT_EQ(def->GetType(), DataType::ERROR);
  auto good = ErrorValue::GetInstance("com.x.failed");
  good->SetField("code", Int(3));
  ExpectValid(def, good);
  ExpectMessage(ExpectInvalid(def, ErrorValue::GetInstance("com.x.failed")), kMissing,
                {"code", "com.x.failed"});
  ExpectMessage(ExpectInvalid(def, Int(3)), kKindMismatch, {"error", "integer", "(value)"});
}

// ---- recursion through references ----

// A structure "com.x.node" with a value and an optional "next" node, referring to itself through a
// reference resolved after the structure was made. The returned pointer owns the structure; the
// reference inside only points at it.
std::shared_ptr<const StructDefinition> NodeDef() {
  auto ref = StructRefDefinition::GetInstance("com.x.node");
  auto node = StructDefinition::GetInstance(
      "com.x.node", {{"value", IntDef()}, {"next", OptionalDefinition::GetInstance(ref)}});
  ref->Resolve(node);
  return node;
}

DataValuePtr NodeChain(int depth, DataValuePtr leafValue = Int(0)) {
  DataValuePtr next;
  for (int i = 0; i < depth; ++i) {
    auto n = StructValue::GetInstance("com.x.node");
    n->SetField("value", i == 0 ? leafValue : Int(i));
    if (next) n->SetField("next", Opt(next));
    next = n;
  }
  return next;
}

TEST(DataDefinitionRecursionTest, ReferenceResolvesAndEveryLevelIsChecked) {
  auto node = NodeDef();
  auto next = std::static_pointer_cast<const OptionalDefinition>(node->fields().at("next"));
  ASSERT_EQ(next->element()->GetType(), DataType::STRUCTURE_REF);
  auto ref = std::static_pointer_cast<const StructRefDefinition>(next->element());
  EXPECT_EQ(ref->name(), "com.x.node");
  EXPECT_EQ(ref->Target().get(), node.get());

  ExpectValid(node, NodeChain(3));
  // Ending the chain with an unset optional or an empty text works too.
  auto last = Struct("com.x.node", {{"value", Int(1)}, {"next", Unset()}});
  ExpectValid(node, Struct("com.x.node", {{"value", Int(2)}, {"next", Opt(last)}}));
  ExpectValid(node, Struct("com.x.node", {{"value", Int(2)}, {"next", Str("")}}));

  ExpectMessage(ExpectInvalid(node, NodeChain(3, Str("deep"))), kKindMismatch,
                {"integer", "string", "next.next.value"});
  // A missing field at the bottom names the field and the structure.
  auto middle = Struct("com.x.node", {{"value", Int(1)}, {"next", Opt(Struct("com.x.node", {}))}});
  ExpectMessage(
      ExpectInvalid(node, Struct("com.x.node", {{"value", Int(2)}, {"next", Opt(middle)}})),
      kMissing, {"value", "com.x.node"});
}

TEST(DataDefinitionRecursionTest, ChecksAVeryDeepValueWithoutRecursion) {
  OnSmallStack(+[] {
    auto node = NodeDef();
    ExpectValid(node, NodeChain(100000));
    const BaseMessage m = ExpectInvalid(node, NodeChain(100000, Str("bad")));
    EXPECT_EQ(m.id, kKindMismatch);
    EXPECT_EQ(m.args.at(2).size(), 99999u * 5 + 5);  // "next." 99,999 times, then "value"
  });
}

TEST(DataDefinitionRecursionTest, UnresolvedReferenceIsReported) {
  auto ref = StructRefDefinition::GetInstance("com.x.lost");
  auto def = StructDefinition::GetInstance("com.x.holder", {{"child", ref}});
  const auto value = Struct("com.x.holder", {{"child", Struct("com.x.lost", {})}});
  ExpectMessage(ExpectInvalid(def, value), "tarn.data.definition.unresolved.reference",
                {"com.x.lost"});

  // A reference whose structure has died is unresolved too.
  {
    auto gone = StructDefinition::GetInstance("com.x.lost", {});
    ref->Resolve(gone);
    ExpectValid(def, value);
  }
  EXPECT_FALSE(ref->Target());
  ExpectMessage(ExpectInvalid(def, value), "tarn.data.definition.unresolved.reference",
                {"com.x.lost"});
}

TEST(DataDefinitionRecursionTest, RecursionThroughAList) {
  auto ref = StructRefDefinition::GetInstance("com.x.tree");
  auto tree = StructDefinition::GetInstance(
      "com.x.tree", {{"label", StrDef()}, {"children", ListDefinition::GetInstance(ref)}});
  ref->Resolve(tree);
  auto leaf = [](const std::string& label) {
    return Struct("com.x.tree", {{"label", Str(label)}, {"children", List({})}});
  };
  ExpectValid(
      tree, Struct("com.x.tree",
                   {{"label", Str("root")},
                    {"children",
                     List({leaf("a"), Struct("com.x.tree", {{"label", Str("b")},
                                                            {"children", List({leaf("c")})}})})}}));
  const BaseMessage m = ExpectInvalid(
      tree, Struct("com.x.tree",
                   {{"label", Str("root")},
                    {"children", List({leaf("a"), Struct("com.x.tree", {{"label", Str("b")}})})}}));
  ExpectMessage(m, kMissing, {"children", "com.x.tree"});
}

// ---- union cases ----

// "com.x.choice": an optional tag "kind" and a field "payload" that must be set for "A", must be
// unset for "B", and may be either otherwise.
std::shared_ptr<const StructDefinition> ChoiceDef(DataDefinitionPtr held = IntDef()) {
  auto predicate = [](const std::string& tag) -> tribool {
    if (tag == "A") return true;
    if (tag == "B") return false;
    return indeterminate;
  };
  return StructDefinition::GetInstance(
      "com.x.choice",
      {{"kind", OptionalDefinition::GetInstance(StrDef())},
       {"payload", UnionCaseDefinition::GetInstance(std::move(held), "kind", predicate)}});
}

std::shared_ptr<StructValue> Choice(DataValuePtr tag, DataValuePtr payload) {
  auto s = StructValue::GetInstance("com.x.choice");
  if (tag) s->SetField("kind", std::move(tag));
  if (payload) s->SetField("payload", std::move(payload));
  return s;
}

TEST(UnionCaseDefinitionTest, PredicateDecidesWhetherTheFieldIsSet) {
  const char* isnotset = "tarn.data.union.invalid.case.state.isnotset.short";
  const char* isset = "tarn.data.union.invalid.case.state.isset.short";
  struct Case {
    const char* what;
    DataValuePtr tag;
    DataValuePtr payload;  // null: field absent
    const char* message;   // null: valid
  };
  const std::vector<Case> cases = {
      {"A with payload", Str("A"), Int(5), nullptr},
      {"A with payload as text", Str("A"), Str("5"), nullptr},
      {"A without payload", Str("A"), nullptr, isnotset},
      {"A with empty text", Str("A"), Str(""), isnotset},
      {"A with optional empty text", Str("A"), Opt(Str("")), isnotset},
      {"B without payload", Str("B"), nullptr, nullptr},
      {"B with empty text", Str("B"), Str(""), nullptr},
      {"B with payload", Str("B"), Int(5), isset},
      {"C with payload", Str("C"), Int(5), nullptr},
      {"tag in an optional", Opt(Str("A")), nullptr, isnotset},
      {"tag missing, payload set", nullptr, Int(5), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto value = Choice(c.tag, c.payload);
    if (!c.message) {
      ExpectValid(ChoiceDef(), value);
    } else {
      ExpectMessage(ExpectInvalid(ChoiceDef(), value), c.message, {"com.x.choice", "payload"});
    }
  }
}

TEST(UnionCaseDefinitionTest, SetFieldIsCheckedAgainstTheHeldDefinition) {
  ExpectMessage(ExpectInvalid(ChoiceDef(), Choice(Str("A"), Str("five"))), kKindMismatch,
                {"integer", "string", "payload"});
  ExpectMessage(ExpectInvalid(ChoiceDef(), Choice(Str("C"), Opt(BooleanValue::GetInstance(true)))),
                kKindMismatch, {"integer", "boolean", "payload"});
  // An optional held definition takes the field with or without its optional wrapper.
  auto optionalHeld = ChoiceDef(OptionalDefinition::GetInstance(IntDef()));
  ExpectValid(optionalHeld, Choice(Str("A"), Opt(Int(1))));
  ExpectValid(optionalHeld, Choice(Str("A"), Int(1)));
  // A structure held definition checks the nested structure.
  auto structHeld = ChoiceDef(StructDefinition::GetInstance("com.x.p", {{"n", IntDef()}}));
  ExpectValid(structHeld, Choice(Str("A"), Opt(Struct("com.x.p", {{"n", Int(1)}}))));
  ExpectMessage(ExpectInvalid(structHeld, Choice(Str("A"), Struct("com.x.p", {}))), kMissing,
                {"n", "com.x.p"});
}

TEST(UnionCaseDefinitionTest, PredicateSeesTheTagText) {
  std::vector<std::string> seen;
  auto def = StructDefinition::GetInstance(
      "s", {{"f", UnionCaseDefinition::GetInstance(IntDef(), "t", [&seen](const std::string& tag) {
               seen.push_back(tag);
               return tribool(indeterminate);
             })}});
  MessageList messages;
  def->Validate(Struct("s", {{"t", Str("x y")}}), messages);
  def->Validate(Struct("s", {{"t", Opt(Str("z"))}}), messages);
  def->Validate(Struct("s", {{"t", Int(4)}}), messages);
  def->Validate(Struct("s", {}), messages);
  EXPECT_EQ(seen, (Strings{"x y", "z", "", ""}));
}

// "isnotset" (a required field is unset) must say the field must be set, and "isset" the reverse.
TEST(UnionCaseDefinitionTest, MessagesSayWhatIsWrong) {
  BaseMessage m = ExpectInvalid(ChoiceDef(), Choice(Str("A"), nullptr));
  EXPECT_EQ(m.defaultMessage,
            "Field 'payload' of 'com.x.choice' must be set for the selected union case.");
  m = ExpectInvalid(ChoiceDef(), Choice(Str("B"), Int(1)));
  EXPECT_EQ(m.defaultMessage,
            "Field 'payload' of 'com.x.choice' must not be set for the selected union case.");
}

// ---- lists and optionals ----

TEST(ListDefinitionTest, ListsOfStringsAndOfStructures) {
  const auto strings = ListDefinition::GetInstance(StrDef());
  const auto ints = ListDefinition::GetInstance(IntDef());
  const auto structs =
      ListDefinition::GetInstance(StructDefinition::GetInstance("com.x.e", {{"n", IntDef()}}));
  struct Case {
    const char* what;
    DataDefinitionPtr def;
    DataValuePtr value;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"texts for strings", strings, Texts({"a", "b"}), true},
      {"list of string values for strings", strings, List({Str("a"), Str("")}), true},
      {"empty text for strings", strings, Str(""), true},
      {"texts for structures", structs, Texts({"a"}), false},
      {"empty texts for structures", structs, Texts({}), true},
      {"structures", structs, List({Struct("com.x.e", {{"n", Int(1)}})}), true},
      {"string element for structures", structs, List({Str("x")}), false},
      {"null element", structs, List({nullptr}), false},
      {"integers", ints, List({Int(1), Str("2")}), true},
      {"bad integer", ints, List({Int(1), Str("two")}), false},
      {"text for a list", ints, Str("1"), false},
      {"optional list for a list", ints, Opt(List({})), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MessageList messages;
    EXPECT_EQ(c.def->Validate(c.value, messages), c.valid);
    EXPECT_EQ(messages.size(), c.valid ? 0u : 1u);
    for (const auto& m : messages) {
      EXPECT_EQ(m.defaultMessage.rfind("Unknown message id", 0), std::string::npos);
    }
  }
}

TEST(OptionalDefinitionTest, SetUnsetBareAndEmptyText) {
  const auto def = OptionalDefinition::GetInstance(IntDef());
  ExpectValid(def, Unset());
  ExpectValid(def, Opt(Int(1)));
  ExpectValid(def, Int(1));
  ExpectValid(def, Str(""));
  ExpectValid(def, Opt(Str("7")));
  ExpectMessage(ExpectInvalid(def, Opt(Str("x"))), kKindMismatch, {"integer", "string", "(value)"});
  ExpectMessage(ExpectInvalid(def, Opt(Opt(Int(1)))), kKindMismatch,
                {"integer", "optional", "(value)"});
  // Optional structures: the empty text, unset, or a valid structure.
  const auto optStruct =
      OptionalDefinition::GetInstance(StructDefinition::GetInstance("s", {{"n", IntDef()}}));
  ExpectValid(optStruct, Str(""));
  ExpectValid(optStruct, Opt(Str("")));
  ExpectValid(optStruct, Opt(Struct("s", {{"n", Int(1)}})));
  ExpectMessage(ExpectInvalid(optStruct, Opt(Struct("s", {}))), kMissing, {"n", "s"});
}

// ---- text form ----

TEST(DataDefinitionToStringTest, ReadableForm) {
  EXPECT_EQ(IntDef()->ToString(), "integer");
  EXPECT_EQ(StrDef()->ToString(), "string");
  EXPECT_EQ(DataDefinition::Create<Void>()->ToString(), "void");
  EXPECT_EQ(InfoDef()->ToString(),
            "struct com.x.info {count: integer, name: string, note: optional<string>}");
  EXPECT_EQ(
      ListDefinition::GetInstance(OptionalDefinition::GetInstance(DataDefinition::Create<bool>()))
          ->ToString(),
      "list<optional<boolean>>");
  EXPECT_EQ(ErrorDefinition::GetInstance("com.x.e", {})->ToString(), "error com.x.e {}");
  EXPECT_THAT(ChoiceDef()->ToString(), HasSubstr("payload: case<kind, integer>"));
  EXPECT_EQ(StructDefinition::GetInstance("s", {{"x", nullptr}})->ToString(), "struct s {x: ?}");
}

TEST(DataDefinitionToStringTest, RecursionSafe) {
  EXPECT_EQ(NodeDef()->ToString(),
            "struct com.x.node {next: optional<struct com.x.node>, value: integer}");
  // A structure met a second time is written by name only.
  auto inner = StructDefinition::GetInstance("com.x.in", {{"n", IntDef()}});
  auto outer = StructDefinition::GetInstance("com.x.out", {{"a", inner}, {"b", inner}});
  EXPECT_EQ(outer->ToString(),
            "struct com.x.out {a: struct com.x.in {n: integer}, b: struct com.x.in}");
  auto unresolved = StructRefDefinition::GetInstance("com.x.lost");
  EXPECT_EQ(unresolved->ToString(), "struct com.x.lost");
}

// ---- the operation input ----

TEST(OperationInputTest, TypeNameAndDefinition) {
  const std::string name = TypeInfo<OperationInput>::name();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(TypeInfo<OperationInput>::name(), name);
  EXPECT_TRUE(OperationInput{}.valid);
  EXPECT_TRUE(TypeInfo<OperationInput>::defaultInstance()->valid);

  auto def = OperationInputDefinition();
  ASSERT_EQ(def->GetType(), DataType::STRUCTURE);
  auto s = std::static_pointer_cast<const StructDefinition>(def);
  EXPECT_EQ(s->name(), name);
  EXPECT_TRUE(s->fields().empty());
  ExpectValid(def, StructValue::GetInstance(name));
  ExpectValid(def, Struct(name, {{"anything", Int(1)}}));
  ExpectValid(def, Str(""));
  EXPECT_EQ(ExpectInvalid(def, Int(1)).id, kKindMismatch);
}

TEST(OperationInputTest, ToValueIsAnEmptyStructureOfTheName) {
  OperationInput input;
  DataValuePtr out;
  MessageList messages;
  ASSERT_TRUE(NativeToValueAdapter::Adapt(
      &input, NativeToValueAdapter::AdaptMethod<OperationInput>::Get(&input), &out, messages,
      L10n::RequestLocalizer(nullptr, nullptr)));
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, *StructValue::GetInstance(TypeInfo<OperationInput>::name()));
}

bool FromValue(const DataValuePtr& value, OperationInput& input, MessageList& messages) {
  return ValueToNativeAdapter::Adapt(
      value, ValueToNativeAdapter::AdaptMethod<OperationInput>::Get(&input), &input, messages);
}

TEST(OperationInputTest, FromValue) {
  const std::string name = TypeInfo<OperationInput>::name();
  for (const DataValuePtr& ok :
       std::vector<DataValuePtr>{StructValue::GetInstance(name), Struct("other", {{"x", Int(1)}}),
                                 DynamicStructValue::GetInstance(name), Str("")}) {
    SCOPED_TRACE(ok->ToString());
    OperationInput input;
    MessageList messages;
    EXPECT_TRUE(FromValue(ok, input, messages));
    EXPECT_TRUE(input.valid);
    EXPECT_TRUE(messages.empty());
  }
  for (const DataValuePtr& bad :
       std::vector<DataValuePtr>{Int(1), Str("x"), Unset(), Opt(StructValue::GetInstance(name)),
                                 List({}), Texts({}), VoidValue::GetInstance(), nullptr}) {
    SCOPED_TRACE(bad ? bad->ToString() : "null");
    OperationInput input;
    MessageList messages;
    EXPECT_FALSE(FromValue(bad, input, messages));
    EXPECT_FALSE(input.valid);
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], "tarn.data.invalid.type", {});
  }
}

}  // namespace
}  // namespace Data
}  // namespace Tarn
