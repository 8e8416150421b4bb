// Dynamic values: kinds and narrowing, primitive extraction and parsing, text form, equality,
// structures and error values, and deep values that must not exhaust the stack.
#include "runtime/data_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "tests/runtime/runtime_test_util.h"

namespace Tarn {
namespace Data {
namespace {

using namespace ::Tarn::Testing;  // NOLINT(build/namespaces)
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kMismatch[] = "tarn.data.value.kind.mismatch";
constexpr char kParse[] = "tarn.data.value.parse.failed";
constexpr char kRange[] = "tarn.data.value.out.of.range";
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// One sample value of every kind, with the kind's name as it appears in messages.
struct Sample {
  DataValuePtr value;
  DataType kind;
  const char* name;
};

std::vector<Sample> SamplesOfEveryKind() {
  return {
      {VoidValue::GetInstance(), DataType::VOID, "void"},
      {Int(7), DataType::INTEGER, "integer"},
      {Dbl(2.5), DataType::DOUBLE, "double"},
      {Bool(true), DataType::BOOLEAN, "boolean"},
      {Str("text"), DataType::STRING, "string"},
      {BlobValue::GetInstance("bytes"), DataType::BLOB, "blob"},
      {SecretValue::GetInstance("pw"), DataType::SECRET, "secret"},
      {Opt(Int(1)), DataType::OPTIONAL, "optional"},
      {List({Int(1)}), DataType::LIST, "list"},
      {Texts({"a"}), DataType::LIST_STRING, "list of strings"},
      {Struct("s", {{"a", Int(1)}}), DataType::STRUCTURE, "structure"},
      {DynamicStructValue::GetInstance("d"), DataType::DYNAMIC_STRUCTURE, "dynamic structure"},
      {ErrorValue::GetInstance("e"), DataType::ERROR, "error"},
  };
}

TEST(DataTypeTest, KindsNamesAndNarrowing) {
  std::set<std::string> names;
  for (const Sample& s : SamplesOfEveryKind()) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(s.value->GetType(), s.kind);
    EXPECT_STREQ(DataTypeName(s.kind), s.name);
    names.insert(s.name);
    // A compound is any of the three compound kinds; the others narrow to their exact kind only.
    const bool compound = s.kind == DataType::STRUCTURE || s.kind == DataType::DYNAMIC_STRUCTURE ||
                          s.kind == DataType::ERROR;
    EXPECT_EQ(NarrowDataTypeInt<CompoundValue>(s.value).get(), compound ? s.value.get() : nullptr);
    EXPECT_EQ(NarrowDataTypeInt<StructValue>(s.value) != nullptr, s.kind == DataType::STRUCTURE);
  }
  EXPECT_EQ(names.size(), 13u);
  EXPECT_FALSE(NarrowDataTypeInt<CompoundValue>(nullptr));
  EXPECT_STREQ(DataTypeName(static_cast<DataType>(99)), "unknown kind");
}

TEST(DataValuePrimitiveTest, CreateAndValueRoundTrip) {
  MessageList messages;
  // Common integers are shared instances; each still holds exactly what it was made from.
  for (std::int64_t i : {kMin, std::int64_t{-129}, std::int64_t{-128}, std::int64_t{1023},
                         std::int64_t{1024}, kMax}) {
    std::int64_t out = 17;
    ASSERT_TRUE(DataValue::Create(i)->Value(out, messages));
    EXPECT_EQ(out, i);
  }
  double d = 17;
  ASSERT_TRUE(DataValue::Create(-0.0)->Value(d, messages));
  EXPECT_TRUE(d == 0 && std::signbit(d));
  ASSERT_TRUE(Int(-3)->Value(d, messages));  // an integer widens to a double
  EXPECT_EQ(d, -3.0);
  std::string text;
  ASSERT_TRUE(DataValue::Create(std::string("x\0y", 3))->Value(text, messages));
  EXPECT_EQ(text, std::string("x\0y", 3));
  for (bool b : {false, true}) {
    bool out = !b;
    ASSERT_TRUE(DataValue::Create(b)->Value(out, messages));
    EXPECT_EQ(out, b);
  }
  EXPECT_TRUE(messages.empty());
}

// Value<X> on a value of another kind: false, `out` untouched, one kind-mismatch message naming
// the expected and the found kind, after what the list held. Value never parses text; ToPrimitive
// parses only strings.
template <class X>
void ExpectValueMismatches(const X& sentinel, DataType own, const char* expectedName) {
  for (const Sample& s : SamplesOfEveryKind()) {
    if (s.kind == own || (own == DataType::DOUBLE && s.kind == DataType::INTEGER)) continue;
    SCOPED_TRACE(std::string(expectedName) + " from " + s.name);
    X out = sentinel;
    MessageList messages{BaseMessage{"earlier", "kept", {}}};
    EXPECT_FALSE(s.value->Value(out, messages));
    if (s.kind != DataType::STRING) {
      EXPECT_FALSE(s.value->ToPrimitive(out, messages));
    }
    EXPECT_TRUE(out == sentinel);
    ASSERT_EQ(messages.size(), s.kind == DataType::STRING ? 2u : 3u);
    EXPECT_EQ(messages[0].id, "earlier");
    ExpectMessage(messages[1], kMismatch, {expectedName, s.name});
  }
}

TEST(DataValuePrimitiveTest, ValueOfAnotherKindIsOneMismatchMessage) {
  ExpectValueMismatches<bool>(true, DataType::BOOLEAN, "boolean");
  ExpectValueMismatches<std::int64_t>(-99, DataType::INTEGER, "integer");
  ExpectValueMismatches<Void>(Void{}, DataType::VOID, "void");
  ExpectValueMismatches<double>(-99.5, DataType::DOUBLE, "double");
  ExpectValueMismatches<std::string>("x", DataType::STRING, "string");
}

// Each text is read into `expected`, or refused with one message `id` naming it and `kind`,
// `out` left untouched.
template <class X>
void ExpectParsed(const std::vector<std::pair<std::string, X>>& cases, X sentinel) {
  for (const auto& [text, expected] : cases) {
    MessageList messages;
    X out = sentinel;
    EXPECT_TRUE(Str(text)->ToPrimitive(out, messages)) << text;
    EXPECT_TRUE(out == expected && messages.empty()) << text;
  }
}
template <class X>
void ExpectRefused(const Strings& texts, const char* id, const char* kind, X sentinel) {
  for (const auto& text : texts) {
    SCOPED_TRACE("'" + text.substr(0, 30) + "'");
    MessageList messages;
    X out = sentinel;
    EXPECT_FALSE(Str(text)->ToPrimitive(out, messages));
    EXPECT_TRUE(out == sentinel);
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], id, {text, kind});
  }
}

TEST(DataValueToPrimitiveTest, Texts) {
  ExpectParsed<std::int64_t>(
      {{"42", 42}, {"+1", 1}, {"9223372036854775807", kMax}, {"-9223372036854775808", kMin}}, 99);
  ExpectRefused<std::int64_t>({"abc", "", " 1", "1 ", "1.0", "+-1", "+", std::string("1\0", 2)},
                              kParse, "integer", 99);
  ExpectRefused<std::int64_t>({"9223372036854775808", std::string(400, '9')}, kRange, "integer",
                              99);
  ExpectParsed<bool>({{"true", true}, {"false", false}}, true);
  ExpectRefused<bool>({"", "TRUE", "truex"}, kParse, "boolean", false);
  ExpectParsed<double>({{"1.5", 1.5}, {"1e3", 1000.0}}, 99);
  ExpectRefused<double>({"", " 1", "1.5x"}, kParse, "double", 99);
  ExpectRefused<double>({"1e999", "-1e999"}, kRange, "double", 99);  // not read as infinity
  ExpectParsed<Void>({{"", Void{}}}, Void{});
  ExpectRefused<Void>({" ", "void"}, kParse, "void", Void{});
  // A value of the own kind passes through; a string is not parsed into a string.
  MessageList messages;
  std::int64_t i = 0;
  EXPECT_TRUE(Int(-5)->ToPrimitive(i, messages));
  EXPECT_EQ(i, -5);
  std::string s;
  EXPECT_TRUE(Str("42")->ToPrimitive(s, messages));
  EXPECT_EQ(s, "42");
}

TEST(DataValueToStringTest, TextForm) {
  const std::vector<std::pair<DataValuePtr, std::string>> cases = {
      {VoidValue::GetInstance(), "void"},
      {Int(kMin), "-9223372036854775808"},
      {Dbl(-0.25), "-0.25"},
      {Bool(false), "false"},
      {BlobValue::GetInstance(std::string("\0\1\2", 3)), "blob(3 bytes)"},
      {Unset(), "optional()"},
      {List({}), "[]"},
      {Texts({"a", "b\"c", "d\\e"}), R"(["a", "b\"c", "d\\e"])"},
      {List({Str("x"), Opt(Str("y")), nullptr}), R"(["x", optional("y"), null])"},
      {Struct("com.x.info", {{"name", Str("a")}, {"count", Int(4)}, {"b", nullptr}}),
       R"(com.x.info{b: null, count: 4, name: "a"})"},
      {ErrorValue::GetInstance("e"), "error e{messages: []}"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(value->ToString(), text);
  for (double d : {0.1, 1.0 / 3.0, 1e-300}) {
    const std::string text = Dbl(d)->ToString();
    EXPECT_EQ(std::stod(text), d) << text;  // reads back exactly
  }
  // Secrets and blob bytes are never printed, however deep.
  auto secret = SecretValue::GetInstance("hunter2-very-secret");
  auto nested = Opt(List({Struct("login", {{"user", Str("zub-admin")},
                                           {"password", secret},
                                           {"data", BlobValue::GetInstance("raw-bytes")}})}));
  EXPECT_THAT(nested->ToString(), HasSubstr("zub-admin"));
  EXPECT_THAT(nested->ToString(), Not(HasSubstr("hunter2")));
  EXPECT_THAT(nested->ToString(), Not(HasSubstr("raw-bytes")));
  EXPECT_THAT(secret->ToString(), Not(HasSubstr("hunter2")));
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
  const struct {
    const char* what;
    DataValuePtr a;
    DataValuePtr b;
    bool equal;
  } cases[] = {
      {"void", VoidValue::GetInstance(), VoidValue::GetInstance(), true},
      {"other integer", Int(1), Int(2), false},
      {"integer vs double", Int(1), Dbl(1.0), false},
      {"nan equals nan", Dbl(nan), Dbl(nan), true},
      {"nan vs number", Dbl(nan), Dbl(0), false},
      {"other boolean", Bool(true), Bool(false), false},
      {"embedded zero", Str(std::string("a\0b", 3)), Str(std::string("a\0c", 3)), false},
      {"string vs secret", Str("a"), secret("a"), false},
      {"secret", secret("a"), secret("a"), true},
      {"other secret", secret("a"), secret("b"), false},
      {"other blob", BlobValue::GetInstance("a"), BlobValue::GetInstance("ab"), false},
      {"unset optionals", Unset(), Unset(), true},
      {"set null vs unset", Opt(nullptr), Unset(), false},
      {"list order", List({Int(1), Int(2)}), List({Int(2), Int(1)}), false},
      {"list length", List({Int(1)}), List({Int(1), Int(1)}), false},
      {"list null element", List({nullptr}), List({nullptr}), true},
      {"null vs value element", List({nullptr}), List({Int(0)}), false},
      {"texts", Texts({"a", "b"}), Texts({"a", "c"}), false},
      {"texts vs list of strings", Texts({"a"}), List({Str("a")}), false},
      {"struct name", Struct("s", {{"a", Int(1)}}), Struct("t", {{"a", Int(1)}}), false},
      {"struct field name", Struct("s", {{"a", Int(1)}}), Struct("s", {{"b", Int(1)}}), false},
      {"struct extra field", Struct("s", {{"a", Int(1)}}),
       Struct("s", {{"a", Int(1)}, {"b", Int(1)}}), false},
      {"field insertion order", Struct("s", {{"x", Int(1)}, {"y", Int(2)}}),
       Struct("s", {{"y", Int(2)}, {"x", Int(1)}}), true},
      {"struct vs dynamic", StructValue::GetInstance("s"), DynamicStructValue::GetInstance("s"),
       false},
      {"error messages", error("a"), error("b"), false},
      {"nested equal", deep("b"), deep("b"), true},
      {"nested differ deep down", deep("b"), deep("c"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.a->Equals(*c.b), c.equal);
    EXPECT_EQ(c.b->Equals(*c.a), c.equal);
    EXPECT_EQ(*c.a != *c.b, !c.equal);
  }
}

TEST(CompoundValueTest, FieldsSlotsOptionalsAndLists) {
  auto s = Struct("com.x.info", {{"zeta", Int(1)}, {"alpha", Int(2)}, {"Mid", Int(3)}});
  s->SetField("alpha", Str("replaced"));
  Strings names;
  for (const auto& f : s->fields()) names.push_back(f.first);
  EXPECT_EQ(names, (Strings{"Mid", "alpha", "zeta"}));
  MessageList messages;
  DataValuePtr found = Str("kept");
  ASSERT_TRUE(s->GetField("alpha", found, messages));
  EXPECT_EQ(*found, *Str("replaced"));
  found = Str("kept");
  EXPECT_FALSE(s->GetField("{1}", found, messages));  // a placeholder-like name shown as it is
  EXPECT_EQ(*found, *Str("kept"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].defaultMessage, "Field '{1}' is missing from structure 'com.x.info'.");
  // A field slot is filled in place; asking again gives the same slot.
  for (int i = 0; i < 50; ++i) s->FieldSlot("f" + std::to_string(i));
  *s->FieldSlot("f7") = Int(2);
  EXPECT_EQ(*s->fields().at("f7"), *Int(2));
  EXPECT_EQ(s->FieldSlot("a"), s->FieldSlot("a"));
  EXPECT_EQ(s->fields().size(), 54u);

  auto built = OptionalValue::GetInstance();
  EXPECT_FALSE(built->IsSet());
  *built->value(nullptr) = Str("x");
  EXPECT_EQ(*built, *Opt(Str("x")));
  auto l = ListValue::GetInstance(2);
  l->Reserve(2);  // keeps the first slot where it is
  DataValuePtr* first = l->AddSlot();
  *l->AddSlot() = Int(2);
  *first = Int(1);
  EXPECT_EQ(*l, *List({Int(1), Int(2)}, 2));
}

TEST(ErrorValueTest, MessagesRoundTripAndMalformedOnesGiveWhatCanBeRead) {
  const MessageList messages = {
      BaseMessage{"id.a", "text a", {"x", "", "x"}},
      BaseMessage{"q", "say \"hi\" {1} {{", {"\"", std::string("\0", 1)}}};
  auto error = ErrorValue::Create("com.brantel.tarn.std.errors.not_found", messages);
  EXPECT_EQ(error->Messages(), messages);
  EXPECT_TRUE(ErrorValue::GetInstance("e")->Messages().empty());
  // A "messages" field of the wrong kind gives none; entries that are not structures are
  // skipped; missing or mistyped parts read as empty.
  auto bad = std::make_shared<ErrorValue>("e");
  bad->SetField("messages", Str("not a list"));
  EXPECT_TRUE(bad->Messages().empty());
  auto entry = Struct(
      LocalizableMessageName(),
      {{"id", Str("only.id")}, {"default_message", Int(3)}, {"args", List({Str("not texts")})}});
  bad->SetField("messages", List({Int(1), nullptr, entry}));
  EXPECT_EQ(bad->Messages(), (MessageList{BaseMessage{"only.id", "", {}}}));
}

// ---- deep values ----

constexpr int kDeep = 100000;

DataValuePtr DeepOptionalChain(int depth, std::int64_t leaf) {
  DataValuePtr v = Int(leaf);
  for (int i = 0; i < depth; ++i) v = Opt(std::move(v));
  return v;
}

DataValuePtr DeepStructChain(int depth, std::int64_t leaf) {
  DataValuePtr v = Int(leaf);
  for (int i = 0; i < depth; ++i) v = Struct("node", {{"next", std::move(v)}});
  return v;
}

DataValuePtr DeepMixedChain(int depth) {
  DataValuePtr v = Int(0);
  for (int i = 0; i < depth; ++i) {
    if (i % 3 == 0) {
      v = Opt(std::move(v));
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
    DataValuePtr a = DeepOptionalChain(kDeep, 1);
    EXPECT_TRUE(a->Equals(*DeepOptionalChain(kDeep, 1)));
    EXPECT_FALSE(a->Equals(*DeepOptionalChain(kDeep, 2)));
    EXPECT_EQ(a->ToString().size(), static_cast<std::size_t>(kDeep) * 10 + 1);
    DataValuePtr mixed = DeepMixedChain(kDeep);
    EXPECT_TRUE(*mixed == *DeepMixedChain(kDeep));
    EXPECT_GT(mixed->ToString().size(), static_cast<std::size_t>(kDeep));
    EXPECT_FALSE(*DeepStructChain(kDeep, 5) == *DeepStructChain(kDeep, 6));
    EXPECT_FALSE(*DeepStructChain(kDeep, 5) == *DeepStructChain(kDeep - 1, 5));
    // A part held elsewhere keeps all its children when a container holding it dies.
    DataValuePtr inner = DeepStructChain(1000, 9);
    const std::string before = inner->ToString();
    { DataValuePtr outer = Opt(List({inner, Struct("s", {{"x", inner}})})); }
    EXPECT_EQ(inner->ToString(), before);
    DataValuePtr shared = DeepOptionalChain(kDeep, 3);
    DataValuePtr b = List({shared});
    shared = List({shared});
    shared.reset();
    EXPECT_EQ(*static_cast<const ListValue&>(*b).elements()[0], *DeepOptionalChain(kDeep, 3));
  });
}

}  // namespace
}  // namespace Data
}  // namespace Tarn
