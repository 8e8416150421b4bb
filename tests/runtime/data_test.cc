// Dynamic values (kinds, reading and parsing, text form, equality, compounds, deep values that
// must not exhaust the stack) and the check of a value against its definition.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/adapter_driver.h"
#include "runtime/data_definition.h"
#include "runtime/data_value.h"
#include "runtime/operation_input.h"
#include "tests/test_values.h"

namespace Tarn {
namespace Data {
namespace {

using namespace ::KovTest;  // NOLINT(build/namespaces)
using boost::logic::indeterminate;
using boost::logic::tribool;

// The messages of a kind mismatch at `path` and of a missing field.
BaseMessage At(const char* want, const char* found, const char* path = "(value)") {
  return Message<CoreTag>("tarn.data.definition.kind.mismatch", want, found, path);
}
BaseMessage Missing(const char* field, const char* structure) {
  return Message<CoreTag>("tarn.data.compound.field.missing", field, structure);
}

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// Value<X> of every kind but X's own: false, `out` untouched, one kind-mismatch message naming the
// expected and the found kind after what the list held. Only ToPrimitive parses, and only strings.
template <class X>
void ExpectMismatches(X sentinel, DataType own, const char* expected) {
  // clang-format off
  const std::vector<std::pair<DataValuePtr, const char*>> samples = {
      {VoidValue::GetInstance(), "void"}, {Int(7), "integer"}, {Dbl(2.5), "double"},
      {Bool(true), "boolean"}, {Str("text"), "string"}, {BlobValue::GetInstance("b"), "blob"},
      {SecretValue::GetInstance("pw"), "secret"}, {Opt(Int(1)), "optional"},
      {List({Int(1)}), "list"}, {Texts({"a"}), "list of strings"}, {Struct("s", {}), "structure"},
      {DynamicStructValue::GetInstance("d"), "dynamic structure"},
      {ErrorValue::GetInstance("e"), "error"}};
  // clang-format on
  for (const auto& [value, name] : samples) {
    // The three compound kinds, and only they, narrow to a compound.
    EXPECT_EQ(NarrowDataTypeInt<CompoundValue>(value) != nullptr,
              std::string(name).find("structure") != std::string::npos ||
                  value->GetType() == DataType::ERROR);
    const DataType kind = value->GetType();
    if (kind == own || (own == DataType::DOUBLE && kind == DataType::INTEGER)) continue;
    SCOPED_TRACE(std::string(expected) + " from " + name);
    const bool text = value->GetType() == DataType::STRING;
    X out = sentinel;
    MessageList messages{BaseMessage{"earlier", "kept", {}}};
    EXPECT_FALSE(value->Value(out, messages));
    EXPECT_TRUE(text || !value->ToPrimitive(out, messages));
    EXPECT_TRUE(out == sentinel);
    ASSERT_EQ(messages.size(), text ? 2u : 3u);
    EXPECT_EQ(messages[1], Message<CoreTag>("tarn.data.value.kind.mismatch", expected, name));
  }
}

TEST(DataValuePrimitiveTest, ValuesRoundTripAndOtherKindsAreOneMismatch) {
  ExpectMismatches<bool>(true, DataType::BOOLEAN, "boolean");
  ExpectMismatches<std::int64_t>(-99, DataType::INTEGER, "integer");
  ExpectMismatches<Void>(Void{}, DataType::VOID, "void");
  ExpectMismatches<double>(-99.5, DataType::DOUBLE, "double");
  MessageList messages;
  // Common integers are shared instances; each still holds exactly what it was made from.
  for (std::int64_t i : {kMin, std::int64_t{-129}, std::int64_t{-128}, std::int64_t{1024}, kMax}) {
    std::int64_t out = 17;
    ASSERT_TRUE(DataValue::Create(i)->Value(out, messages));
    EXPECT_EQ(out, i);
  }
  double d = 17;
  ASSERT_TRUE(DataValue::Create(-0.0)->Value(d, messages));
  EXPECT_TRUE(d == 0 && std::signbit(d));
  ASSERT_TRUE(Int(-3)->Value(d, messages));  // an integer widens to a double
  EXPECT_EQ(d, -3.0);
  EXPECT_TRUE(messages.empty());
}

// Each text is read as `expected` (`id` null), or refused with one message `id` naming it and
// `kind`, `out` untouched.
template <class X>
void ExpectRead(const char* kind, X sentinel,
                const std::vector<std::tuple<std::string, X, const char*>>& cases) {
  for (const auto& [text, expected, id] : cases) {
    MessageList messages;
    X out = sentinel;
    EXPECT_EQ(Str(text)->ToPrimitive(out, messages), id == nullptr) << text;
    EXPECT_TRUE(out == (id ? sentinel : expected)) << text;
    EXPECT_EQ(messages, id ? MessageList{Message<CoreTag>(id, text, kind)} : MessageList{}) << text;
  }
}

TEST(DataValuePrimitiveTest, ToPrimitiveParsesTexts) {
  const char* p = "tarn.data.value.parse.failed";
  const char* r = "tarn.data.value.out.of.range";
  // clang-format off
  ExpectRead<std::int64_t>("integer", 99, {
      {"+1", 1, nullptr}, {"9223372036854775807", kMax, nullptr},
      {"-9223372036854775808", kMin, nullptr}, {"abc", 0, p}, {"", 0, p}, {" 1", 0, p},
      {"1 ", 0, p}, {"1.0", 0, p}, {"+-1", 0, p}, {"+", 0, p},
      {std::string("1\0", 2), 0, p}, {"9223372036854775808", 0, r}, {std::string(400, '9'), 0, r}});
  ExpectRead<bool>("boolean", true, {{"false", false, nullptr}, {"TRUE", 0, p}, {"truex", 0, p}});
  ExpectRead<double>("double", 99, {{"1e3", 1000.0, nullptr}, {"", 0, p}, {" 1", 0, p},
                                    {"1.5x", 0, p}, {"1e999", 0, r}, {"-1e999", 0, r}});
  ExpectRead<Void>("void", Void{}, {{"", Void{}, nullptr}, {" ", Void{}, p}, {"void", Void{}, p}});
  // clang-format on
  MessageList messages;
  std::int64_t i = 0;  // a value of the own kind passes through
  EXPECT_TRUE(Int(-5)->ToPrimitive(i, messages) && i == -5);
}

TEST(DataValueToStringTest, TextForm) {
  auto secret = SecretValue::GetInstance("hunter2");
  // clang-format off
  const std::vector<std::pair<DataValuePtr, std::string>> cases = {
      {VoidValue::GetInstance(), "void"}, {Int(kMin), "-9223372036854775808"},
      {Dbl(-0.25), "-0.25"}, {Bool(false), "false"}, {Unset(), "optional()"}, {List({}), "[]"},
      {Texts({"a", "b\"c", "d\\e"}), R"(["a", "b\"c", "d\\e"])"},
      {List({Str("x"), Opt(Str("y")), nullptr}), R"(["x", optional("y"), null])"},
      {Struct("i", {{"m", Str("a")}, {"b", nullptr}}), R"(i{b: null, m: "a"})"},
      {ErrorValue::GetInstance("e"), "error e{messages: []}"},
  };
  // clang-format on
  for (const auto& [value, text] : cases) EXPECT_EQ(value->ToString(), text);
  for (double d : {0.1, 1.0 / 3.0, 1e-300}) {
    EXPECT_EQ(std::stod(Dbl(d)->ToString()), d);  // reads back exactly
  }
  // Secrets and blob bytes are never printed, however deep.
  EXPECT_EQ(Opt(List({Struct("l", {{"pw", secret}, {"data", BlobValue::GetInstance("raw")}})}))
                ->ToString(),
            "optional([l{data: blob(3 bytes), pw: <secret>}])");
}

TEST(DataValueEqualsTest, ByValueForEveryKind) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto deep = [](const char* last) {
    return Struct("outer", {{"list", List({Struct("in", {{"o", Opt(Texts({"a", last}))}})})}});
  };
  auto error = [](const char* arg) {
    return ErrorValue::Create("e", {BaseMessage{"i", "t", {arg}}});
  };
  auto secret = [](const char* v) { return SecretValue::GetInstance(v); };
  auto blob = [](const char* v) { return BlobValue::GetInstance(v); };
  auto s = [](const char* name, const char* field) { return Struct(name, {{field, Int(1)}}); };
  // clang-format off
  const std::vector<std::tuple<DataValuePtr, DataValuePtr, bool>> cases = {
      {VoidValue::GetInstance(), VoidValue::GetInstance(), true}, {Int(1), Int(2), false},
      {Int(1), Dbl(1.0), false}, {Dbl(nan), Dbl(nan), true}, {Dbl(nan), Dbl(0), false},
      {Bool(true), Bool(false), false},
      {Str(std::string("a\0b", 3)), Str(std::string("a\0c", 3)), false},
      {Str("a"), secret("a"), false}, {secret("a"), secret("a"), true},
      {secret("a"), secret("b"), false}, {blob("a"), blob("ab"), false}, {Unset(), Unset(), true},
      {Opt(nullptr), Unset(), false}, {List({Int(1), Int(2)}), List({Int(2), Int(1)}), false},
      {List({Int(1)}), List({Int(1), Int(1)}), false}, {List({nullptr}), List({nullptr}), true},
      {List({nullptr}), List({Int(0)}), false}, {Texts({"a", "b"}), Texts({"a", "c"}), false},
      {Texts({"a"}), List({Str("a")}), false}, {s("s", "a"), s("t", "a"), false},
      {s("s", "a"), s("s", "b"), false},
      {s("s", "a"), Struct("s", {{"a", Int(1)}, {"b", Int(1)}}), false},
      {Struct("s", {{"x", Int(1)}, {"y", Int(2)}}), Struct("s", {{"y", Int(2)}, {"x", Int(1)}}), 1},
      {StructValue::GetInstance("s"), DynamicStructValue::GetInstance("s"), false},
      {error("a"), error("b"), false}, {deep("b"), deep("b"), true}, {deep("b"), deep("c"), false},
  };
  // clang-format on
  for (const auto& [a, b, equal] : cases) {
    SCOPED_TRACE(a->ToString() + " vs " + b->ToString());
    EXPECT_EQ(a->Equals(*b), equal);
    EXPECT_EQ(b->Equals(*a), equal);
    EXPECT_EQ(*a != *b, !equal);
  }
}

TEST(CompoundValueTest, FieldsAndErrorMessages) {
  auto s = Struct("com.x.info", {{"alpha", Int(2)}});
  s->SetField("alpha", Str("replaced"));
  MessageList messages;
  DataValuePtr found = Str("kept");
  ASSERT_TRUE(s->GetField("alpha", found, messages));
  EXPECT_EQ(*found, *Str("replaced"));
  EXPECT_FALSE(s->GetField("{1}", found, messages));  // a placeholder-like name shown as it is
  EXPECT_EQ(*found, *Str("replaced"));
  EXPECT_EQ(messages, MessageList{Missing("{1}", "com.x.info")});
  // A field slot is filled in place.
  *s->FieldSlot("f7") = Int(2);
  EXPECT_EQ(*s->fields().at("f7"), *Int(2));

  // Error messages round-trip; of malformed ones, what can be read is given.
  const MessageList kept = {BaseMessage{"id.a", "text a", {"x", "", "x"}},
                            BaseMessage{"q", "say \"hi\" {1} {{", {"\"", std::string("\0", 1)}}};
  EXPECT_EQ(ErrorValue::Create("e", kept)->Messages(), kept);
  auto bad = std::make_shared<ErrorValue>("e");
  bad->SetField("messages", Str("not a list"));
  EXPECT_TRUE(bad->Messages().empty());
  bad->SetField("messages",
                List({Int(1), nullptr,
                      Struct(LocalizableMessageName(), {{"id", Str("only.id")},
                                                        {"default_message", Int(3)},
                                                        {"args", List({Str("texts")})}})}));
  EXPECT_EQ(bad->Messages(), (MessageList{BaseMessage{"only.id", "", {}}}));
}

constexpr int kDeep = 100000;

// A chain `depth` deep of optionals, structures, or lists and errors mixed, over Int(leaf).
DataValuePtr Chain(int depth, std::int64_t leaf, char kind) {
  DataValuePtr v = Int(leaf);
  for (int i = 0; i < depth; ++i) {
    if (kind == 'o' || (kind == 'm' && i % 3 == 0)) {
      v = Opt(std::move(v));
    } else if (kind == 's') {
      v = Struct("node", {{"next", std::move(v)}});
    } else if (i % 3 == 1) {
      v = List({std::move(v)});
    } else {
      auto e = ErrorValue::GetInstance("e");
      e->SetField("cause", std::move(v));
      v = std::move(e);
    }
  }
  return v;
}

TEST(DeepValueTest, ChainsComparePrintAndDieWithoutRecursion) {
  OnSmallStack(+[] {
    DataValuePtr a = Chain(kDeep, 1, 'o');
    EXPECT_TRUE(a->Equals(*Chain(kDeep, 1, 'o')));
    EXPECT_FALSE(a->Equals(*Chain(kDeep, 2, 'o')));
    EXPECT_EQ(a->ToString().size(), static_cast<std::size_t>(kDeep) * 10 + 1);
    DataValuePtr mixed = Chain(kDeep, 0, 'm');
    EXPECT_TRUE(*mixed == *Chain(kDeep, 0, 'm') && mixed->ToString().size() > kDeep);
    EXPECT_FALSE(*Chain(kDeep, 5, 's') == *Chain(kDeep, 6, 's'));
    EXPECT_FALSE(*Chain(kDeep, 5, 's') == *Chain(kDeep - 1, 5, 's'));
    // A part held elsewhere keeps all its children when a container holding it dies.
    DataValuePtr inner = Chain(1000, 9, 's');
    const std::string before = inner->ToString();
    { DataValuePtr outer = Opt(List({inner, Struct("s", {{"x", inner}})})); }
    EXPECT_EQ(inner->ToString(), before);
    DataValuePtr shared = Chain(kDeep, 3, 'o');
    DataValuePtr b = List({shared});
    List({shared});  // dies at once, while `shared` and `b` still hold the chain
    shared.reset();
    EXPECT_EQ(*static_cast<const ListValue&>(*b).elements()[0], *Chain(kDeep, 3, 'o'));
  });
}

DataDefinitionPtr IntDef() { return DataDefinition::Create<std::int64_t>(); }
DataDefinitionPtr StrDef() { return DataDefinition::Create<std::string>(); }

// A row with an empty expected message must pass without messages; one with a message must fail
// with exactly that one.
struct Check {
  DataDefinitionPtr def;
  DataValuePtr value;
  BaseMessage expected;
};

void ExpectChecks(const std::vector<Check>& checks) {
  for (std::size_t i = 0; i < checks.size(); ++i) {
    const Check& c = checks[i];
    SCOPED_TRACE("row " + std::to_string(i) + ": " + (c.value ? c.value->ToString() : "null"));
    MessageList messages;
    EXPECT_EQ(c.def->Validate(c.value, messages), c.expected.id.empty());
    EXPECT_EQ(messages, c.expected.id.empty() ? MessageList{} : MessageList{c.expected});
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
      {IntDef(), Str("-1"), {}}, {IntDef(), Str("1x"), At("integer", "string")}, {dbl, Int(2), {}},
      {IntDef(), Opt(Int(1)), At("integer", "optional")}, {dbl, Str("x"), At("double", "string")},
      {IntDef(), nullptr, At("integer", "nothing")}, {DataDefinition::Create<Void>(), Str(""), {}},
      {StrDef(), SecretValue::GetInstance("x"), At("string", "secret")},
      {blob, Str("b"), At("blob", "string")},
      {strings, Texts({"a", "b"}), {}}, {strings, Str(""), {}}, {structs, Texts({}), {}},
      {structs, Texts({"a"}), At("list", "list of strings")}, {ints, List({Int(1), Str("2")}), {}},
      {structs, List({Struct("e", {{"n", Int(1)}})}), {}}, {ints, Str("1"), At("list", "string")},
      {ints, List({Int(1), Str("two")}), At("integer", "string", "[]")}, {opt, Unset(), {}},
      {opt, Int(1), {}}, {opt, Opt(Str("x")), At("integer", "string")},
      {opt, Opt(Opt(Int(1))), At("integer", "optional")}, {optStruct, Opt(Str("")), {}},
      {optStruct, Opt(Struct("s", {})), Missing("n", "s")},
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
  auto error = ErrorValue::GetInstance("com.x.info");  // every compound kind is accepted
  error->SetField("count", Str("2"));
  error->SetField("name", Str(""));
  error->SetField("zz", Struct("other", {}));  // and so are undeclared fields
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
      {def, error, {}}, {def, Str(""), {}}, {def, info(Int(1), Unset()), {}},
      {def, Struct("com.x.info", {{"name", Str("a")}}), Missing("count", "com.x.info")},
      {def, Opt(info(Int(1))), At("structure", "optional")},
      {def, info(Str("many")), At("integer", "string", "count")},
      {def, info(nullptr), At("integer", "nothing", "count")},
      {def, info(Int(1), Opt(Int(3))), At("string", "integer", "note")},
      {anyDef, Struct("s", {{"any", nullptr}}), {}},
      {errorDef, ErrorValue::GetInstance("com.x.failed"), Missing("code", "com.x.failed")},
      {errorDef, Int(3), At("error", "integer")}, {outer, nested(good, Opt(good), good), {}},
      {outer, nested(bad, nullptr, good), At("integer", "boolean", "inner.count")},
      {outer, nested(good, Opt(bad), good), At("integer", "boolean", "maybe.count")},
      {outer, nested(good, nullptr, bad), At("integer", "boolean", "items.[].count")},
      {outer, nested(Struct("in", {}), nullptr, good), Missing("count", "in")},
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
  auto empty = Struct("com.x.node", {});
  // clang-format off
  ExpectChecks({
      {node, NodeChain(3), {}},
      {node, NodeChain(3, Str("deep")), At("integer", "string", "next.next.value")},
      {node, Struct("com.x.node", {{"next", Opt(empty)}}), Missing("value", "com.x.node")},
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
  const Check unresolved{
      def, value, Message<CoreTag>("tarn.data.definition.unresolved.reference", "com.x.lost")};
  ExpectChecks({unresolved});
  {
    auto gone = StructDefinition::GetInstance("com.x.lost", {});
    ref->Resolve(gone);
    ExpectChecks({{def, value, {}}});
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
  auto Union = [](const char* id) -> BaseMessage {
    return Message<CoreTag>(id, "com.x.choice", "payload");
  };
  const auto def = ChoiceDef();
  const auto optHeld = ChoiceDef(OptionalDefinition::GetInstance(IntDef()));
  const auto structHeld = ChoiceDef(StructDefinition::GetInstance("p", {{"n", IntDef()}}));
  // clang-format off
  ExpectChecks({
      {def, Choice(Str("A"), Str("5")), {}}, {def, Choice(Str("A"), nullptr), Union(unset)},
      {def, Choice(Str("A"), Opt(Str(""))), Union(unset)},
      {def, Choice(Opt(Str("A")), nullptr), Union(unset)},  // the tag in an optional
      {def, Choice(Str("B"), Str("")), {}}, {def, Choice(Str("B"), Int(5)), Union(set)},
      {def, Choice(nullptr, Int(5)), {}}, {def, Choice(Str("B"), nullptr), {}},
      {def, Choice(Str("C"), Opt(Bool(true))), At("integer", "boolean", "payload")},
      {optHeld, Choice(Str("A"), Int(1)), {}}, {optHeld, Choice(Str("A"), Opt(Int(1))), {}},
      {structHeld, Choice(Str("A"), Struct("p", {})), Missing("n", "p")},
  });
  // clang-format on
  // The catalogue says which way round.
  EXPECT_EQ(Union(unset).defaultMessage,
            "Field 'payload' of 'com.x.choice' must be set for the selected union case.");
  EXPECT_NE(Union(set).defaultMessage.find("must not be set"), std::string::npos);
}

TEST(DataDefinitionToStringTest, ReadableAndRecursionSafe) {
  EXPECT_EQ(
      ErrorDefinition::GetInstance("e", {{"x", ChoiceDef()}})->ToString(),
      "error e {x: struct com.x.choice {kind: optional<string>, payload: case<kind, integer>}}");
  EXPECT_EQ(NodeDef()->ToString(),
            "struct com.x.node {next: optional<struct com.x.node>, value: integer}");
  // A structure met a second time is written by name only.
  auto inner = StructDefinition::GetInstance("in", {{"n", IntDef()}});
  EXPECT_EQ(StructDefinition::GetInstance("out", {{"a", inner}, {"b", inner}})->ToString(),
            "struct out {a: struct in {n: integer}, b: struct in}");
}

TEST(OperationInputTest, DefinitionAndValue) {
  // Its definition takes any structure; its value is an empty structure of its name.
  const std::string name = TypeInfo<OperationInput>::name();
  EXPECT_EQ(OperationInputDefinition()->ToString(), "struct " + name + " {}");
  OperationInput input;
  DataValuePtr out;
  MessageList messages;
  ASSERT_TRUE(NativeToValueAdapter::Adapt(
      &input, NativeToValueAdapter::AdaptMethod<OperationInput>::Get(&input), &out, messages,
      L10n::RequestLocalizer(nullptr, nullptr)));
  EXPECT_EQ(*out, *StructValue::GetInstance(name));
}

}  // namespace
}  // namespace Data
}  // namespace Tarn
