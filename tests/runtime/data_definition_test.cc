// Definitions and the check of a value against them: kinds, required and undeclared fields,
// recursive structures through references, union cases, lists and optionals; the text form of a
// definition; and the runtime's operation input.
#include "runtime/data_definition.h"

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

constexpr char kKind[] = "tarn.data.definition.kind.mismatch";
constexpr char kMissing[] = "tarn.data.compound.field.missing";

DataDefinitionPtr IntDef() { return DataDefinition::Create<std::int64_t>(); }
DataDefinitionPtr StrDef() { return DataDefinition::Create<std::string>(); }
// The arguments of a kind mismatch at `path`.
Strings At(const char* want, const char* found, const char* path = "(value)") {
  return {want, found, path};
}

// A row without `id` must pass without messages; one with it must fail with exactly that message.
struct Check {
  DataDefinitionPtr def;
  DataValuePtr value;
  const char* id;
  Strings args;
};

void ExpectChecks(const std::vector<Check>& checks) {
  for (std::size_t i = 0; i < checks.size(); ++i) {
    const Check& c = checks[i];
    SCOPED_TRACE("row " + std::to_string(i) + ": " + (c.value ? c.value->ToString() : "null"));
    MessageList messages;
    EXPECT_EQ(c.def->Validate(c.value, messages), c.id == nullptr);
    ASSERT_EQ(messages.size(), c.id ? 1u : 0u);
    if (c.id) ExpectMessage(messages[0], c.id, c.args);
  }
}

TEST(DataDefinitionTest, PrimitivesListsAndOptionals) {
  const auto ints = ListDefinition::GetInstance(IntDef());
  const auto strings = ListDefinition::GetInstance(StrDef());
  const auto structs =
      ListDefinition::GetInstance(StructDefinition::GetInstance("e", {{"n", IntDef()}}));
  const auto opt = OptionalDefinition::GetInstance(IntDef());
  const auto optStruct =
      OptionalDefinition::GetInstance(StructDefinition::GetInstance("s", {{"n", IntDef()}}));
  const auto dbl = DataDefinition::Create<double>();
  const auto blob = DataDefinition::CreatePrimitive(DataType::BLOB);
  // clang-format off
  ExpectChecks({
      {IntDef(), Str("-12"), nullptr, {}}, {IntDef(), Str("12x"), kKind, At("integer", "string")},
      {IntDef(), Opt(Int(1)), kKind, At("integer", "optional")},
      {IntDef(), nullptr, kKind, At("integer", "nothing")},
      {DataDefinition::Create<bool>(), Str("true"), nullptr, {}}, {dbl, Int(2), nullptr, {}},
      {dbl, Str("x"), kKind, At("double", "string")},
      {StrDef(), SecretValue::GetInstance("x"), kKind, At("string", "secret")},
      {DataDefinition::Create<Void>(), Str(""), nullptr, {}},
      {blob, Str("b"), kKind, At("blob", "string")}, {strings, Texts({"a", "b"}), nullptr, {}},
      {strings, List({Str("a"), Str("")}), nullptr, {}}, {strings, Str(""), nullptr, {}},
      {structs, Texts({}), nullptr, {}},
      {structs, Texts({"a"}), kKind, At("list", "list of strings")},
      {structs, List({Struct("e", {{"n", Int(1)}})}), nullptr, {}},
      {ints, List({Int(1), Str("2")}), nullptr, {}},
      {ints, List({Int(1), Str("two")}), kKind, At("integer", "string", "[]")},
      {ints, Str("1"), kKind, At("list", "string")}, {opt, Unset(), nullptr, {}},
      {opt, Int(1), nullptr, {}}, {opt, Opt(Str("7")), nullptr, {}},
      {opt, Opt(Str("x")), kKind, At("integer", "string")},
      {opt, Opt(Opt(Int(1))), kKind, At("integer", "optional")},
      {optStruct, Opt(Str("")), nullptr, {}},
      {optStruct, Opt(Struct("s", {})), kMissing, {"n", "s"}},
  });
  // clang-format on
}

std::shared_ptr<const StructDefinition> InfoDef() {
  return StructDefinition::GetInstance("com.x.info",
                                       {{"count", IntDef()},
                                        {"name", StrDef()},
                                        {"note", OptionalDefinition::GetInstance(StrDef())}});
}

TEST(DataDefinitionTest, Structures) {
  auto info = [](DataValuePtr count, DataValuePtr note = nullptr) {
    auto s = Struct("com.x.info", {{"count", std::move(count)}, {"name", Str("a")}});
    if (note) s->SetField("note", note);
    return s;
  };
  auto extra = info(Int(1));
  extra->SetField("zz", Struct("other", {}));
  auto error = ErrorValue::GetInstance("com.x.info");
  error->SetField("count", Str("2"));
  error->SetField("name", Str(""));
  const auto def = InfoDef();
  const auto anyDef = StructDefinition::GetInstance("s", {{"any", nullptr}});
  const auto errorDef = ErrorDefinition::GetInstance("com.x.failed", {{"code", IntDef()}});
  // A mismatch deep inside names the path to it.
  auto inner = StructDefinition::GetInstance("in", {{"count", IntDef()}});
  auto outer =
      StructDefinition::GetInstance("out", {{"inner", inner},
                                            {"maybe", OptionalDefinition::GetInstance(inner)},
                                            {"items", ListDefinition::GetInstance(inner)}});
  auto good = Struct("in", {{"count", Int(1)}});
  auto bad = Struct("in", {{"count", Bool(true)}});
  auto nested = [](DataValuePtr in, DataValuePtr maybe, DataValuePtr item) {
    auto s = Struct("out", {{"inner", std::move(in)}, {"items", List({std::move(item)})}});
    if (maybe) s->SetField("maybe", maybe);
    return s;
  };
  // clang-format off
  ExpectChecks({
      {def, extra, nullptr, {}},  // undeclared fields are accepted
      {def, error, nullptr, {}},  // so is every compound kind
      {def, Str(""), nullptr, {}}, {def, info(Int(1), Unset()), nullptr, {}},
      {def, Struct("com.x.info", {{"name", Str("a")}}), kMissing, {"count", "com.x.info"}},
      {def, Str("x"), kKind, At("structure", "string")},
      {def, Opt(info(Int(1))), kKind, At("structure", "optional")},
      {def, info(Str("many")), kKind, At("integer", "string", "count")},
      {def, info(nullptr), kKind, At("integer", "nothing", "count")},
      {def, info(Int(1), Opt(Int(3))), kKind, At("string", "integer", "note")},
      {anyDef, Struct("s", {{"any", nullptr}}), nullptr, {}},
      {errorDef, ErrorValue::GetInstance("com.x.failed"), kMissing, {"code", "com.x.failed"}},
      {errorDef, Int(3), kKind, At("error", "integer")},
      {outer, nested(good, Opt(good), good), nullptr, {}},
      {outer, nested(bad, nullptr, good), kKind, At("integer", "boolean", "inner.count")},
      {outer, nested(good, Opt(bad), good), kKind, At("integer", "boolean", "maybe.count")},
      {outer, nested(good, nullptr, bad), kKind, At("integer", "boolean", "items.[].count")},
      {outer, nested(Struct("in", {}), nullptr, good), kMissing, {"count", "in"}},
  });
  // clang-format on
}

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
  auto tref = StructRefDefinition::GetInstance("tree");
  auto tree = StructDefinition::GetInstance(
      "tree", {{"label", StrDef()}, {"children", ListDefinition::GetInstance(tref)}});
  tref->Resolve(tree);
  auto leaf = Struct("tree", {{"label", Str("a")}, {"children", List({})}});
  auto childless = Struct("tree", {{"label", Str("b")}});
  auto empty = Struct("com.x.node", {});
  auto root = [](DataValuePtr a, DataValuePtr b) {
    return Struct("tree", {{"label", Str("r")}, {"children", List({a, b})}});
  };
  // clang-format off
  ExpectChecks({
      {node, NodeChain(3), nullptr, {}},
      {node, NodeChain(3, Str("deep")), kKind, At("integer", "string", "next.next.value")},
      {node, Struct("com.x.node", {{"next", Opt(empty)}}), kMissing, {"value", "com.x.node"}},
      {tree, root(leaf, leaf), nullptr, {}},
      {tree, root(leaf, childless), kMissing, {"children", "tree"}},
  });
  // clang-format on
  OnSmallStack(+[] {
    auto node = NodeDef();
    MessageList messages;
    EXPECT_TRUE(node->Validate(NodeChain(100000), messages));
    EXPECT_FALSE(node->Validate(NodeChain(100000, Str("bad")), messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].args.at(2).size(), 99999u * 5 + 5);  // "next." 99,999 times, "value"
  });

  // A reference never resolved, or whose structure has died, is reported.
  auto ref = StructRefDefinition::GetInstance("com.x.lost");
  auto def = StructDefinition::GetInstance("com.x.holder", {{"child", ref}});
  const auto value = Struct("com.x.holder", {{"child", Struct("com.x.lost", {})}});
  const Check unresolved{def, value, "tarn.data.definition.unresolved.reference", {"com.x.lost"}};
  ExpectChecks({unresolved});
  {
    auto gone = StructDefinition::GetInstance("com.x.lost", {});
    ref->Resolve(gone);
    ExpectChecks({{def, value, nullptr, {}}});
  }
  ExpectChecks({unresolved});
}

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
  const char* unset = "tarn.data.union.invalid.case.state.isnotset.short";
  const char* set = "tarn.data.union.invalid.case.state.isset.short";
  const Strings where = {"com.x.choice", "payload"};
  const auto def = ChoiceDef();
  const auto optHeld = ChoiceDef(OptionalDefinition::GetInstance(IntDef()));
  const auto structHeld = ChoiceDef(StructDefinition::GetInstance("p", {{"n", IntDef()}}));
  // clang-format off
  ExpectChecks({
      {def, Choice(Str("A"), Str("5")), nullptr, {}},
      {def, Choice(Str("A"), nullptr), unset, where},
      {def, Choice(Str("A"), Opt(Str(""))), unset, where},
      {def, Choice(Opt(Str("A")), nullptr), unset, where},  // the tag in an optional
      {def, Choice(Str("B"), Str("")), nullptr, {}}, {def, Choice(Str("B"), Int(5)), set, where},
      {def, Choice(nullptr, Int(5)), nullptr, {}},
      {def, Choice(Str("C"), Opt(Bool(true))), kKind, At("integer", "boolean", "payload")},
      {optHeld, Choice(Str("A"), Int(1)), nullptr, {}},
      {optHeld, Choice(Str("A"), Opt(Int(1))), nullptr, {}},
      {structHeld, Choice(Str("A"), Struct("p", {})), kMissing, {"n", "p"}},
  });
  // clang-format on
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
  EXPECT_EQ(seen, (Strings{"x y", "z", ""}));
}

TEST(DataDefinitionToStringTest, ReadableAndRecursionSafe) {
  EXPECT_EQ(InfoDef()->ToString(),
            "struct com.x.info {count: integer, name: string, note: optional<string>}");
  EXPECT_EQ(ListDefinition::GetInstance(ChoiceDef())->ToString(),
            "list<struct com.x.choice {kind: optional<string>, payload: case<kind, integer>}>");
  EXPECT_EQ(ErrorDefinition::GetInstance("e", {{"x", nullptr}})->ToString(), "error e {x: ?}");
  EXPECT_EQ(NodeDef()->ToString(),
            "struct com.x.node {next: optional<struct com.x.node>, value: integer}");
  // A structure met a second time is written by name only.
  auto inner = StructDefinition::GetInstance("in", {{"n", IntDef()}});
  EXPECT_EQ(StructDefinition::GetInstance("out", {{"a", inner}, {"b", inner}})->ToString(),
            "struct out {a: struct in {n: integer}, b: struct in}");
}

TEST(OperationInputTest, DefinitionAndAdapters) {
  const std::string name = TypeInfo<OperationInput>::name();
  auto def = OperationInputDefinition();
  ASSERT_EQ(def->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(std::static_pointer_cast<const StructDefinition>(def)->name(), name);
  ExpectChecks({{def, Struct(name, {{"anything", Int(1)}}), nullptr, {}},
                {def, Int(1), kKind, At("structure", "integer")}});
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
