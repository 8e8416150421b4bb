// Dynamic values: kind numbers, narrowing, primitive extraction and parsing, text form, equality,
// structures and error values, and deep values that must not exhaust the stack.
#include "runtime/data_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace Tarn {
namespace Data {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Strings = std::vector<std::string>;

// A message must carry its id and arguments, and its catalogue text must know the id and show
// every non-empty argument.
void ExpectMessage(const BaseMessage& m, const std::string& id, const Strings& args) {
  EXPECT_EQ(m.id, id);
  EXPECT_EQ(m.args, args);
  EXPECT_EQ(m.defaultMessage.rfind("Unknown message id", 0), std::string::npos) << m.id;
  for (const auto& a : args) {
    if (!a.empty()) {
      EXPECT_THAT(m.defaultMessage, HasSubstr(a));
    }
  }
}

std::shared_ptr<StructValue> Struct(const std::string& name,
                                    std::vector<std::pair<std::string, DataValuePtr>> fields) {
  auto s = StructValue::GetInstance(name);
  for (auto& f : fields) s->SetField(f.first, std::move(f.second));
  return s;
}

std::shared_ptr<ListValue> List(std::vector<DataValuePtr> elements, int kind = 1) {
  auto l = ListValue::GetInstance(kind);
  for (auto& e : elements) l->Add(std::move(e));
  return l;
}

std::shared_ptr<ListValueString> Texts(const Strings& elements) {
  auto l = ListValueString::GetInstance();
  for (auto& e : elements) l->Add(e);
  return l;
}

DataValuePtr Int(std::int64_t v) { return IntegerValue::GetInstance(v); }
DataValuePtr Str(const std::string& v) { return StringValue::GetInstance(v); }

// ---- kinds and narrowing ----

TEST(DataTypeTest, NumbersFixedForTheAdapters) {
  EXPECT_EQ(static_cast<int>(DataType::STRING), 5);
  EXPECT_EQ(static_cast<int>(DataType::OPTIONAL), 7);
  EXPECT_EQ(static_cast<int>(DataType::LIST), 8);
  EXPECT_EQ(static_cast<int>(DataType::LIST_STRING), 20);
  EXPECT_EQ(static_cast<int>(DataType::DYNAMIC_STRUCTURE), 15);
  EXPECT_EQ(static_cast<int>(DataType::STRUCTURE), 6);
  EXPECT_EQ(static_cast<int>(DataType::ERROR), 9);
}

TEST(DataTypeTest, EveryValueReportsItsKind) {
  const std::vector<std::pair<DataValuePtr, DataType>> cases = {
      {VoidValue::GetInstance(), DataType::VOID},
      {Int(1), DataType::INTEGER},
      {DoubleValue::GetInstance(1.5), DataType::DOUBLE},
      {BooleanValue::GetInstance(true), DataType::BOOLEAN},
      {Str("a"), DataType::STRING},
      {BlobValue::GetInstance("\x01"), DataType::BLOB},
      {SecretValue::GetInstance("pw"), DataType::SECRET},
      {OptionalValue::GetInstance(), DataType::OPTIONAL},
      {ListValue::GetInstance(), DataType::LIST},
      {ListValueString::GetInstance(), DataType::LIST_STRING},
      {StructValue::GetInstance("s"), DataType::STRUCTURE},
      {DynamicStructValue::GetInstance("d"), DataType::DYNAMIC_STRUCTURE},
      {ErrorValue::GetInstance("e"), DataType::ERROR},
  };
  for (const auto& [value, kind] : cases) {
    SCOPED_TRACE(DataTypeName(kind));
    EXPECT_EQ(value->GetType(), kind);
  }
}

TEST(DataTypeTest, EveryKindHasADistinctReadableName) {
  const std::vector<DataType> kinds = {
      DataType::VOID,          DataType::INTEGER,    DataType::DOUBLE,
      DataType::BOOLEAN,       DataType::BLOB,       DataType::STRING,
      DataType::STRUCTURE,     DataType::OPTIONAL,   DataType::LIST,
      DataType::ERROR,         DataType::SECRET,     DataType::DYNAMIC_STRUCTURE,
      DataType::STRUCTURE_REF, DataType::UNION_CASE, DataType::LIST_STRING};
  std::set<std::string> names;
  for (DataType k : kinds) {
    const std::string name = DataTypeName(k);
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name, "unknown kind");
    names.insert(name);
  }
  EXPECT_EQ(names.size(), kinds.size());
  // A number outside the enumeration still yields a text rather than a crash.
  EXPECT_STREQ(DataTypeName(static_cast<DataType>(99)), "unknown kind");
}

TEST(NarrowDataTypeIntTest, CompoundAcceptsTheThreeCompoundKinds) {
  const std::vector<DataValuePtr> compounds = {DynamicStructValue::GetInstance("d"),
                                               StructValue::GetInstance("s"),
                                               ErrorValue::GetInstance("e")};
  for (const auto& v : compounds) {
    auto c = NarrowDataTypeInt<CompoundValue>(v);
    ASSERT_TRUE(c) << DataTypeName(v->GetType());
    EXPECT_EQ(c.get(), v.get());
  }
  const std::vector<DataValuePtr> others = {
      VoidValue::GetInstance(),
      Int(1),
      Str(""),
      OptionalValue::GetInstance(StructValue::GetInstance("s")),
      ListValue::GetInstance(),
      ListValueString::GetInstance(),
      SecretValue::GetInstance("x")};
  for (const auto& v : others) {
    EXPECT_FALSE(NarrowDataTypeInt<CompoundValue>(v)) << DataTypeName(v->GetType());
  }
}

TEST(NarrowDataTypeIntTest, ExactKindOrNull) {
  const DataValuePtr s = Str("x");
  EXPECT_EQ(NarrowDataTypeInt<StringValue>(s).get(), s.get());
  EXPECT_FALSE(NarrowDataTypeInt<StringValue>(Int(1)));
  EXPECT_FALSE(NarrowDataTypeInt<StringValue>(SecretValue::GetInstance("x")));
  EXPECT_FALSE(NarrowDataTypeInt<ListValue>(ListValueString::GetInstance()));
  EXPECT_FALSE(NarrowDataTypeInt<ListValueString>(ListValue::GetInstance()));
  EXPECT_FALSE(NarrowDataTypeInt<StructValue>(DynamicStructValue::GetInstance("d")));
  EXPECT_FALSE(NarrowDataTypeInt<OptionalValue>(Str("")));
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
  for (const std::string& s : {std::string(), std::string("a b"), std::string("x\0y", 3)}) {
    std::string out = "sentinel";
    ASSERT_TRUE(DataValue::Create(s)->Value(out, messages));
    EXPECT_EQ(out, s);
  }
  Void v;
  auto voidValue = DataValue::Create(Void{});
  EXPECT_EQ(voidValue->GetType(), DataType::VOID);
  EXPECT_TRUE(voidValue->Value(v, messages));
  EXPECT_TRUE(messages.empty());
}

TEST(DataValuePrimitiveTest, CreateGivesTheMatchingKind) {
  EXPECT_EQ(DataValue::Create(true)->GetType(), DataType::BOOLEAN);
  EXPECT_EQ(DataValue::Create(std::int64_t{1})->GetType(), DataType::INTEGER);
  EXPECT_EQ(DataValue::Create(1.0)->GetType(), DataType::DOUBLE);
  EXPECT_EQ(DataValue::Create(std::string("1"))->GetType(), DataType::STRING);
}

TEST(DataValuePrimitiveTest, NanSurvivesTheRoundTrip) {
  MessageList messages;
  double out = 0;
  ASSERT_TRUE(DataValue::Create(std::numeric_limits<double>::quiet_NaN())->Value(out, messages));
  EXPECT_TRUE(std::isnan(out));
}

// One sample value of every kind, with the kind's name as it appears in messages.
struct Sample {
  DataValuePtr value;
  const char* kindName;
};

std::vector<Sample> SamplesOfEveryKind() {
  return {
      {VoidValue::GetInstance(), "void"},
      {Int(7), "integer"},
      {DoubleValue::GetInstance(2.5), "double"},
      {BooleanValue::GetInstance(true), "boolean"},
      {Str("text"), "string"},
      {BlobValue::GetInstance("bytes"), "blob"},
      {SecretValue::GetInstance("pw"), "secret"},
      {OptionalValue::GetInstance(Int(1)), "optional"},
      {List({Int(1)}), "list"},
      {Texts({"a"}), "list of strings"},
      {Struct("s", {{"a", Int(1)}}), "structure"},
      {DynamicStructValue::GetInstance("d"), "dynamic structure"},
      {ErrorValue::GetInstance("e"), "error"},
  };
}

// Value<X> on a value of another kind: false, `out` untouched, one kind-mismatch message naming
// the expected and the found kind.
template <class X>
void ExpectValueMismatches(const X& sentinel, DataType own, const char* expectedName,
                           std::vector<DataType> alsoAccepted = {}) {
  for (const Sample& s : SamplesOfEveryKind()) {
    const DataType kind = s.value->GetType();
    if (kind == own) continue;
    bool accepted = false;
    for (DataType a : alsoAccepted) accepted = accepted || a == kind;
    if (accepted) continue;
    SCOPED_TRACE(std::string(expectedName) + " from " + s.kindName);
    X out = sentinel;
    MessageList messages{BaseMessage{"earlier", "kept", {}}};
    EXPECT_FALSE(s.value->Value(out, messages));
    EXPECT_TRUE(out == sentinel);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, "earlier");
    ExpectMessage(messages[1], "tarn.data.value.kind.mismatch", {expectedName, s.kindName});

    // ToPrimitive parses only strings: any other kind is the same mismatch.
    if (kind == DataType::STRING) continue;
    MessageList again;
    EXPECT_FALSE(s.value->ToPrimitive(out, again));
    EXPECT_TRUE(out == sentinel);
    ASSERT_EQ(again.size(), 1u);
    ExpectMessage(again[0], "tarn.data.value.kind.mismatch", {expectedName, s.kindName});
  }
}

TEST(DataValuePrimitiveTest, ValueOfAnotherKindIsOneMismatchMessage) {
  ExpectValueMismatches<bool>(true, DataType::BOOLEAN, "boolean");
  ExpectValueMismatches<std::int64_t>(-99, DataType::INTEGER, "integer");
  ExpectValueMismatches<std::string>("sentinel", DataType::STRING, "string");
  ExpectValueMismatches<Void>(Void{}, DataType::VOID, "void");
  // An integer widens to a double, like a definition of kind double accepts one.
  ExpectValueMismatches<double>(-99.5, DataType::DOUBLE, "double", {DataType::INTEGER});
}

TEST(DataValuePrimitiveTest, IntegerWidensToDouble) {
  MessageList messages;
  double out = 0;
  ASSERT_TRUE(Int(-3)->Value(out, messages));
  EXPECT_EQ(out, -3.0);
  EXPECT_TRUE(messages.empty());
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
  ExpectMessage(messages[0], "tarn.data.value.kind.mismatch", {"integer", "string"});
  ExpectMessage(messages[1], "tarn.data.value.kind.mismatch", {"boolean", "string"});
  ExpectMessage(messages[2], "tarn.data.value.kind.mismatch", {"void", "string"});
}

// ---- ToPrimitive from text ----

TEST(DataValueToPrimitiveTest, IntegerTextsThatParse) {
  const std::vector<std::pair<std::string, std::int64_t>> cases = {
      {"0", 0},
      {"42", 42},
      {"-7", -7},
      {"-0", 0},
      {"+1", 1},
      {"007", 7},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    MessageList messages;
    std::int64_t out = 99;
    EXPECT_TRUE(Str(text)->ToPrimitive(out, messages));
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(messages.empty());
  }
}

TEST(DataValueToPrimitiveTest, IntegerTextsThatDoNotParse) {
  const std::vector<std::string> unparsable = {
      "abc", "",      " 1",  "1 ", "0x10", "1.0", "1e3", "12a",
      "--1", "+-1",   "++1", "+",  "-",    "\t1", "1\n", std::string("1\0", 2),
      "١",   "1,000", "0b1"};
  for (const auto& text : unparsable) {
    SCOPED_TRACE("'" + text + "'");
    MessageList messages;
    std::int64_t out = 99;
    EXPECT_FALSE(Str(text)->ToPrimitive(out, messages));
    EXPECT_EQ(out, 99);
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], "tarn.data.value.parse.failed", {text, "integer"});
  }
}

TEST(DataValueToPrimitiveTest, IntegerTextsOutOfRange) {
  const std::vector<std::string> tooBig = {"9223372036854775808", "-9223372036854775809",
                                           "18446744073709551616", "+9223372036854775808",
                                           std::string(400, '9')};
  for (const auto& text : tooBig) {
    SCOPED_TRACE(text.substr(0, 30));
    MessageList messages;
    std::int64_t out = 99;
    EXPECT_FALSE(Str(text)->ToPrimitive(out, messages));
    EXPECT_EQ(out, 99);
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], "tarn.data.value.out.of.range", {text, "integer"});
  }
}

TEST(DataValueToPrimitiveTest, BooleanTexts) {
  for (const auto& [text, expected] :
       std::vector<std::pair<std::string, bool>>{{"true", true}, {"false", false}}) {
    MessageList messages;
    bool out = !expected;
    EXPECT_TRUE(Str(text)->ToPrimitive(out, messages));
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(messages.empty());
  }
  for (const std::string text :
       {"2x", "", "1", "0", "yes", "TRUE", "True", " true", "true ", "truex", "t", "fals"}) {
    SCOPED_TRACE("'" + text + "'");
    for (bool sentinel : {true, false}) {
      MessageList messages;
      bool out = sentinel;
      EXPECT_FALSE(Str(text)->ToPrimitive(out, messages));
      EXPECT_EQ(out, sentinel);
      ASSERT_EQ(messages.size(), 1u);
      ExpectMessage(messages[0], "tarn.data.value.parse.failed", {text, "boolean"});
    }
  }
}

TEST(DataValueToPrimitiveTest, DoubleTexts) {
  for (const auto& [text, expected] : std::vector<std::pair<std::string, double>>{
           {"1.5", 1.5}, {"-2", -2.0}, {"1e3", 1000.0}, {"0", 0.0}}) {
    SCOPED_TRACE(text);
    MessageList messages;
    double out = 99;
    EXPECT_TRUE(Str(text)->ToPrimitive(out, messages));
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(messages.empty());
  }
  for (const std::string text : {"", "abc", " 1", "1 ", "1.5x", "1..2", "--1", "\n1"}) {
    SCOPED_TRACE("'" + text + "'");
    MessageList messages;
    double out = 99;
    EXPECT_FALSE(Str(text)->ToPrimitive(out, messages));
    EXPECT_EQ(out, 99);
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], "tarn.data.value.parse.failed", {text, "double"});
  }
}

// A text beyond the range of a double is refused rather than read as infinity.
TEST(DataValueToPrimitiveTest, DoubleTextOutOfRangeIsRefused) {
  for (const std::string text : {"1e999", "-1e999"}) {
    SCOPED_TRACE(text);
    MessageList messages;
    double out = 99;
    EXPECT_FALSE(Str(text)->ToPrimitive(out, messages));
    EXPECT_EQ(out, 99);
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], "tarn.data.value.out.of.range", {text, "double"});
  }
}

TEST(DataValueToPrimitiveTest, VoidFromEmptyTextOnly) {
  MessageList messages;
  Void v;
  EXPECT_TRUE(Str("")->ToPrimitive(v, messages));
  EXPECT_TRUE(VoidValue::GetInstance()->ToPrimitive(v, messages));
  EXPECT_TRUE(messages.empty());
  for (const std::string text : {" ", "void", "null", "0"}) {
    MessageList m;
    EXPECT_FALSE(Str(text)->ToPrimitive(v, m));
    ASSERT_EQ(m.size(), 1u);
    ExpectMessage(m[0], "tarn.data.value.parse.failed", {text, "void"});
  }
}

TEST(DataValueToPrimitiveTest, OwnKindPassesThrough) {
  MessageList messages;
  bool b = false;
  EXPECT_TRUE(BooleanValue::GetInstance(true)->ToPrimitive(b, messages));
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
}

TEST(DataValueToPrimitiveTest, ContainersHoldingTextAreNotParsed) {
  // Only a bare string is read as text: an optional or a list holding one is a mismatch.
  MessageList messages;
  std::int64_t out = 3;
  EXPECT_FALSE(OptionalValue::GetInstance(Str("1"))->ToPrimitive(out, messages));
  EXPECT_FALSE(Texts({"1"})->ToPrimitive(out, messages));
  EXPECT_EQ(out, 3);
  ASSERT_EQ(messages.size(), 2u);
  ExpectMessage(messages[0], "tarn.data.value.kind.mismatch", {"integer", "optional"});
  ExpectMessage(messages[1], "tarn.data.value.kind.mismatch", {"integer", "list of strings"});
}

// ---- text form ----

TEST(DataValueToStringTest, Scalars) {
  const std::vector<std::pair<DataValuePtr, std::string>> cases = {
      {VoidValue::GetInstance(), "void"},
      {Int(42), "42"},
      {Int(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
      {DoubleValue::GetInstance(1.5), "1.5"},
      {DoubleValue::GetInstance(-0.25), "-0.25"},
      {BooleanValue::GetInstance(true), "true"},
      {BooleanValue::GetInstance(false), "false"},
      {Str("plain text"), "plain text"},
      {BlobValue::GetInstance(std::string("\0\1\2", 3)), "blob(3 bytes)"},
      {OptionalValue::GetInstance(), "optional()"},
      {OptionalValue::GetInstance(Int(3)), "optional(3)"},
      {List({}), "[]"},
      {List({Int(1), Int(2), Int(3)}), "[1, 2, 3]"},
      {Texts({}), "[]"},
      {Texts({"a", "b\"c", "d\\e"}), R"(["a", "b\"c", "d\\e"])"},
      {List({Str("x"), OptionalValue::GetInstance(Str("y"))}), R"(["x", optional("y")])"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(value->ToString(), text);
  }
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
  auto s = Struct("com.x.info", {{"name", Str("a")}, {"count", Int(4)}, {"b", List({})}});
  const std::string text = s->ToString();
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

TEST(DataValueToStringTest, NullChildrenPrintAsNull) {
  auto s = Struct("s", {{"gone", nullptr}});
  EXPECT_THAT(s->ToString(), HasSubstr("gone: null"));
  EXPECT_EQ(List({nullptr})->ToString(), "[null]");
  EXPECT_EQ(OptionalValue::GetInstance(nullptr)->ToString(), "optional(null)");
}

TEST(DataValueToStringTest, SecretIsNeverPrinted) {
  const std::string secret = "hunter2-very-secret";
  auto value = SecretValue::GetInstance(secret);
  auto nested = Struct("login", {{"user", Str("bob")},
                                 {"password", value},
                                 {"history", List({OptionalValue::GetInstance(value)})}});
  for (const DataValuePtr& v : std::vector<DataValuePtr>{value, nested, List({nested}),
                                                         OptionalValue::GetInstance(nested)}) {
    const std::string text = v->ToString();
    EXPECT_THAT(text, Not(HasSubstr(secret)));
    EXPECT_THAT(text, Not(HasSubstr("hunter2")));
  }
  EXPECT_THAT(nested->ToString(), HasSubstr("bob"));
}

TEST(DataValueToStringTest, BlobBytesAreNotPrinted) {
  auto blob = BlobValue::GetInstance("raw-bytes-content");
  EXPECT_THAT(Struct("s", {{"data", blob}})->ToString(), Not(HasSubstr("raw-bytes-content")));
}

// ---- equality ----

struct EqualityCase {
  const char* what;
  DataValuePtr a;
  DataValuePtr b;
  bool equal;
};

TEST(DataValueEqualsTest, ByValueForEveryKind) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto deepA = Struct(
      "outer",
      {{"list", List({Struct("in", {{"o", OptionalValue::GetInstance(Texts({"a", "b"}))}})})}});
  auto deepB = Struct(
      "outer",
      {{"list", List({Struct("in", {{"o", OptionalValue::GetInstance(Texts({"a", "b"}))}})})}});
  auto deepC = Struct(
      "outer",
      {{"list", List({Struct("in", {{"o", OptionalValue::GetInstance(Texts({"a", "c"}))}})})}});
  const std::vector<EqualityCase> cases = {
      {"void", VoidValue::GetInstance(), VoidValue::GetInstance(), true},
      {"same integer", Int(1), Int(1), true},
      {"other integer", Int(1), Int(2), false},
      {"integer vs double", Int(1), DoubleValue::GetInstance(1.0), false},
      {"same double", DoubleValue::GetInstance(0.5), DoubleValue::GetInstance(0.5), true},
      {"other double", DoubleValue::GetInstance(0.5), DoubleValue::GetInstance(0.25), false},
      {"nan equals nan", DoubleValue::GetInstance(nan), DoubleValue::GetInstance(nan), true},
      {"nan vs number", DoubleValue::GetInstance(nan), DoubleValue::GetInstance(0), false},
      {"bool", BooleanValue::GetInstance(true), BooleanValue::GetInstance(true), true},
      {"other bool", BooleanValue::GetInstance(true), BooleanValue::GetInstance(false), false},
      {"bool vs integer", BooleanValue::GetInstance(true), Int(1), false},
      {"string", Str("a"), Str("a"), true},
      {"other string", Str("a"), Str("A"), false},
      {"embedded zero", Str(std::string("a\0b", 3)), Str(std::string("a\0c", 3)), false},
      {"string vs secret", Str("a"), SecretValue::GetInstance("a"), false},
      {"string vs blob", Str("a"), BlobValue::GetInstance("a"), false},
      {"unset optionals", OptionalValue::GetInstance(), OptionalValue::GetInstance(), true},
      {"unset vs set", OptionalValue::GetInstance(), OptionalValue::GetInstance(Int(1)), false},
      {"set null vs unset", OptionalValue::GetInstance(nullptr), OptionalValue::GetInstance(),
       false},
      {"set optionals", OptionalValue::GetInstance(Int(1)), OptionalValue::GetInstance(Int(1)),
       true},
      {"optional vs its content", OptionalValue::GetInstance(Int(1)), Int(1), false},
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
      {"struct null field", Struct("s", {{"a", nullptr}}), Struct("s", {{"a", nullptr}}), true},
      {"struct vs dynamic", StructValue::GetInstance("s"), DynamicStructValue::GetInstance("s"),
       false},
      {"struct vs error", StructValue::GetInstance("s"), ErrorValue::Create("s", {}), false},
      {"errors", ErrorValue::Create("e", {BaseMessage{"i", "t", {"a"}}}),
       ErrorValue::Create("e", {BaseMessage{"i", "t", {"a"}}}), true},
      {"error messages", ErrorValue::Create("e", {BaseMessage{"i", "t", {"a"}}}),
       ErrorValue::Create("e", {BaseMessage{"i", "t", {"b"}}}), false},
      {"nested equal", deepA, deepB, true},
      {"nested differ deep down", deepA, deepC, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.a->Equals(*c.b), c.equal);
    EXPECT_EQ(c.b->Equals(*c.a), c.equal);
    EXPECT_EQ(*c.a == *c.b, c.equal);
    EXPECT_EQ(*c.a != *c.b, !c.equal);
    EXPECT_TRUE(c.a->Equals(*c.a));
  }
}

void ExpectEquality(const std::vector<EqualityCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.a->Equals(*c.b), c.equal);
    EXPECT_EQ(c.b->Equals(*c.a), c.equal);
  }
}

// Blobs and secrets compare by their own contents.
TEST(DataValueEqualsTest, BlobsAndSecretsByValue) {
  ExpectEquality({
      {"secret", SecretValue::GetInstance("a"), SecretValue::GetInstance("a"), true},
      {"other secret", SecretValue::GetInstance("a"), SecretValue::GetInstance("b"), false},
      {"blob", BlobValue::GetInstance("a"), BlobValue::GetInstance("a"), true},
      {"other blob", BlobValue::GetInstance("a"), BlobValue::GetInstance("ab"), false},
      {"secret in a structure", Struct("s", {{"p", SecretValue::GetInstance("a")}}),
       Struct("s", {{"p", SecretValue::GetInstance("b")}}), false},
  });
}

TEST(DataValueEqualsTest, FieldsCompareRegardlessOfInsertionOrder) {
  auto a = Struct("s", {{"x", Int(1)}, {"y", Int(2)}});
  auto b = Struct("s", {{"y", Int(2)}, {"x", Int(1)}});
  EXPECT_EQ(*a, *b);
  EXPECT_EQ(a->ToString(), b->ToString());
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
}

TEST(CompoundValueTest, GetFieldOnEveryCompoundKindAndOddNames) {
  const std::vector<std::shared_ptr<CompoundValue>> values = {StructValue::GetInstance("s"),
                                                              DynamicStructValue::GetInstance("d"),
                                                              ErrorValue::GetInstance("e")};
  for (const auto& v : values) {
    MessageList messages;
    DataValuePtr out;
    EXPECT_FALSE(v->GetField("", out, messages));
    EXPECT_FALSE(v->GetField("{1}", out, messages));
    ASSERT_EQ(messages.size(), 2u);
    ExpectMessage(messages[0], "tarn.data.compound.field.missing", {"", v->name()});
    // A field name that looks like a placeholder is shown as it is, not expanded.
    ExpectMessage(messages[1], "tarn.data.compound.field.missing", {"{1}", v->name()});
  }
}

TEST(CompoundValueTest, SetFieldOverwritesAndFieldsAreOrderedByName) {
  auto s = StructValue::GetInstance("s");
  s->SetField("zeta", Int(1));
  s->SetField("alpha", Int(2));
  s->SetField("Mid", Int(3));
  s->SetField("alpha", Str("replaced"));
  ASSERT_EQ(s->fields().size(), 3u);
  Strings names;
  for (const auto& f : s->fields()) names.push_back(f.first);
  EXPECT_EQ(names, (Strings{"Mid", "alpha", "zeta"}));
  EXPECT_EQ(*s->fields().at("alpha"), *Str("replaced"));
  EXPECT_TRUE(s->HasField("zeta"));
  EXPECT_FALSE(s->HasField("beta"));
}

TEST(CompoundValueTest, FieldSlotFillsInPlace) {
  auto s = StructValue::GetInstance("s");
  DataValuePtr* a = s->FieldSlot("a");
  DataValuePtr* b = s->FieldSlot("b");
  for (int i = 0; i < 50; ++i) s->FieldSlot("f" + std::to_string(i));
  *a = Int(1);
  *b = Int(2);
  EXPECT_EQ(*s->fields().at("a"), *Int(1));
  EXPECT_EQ(*s->fields().at("b"), *Int(2));
  EXPECT_EQ(s->FieldSlot("a"), a);
}

TEST(OptionalValueTest, SetAndUnset) {
  auto unset = OptionalValue::GetInstance();
  EXPECT_FALSE(unset->IsSet());
  EXPECT_FALSE(unset->value());
  auto set = OptionalValue::GetInstance(Int(2));
  EXPECT_TRUE(set->IsSet());
  EXPECT_EQ(*set->value(), *Int(2));
  auto built = OptionalValue::GetInstance();
  *built->value(nullptr) = Str("x");
  EXPECT_TRUE(built->IsSet());
  EXPECT_EQ(*built, *OptionalValue::GetInstance(Str("x")));
}

TEST(ListValueTest, KindAndElements) {
  EXPECT_EQ(ListValue::GetInstance()->kind(), 1);
  EXPECT_EQ(ListValue::GetInstance(2)->kind(), 2);
  auto l = ListValue::GetInstance(1);
  l->Reserve(2);
  DataValuePtr* first = l->AddSlot();
  DataValuePtr* second = l->AddSlot();
  *first = Int(1);
  *second = Int(2);
  EXPECT_EQ(*l, *List({Int(1), Int(2)}));
  auto texts = ListValueString::GetInstance();
  texts->Add("a");
  texts->Add("");
  EXPECT_EQ(texts->elements(), (Strings{"a", ""}));
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
  for (const auto& messages : lists) {
    auto error = ErrorValue::Create("com.brantel.tarn.std.errors.not_found", messages);
    EXPECT_EQ(error->GetType(), DataType::ERROR);
    EXPECT_EQ(error->name(), "com.brantel.tarn.std.errors.not_found");
    EXPECT_EQ(error->Messages(), messages);
    // Equal lists make equal values.
    EXPECT_EQ(*error, *ErrorValue::Create("com.brantel.tarn.std.errors.not_found", messages));
  }
}

TEST(ErrorValueTest, GetInstanceHasNoMessages) {
  auto error = ErrorValue::GetInstance("com.brantel.tarn.std.errors.unsupported");
  EXPECT_EQ(error->name(), "com.brantel.tarn.std.errors.unsupported");
  EXPECT_TRUE(error->Messages().empty());
  EXPECT_EQ(*error, *ErrorValue::Create("com.brantel.tarn.std.errors.unsupported", {}));
}

TEST(ErrorValueTest, MalformedMessagesGiveWhatCanBeRead) {
  // No "messages" field, or one of the wrong kind: no messages and no crash.
  auto none = std::make_shared<ErrorValue>("e");
  EXPECT_TRUE(none->Messages().empty());
  auto wrong = std::make_shared<ErrorValue>("e");
  wrong->SetField("messages", Str("not a list"));
  EXPECT_TRUE(wrong->Messages().empty());
  auto nullList = std::make_shared<ErrorValue>("e");
  nullList->SetField("messages", nullptr);
  EXPECT_TRUE(nullList->Messages().empty());

  // Entries that are not structures are skipped; missing or mistyped parts read as empty.
  auto partial = std::make_shared<ErrorValue>("e");
  auto entry = StructValue::GetInstance(LocalizableMessageName());
  entry->SetField("id", Str("only.id"));
  entry->SetField("default_message", Int(3));
  entry->SetField("args", List({Str("not texts")}));
  partial->SetField("messages", List({Int(1), nullptr, entry}));
  const MessageList read = partial->Messages();
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0], (BaseMessage{"only.id", "", {}}));
}

// ---- deep values ----

constexpr int kDeep = 100000;

// Runs `body` on a thread with a 1 MiB stack, so that any recursion over a value 100,000 deep
// overflows at once instead of passing on a large default stack.
void OnSmallStack(void (*body)()) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, std::size_t{1} << 20), 0);
  pthread_t thread;
  const int created = pthread_create(
      &thread, &attr,
      [](void* arg) -> void* {
        (*static_cast<void (**)()>(arg))();
        return nullptr;
      },
      &body);
  pthread_attr_destroy(&attr);
  ASSERT_EQ(created, 0);
  pthread_join(thread, nullptr);
}

DataValuePtr DeepOptionalChain(int depth, std::int64_t leaf) {
  DataValuePtr v = Int(leaf);
  for (int i = 0; i < depth; ++i) v = OptionalValue::GetInstance(std::move(v));
  return v;
}

DataValuePtr DeepStructChain(int depth, std::int64_t leaf) {
  DataValuePtr v = Int(leaf);
  for (int i = 0; i < depth; ++i) {
    auto s = StructValue::GetInstance("node");
    s->SetField("next", std::move(v));
    v = std::move(s);
  }
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
    switch (i % 3) {
      case 0:
        v = OptionalValue::GetInstance(std::move(v));
        break;
      case 1:
        v = List({std::move(v)});
        break;
      default: {
        auto e = ErrorValue::GetInstance("e");
        e->SetField("cause", std::move(v));
        v = std::move(e);
      }
    }
  }
  return v;
}

void OptionalChainComparesPrintsAndDiesBody() {
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
}

void StructListAndMixedChainsComparePrintAndDieBody() {
  for (auto make : {+[] { return DeepStructChain(kDeep, 5); }, +[] { return DeepListChain(kDeep); },
                    +[] { return DeepMixedChain(kDeep); }}) {
    DataValuePtr a = make();
    DataValuePtr b = make();
    EXPECT_TRUE(*a == *b);
    EXPECT_GT(a->ToString().size(), static_cast<std::size_t>(kDeep));
  }
  EXPECT_FALSE(*DeepStructChain(kDeep, 5) == *DeepStructChain(kDeep, 6));
  EXPECT_FALSE(*DeepStructChain(kDeep, 5) == *DeepStructChain(kDeep - 1, 5));
}

void SharedInnerValueSurvivesTheOuterOnesDeathBody() {
  // A value held elsewhere keeps all its children when a container holding it dies.
  DataValuePtr inner = DeepStructChain(1000, 9);
  const std::string before = inner->ToString();
  {
    DataValuePtr outer =
        OptionalValue::GetInstance(List({inner, inner, Struct("s", {{"x", inner}})}));
    DataValuePtr chain = DeepOptionalChain(kDeep, 0);
    auto holder = StructValue::GetInstance("h");
    holder->SetField("a", chain);
    holder->SetField("b", inner);
  }
  EXPECT_EQ(inner->ToString(), before);
  EXPECT_EQ(*inner, *DeepStructChain(1000, 9));
}

void SharedChainPartDiesOnlyWithItsLastOwnerBody() {
  DataValuePtr shared = DeepOptionalChain(kDeep, 3);
  DataValuePtr a = List({shared});
  DataValuePtr b = List({shared});
  shared.reset();
  a.reset();
  ASSERT_EQ(b->GetType(), DataType::LIST);
  EXPECT_EQ(*static_cast<const ListValue&>(*b).elements()[0], *DeepOptionalChain(kDeep, 3));
  b.reset();
}

TEST(DeepValueTest, OptionalChainComparesPrintsAndDies) {
  OnSmallStack(&OptionalChainComparesPrintsAndDiesBody);
}

TEST(DeepValueTest, StructListAndMixedChainsComparePrintAndDie) {
  OnSmallStack(&StructListAndMixedChainsComparePrintAndDieBody);
}

TEST(DeepValueTest, SharedInnerValueSurvivesTheOuterOnesDeath) {
  OnSmallStack(&SharedInnerValueSurvivesTheOuterOnesDeathBody);
}

TEST(DeepValueTest, SharedChainPartDiesOnlyWithItsLastOwner) {
  OnSmallStack(&SharedChainPartDiesOnlyWithItsLastOwnerBody);
}

}  // namespace
}  // namespace Data
}  // namespace Tarn
