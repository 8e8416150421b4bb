// Definitions built from generated records: the shape of every member kind, union cases, result
// and error types, and agreement with the values the adapters make.
#include "binding/definition_adapter.h"

#include <gtest/gtest.h>

#include <boost/logic/tribool.hpp>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

namespace N2D = ::Tarn::Data::NativeToDefinitionAdapter;
using ::Tarn::Data::DataDefinitionPtr;
using ::Tarn::Data::DataType;
using ::Tarn::Data::ListDefinition;
using ::Tarn::Data::OptionalDefinition;
using ::Tarn::Data::StructDefinition;
using ::Tarn::Data::UnionCaseDefinition;

const StructDefinition& AsStruct(const DataDefinitionPtr& d) {
  EXPECT_TRUE(d && (d->GetType() == DataType::STRUCTURE || d->GetType() == DataType::ERROR));
  return static_cast<const StructDefinition&>(*d);
}

// The shape of a definition as text: kinds with their wrapped kinds, e.g. "optional(integer)";
// a structure with its fields, "name{field: shape, ...}".
std::string Shape(const DataDefinitionPtr& d) {
  if (!d) return "null";
  switch (d->GetType()) {
    case DataType::OPTIONAL:
      return "optional(" + Shape(static_cast<const OptionalDefinition&>(*d).element()) + ")";
    case DataType::LIST:
      return "list(" + Shape(static_cast<const ListDefinition&>(*d).element()) + ")";
    case DataType::UNION_CASE:
      return "case(" + Shape(static_cast<const UnionCaseDefinition&>(*d).held()) + ")";
    case DataType::STRUCTURE: {
      std::string text = AsStruct(d).name() + "{";
      for (auto& f : AsStruct(d).fields()) text += f.first + ": " + Shape(f.second) + ", ";
      return text + "}";
    }
    default:
      return ::Tarn::Data::DataTypeName(d->GetType());
  }
}

TEST(DefinitionAdapter, EveryMemberShape) {
  const std::string input = ::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name();
  const std::string backing =
      "com.brantel.kov.vm.device.cdrom.backing_info{device_name: case(string), iso_file: "
      "case(string), type: string, }";
  const std::string filter =
      "com.brantel.kov.vm.device.cdrom.filter_spec{backing_types: optional(list(string)), "
      "cdroms: optional(list(string)), devices: optional(list(string)), }";
  const std::pair<DataDefinitionPtr, std::string> cases[] = {
      {N2D::Adapt<DataSetsSvc::Info>(),
       "com.brantel.kov.vm.data_sets.info{description: string, guest: string, host: string, name: "
       "string, omit_from_snapshot_and_clone: boolean, used: integer, }"},
      {N2D::Adapt<DataSetsSvc::UpdateSpec>(),
       "com.brantel.kov.vm.data_sets.update_spec{description: optional(string), guest: "
       "optional(string), host: optional(string), omit_from_snapshot_and_clone: optional(boolean), "
       "}"},
      {N2D::Adapt<CdromSvc::AddMethod::Input>(),
       input + "{backing: " + backing + ", device: string, vm: string, }"},
      {N2D::Adapt<CdromSvc::ListMethod::Input>(),
       input + "{filter: optional(" + filter + "), vm: string, }"},
      {N2D::Adapt<DiskSvc::ListResult>(),
       "com.brantel.kov.vm.device.disk.list_result{list: "
       "list(com.brantel.kov.vm.device.disk.summary{device: string, disk: string, }), }"},
      {N2D::Adapt<PowerSvc::Info>(),
       "com.brantel.kov.vm.power.info{state: string, suspended: case(boolean), }"},
      // Result types.
      {N2D::Adapt<::Tarn::Void>(), "void"},
      {N2D::Adapt<std::string>(), "string"},
      {N2D::Adapt<std::int64_t>(), "integer"},
      {N2D::Adapt<Backing>(), "string"},
      {N2D::Adapt<std::set<std::string>>(), "list(string)"},
      {N2D::Adapt<std::vector<std::shared_ptr<const CdromSvc::FilterSpec>>>(),
       "list(" + filter + ")"},
      {N2D::Adapt<::Tarn::OperationInput>(), input + "{}"},
  };
  for (const auto& [definition, shape] : cases) EXPECT_EQ(Shape(definition), shape);

  DataDefinitionPtr notFound;
  MessageList messages;
  N2D::Adapt(N2D::AdaptMethod<::Com::Brantel::Tarn::Std::Errors::NotFound>::Get(), &notFound,
             messages);
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(notFound);
  EXPECT_EQ(notFound->GetType(), DataType::ERROR);
  EXPECT_EQ(AsStruct(notFound).name(), "com.brantel.tarn.std.errors.not_found");
}

TEST(DefinitionAdapter, UnionCasesAndFreshDefinitionsPerCall) {
  DataDefinitionPtr d = N2D::Adapt<CdromSvc::BackingInfo>();
  auto& device = static_cast<const UnionCaseDefinition&>(*AsStruct(d).fields().at("device_name"));
  EXPECT_EQ(device.tagName(), "type");
  EXPECT_TRUE(device.Case("ATAPI") == true);
  EXPECT_TRUE(device.Case("RAW") == true);
  for (const char* tag : {"IMAGE", "_UNKNOWN", "FLOPPY", "atapi"}) {
    EXPECT_TRUE(device.Case(tag) == false) << tag;
  }
  auto& iso = static_cast<const UnionCaseDefinition&>(*AsStruct(d).fields().at("iso_file"));
  EXPECT_TRUE(boost::logic::indeterminate(iso.Case("IMAGE")));
  EXPECT_TRUE(iso.Case("ATAPI") == false);
  EXPECT_TRUE(iso.Case("_UNKNOWN") == false);

  // Each call builds afresh: a structure met in an earlier call is built again, not taken over.
  DataDefinitionPtr again = N2D::Adapt<CdromSvc::BackingInfo>();
  EXPECT_NE(d.get(), again.get());
  EXPECT_NE(AsStruct(d).fields().at("type").get(), AsStruct(again).fields().at("type").get());
}

TEST(DefinitionAdapter, DefinitionsAcceptTheValuesTheAdaptersMake) {
  CdromSvc::ListMethod::Input list;
  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->cdroms = std::set<std::string>{"a"};
  filter->backingTypes = std::set<Backing>{Backing(Backing::RAW), EnumOf<Backing>("ODD")};
  list.filter = filter;
  PowerSvc::Info off;
  off.state = PowerSvc::State(PowerSvc::State::OFF);
  off.suspended = true;
  MessageList messages;
  EXPECT_TRUE(
      N2D::Adapt<CdromSvc::ListMethod::Input>()->Validate(ToValue(list, messages), messages));
  EXPECT_TRUE(N2D::Adapt<PowerSvc::Info>()->Validate(ToValue(off, messages), messages));
  EXPECT_TRUE(messages.empty()) << messages[0].id;
}

}  // namespace
}  // namespace KovTest
