#include "binding/native.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/logic/tribool.hpp>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/binding/binding_test_util.h"
#include "tests/binding/test_records.h"
#include "vm/compute/cpus.h"

namespace KovTest {
namespace {

using Color = TestSvc::Color;
using ::Tarn::EnumConverter;
using ::Tarn::Data::BaseNative;
using ::Tarn::Data::StructValue;
using ::Tarn::Data::TypeInfo;

// ---- enumerations ----

TEST(EnumTest, DefaultIsUnknownWithEmptyText) {
  EXPECT_EQ(::Tarn::UnknownNumber<Color::Strings>(), 3);  // the count of known values
  const Color c;
  EXPECT_EQ(c.value(), Color::_UNKNOWN);
  EXPECT_EQ(c.unknownText(), "");
  EXPECT_EQ(::Tarn::EnumToText(c), "_UNKNOWN");
}

TEST(EnumTest, ConvertFromText) {
  struct Case {
    std::string text;
    Color::Value value;
    std::string kept;
  };
  const std::string zero("RED\0X", 5);
  const Case cases[] = {
      {"RED", Color::RED, ""},
      {"GREEN", Color::GREEN, ""},
      {"BLUE", Color::BLUE, ""},
      // The literal "_UNKNOWN" is the unknown value itself, nothing is kept.
      {"_UNKNOWN", Color::_UNKNOWN, ""},
      {"PURPLE", Color::_UNKNOWN, "PURPLE"},
      // Comparison is exact and case-sensitive.
      {"red", Color::_UNKNOWN, "red"},
      {" RED", Color::_UNKNOWN, " RED"},
      {"RED ", Color::_UNKNOWN, "RED "},
      {"_unknown", Color::_UNKNOWN, "_unknown"},
      {"", Color::_UNKNOWN, ""},
      // A text with an embedded zero is not a table entry.
      {zero, Color::_UNKNOWN, zero},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Color color(Color::GREEN);
    EnumConverter::Convert<Color::Strings>(c.text, color);
    EXPECT_EQ(color.value(), c.value);
    EXPECT_EQ(color.unknownText(), c.kept);
  }
}

TEST(EnumTest, ConvertingAKnownTextDropsAPreviouslyKeptText) {
  Color color;
  EnumConverter::Convert<Color::Strings>("PURPLE", color);
  ASSERT_EQ(color.unknownText(), "PURPLE");
  EnumConverter::Convert<Color::Strings>("BLUE", color);
  EXPECT_EQ(color.value(), Color::BLUE);
  EXPECT_EQ(color.unknownText(), "");
  EnumConverter::Convert<Color::Strings>("_UNKNOWN", color);
  EXPECT_EQ(color.unknownText(), "");
}

TEST(EnumTest, EveryTextTravelsBackUnchangedExceptTheEmptyOne) {
  for (const std::string& text :
       {std::string("RED"), std::string("GREEN"), std::string("BLUE"), std::string("_UNKNOWN"),
        std::string("PURPLE"), std::string("x y"), std::string("\xc3\xa9"),
        std::string("RED\0X", 5)}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(::Tarn::EnumToText(EnumOf<Color>(text)), text);
    EXPECT_EQ((EnumConverter::Convert<Color::Strings>(EnumOf<Color>(text))), text);
  }
  EXPECT_EQ((EnumConverter::Convert<Color::Strings>(Color(Color::BLUE))), "BLUE");
  EXPECT_EQ((EnumConverter::Convert<Color::Strings>(Color())), "_UNKNOWN");
  // An empty text keeps nothing, so it travels back as the default.
  EXPECT_EQ(::Tarn::EnumToText(EnumOf<Color>("")), "_UNKNOWN");
}

TEST(EnumTest, EqualityTakesTheKeptTextIntoAccount) {
  EXPECT_EQ(EnumOf<Color>("RED"), Color(Color::RED));
  EXPECT_EQ(EnumOf<Color>("_UNKNOWN"), Color());
  EXPECT_NE(EnumOf<Color>("A"), Color());
  EXPECT_NE(EnumOf<Color>("A"), EnumOf<Color>("B"));
  EXPECT_EQ(EnumOf<Color>("A"), EnumOf<Color>("A"));
}

TEST(EnumTest, SetsOrderByNumberThenByKeptTextInByteOrder) {
  std::set<Color> set;
  for (const char* text :
       {"_UNKNOWN", "zeta", "BLUE", "\xc3\xa9", "RED", "Zeta", "alpha", "RED", "GREEN", "zeta"}) {
    set.insert(EnumOf<Color>(text));
  }
  std::vector<std::string> order;
  for (auto& c : set) order.push_back(::Tarn::EnumToText(c));
  // Byte order: upper case before lower case, bytes above 0x7f last.
  EXPECT_EQ(order, (std::vector<std::string>{"RED", "GREEN", "BLUE", "_UNKNOWN", "Zeta", "alpha",
                                             "zeta", "\xc3\xa9"}));
}

TEST(EnumTest, MessagesPlaceAnEnumerationAsItsNumber) {
  EXPECT_EQ(::Tarn::FormatImpl<1>::call("{}", Color(Color::BLUE)), "2");
  EXPECT_EQ(::Tarn::FormatImpl<1>::call("{}", EnumOf<Color>("PURPLE")), "3");
}

// ---- union predicates ----

using Annotations = TestSvc::MachineAnnotations;

TEST(UnionPredicateTest, RequiredAndAllowedFieldPredicates) {
  const ::Tarn::Data::UnionCaseAnyEnumValue<Annotations::DiskUnionCases> required;
  EXPECT_TRUE(required("OFF") == true);
  for (const char* tag : {"ON", "SUSPENDED", "_UNKNOWN", "off", "", "OFF "}) {
    SCOPED_TRACE(tag);
    EXPECT_TRUE(required(tag) == false);
  }
  const ::Tarn::Data::OptUnionCaseAnyEnumValue<Annotations::NoteUnionCases> allowed;
  EXPECT_TRUE(boost::logic::indeterminate(allowed("ON")));
  EXPECT_TRUE(boost::logic::indeterminate(allowed("SUSPENDED")));
  for (const char* tag : {"OFF", "_UNKNOWN", "on", "", "PURPLE"}) {
    SCOPED_TRACE(tag);
    EXPECT_TRUE(allowed(tag) == false);
  }
}

// ---- type names and default instances ----

TEST(TypeInfoTest, Names) {
  EXPECT_EQ(TypeInfo<TestSvc::Leaf>::name(), "com.brantel.kov.vm.test.leaf");
  EXPECT_EQ(TypeInfo<TestSvc::Color>::name(), "com.brantel.kov.vm.test.color");
  EXPECT_EQ(TypeInfo<std::shared_ptr<const TestSvc::Leaf>>::name(),
            "SharedPtr<com.brantel.kov.vm.test.leaf>");
  EXPECT_EQ(TypeInfo<std::shared_ptr<TestSvc::Everything>>::name(),
            "SharedPtr<com.brantel.kov.vm.test.everything>");
  EXPECT_EQ(TypeInfo<std::string>::name(), "String");
  // A fresh string every time.
  std::string first = TypeInfo<TestSvc::Leaf>::name();
  first[0] = 'X';
  EXPECT_EQ(TypeInfo<TestSvc::Leaf>::name(), "com.brantel.kov.vm.test.leaf");

  // Every input record has the operation input's name.
  const std::string input = TypeInfo<::Tarn::OperationInput>::name();
  EXPECT_FALSE(input.empty());
  EXPECT_EQ(TypeInfo<TestSvc::DoMethod::Input>::name(), input);
  EXPECT_EQ(TypeInfo<Com::Brantel::Kov::Vm::Compute::CpusSvc::GetMethod::Input>::name(), input);
  EXPECT_EQ(TypeInfo<std::shared_ptr<const TestSvc::DoMethod::Input>>::name(),
            "SharedPtr<" + input + ">");
}

TEST(TypeInfoTest, DefaultInstanceIsNewAndDefaultAndIgnoresItsArgument) {
  const DataValuePtr ignored =
      Struct(TestSvc::Everything::typeName, {{"count", Int(5)}, {"label", Str("x")}});
  auto a = TypeInfo<TestSvc::Everything>::defaultInstance(ignored);
  auto b = TypeInfo<TestSvc::Everything>::defaultInstance(nullptr);
  ASSERT_TRUE(a);
  ASSERT_TRUE(b);
  EXPECT_NE(a.get(), b.get());
  for (auto* e : {a.get(), b.get()}) {
    EXPECT_FALSE(e->unknownFields);
    EXPECT_FALSE(e->leaf);
    EXPECT_EQ(e->color.unknownText(), "");
    // Every other member as in a sparse record.
    e->leaf = std::make_shared<TestSvc::Leaf>();
    EXPECT_EQ(*ValueOf(*e), *ValueOf(*SparseRecord()));
  }
}

// ---- unknown fields ----

TEST(UnknownFieldsTest, NativeToValueSharesTheKeptValues) {
  TestSvc::Leaf leaf;
  auto target = Struct("t", {{"name", Str("kept")}});
  BaseNative::AdapterHelper::AddUnknownFields(leaf, *target);  // none: nothing is copied
  ASSERT_EQ(target->fields().size(), 1u);
  EXPECT_EQ(*target->fields().at("name"), *Str("kept"));

  const DataValuePtr b = Int(2);
  const DataValuePtr a = Str("one");
  leaf.unknownFields = Struct("unknownFields", {{"b", b}, {"a", a}});
  target = StructValue::GetInstance("t");
  BaseNative::AdapterHelper::AddUnknownFields(leaf, *target);
  ASSERT_EQ(target->fields().size(), 2u);
  EXPECT_EQ(target->fields().at("a").get(), a.get());
  EXPECT_EQ(target->fields().at("b").get(), b.get());
}

TEST(UnknownFieldsTest, ValueToNativeMergesWithTheSortedNames) {
  struct MergeCase {
    const char* what;
    std::vector<std::string> source;
    std::vector<std::string> unknown;
  };
  // Declared: "B", "a_b", "ab", "b" (byte order: upper case, then "_" (0x5f), then lower case).
  static constexpr ::Tarn::Data::SortedNames<4> names{{"B", "a_b", "ab", "b"}};
  const MergeCase cases[] = {
      {"only declared", {"B", "a_b", "ab", "b"}, {}},
      {"none at all", {}, {}},
      {"before, between and after",
       {"A", "B", "a", "a_b", "a_c", "ab", "b", "c"},
       {"A", "a", "a_c", "c"}},
      {"declared names missing from the value", {"a_a", "aa", "z"}, {"a_a", "aa", "z"}},
      {"prefixes of declared names", {"", "a", "a_", "b_"}, {"", "a", "a_", "b_"}},
      {"only after the last declared", {"b", "ba", "bb"}, {"ba", "bb"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto source = StructValue::GetInstance("s");
    std::vector<DataValuePtr> values;
    for (auto& n : c.source) {
      values.push_back(Str(n));
      source->SetField(n, values.back());
    }
    std::shared_ptr<StructValue> target;
    BaseNative::AdapterHelper::AddUnknownFields(names, source.get(), target);
    if (c.unknown.empty()) {
      EXPECT_FALSE(target);
      continue;
    }
    ASSERT_TRUE(target);
    EXPECT_EQ(target->name(), "unknownFields");
    EXPECT_EQ(target->GetType(), ::Tarn::Data::DataType::STRUCTURE);
    std::vector<std::string> got;
    for (auto& f : target->fields()) {
      got.push_back(f.first);
      // The received value itself, not a copy.
      EXPECT_EQ(f.second.get(), source->fields().at(f.first).get());
    }
    EXPECT_EQ(got, c.unknown);
  }
}

TEST(UnknownFieldsTest, ValueToNativeWithoutNamesOrSourceOrWithATarget) {
  // No declared names: every field is kept.
  static constexpr ::Tarn::Data::SortedNames<0> none{};
  auto source = Struct("s", {{"x", Int(1)}, {"y", Int(2)}});
  std::shared_ptr<StructValue> target;
  BaseNative::AdapterHelper::AddUnknownFields(none, source.get(), target);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->fields().size(), 2u);

  // No source: the target is left alone.
  const auto& names = TestSvc::Leaf::AdapterHelper::sortedNames;
  target.reset();
  BaseNative::AdapterHelper::AddUnknownFields(names, nullptr, target);
  EXPECT_FALSE(target);

  // An existing target is added to.
  auto existing = Struct("unknownFields", {{"old", Int(1)}});
  target = existing;
  source = Struct("s", {{"name", Str("n")}, {"new", Int(2)}});
  BaseNative::AdapterHelper::AddUnknownFields(names, source.get(), target);
  EXPECT_EQ(target.get(), existing.get());
  EXPECT_EQ(target->fields().size(), 2u);
  EXPECT_TRUE(target->HasField("new"));
}

TEST(UnknownFieldsTest, GeneratedNameArraysAreSorted) {
  auto sorted = [](const auto& names) {
    return std::is_sorted(names.begin(), names.end()) &&
           std::adjacent_find(names.begin(), names.end()) == names.end();
  };
  EXPECT_TRUE(sorted(TestSvc::Everything::AdapterHelper::sortedNames));
  EXPECT_TRUE(sorted(TestSvc::Machine::AdapterHelper::sortedNames));
  EXPECT_TRUE(sorted(TestSvc::Backing::AdapterHelper::sortedNames));
  EXPECT_TRUE(sorted(TestSvc::DoMethod::Input::AdapterHelper::sortedNames));
  EXPECT_TRUE(sorted(TestSvc::Tree::AdapterHelper::sortedNames));
  EXPECT_TRUE(sorted(TestSvc::Chain::AdapterHelper::sortedNames));
  EXPECT_TRUE(sorted(TestSvc::Placement::AdapterHelper::sortedNames));
}

// ---- structure metadata ----

TEST(StructInfoTest, CreateDescribesTheResourceFields) {
  auto info = ::Tarn::Metadata::StructInfo::Create<TestSvc::Placement>();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->number, 0);
  EXPECT_EQ(info->name, "com.brantel.kov.vm.Test.Placement");
  EXPECT_FALSE(info->documentation);
  ASSERT_EQ(info->fields.size(), 2u);
  using Entry = std::pair<std::string, std::string>;
  const Entry expected[] = {{"vm", "com.brantel.kov.vm.VirtualMachine"},
                            {"disk", "com.brantel.kov.vm.VirtualDisk"}};
  for (auto& [field, type] : expected) {
    SCOPED_TRACE(field);
    auto& entry = info->fields.at(field);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->number, 0);
    EXPECT_EQ(entry->resourceType, type);
    EXPECT_TRUE(entry->properties.empty());
    EXPECT_FALSE(entry->documentation);
  }
  EXPECT_NE(::Tarn::Metadata::StructInfo::Create<TestSvc::Placement>().get(), info.get());
}

}  // namespace
}  // namespace KovTest
