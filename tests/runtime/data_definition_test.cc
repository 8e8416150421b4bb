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

// One definition checked against values: a row without `id` must pass without messages, one with
// it must fail with exactly that message (args: the message's arguments).
struct Check {
  const char* what;
  DataDefinitionPtr def;
  DataValuePtr value;
  const char* id;
  Strings args;
};

void ExpectChecks(const std::vector<Check>& checks) {
  for (const Check& c : checks) {
    SCOPED_TRACE(c.what);
    MessageList messages;
    EXPECT_EQ(c.def->Validate(c.value, messages), c.id == nullptr)
        << (c.value ? c.value->ToString() : "null");
    if (c.id == nullptr) {
      EXPECT_TRUE(messages.empty()) << messages[0].defaultMessage;
    } else {
      ASSERT_EQ(messages.size(), 1u);
      ExpectMessage(messages[0], c.id, c.args);
    }
  }
}

std::shared_ptr<const StructDefinition> InfoDef() {
  return StructDefinition::GetInstance("com.x.info",
                                       {{"count", IntDef()},
                                        {"name", StrDef()},
                                        {"note", OptionalDefinition::GetInstance(StrDef())}});
}

TEST(DataDefinitionTest, PrimitivesListsAndOptionals) {
  const auto doubleDef = DataDefinition::Create<double>();
  const auto voidDef = DataDefinition::Create<Void>();
  const auto ints = ListDefinition::GetInstance(IntDef());
  const auto strings = ListDefinition::GetInstance(StrDef());
  const auto structs =
      ListDefinition::GetInstance(StructDefinition::GetInstance("com.x.e", {{"n", IntDef()}}));
  const auto optInt = OptionalDefinition::GetInstance(IntDef());
  const auto optStruct =
      OptionalDefinition::GetInstance(StructDefinition::GetInstance("s", {{"n", IntDef()}}));
  auto mismatch = [](const char* want, const char* found) -> Strings {
    return {want, found, "(value)"};
  };
  ExpectChecks({
      {"integer", IntDef(), Int(1), nullptr, {}},
      {"integer from text", IntDef(), Str("-12"), nullptr, {}},
      {"integer from bad text", IntDef(), Str("12x"), kKindMismatch, mismatch("integer", "string")},
      {"integer from optional", IntDef(), Opt(Int(1)), kKindMismatch,
       mismatch("integer", "optional")},
      {"integer from null", IntDef(), nullptr, kKindMismatch, mismatch("integer", "nothing")},
      {"bool from text", DataDefinition::Create<bool>(), Str("true"), nullptr, {}},
      {"double from integer", doubleDef, Int(2), nullptr, {}},
      {"double from bad text", doubleDef, Str("x"), kKindMismatch, mismatch("double", "string")},
      {"string from secret", StrDef(), SecretValue::GetInstance("x"), kKindMismatch,
       mismatch("string", "secret")},
      {"void from empty text", voidDef, Str(""), nullptr, {}},
      {"void from text", voidDef, Str("x"), kKindMismatch, mismatch("void", "string")},
      {"blob from string", DataDefinition::CreatePrimitive(DataType::BLOB), Str("b"), kKindMismatch,
       mismatch("blob", "string")},
      {"texts for strings", strings, Texts({"a", "b"}), nullptr, {}},
      {"string values for strings", strings, List({Str("a"), Str("")}), nullptr, {}},
      {"empty text for a list", strings, Str(""), nullptr, {}},
      {"empty texts for structures", structs, Texts({}), nullptr, {}},
      {"texts for structures", structs, Texts({"a"}), kKindMismatch,
       mismatch("list", "list of strings")},
      {"structures", structs, List({Struct("com.x.e", {{"n", Int(1)}})}), nullptr, {}},
      {"integers from texts", ints, List({Int(1), Str("2")}), nullptr, {}},
      {"bad integer", ints, List({Int(1), Str("two")}), kKindMismatch, {"integer", "string", "[]"}},
      {"text for a list", ints, Str("1"), kKindMismatch, mismatch("list", "string")},
      {"unset", optInt, Unset(), nullptr, {}},
      {"bare value for an optional", optInt, Int(1), nullptr, {}},
      {"empty text for an optional", optInt, Str(""), nullptr, {}},
      {"optional text", optInt, Opt(Str("7")), nullptr, {}},
      {"optional bad text", optInt, Opt(Str("x")), kKindMismatch, mismatch("integer", "string")},
      {"optional of optional", optInt, Opt(Opt(Int(1))), kKindMismatch,
       mismatch("integer", "optional")},
      {"optional empty text for a structure", optStruct, Opt(Str("")), nullptr, {}},
      {"optional structure", optStruct, Opt(Struct("s", {})), kMissing, {"n", "s"}},
  });
}

TEST(DataDefinitionTest, Structures) {
  auto info = [](DataValuePtr count, DataValuePtr note = nullptr) {
    auto s = Struct("com.x.info", {{"count", std::move(count)}, {"name", Str("a")}});
    if (note) s->SetField("note", note);
    return s;
  };
  auto dynamic = DynamicStructValue::GetInstance("com.x.info");
  dynamic->SetField("count", Int(1));
  dynamic->SetField("name", Str("a"));
  auto error = ErrorValue::GetInstance("com.x.info");
  error->SetField("count", Str("2"));
  error->SetField("name", Str(""));
  auto extra = info(Int(1));
  extra->SetField("zz", Struct("other", {}));
  const auto def = InfoDef();
  ExpectChecks({
      {"undeclared field", def, extra, nullptr, {}},
      {"dynamic structure", def, dynamic, nullptr, {}},
      {"error value", def, error, nullptr, {}},
      {"empty text for a structure", def, Str(""), nullptr, {}},
      {"optional field unset", def, info(Int(1), Unset()), nullptr, {}},
      {"optional field set", def, info(Int(1), Opt(Str("n"))), nullptr, {}},
      {"missing field",
       def,
       Struct("com.x.info", {{"name", Str("a")}}),
       kMissing,
       {"count", "com.x.info"}},
      {"text for a structure", def, Str("x"), kKindMismatch, {"structure", "string", "(value)"}},
      {"optional structure for a structure",
       def,
       Opt(info(Int(1))),
       kKindMismatch,
       {"structure", "optional", "(value)"}},
      {"text field for an integer",
       def,
       info(Str("many")),
       kKindMismatch,
       {"integer", "string", "count"}},
      {"null field", def, info(nullptr), kKindMismatch, {"integer", "nothing", "count"}},
      {"optional of the wrong kind",
       def,
       info(Int(1), Opt(Int(3))),
       kKindMismatch,
       {"string", "integer", "note"}},
      {"field without definition",
       StructDefinition::GetInstance("s", {{"any", nullptr}}),
       Struct("s", {{"any", nullptr}}),
       nullptr,
       {}},
      {"error definition",
       ErrorDefinition::GetInstance("com.x.failed", {{"code", IntDef()}}),
       ErrorValue::GetInstance("com.x.failed"),
       kMissing,
       {"code", "com.x.failed"}},
      {"error definition, integer",
       ErrorDefinition::GetInstance("com.x.failed", {{"code", IntDef()}}),
       Int(3),
       kKindMismatch,
       {"error", "integer", "(value)"}},
  });
  // A mismatch deep inside names the path to it.
  auto inner = StructDefinition::GetInstance("com.x.inner", {{"count", IntDef()}});
  auto outer = StructDefinition::GetInstance("com.x.outer",
                                             {{"inner", inner},
                                              {"maybe", OptionalDefinition::GetInstance(inner)},
                                              {"items", ListDefinition::GetInstance(inner)}});
  auto good = Struct("com.x.inner", {{"count", Int(1)}});
  auto bad = Struct("com.x.inner", {{"count", Bool(true)}});
  auto value = [&](DataValuePtr in, DataValuePtr maybe, DataValuePtr items) {
    auto s = Struct("com.x.outer", {{"inner", std::move(in)}, {"items", std::move(items)}});
    if (maybe) s->SetField("maybe", maybe);
    return s;
  };
  ExpectChecks({
      {"nested", outer, value(good, Opt(good), List({good})), nullptr, {}},
      {"nested field",
       outer,
       value(bad, nullptr, List({})),
       kKindMismatch,
       {"integer", "boolean", "inner.count"}},
      {"in an optional",
       outer,
       value(good, Opt(bad), List({})),
       kKindMismatch,
       {"integer", "boolean", "maybe.count"}},
      {"in a list",
       outer,
       value(good, nullptr, List({good, bad})),
       kKindMismatch,
       {"integer", "boolean", "items.[].count"}},
      {"missing deep inside",
       outer,
       value(Struct("com.x.inner", {}), nullptr, List({})),
       kMissing,
       {"count", "com.x.inner"}},
  });
}

// ---- recursion through references ----

// "com.x.node": a value and an optional "next" node, referring to itself through a reference
// resolved after the structure was made. The returned pointer owns the structure; the reference
// inside only points at it.
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

TEST(DataDefinitionRecursionTest, ReferencesResolveAndEveryLevelIsChecked) {
  auto node = NodeDef();
  auto middle = Struct("com.x.node", {{"value", Int(1)}, {"next", Opt(Struct("com.x.node", {}))}});
  auto tref = StructRefDefinition::GetInstance("com.x.tree");
  auto tree = StructDefinition::GetInstance(
      "com.x.tree", {{"label", StrDef()}, {"children", ListDefinition::GetInstance(tref)}});
  tref->Resolve(tree);
  auto leaf = Struct("com.x.tree", {{"label", Str("a")}, {"children", List({})}});
  ExpectChecks({
      {"chain", node, NodeChain(3), nullptr, {}},
      {"ends with empty text",
       node,
       Struct("com.x.node", {{"value", Int(2)}, {"next", Str("")}}),
       nullptr,
       {}},
      {"bad leaf",
       node,
       NodeChain(3, Str("deep")),
       kKindMismatch,
       {"integer", "string", "next.next.value"}},
      {"missing at the bottom",
       node,
       Struct("com.x.node", {{"value", Int(2)}, {"next", Opt(middle)}}),
       kMissing,
       {"value", "com.x.node"}},
      {"through a list",
       tree,
       Struct("com.x.tree", {{"label", Str("r")}, {"children", List({leaf, leaf})}}),
       nullptr,
       {}},
      {"missing through a list",
       tree,
       Struct("com.x.tree",
              {{"label", Str("r")},
               {"children", List({leaf, Struct("com.x.tree", {{"label", Str("b")}})})}}),
       kMissing,
       {"children", "com.x.tree"}},
  });
  OnSmallStack(+[] {
    auto node = NodeDef();
    MessageList messages;
    EXPECT_TRUE(node->Validate(NodeChain(100000), messages));
    EXPECT_FALSE(node->Validate(NodeChain(100000, Str("bad")), messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].args.at(2).size(), 99999u * 5 + 5);  // "next." 99,999 times, "value"
  });
}

TEST(DataDefinitionRecursionTest, UnresolvedReferenceIsReported) {
  auto ref = StructRefDefinition::GetInstance("com.x.lost");
  auto def = StructDefinition::GetInstance("com.x.holder", {{"child", ref}});
  const auto value = Struct("com.x.holder", {{"child", Struct("com.x.lost", {})}});
  const Check unresolved{
      "unresolved", def, value, "tarn.data.definition.unresolved.reference", {"com.x.lost"}};
  ExpectChecks({unresolved});
  {
    auto gone = StructDefinition::GetInstance("com.x.lost", {});
    ref->Resolve(gone);
    ExpectChecks({{"resolved", def, value, nullptr, {}}});
  }
  ExpectChecks({unresolved});  // its structure has died
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

TEST(UnionCaseDefinitionTest, TheTagDecidesWhetherTheFieldIsSet) {
  const char* isnotset = "tarn.data.union.invalid.case.state.isnotset.short";
  const char* isset = "tarn.data.union.invalid.case.state.isset.short";
  const Strings where = {"com.x.choice", "payload"};
  const auto def = ChoiceDef();
  const auto optionalHeld = ChoiceDef(OptionalDefinition::GetInstance(IntDef()));
  const auto structHeld = ChoiceDef(StructDefinition::GetInstance("com.x.p", {{"n", IntDef()}}));
  ExpectChecks({
      {"A with payload as text", def, Choice(Str("A"), Str("5")), nullptr, {}},
      {"A without payload", def, Choice(Str("A"), nullptr), isnotset, where},
      {"A with optional empty text", def, Choice(Str("A"), Opt(Str(""))), isnotset, where},
      {"B with empty text", def, Choice(Str("B"), Str("")), nullptr, {}},
      {"B with payload", def, Choice(Str("B"), Int(5)), isset, where},
      {"C with payload", def, Choice(Str("C"), Int(5)), nullptr, {}},
      {"tag in an optional", def, Choice(Opt(Str("A")), nullptr), isnotset, where},
      {"tag missing", def, Choice(nullptr, Int(5)), nullptr, {}},
      {"payload of the wrong kind",
       def,
       Choice(Str("C"), Opt(Bool(true))),
       kKindMismatch,
       {"integer", "boolean", "payload"}},
      {"optional held, bare", optionalHeld, Choice(Str("A"), Int(1)), nullptr, {}},
      {"optional held, optional", optionalHeld, Choice(Str("A"), Opt(Int(1))), nullptr, {}},
      {"structure held",
       structHeld,
       Choice(Str("A"), Struct("com.x.p", {})),
       kMissing,
       {"n", "com.x.p"}},
  });
  MessageList messages;
  def->Validate(Choice(Str("A"), nullptr), messages);
  def->Validate(Choice(Str("B"), Int(1)), messages);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].defaultMessage,
            "Field 'payload' of 'com.x.choice' must be set for the selected union case.");
  EXPECT_EQ(messages[1].defaultMessage,
            "Field 'payload' of 'com.x.choice' must not be set for the selected union case.");
  // The predicate sees the tag's text, or "" when there is none.
  Strings seen;
  auto spy = StructDefinition::GetInstance(
      "s", {{"f", UnionCaseDefinition::GetInstance(IntDef(), "t", [&seen](const std::string& tag) {
               seen.push_back(tag);
               return tribool(indeterminate);
             })}});
  for (const auto& tag : {Str("x y"), Opt(Str("z")), Int(4)}) {
    spy->Validate(Struct("s", {{"t", tag}}), messages);
  }
  spy->Validate(Struct("s", {}), messages);
  EXPECT_EQ(seen, (Strings{"x y", "z", "", ""}));
}

TEST(DataDefinitionToStringTest, ReadableAndRecursionSafe) {
  EXPECT_EQ(InfoDef()->ToString(),
            "struct com.x.info {count: integer, name: string, note: optional<string>}");
  EXPECT_EQ(
      ListDefinition::GetInstance(OptionalDefinition::GetInstance(DataDefinition::Create<bool>()))
          ->ToString(),
      "list<optional<boolean>>");
  EXPECT_EQ(ErrorDefinition::GetInstance("com.x.e", {})->ToString(), "error com.x.e {}");
  EXPECT_THAT(ChoiceDef()->ToString(), HasSubstr("payload: case<kind, integer>"));
  EXPECT_EQ(StructDefinition::GetInstance("s", {{"x", nullptr}})->ToString(), "struct s {x: ?}");
  EXPECT_EQ(NodeDef()->ToString(),
            "struct com.x.node {next: optional<struct com.x.node>, value: integer}");
  // A structure met a second time is written by name only.
  auto inner = StructDefinition::GetInstance("com.x.in", {{"n", IntDef()}});
  EXPECT_EQ(StructDefinition::GetInstance("com.x.out", {{"a", inner}, {"b", inner}})->ToString(),
            "struct com.x.out {a: struct com.x.in {n: integer}, b: struct com.x.in}");
}

// ---- the operation input ----

TEST(OperationInputTest, DefinitionAndAdapters) {
  const std::string name = TypeInfo<OperationInput>::name();
  auto def = OperationInputDefinition();
  ASSERT_EQ(def->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(std::static_pointer_cast<const StructDefinition>(def)->name(), name);
  ExpectChecks({{"undeclared field", def, Struct(name, {{"anything", Int(1)}}), nullptr, {}},
                {"empty text", def, Str(""), nullptr, {}},
                {"integer", def, Int(1), kKindMismatch, {"structure", "integer", "(value)"}}});

  OperationInput input;
  DataValuePtr out;
  MessageList messages;
  ASSERT_TRUE(NativeToValueAdapter::Adapt(
      &input, NativeToValueAdapter::AdaptMethod<OperationInput>::Get(&input), &out, messages,
      L10n::RequestLocalizer(nullptr, nullptr)));
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, *StructValue::GetInstance(name));

  // Any compound or the empty text reads; anything else is an invalid type.
  for (const auto& [value, expected] :
       std::vector<std::pair<DataValuePtr, bool>>{{Struct("other", {{"x", Int(1)}}), true},
                                                  {DynamicStructValue::GetInstance(name), true},
                                                  {Str(""), true},
                                                  {Str("x"), false},
                                                  {Opt(StructValue::GetInstance(name)), false},
                                                  {Texts({}), false},
                                                  {nullptr, false}}) {
    SCOPED_TRACE(value ? value->ToString() : "null");
    messages.clear();
    input.valid = !expected;
    EXPECT_EQ(ValueToNativeAdapter::Adapt(
                  value, ValueToNativeAdapter::AdaptMethod<OperationInput>::Get(&input), &input,
                  messages),
              expected);
    EXPECT_EQ(input.valid, expected);
    EXPECT_EQ(messages.size(), expected ? 0u : 1u);
  }
}

}  // namespace
}  // namespace Data
}  // namespace Tarn
