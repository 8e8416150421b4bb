// Dynamic values: kind numbers, narrowing, primitive extraction and parsing, text form, equality,
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
      {DoubleValue::GetInstance(2.5), DataType::DOUBLE, "double"},
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

// ---- kinds and narrowing ----

TEST(DataTypeTest, NumbersKindsAndNames) {
  // Numbers the adapters rely on.
  EXPECT_EQ(static_cast<int>(DataType::STRING), 5);
  EXPECT_EQ(static_cast<int>(DataType::OPTIONAL), 7);
  EXPECT_EQ(static_cast<int>(DataType::LIST), 8);
  EXPECT_EQ(static_cast<int>(DataType::LIST_STRING), 20);
  EXPECT_EQ(static_cast<int>(DataType::DYNAMIC_STRUCTURE), 15);
  EXPECT_EQ(static_cast<int>(DataType::STRUCTURE), 6);
  EXPECT_EQ(static_cast<int>(DataType::ERROR), 9);

  // Every value reports its kind, and every kind has a distinct readable name.
  std::set<std::string> names;
  for (const Sample& s : SamplesOfEveryKind()) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(s.value->GetType(), s.kind);
    EXPECT_STREQ(DataTypeName(s.kind), s.name);
    names.insert(s.name);
  }
  for (DataType k : {DataType::STRUCTURE_REF, DataType::UNION_CASE}) {
    const std::string name = DataTypeName(k);
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name, "unknown kind");
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 15u);
  // A number outside the enumeration still yields a text rather than a crash.
  EXPECT_STREQ(DataTypeName(static_cast<DataType>(99)), "unknown kind");
}

TEST(NarrowDataTypeIntTest, ExactKindOrNull) {
  auto check = [](auto narrowed, const Sample& s, bool expected) {
    EXPECT_EQ(narrowed.get() != nullptr, expected) << s.name;
    if (narrowed) {
      EXPECT_EQ(narrowed.get(), s.value.get());
    }
  };
  for (const Sample& s : SamplesOfEveryKind()) {
    const DataType k = s.kind;
    // A compound is any of the three compound kinds.
    check(NarrowDataTypeInt<CompoundValue>(s.value), s,
          k == DataType::STRUCTURE || k == DataType::DYNAMIC_STRUCTURE || k == DataType::ERROR);
    check(NarrowDataTypeInt<StringValue>(s.value), s, k == DataType::STRING);
    check(NarrowDataTypeInt<ListValue>(s.value), s, k == DataType::LIST);
    check(NarrowDataTypeInt<ListValueString>(s.value), s, k == DataType::LIST_STRING);
    check(NarrowDataTypeInt<StructValue>(s.value), s, k == DataType::STRUCTURE);
    check(NarrowDataTypeInt<OptionalValue>(s.value), s, k == DataType::OPTIONAL);
  }
  // An optional holding a structure is not a compound.
  EXPECT_FALSE(NarrowDataTypeInt<CompoundValue>(Opt(StructValue::GetInstance("s"))));
  // Null in, null out, for every target.
  EXPECT_FALSE(NarrowDataTypeInt<CompoundValue>(nullptr));
  EXPECT_FALSE(NarrowDataTypeInt<StringValue>(nullptr));
  EXPECT_FALSE(NarrowDataTypeInt<OptionalValue>(nullptr));
  EXPECT_FALSE(NarrowDataTypeInt<ListValue>(nullptr));
}

// ---- Create / Value round trips ----

TEST(DataValuePrimitiveTest, CreateAndValueRoundTrip) {
  MessageList messages;
  for (bool b : {true, false}) {
    bool out = !b;
    ASSERT_TRUE(DataValue::Create(b)->Value(out, messages));
    EXPECT_EQ(out, b);
  }
  for (std::int64_t i :
       {std::int64_t{0}, std::int64_t{-1}, std::numeric_limits<std::int64_t>::min(),
        std::numeric_limits<std::int64_t>::max()}) {
    std::int64_t out = 17;
    ASSERT_TRUE(DataValue::Create(i)->Value(out, messages));
    EXPECT_EQ(out, i);
  }
  for (double d : {0.0, -2.5, 1e308, std::numeric_limits<double>::denorm_min()}) {
    double out = 17;
    ASSERT_TRUE(DataValue::Create(d)->Value(out, messages));
    EXPECT_EQ(out, d);
  }
  double nan = 0;
  ASSERT_TRUE(DataValue::Create(std::numeric_limits<double>::quiet_NaN())->Value(nan, messages));
  EXPECT_TRUE(std::isnan(nan));
  for (const std::string& s : {std::string(), std::string("a b"), std::string("x\0y", 3)}) {
    std::string out = "sentinel";
    ASSERT_TRUE(DataValue::Create(s)->Value(out, messages));
    EXPECT_EQ(out, s);
  }
  Void v;
  EXPECT_TRUE(DataValue::Create(Void{})->Value(v, messages));
  EXPECT_TRUE(messages.empty());

  EXPECT_EQ(DataValue::Create(true)->GetType(), DataType::BOOLEAN);
  EXPECT_EQ(DataValue::Create(std::int64_t{1})->GetType(), DataType::INTEGER);
  EXPECT_EQ(DataValue::Create(1.0)->GetType(), DataType::DOUBLE);
  EXPECT_EQ(DataValue::Create(std::string("1"))->GetType(), DataType::STRING);
  EXPECT_EQ(DataValue::Create(Void{})->GetType(), DataType::VOID);
}

// Value<X> on a value of another kind: false, `out` untouched, one kind-mismatch message naming
// the expected and the found kind.
template <class X>
void ExpectValueMismatches(const X& sentinel, DataType own, const char* expectedName,
                           bool widensFromInteger = false) {
  for (const Sample& s : SamplesOfEveryKind()) {
    if (s.kind == own || (widensFromInteger && s.kind == DataType::INTEGER)) continue;
    SCOPED_TRACE(std::string(expectedName) + " from " + s.name);
    X out = sentinel;
    MessageList messages{BaseMessage{"earlier", "kept", {}}};
    EXPECT_FALSE(s.value->Value(out, messages));
    EXPECT_TRUE(out == sentinel);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, "earlier");
    ExpectMessage(messages[1], kMismatch, {expectedName, s.name});

    // ToPrimitive parses only strings: any other kind is the same mismatch.
    if (s.kind == DataType::STRING) continue;
    MessageList again;
    EXPECT_FALSE(s.value->ToPrimitive(out, again));
    EXPECT_TRUE(out == sentinel);
    ASSERT_EQ(again.size(), 1u);
    ExpectMessage(again[0], kMismatch, {expectedName, s.name});
  }
}

TEST(DataValuePrimitiveTest, ValueOfAnotherKindIsOneMismatchMessage) {
  ExpectValueMismatches<bool>(true, DataType::BOOLEAN, "boolean");
  ExpectValueMismatches<std::int64_t>(-99, DataType::INTEGER, "integer");
  ExpectValueMismatches<std::string>("sentinel", DataType::STRING, "string");
  ExpectValueMismatches<Void>(Void{}, DataType::VOID, "void");
  // An integer widens to a double, like a definition of kind double accepts one.
  ExpectValueMismatches<double>(-99.5, DataType::DOUBLE, "double", true);
  MessageList messages;
  double out = 0;
  ASSERT_TRUE(Int(-3)->Value(out, messages));
  EXPECT_EQ(out, -3.0);
  EXPECT_TRUE(messages.empty());
}

TEST(DataValuePrimitiveTest, SharedInstancesHoldTheirValuesAtEveryEdge) {
  // Common values are shared instances; each still holds exactly what it was made from, and
  // dies with no owner left to free it.
  for (std::int64_t v : {std::numeric_limits<std::int64_t>::min(), std::int64_t{-129},
                         std::int64_t{-128}, std::int64_t{0}, std::int64_t{1023},
                         std::int64_t{1024}, std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(IntegerValue::GetInstance(v)->value(), v);
  }
  EXPECT_EQ(IntegerValue::GetInstance(5).get(), IntegerValue::GetInstance(5).get());
  EXPECT_TRUE(BooleanValue::GetInstance(true)->value());
  EXPECT_FALSE(BooleanValue::GetInstance(false)->value());
  EXPECT_EQ(StringValue::GetInstance("")->value(), "");
  EXPECT_EQ(StringValue::GetInstance("x")->value(), "x");
}

TEST(DataValuePrimitiveTest, ValueNeverParsesText) {
  MessageList messages;
  std::int64_t i = 5;
  EXPECT_FALSE(Str("42")->Value(i, messages));
  EXPECT_EQ(i, 5);
  bool b = false;
  EXPECT_FALSE(Str("true")->Value(b, messages));
  EXPECT_FALSE(b);
  Void v;
  EXPECT_FALSE(Str("")->Value(v, messages));
  ASSERT_EQ(messages.size(), 3u);
  ExpectMessage(messages[0], kMismatch, {"integer", "string"});
  ExpectMessage(messages[1], kMismatch, {"boolean", "string"});
  ExpectMessage(messages[2], kMismatch, {"void", "string"});
}

// ---- ToPrimitive from text ----

template <class X>
void ExpectParsed(const std::vector<std::pair<std::string, X>>& cases, X sentinel) {
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE("'" + text + "'");
    MessageList messages;
    X out = sentinel;
    EXPECT_TRUE(Str(text)->ToPrimitive(out, messages));
    EXPECT_TRUE(out == expected);
    EXPECT_TRUE(messages.empty());
  }
}

// Each text is refused with one message `id` naming it and `kind`; `out` is left untouched.
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

TEST(DataValueToPrimitiveTest, IntegerTexts) {
  const std::int64_t min = std::numeric_limits<std::int64_t>::min();
  const std::int64_t max = std::numeric_limits<std::int64_t>::max();
  ExpectParsed<std::int64_t>({{"0", 0},
                              {"42", 42},
                              {"-7", -7},
                              {"-0", 0},
                              {"+1", 1},
                              {"007", 7},
                              {"9223372036854775807", max},
                              {"-9223372036854775808", min}},
                             99);
  ExpectRefused<std::int64_t>(
      {"abc", "", " 1", "1 ", "0x10", "1.0", "1e3", "12a", "--1", "+-1", "++1", "+", "-", "\t1",
       "1\n", std::string("1\0", 2), "١", "1,000", "0b1"},
      kParse, "integer", 99);
  ExpectRefused<std::int64_t>(
      {"9223372036854775808", "-9223372036854775809", "18446744073709551616",
       "+9223372036854775808", std::string(400, '9')},
      kRange, "integer", 99);
}

TEST(DataValueToPrimitiveTest, BooleanDoubleAndVoidTexts) {
  ExpectParsed<bool>({{"true", true}}, false);
  ExpectParsed<bool>({{"false", false}}, true);
  for (bool sentinel : {true, false}) {
    ExpectRefused<bool>(
        {"2x", "", "1", "0", "yes", "TRUE", "True", " true", "true ", "truex", "t", "fals"}, kParse,
        "boolean", sentinel);
  }
  ExpectParsed<double>({{"1.5", 1.5}, {"-2", -2.0}, {"1e3", 1000.0}, {"0", 0.0}}, 99);
  ExpectRefused<double>({"", "abc", " 1", "1 ", "1.5x", "1..2", "--1", "\n1"}, kParse, "double",
                        99);
  // A text beyond the range of a double is refused rather than read as infinity.
  ExpectRefused<double>({"1e999", "-1e999"}, kRange, "double", 99);
  // Void only from the empty text, or from a void value.
  ExpectParsed<Void>({{"", Void{}}}, Void{});
  Void v;
  MessageList messages;
  EXPECT_TRUE(VoidValue::GetInstance()->ToPrimitive(v, messages));
  EXPECT_TRUE(messages.empty());
  ExpectRefused<Void>({" ", "void", "null", "0"}, kParse, "void", Void{});
}

TEST(DataValueToPrimitiveTest, OwnKindPassesThroughAndContainersAreNotParsed) {
  MessageList messages;
  bool b = false;
  EXPECT_TRUE(Bool(true)->ToPrimitive(b, messages));
  EXPECT_TRUE(b);
  std::int64_t i = 0;
  EXPECT_TRUE(Int(-5)->ToPrimitive(i, messages));
  EXPECT_EQ(i, -5);
  std::string s;
  EXPECT_TRUE(Str("42")->ToPrimitive(s, messages));
  EXPECT_EQ(s, "42");
  double d = 0;
  EXPECT_TRUE(DoubleValue::GetInstance(0.25)->ToPrimitive(d, messages));
  EXPECT_EQ(d, 0.25);
  EXPECT_TRUE(messages.empty());

  // Only a bare string is read as text: an optional or a list holding one is a mismatch.
  std::int64_t out = 3;
  EXPECT_FALSE(Opt(Str("1"))->ToPrimitive(out, messages));
  EXPECT_FALSE(Texts({"1"})->ToPrimitive(out, messages));
  EXPECT_EQ(out, 3);
  ASSERT_EQ(messages.size(), 2u);
  ExpectMessage(messages[0], kMismatch, {"integer", "optional"});
  ExpectMessage(messages[1], kMismatch, {"integer", "list of strings"});
}

// ---- text form ----

TEST(DataValueToStringTest, Scalars) {
  const std::vector<std::pair<DataValuePtr, std::string>> cases = {
      {VoidValue::GetInstance(), "void"},
      {Int(42), "42"},
      {Int(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
      {DoubleValue::GetInstance(1.5), "1.5"},
      {DoubleValue::GetInstance(-0.25), "-0.25"},
      {Bool(true), "true"},
      {Bool(false), "false"},
      {Str("plain text"), "plain text"},
      {BlobValue::GetInstance(std::string("\0\1\2", 3)), "blob(3 bytes)"},
      {Unset(), "optional()"},
      {Opt(Int(3)), "optional(3)"},
      {List({}), "[]"},
      {List({Int(1), Int(2), Int(3)}), "[1, 2, 3]"},
      {Texts({}), "[]"},
      {Texts({"a", "b\"c", "d\\e"}), R"(["a", "b\"c", "d\\e"])"},
      {List({Str("x"), Opt(Str("y"))}), R"(["x", optional("y")])"},
      // Null children print as null.
      {List({nullptr}), "[null]"},
      {Opt(nullptr), "optional(null)"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(value->ToString(), text);
  }
  EXPECT_THAT(Struct("s", {{"gone", nullptr}})->ToString(), HasSubstr("gone: null"));
}

TEST(DataValueToStringTest, DoubleTextReadsBackExactly) {
  for (double d : {0.1, 1.0 / 3.0, 1e-300, -1e300, 123456789.125}) {
    const std::string text = DoubleValue::GetInstance(d)->ToString();
    EXPECT_EQ(std::stod(text), d) << text;
  }
  EXPECT_THAT(DoubleValue::GetInstance(std::numeric_limits<double>::quiet_NaN())->ToString(),
              HasSubstr("nan"));
}

TEST(DataValueToStringTest, CompoundShowsNameAndFieldsInNameOrder) {
  const std::string text =
      Struct("com.x.info", {{"name", Str("a")}, {"count", Int(4)}, {"b", List({})}})->ToString();
  EXPECT_THAT(text, HasSubstr("com.x.info"));
  const auto b = text.find("b: []");
  const auto count = text.find("count: 4");
  const auto name = text.find("name: \"a\"");
  ASSERT_NE(b, std::string::npos) << text;
  ASSERT_NE(count, std::string::npos) << text;
  ASSERT_NE(name, std::string::npos) << text;
  EXPECT_LT(b, count);
  EXPECT_LT(count, name);

  auto error = ErrorValue::Create("com.x.failed", {BaseMessage{"id.one", "text", {"arg"}}});
  EXPECT_THAT(error->ToString(), HasSubstr("com.x.failed"));
  EXPECT_THAT(error->ToString(), HasSubstr("\"id.one\""));
  EXPECT_THAT(error->ToString(), HasSubstr("\"arg\""));
  // The kinds print differently, so a structure and an error of the same name are told apart.
  EXPECT_NE(StructValue::GetInstance("n")->ToString(), ErrorValue::GetInstance("n")->ToString());
}

TEST(DataValueToStringTest, SecretsAndBlobBytesAreNeverPrinted) {
  const std::string secret = "hunter2-very-secret";
  auto value = SecretValue::GetInstance(secret);
  auto nested = Struct("login", {{"user", Str("bob")},
                                 {"password", value},
                                 {"history", List({Opt(value)})},
                                 {"data", BlobValue::GetInstance("raw-bytes-content")}});
  for (const DataValuePtr& v :
       std::vector<DataValuePtr>{value, nested, List({nested}), Opt(nested)}) {
    const std::string text = v->ToString();
    EXPECT_THAT(text, Not(HasSubstr(secret)));
    EXPECT_THAT(text, Not(HasSubstr("hunter2")));
    EXPECT_THAT(text, Not(HasSubstr("raw-bytes-content")));
  }
  EXPECT_THAT(nested->ToString(), HasSubstr("bob"));
}

// ---- equality ----

TEST(DataValueEqualsTest, ByValueForEveryKind) {
  struct Case {
    const char* what;
    DataValuePtr a;
    DataValuePtr b;
    bool equal;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto deep = [](const char* last) {
    return Struct("outer", {{"list", List({Struct("in", {{"o", Opt(Texts({"a", last}))}})})}});
  };
  auto d = [](double v) { return DoubleValue::GetInstance(v); };
  auto error = [](const char* arg) {
    return ErrorValue::Create("e", {BaseMessage{"i", "t", {arg}}});
  };
  auto secret = [](const char* v) { return SecretValue::GetInstance(v); };
  auto blob = [](const char* v) { return BlobValue::GetInstance(v); };
  const Case cases[] = {
      {"void", VoidValue::GetInstance(), VoidValue::GetInstance(), true},
      {"same integer", Int(1), Int(1), true},
      {"other integer", Int(1), Int(2), false},
      {"integer vs double", Int(1), d(1.0), false},
      {"same double", d(0.5), d(0.5), true},
      {"other double", d(0.5), d(0.25), false},
      {"nan equals nan", d(nan), d(nan), true},
      {"nan vs number", d(nan), d(0), false},
      {"bool", Bool(true), Bool(true), true},
      {"other bool", Bool(true), Bool(false), false},
      {"bool vs integer", Bool(true), Int(1), false},
      {"string", Str("a"), Str("a"), true},
      {"other string", Str("a"), Str("A"), false},
      {"embedded zero", Str(std::string("a\0b", 3)), Str(std::string("a\0c", 3)), false},
      {"string vs secret", Str("a"), secret("a"), false},
      {"string vs blob", Str("a"), blob("a"), false},
      // Blobs and secrets compare by their own contents.
      {"secret", secret("a"), secret("a"), true},
      {"other secret", secret("a"), secret("b"), false},
      {"blob", blob("a"), blob("a"), true},
      {"other blob", blob("a"), blob("ab"), false},
      {"secret in a structure", Struct("s", {{"p", secret("a")}}),
       Struct("s", {{"p", secret("b")}}), false},
      {"unset optionals", Unset(), Unset(), true},
      {"unset vs set", Unset(), Opt(Int(1)), false},
      {"set null vs unset", Opt(nullptr), Unset(), false},
      {"set optionals", Opt(Int(1)), Opt(Int(1)), true},
      {"optional vs its content", Opt(Int(1)), Int(1), false},
      {"lists", List({Int(1), Str("x")}), List({Int(1), Str("x")}), true},
      {"list order", List({Int(1), Int(2)}), List({Int(2), Int(1)}), false},
      {"list length", List({Int(1)}), List({Int(1), Int(1)}), false},
      {"list null element", List({nullptr}), List({nullptr}), true},
      {"null vs value element", List({nullptr}), List({Int(0)}), false},
      {"texts", Texts({"a", "b"}), Texts({"a", "b"}), true},
      {"texts order", Texts({"a", "b"}), Texts({"b", "a"}), false},
      {"texts vs list of strings", Texts({"a"}), List({Str("a")}), false},
      {"empty texts vs empty list", Texts({}), List({}), false},
      {"structs", Struct("s", {{"a", Int(1)}}), Struct("s", {{"a", Int(1)}}), true},
      {"struct name", Struct("s", {{"a", Int(1)}}), Struct("t", {{"a", Int(1)}}), false},
      {"struct field value", Struct("s", {{"a", Int(1)}}), Struct("s", {{"a", Int(2)}}), false},
      {"struct field name", Struct("s", {{"a", Int(1)}}), Struct("s", {{"b", Int(1)}}), false},
      {"struct extra field", Struct("s", {{"a", Int(1)}}),
       Struct("s", {{"a", Int(1)}, {"b", Int(1)}}), false},
      {"field insertion order", Struct("s", {{"x", Int(1)}, {"y", Int(2)}}),
       Struct("s", {{"y", Int(2)}, {"x", Int(1)}}), true},
      {"struct null field", Struct("s", {{"a", nullptr}}), Struct("s", {{"a", nullptr}}), true},
      {"struct vs dynamic", StructValue::GetInstance("s"), DynamicStructValue::GetInstance("s"),
       false},
      {"struct vs error", StructValue::GetInstance("s"), ErrorValue::Create("s", {}), false},
      {"errors", error("a"), error("a"), true},
      {"error messages", error("a"), error("b"), false},
      {"nested equal", deep("b"), deep("b"), true},
      {"nested differ deep down", deep("b"), deep("c"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.a->Equals(*c.b), c.equal);
    EXPECT_EQ(c.b->Equals(*c.a), c.equal);
    EXPECT_EQ(*c.a == *c.b, c.equal);
    EXPECT_EQ(*c.a != *c.b, !c.equal);
    EXPECT_TRUE(c.a->Equals(*c.a));
    // Equal values print alike.
    if (c.equal) {
      EXPECT_EQ(c.a->ToString(), c.b->ToString());
    }
  }
}

// ---- structures ----

TEST(CompoundValueTest, GetFieldFindsOrNamesFieldAndStructure) {
  auto s = Struct("com.x.info", {{"count", Int(4)}});
  MessageList messages;
  DataValuePtr found;
  ASSERT_TRUE(s->GetField("count", found, messages));
  EXPECT_EQ(*found, *Int(4));
  EXPECT_TRUE(messages.empty());

  DataValuePtr kept = Str("kept");
  EXPECT_FALSE(s->GetField("name", kept, messages));
  EXPECT_EQ(*kept, *Str("kept"));
  ASSERT_EQ(messages.size(), 1u);
  ExpectMessage(messages[0], "tarn.data.compound.field.missing", {"name", "com.x.info"});
  EXPECT_EQ(messages[0].defaultMessage, "Field 'name' is missing from structure 'com.x.info'.");

  // Every compound kind, and odd names: a name that looks like a placeholder is shown as it is.
  for (const std::shared_ptr<CompoundValue>& v :
       {std::shared_ptr<CompoundValue>(StructValue::GetInstance("s")),
        std::shared_ptr<CompoundValue>(DynamicStructValue::GetInstance("d")),
        std::shared_ptr<CompoundValue>(ErrorValue::GetInstance("e"))}) {
    MessageList missing;
    DataValuePtr out;
    EXPECT_FALSE(v->GetField("", out, missing));
    EXPECT_FALSE(v->GetField("{1}", out, missing));
    ASSERT_EQ(missing.size(), 2u);
    ExpectMessage(missing[0], "tarn.data.compound.field.missing", {"", v->name()});
    ExpectMessage(missing[1], "tarn.data.compound.field.missing", {"{1}", v->name()});
  }
}

TEST(CompoundValueTest, SetFieldOverwritesAndFieldsAreOrderedByName) {
  auto s = StructValue::GetInstance("s");
  s->SetField("zeta", Int(1));
  s->SetField("alpha", Int(2));
  s->SetField("Mid", Int(3));
  s->SetField("alpha", Str("replaced"));
  Strings names;
  for (const auto& f : s->fields()) names.push_back(f.first);
  EXPECT_EQ(names, (Strings{"Mid", "alpha", "zeta"}));
  EXPECT_EQ(*s->fields().at("alpha"), *Str("replaced"));
  EXPECT_TRUE(s->HasField("zeta"));
  EXPECT_FALSE(s->HasField("beta"));

  // A field slot is filled in place; asking again for a field gives its slot, not a new field.
  for (int i = 0; i < 50; ++i) s->FieldSlot("f" + std::to_string(i));
  *s->FieldSlot("a") = Int(1);
  *s->FieldSlot("f7") = Int(2);
  EXPECT_EQ(*s->fields().at("a"), *Int(1));
  EXPECT_EQ(*s->fields().at("f7"), *Int(2));
  EXPECT_EQ(s->FieldSlot("a"), s->FieldSlot("a"));
  EXPECT_EQ(s->fields().size(), 54u);
}

TEST(CompoundValueTest, OptionalsAndLists) {
  auto unset = OptionalValue::GetInstance();
  EXPECT_FALSE(unset->IsSet());
  EXPECT_FALSE(unset->value());
  auto set = OptionalValue::GetInstance(Int(2));
  EXPECT_TRUE(set->IsSet());
  EXPECT_EQ(*set->value(), *Int(2));
  auto built = OptionalValue::GetInstance();
  *built->value(nullptr) = Str("x");
  EXPECT_TRUE(built->IsSet());
  EXPECT_EQ(*built, *Opt(Str("x")));

  EXPECT_EQ(ListValue::GetInstance()->kind(), 1);
  EXPECT_EQ(ListValue::GetInstance(2)->kind(), 2);
  auto l = ListValue::GetInstance(1);
  l->Reserve(2);
  DataValuePtr* first = l->AddSlot();
  DataValuePtr* second = l->AddSlot();
  *first = Int(1);
  *second = Int(2);
  EXPECT_EQ(*l, *List({Int(1), Int(2)}));
  EXPECT_EQ(Texts({"a", ""})->elements(), (Strings{"a", ""}));
}

// ---- error values ----

TEST(ErrorValueTest, MessagesRoundTrip) {
  const std::vector<MessageList> lists = {
      {},
      {BaseMessage{"tarn.data.invalid.type", "The value does not have the type.", {}}},
      {BaseMessage{"id.a", "text a", {"x", "", "x"}}, BaseMessage{"id.b", "", {""}},
       BaseMessage{"", "", {}}, BaseMessage{"id.a", "text a", {"x", "", "x"}}},
      {BaseMessage{"quotes", "say \"hi\" {1} {{", {"\"", "\\", std::string("\0", 1)}}},
      {Message<CoreTag>("tarn.data.compound.field.missing", "f", "s")},
  };
  const std::string name = "com.brantel.tarn.std.errors.not_found";
  for (const auto& messages : lists) {
    auto error = ErrorValue::Create(name, messages);
    EXPECT_EQ(error->GetType(), DataType::ERROR);
    EXPECT_EQ(error->name(), name);
    EXPECT_EQ(error->Messages(), messages);
    // Equal lists make equal values.
    EXPECT_EQ(*error, *ErrorValue::Create(name, messages));
  }
  // An instance made by name has no messages.
  auto error = ErrorValue::GetInstance("com.brantel.tarn.std.errors.unsupported");
  EXPECT_EQ(error->name(), "com.brantel.tarn.std.errors.unsupported");
  EXPECT_TRUE(error->Messages().empty());
  EXPECT_EQ(*error, *ErrorValue::Create("com.brantel.tarn.std.errors.unsupported", {}));
}

TEST(ErrorValueTest, MalformedMessagesGiveWhatCanBeRead) {
  // No "messages" field, or one of the wrong kind: no messages and no crash.
  EXPECT_TRUE(std::make_shared<ErrorValue>("e")->Messages().empty());
  for (const DataValuePtr& messages : {Str("not a list"), DataValuePtr()}) {
    auto error = std::make_shared<ErrorValue>("e");
    error->SetField("messages", messages);
    EXPECT_TRUE(error->Messages().empty());
  }

  // Entries that are not structures are skipped; missing or mistyped parts read as empty.
  auto partial = std::make_shared<ErrorValue>("e");
  auto entry = Struct(
      LocalizableMessageName(),
      {{"id", Str("only.id")}, {"default_message", Int(3)}, {"args", List({Str("not texts")})}});
  partial->SetField("messages", List({Int(1), nullptr, entry}));
  const MessageList read = partial->Messages();
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0], (BaseMessage{"only.id", "", {}}));
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

DataValuePtr DeepListChain(int depth) {
  DataValuePtr v = Str("leaf");
  for (int i = 0; i < depth; ++i) v = List({std::move(v)});
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

TEST(DeepValueTest, OptionalChainComparesPrintsAndDies) {
  OnSmallStack(+[] {
    DataValuePtr a = DeepOptionalChain(kDeep, 1);
    DataValuePtr b = DeepOptionalChain(kDeep, 1);
    DataValuePtr c = DeepOptionalChain(kDeep, 2);
    EXPECT_TRUE(a->Equals(*b));
    EXPECT_FALSE(a->Equals(*c));
    const std::string text = a->ToString();
    EXPECT_EQ(text.size(), static_cast<std::size_t>(kDeep) * 10 + 1);
    EXPECT_EQ(text.compare(0, 18, "optional(optional("), 0);
    EXPECT_EQ(text[static_cast<std::size_t>(kDeep) * 9], '1');
    EXPECT_EQ(text.substr(text.size() - 3), ")))");
    a.reset();
    b.reset();
    c.reset();
  });
}

TEST(DeepValueTest, StructListAndMixedChainsComparePrintAndDie) {
  OnSmallStack(+[] {
    for (auto make :
         {+[] { return DeepStructChain(kDeep, 5); }, +[] { return DeepListChain(kDeep); },
          +[] { return DeepMixedChain(kDeep); }}) {
      DataValuePtr a = make();
      DataValuePtr b = make();
      EXPECT_TRUE(*a == *b);
      EXPECT_GT(a->ToString().size(), static_cast<std::size_t>(kDeep));
    }
    EXPECT_FALSE(*DeepStructChain(kDeep, 5) == *DeepStructChain(kDeep, 6));
    EXPECT_FALSE(*DeepStructChain(kDeep, 5) == *DeepStructChain(kDeep - 1, 5));
  });
}

TEST(DeepValueTest, SharedInnerValueSurvivesTheOuterOnesDeath) {
  OnSmallStack(+[] {
    // A value held elsewhere keeps all its children when a container holding it dies.
    DataValuePtr inner = DeepStructChain(1000, 9);
    const std::string before = inner->ToString();
    {
      DataValuePtr outer = Opt(List({inner, inner, Struct("s", {{"x", inner}})}));
      auto holder = Struct("h", {{"a", DeepOptionalChain(kDeep, 0)}, {"b", inner}});
    }
    EXPECT_EQ(inner->ToString(), before);
    EXPECT_EQ(*inner, *DeepStructChain(1000, 9));
  });
}

TEST(DeepValueTest, SharedChainPartDiesOnlyWithItsLastOwner) {
  OnSmallStack(+[] {
    DataValuePtr shared = DeepOptionalChain(kDeep, 3);
    DataValuePtr a = List({shared});
    DataValuePtr b = List({shared});
    shared.reset();
    a.reset();
    ASSERT_EQ(b->GetType(), DataType::LIST);
    EXPECT_EQ(*static_cast<const ListValue&>(*b).elements()[0], *DeepOptionalChain(kDeep, 3));
    b.reset();
  });
}

}  // namespace
}  // namespace Data
}  // namespace Tarn
