// Native type support over generated types: enumerations with their kept texts, union
// predicates, type names and default instances, the merge of unknown fields, and structure
// metadata.
#include "binding/native.h"

#include <gtest/gtest.h>

#include <boost/logic/tribool.hpp>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

using ::Tarn::EnumConverter;
using ::Tarn::Data::BaseNative;
using ::Tarn::Data::StructValue;
using ::Tarn::Data::TypeInfo;

TEST(EnumTest, ConvertFromTextKeepsWhatIsNotInTheTable) {
  const std::string zero("RAW\0X", 5);
  const struct {
    std::string text;
    Backing::Value value;
    std::string kept;
  } cases[] = {
      {"ATAPI", Backing::ATAPI, ""},
      {"RAW", Backing::RAW, ""},
      {"_UNKNOWN", Backing::_UNKNOWN, ""},  // the unknown value itself, nothing kept
      {"FLOPPY", Backing::_UNKNOWN, "FLOPPY"},
      {"raw", Backing::_UNKNOWN, "raw"},  // exact and case-sensitive
      {"RAW ", Backing::_UNKNOWN, "RAW "},
      {"", Backing::_UNKNOWN, ""},
      {zero, Backing::_UNKNOWN, zero},  // an embedded zero is not a table entry
  };
  EXPECT_EQ(::Tarn::UnknownNumber<Backing::Strings>(), 3);
  EXPECT_EQ(::Tarn::EnumToText(Backing()), "_UNKNOWN");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    // Start from a kept text: converting a known text drops it.
    Backing value = EnumOf<Backing>("OLD");
    EnumConverter::Convert<Backing::Strings>(c.text, value);
    EXPECT_EQ(value.value(), c.value);
    EXPECT_EQ(value.unknownText(), c.kept);
    // Every text travels back unchanged, except the empty one, which keeps nothing.
    EXPECT_EQ(::Tarn::EnumToText(value), c.text.empty() ? "_UNKNOWN" : c.text);
    EXPECT_EQ(EnumConverter::Convert<Backing::Strings>(value), ::Tarn::EnumToText(value));
  }
  // Messages place an enumeration as its number.
  EXPECT_EQ(::Tarn::FormatImpl<1>::call("{}", Backing(Backing::RAW)), "2");
  EXPECT_EQ(::Tarn::FormatImpl<1>::call("{}", EnumOf<Backing>("FLOPPY")), "3");
}

TEST(EnumTest, EqualityAndOrderTakeTheKeptTextIntoAccount) {
  EXPECT_EQ(EnumOf<Backing>("RAW"), Backing(Backing::RAW));
  EXPECT_EQ(EnumOf<Backing>("_UNKNOWN"), Backing());
  EXPECT_NE(EnumOf<Backing>("A"), Backing());
  EXPECT_NE(EnumOf<Backing>("A"), EnumOf<Backing>("B"));
  EXPECT_EQ(EnumOf<Backing>("A"), EnumOf<Backing>("A"));
  std::set<Backing> set;
  for (const char* text :
       {"_UNKNOWN", "zeta", "RAW", "\xc3\xa9", "ATAPI", "Zeta", "alpha", "RAW", "IMAGE", "zeta"}) {
    set.insert(EnumOf<Backing>(text));
  }
  std::vector<std::string> order;
  for (auto& c : set) order.push_back(::Tarn::EnumToText(c));
  // By number, then kept texts in byte order: upper case before lower case, bytes above 0x7f last.
  EXPECT_EQ(order, (std::vector<std::string>{"ATAPI", "IMAGE", "RAW", "_UNKNOWN", "Zeta", "alpha",
                                             "zeta", "\xc3\xa9"}));
}

TEST(UnionPredicateTest, RequiredAndAllowedFieldPredicates) {
  using Annotations = CdromSvc::BackingInfoAnnotations;
  const ::Tarn::Data::UnionCaseAnyEnumValue<Annotations::DeviceNameUnionCases> required;
  EXPECT_TRUE(required("ATAPI") == true);
  EXPECT_TRUE(required("RAW") == true);
  for (const char* tag : {"IMAGE", "_UNKNOWN", "raw", "", "RAW "}) {
    EXPECT_TRUE(required(tag) == false) << tag;
  }
  const ::Tarn::Data::OptUnionCaseAnyEnumValue<Annotations::IsoFileUnionCases> allowed;
  EXPECT_TRUE(boost::logic::indeterminate(allowed("IMAGE")));
  for (const char* tag : {"ATAPI", "_UNKNOWN", "image", ""}) {
    EXPECT_TRUE(allowed(tag) == false) << tag;
  }
}

TEST(TypeInfoTest, NamesAndDefaultInstances) {
  const std::string summary = DiskSvc::Summary::typeName;
  EXPECT_EQ(TypeInfo<DiskSvc::Summary>::name(), summary);
  EXPECT_EQ(TypeInfo<Backing>::name(), Backing::typeName);
  EXPECT_EQ(TypeInfo<std::shared_ptr<const DiskSvc::Summary>>::name(),
            "SharedPtr<" + summary + ">");
  EXPECT_EQ(TypeInfo<std::string>::name(), "String");
  // Every input record has the operation input's name.
  const std::string input = TypeInfo<::Tarn::OperationInput>::name();
  EXPECT_FALSE(input.empty());
  EXPECT_EQ(TypeInfo<CdromSvc::AddMethod::Input>::name(), input);

  // A default instance is new and default, whatever value it is given.
  auto a = TypeInfo<DataSetsSvc::Info>::defaultInstance(
      Struct(DataSetsSvc::Info::typeName, {{"used", Int(5)}, {"name", Str("x")}}));
  auto b = TypeInfo<DataSetsSvc::Info>::defaultInstance(nullptr);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(*ValueOf(*a), *ValueOf(DataSetsSvc::Info()));
  EXPECT_FALSE(a->unknownFields);
}

TEST(UnknownFieldsTest, NativeToValueSharesTheKeptValues) {
  DiskSvc::Summary summary;
  auto target = Struct("t", {{"disk", Str("kept")}});
  BaseNative::AdapterHelper::AddUnknownFields(summary, *target);  // none: nothing is copied
  EXPECT_EQ(*target, *Struct("t", {{"disk", Str("kept")}}));
  const DataValuePtr b = Int(2), a = Str("one");
  summary.unknownFields = Struct("unknownFields", {{"b", b}, {"a", a}});
  BaseNative::AdapterHelper::AddUnknownFields(summary, *target);
  ASSERT_EQ(target->fields().size(), 3u);
  EXPECT_EQ(target->fields().at("a").get(), a.get());
  EXPECT_EQ(target->fields().at("b").get(), b.get());
}

TEST(UnknownFieldsTest, ValueToNativeMergesWithTheSortedNames) {
  // Declared: "B", "a_b", "ab", "b" (byte order: upper case, then "_" (0x5f), then lower case).
  static constexpr ::Tarn::Data::SortedNames<4> names{{"B", "a_b", "ab", "b"}};
  static constexpr ::Tarn::Data::SortedNames<0> none{};
  const struct {
    const char* what;
    std::vector<std::string> source;
    std::vector<std::string> unknown;
    bool declared;
  } cases[] = {
      {"only declared", {"B", "a_b", "ab", "b"}, {}, true},
      {"none at all", {}, {}, true},
      {"before, between and after",
       {"A", "B", "a", "a_b", "a_c", "ab", "b", "c"},
       {"A", "a", "a_c", "c"},
       true},
      {"prefixes of declared names", {"", "a", "a_", "b_"}, {"", "a", "a_", "b_"}, true},
      {"only after the last declared", {"b", "ba", "bb"}, {"ba", "bb"}, true},
      {"no declared names", {"x", "y"}, {"x", "y"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto source = StructValue::GetInstance("s");
    for (auto& n : c.source) source->SetField(n, Str(n));
    std::shared_ptr<StructValue> target;
    if (c.declared) {
      BaseNative::AdapterHelper::AddUnknownFields(names, source.get(), target);
    } else {
      BaseNative::AdapterHelper::AddUnknownFields(none, source.get(), target);
    }
    ASSERT_EQ(static_cast<bool>(target), !c.unknown.empty());
    if (!target) continue;
    EXPECT_EQ(target->name(), "unknownFields");
    std::vector<std::string> got;
    for (auto& f : target->fields()) {
      got.push_back(f.first);
      EXPECT_EQ(f.second.get(), source->fields().at(f.first).get());  // not a copy
    }
    EXPECT_EQ(got, c.unknown);
  }
  // No source leaves the target alone; an existing target is added to.
  std::shared_ptr<StructValue> target;
  BaseNative::AdapterHelper::AddUnknownFields(names, nullptr, target);
  EXPECT_FALSE(target);
  auto existing = Struct("unknownFields", {{"old", Int(1)}});
  target = existing;
  auto source = Struct("s", {{"b", Str("n")}, {"new", Int(2)}});
  BaseNative::AdapterHelper::AddUnknownFields(names, source.get(), target);
  EXPECT_EQ(target.get(), existing.get());
  EXPECT_EQ(*target, *Struct("unknownFields", {{"old", Int(1)}, {"new", Int(2)}}));
}

TEST(StructInfoTest, CreateDescribesTheResourceFields) {
  auto info = ::Tarn::Metadata::StructInfo::Create<DiskSvc::AddSpec>();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->number, 0);
  EXPECT_EQ(info->name, "com.brantel.kov.vm.device.Disk.AddSpec");
  EXPECT_FALSE(info->documentation);
  ASSERT_EQ(info->fields.size(), 2u);
  for (auto& [field, type] : {std::make_pair("vm", "com.brantel.kov.vm.VirtualMachine"),
                              std::make_pair("disk", "com.brantel.kov.vm.VirtualDisk")}) {
    SCOPED_TRACE(field);
    auto& entry = info->fields.at(field);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->number, 0);
    EXPECT_EQ(entry->resourceType, type);
    EXPECT_TRUE(entry->properties.empty());
    EXPECT_FALSE(entry->documentation);
  }
  EXPECT_NE(::Tarn::Metadata::StructInfo::Create<DiskSvc::AddSpec>().get(), info.get());
}

}  // namespace
}  // namespace KovTest
