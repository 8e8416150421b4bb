#include "binding/definition_adapter.h"

#include <gtest/gtest.h>

#include <boost/logic/tribool.hpp>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/binding/binding_test_util.h"
#include "tests/binding/test_records.h"

namespace KovTest {
namespace {

namespace N2D = ::Tarn::Data::NativeToDefinitionAdapter;
using ::Tarn::Data::DataDefinition;
using ::Tarn::Data::DataDefinitionPtr;
using ::Tarn::Data::DataType;
using ::Tarn::Data::ListDefinition;
using ::Tarn::Data::OptionalDefinition;
using ::Tarn::Data::StructDefinition;
using ::Tarn::Data::StructRefDefinition;
using ::Tarn::Data::UnionCaseDefinition;

const StructDefinition& AsStruct(const DataDefinitionPtr& d) {
  EXPECT_TRUE(d);
  EXPECT_TRUE(d && (d->GetType() == DataType::STRUCTURE || d->GetType() == DataType::ERROR));
  return static_cast<const StructDefinition&>(*d);
}

const DataDefinitionPtr& Field(const DataDefinitionPtr& d, const std::string& name) {
  static const DataDefinitionPtr none;
  auto& fields = AsStruct(d).fields();
  auto it = fields.find(name);
  EXPECT_NE(it, fields.end()) << name;
  return it == fields.end() ? none : it->second;
}

const DataDefinitionPtr& Element(const DataDefinitionPtr& d) {
  static const DataDefinitionPtr none;
  if (!d) return none;
  if (d->GetType() == DataType::OPTIONAL)
    return static_cast<const OptionalDefinition&>(*d).element();
  if (d->GetType() == DataType::LIST) return static_cast<const ListDefinition&>(*d).element();
  if (d->GetType() == DataType::UNION_CASE)
    return static_cast<const UnionCaseDefinition&>(*d).held();
  ADD_FAILURE() << "not a wrapper";
  return none;
}

// The shape of a definition as text: kinds with their wrapped kinds, e.g. "optional(integer)".
std::string Shape(const DataDefinitionPtr& d) {
  if (!d) return "null";
  switch (d->GetType()) {
    case DataType::OPTIONAL:
      return "optional(" + Shape(Element(d)) + ")";
    case DataType::LIST:
      return "list(" + Shape(Element(d)) + ")";
    case DataType::UNION_CASE:
      return "case(" + Shape(Element(d)) + ")";
    case DataType::STRUCTURE:
      return "struct " + static_cast<const StructDefinition&>(*d).name();
    case DataType::STRUCTURE_REF:
      return "ref " + static_cast<const StructRefDefinition&>(*d).name();
    default:
      return ::Tarn::Data::DataTypeName(d->GetType());
  }
}

TEST(DefinitionAdapter, EveryMemberShape) {
  DataDefinitionPtr d = N2D::Adapt<TestSvc::Everything>();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(AsStruct(d).name(), TestSvc::Everything::typeName);
  const std::string leaf = std::string("struct ") + TestSvc::Leaf::typeName;
  const std::vector<std::pair<std::string, std::string>> expected{
      {"color", "string"},
      {"colors", "list(string)"},
      {"count", "integer"},
      {"enabled", "boolean"},
      {"label", "string"},
      {"leaf", leaf},
      {"leaves", "list(" + leaf + ")"},
      {"opt_color", "optional(string)"},
      {"opt_count", "optional(integer)"},
      {"opt_enabled", "optional(boolean)"},
      {"opt_label", "optional(string)"},
      {"opt_leaf", "optional(" + leaf + ")"},
      {"opt_tags", "optional(list(string))"},
      {"tags", "list(string)"},
  };
  std::vector<std::pair<std::string, std::string>> got;
  for (auto& f : AsStruct(d).fields()) got.emplace_back(f.first, Shape(f.second));
  EXPECT_EQ(got, expected);

  auto& nested = AsStruct(Field(d, "leaf"));
  ASSERT_EQ(nested.fields().size(), 2u);
  EXPECT_EQ(Shape(nested.fields().at("name")), "string");
  EXPECT_EQ(Shape(nested.fields().at("size")), "integer");
}

TEST(DefinitionAdapter, OneDefinitionPerStructureTypeAndCall) {
  // Fields of one structure type share one definition.
  DataDefinitionPtr a = N2D::Adapt<TestSvc::Everything>();
  const DataDefinitionPtr& leaf = Field(a, "leaf");
  ASSERT_TRUE(leaf);
  EXPECT_EQ(Element(Field(a, "opt_leaf")).get(), leaf.get());
  EXPECT_EQ(Element(Field(a, "leaves")).get(), leaf.get());
  DataDefinitionPtr in = N2D::Adapt<TestSvc::DoMethod::Input>();
  EXPECT_EQ(Element(Field(in, "machine")).get(), Element(Field(in, "machines")).get());

  // Each call builds afresh; a structure met in an earlier call is built again, not taken over.
  DataDefinitionPtr b = N2D::Adapt<TestSvc::Everything>();
  EXPECT_NE(a.get(), b.get());
  EXPECT_NE(Field(a, "leaf").get(), Field(b, "leaf").get());
  DataDefinitionPtr alone = N2D::Adapt<TestSvc::Leaf>();
  EXPECT_NE(alone.get(), leaf.get());
  EXPECT_EQ(Shape(alone), Shape(leaf));
}

TEST(DefinitionAdapter, UnionFieldsBecomeUnionCases) {
  DataDefinitionPtr d = N2D::Adapt<TestSvc::Machine>();
  EXPECT_EQ(Shape(Field(d, "state")), "string");
  EXPECT_EQ(Shape(Field(d, "disk")), "case(string)");
  EXPECT_EQ(Shape(Field(d, "note")), "case(integer)");

  auto& disk = static_cast<const UnionCaseDefinition&>(*Field(d, "disk"));
  EXPECT_EQ(disk.tagName(), "state");
  EXPECT_TRUE(disk.Case("OFF") == true);
  EXPECT_TRUE(disk.Case("ON") == false);
  EXPECT_TRUE(disk.Case("_UNKNOWN") == false);
  EXPECT_TRUE(disk.Case("PURPLE") == false);

  auto& note = static_cast<const UnionCaseDefinition&>(*Field(d, "note"));
  EXPECT_EQ(note.tagName(), "state");
  EXPECT_TRUE(boost::logic::indeterminate(note.Case("ON")));
  EXPECT_TRUE(boost::logic::indeterminate(note.Case("SUSPENDED")));
  EXPECT_TRUE(note.Case("OFF") == false);
  EXPECT_TRUE(note.Case("_UNKNOWN") == false);

  DataDefinitionPtr backing = N2D::Adapt<TestSvc::Backing>();
  auto& device = static_cast<const UnionCaseDefinition&>(*Field(backing, "device_name"));
  EXPECT_EQ(device.tagName(), "mode");
}

// The reference inside a record that contains itself points at the outermost definition.
const StructRefDefinition& Ref(const DataDefinitionPtr& d, const DataDefinitionPtr& target) {
  EXPECT_TRUE(d && d->GetType() == DataType::STRUCTURE_REF) << Shape(d);
  auto& ref = static_cast<const StructRefDefinition&>(*d);
  EXPECT_EQ(ref.Target().get(), target.get());
  return ref;
}

TEST(DefinitionAdapter, RecordsContainingThemselvesOrEachOther) {
  DataDefinitionPtr chain = N2D::Adapt<TestSvc::Chain>();
  EXPECT_EQ(Shape(Field(chain, "depth")), "integer");
  EXPECT_EQ(Shape(Field(chain, "next")),
            std::string("optional(ref ") + TestSvc::Chain::typeName + ")");
  EXPECT_EQ(Ref(Element(Field(chain, "next")), chain).name(), TestSvc::Chain::typeName);

  DataDefinitionPtr tree = N2D::Adapt<TestSvc::Tree>();
  EXPECT_EQ(Shape(Field(tree, "children")),
            std::string("list(ref ") + TestSvc::Tree::typeName + ")");
  Ref(Element(Field(tree, "children")), tree);

  DataDefinitionPtr ping = N2D::Adapt<TestSvc::Ping>();
  const DataDefinitionPtr& pong = Element(Field(ping, "pong"));
  EXPECT_EQ(Shape(pong), std::string("struct ") + TestSvc::Pong::typeName);
  EXPECT_EQ(Ref(Element(Field(pong, "pings")), ping).name(), TestSvc::Ping::typeName);
  // Started from the other side, the roles swap.
  DataDefinitionPtr other = N2D::Adapt<TestSvc::Pong>();
  const DataDefinitionPtr& otherPing = Element(Field(other, "pings"));
  EXPECT_EQ(Shape(otherPing), std::string("struct ") + TestSvc::Ping::typeName);
  Ref(Element(Field(otherPing, "pong")), other);

  // A reference does not keep its structure alive.
  std::weak_ptr<const DataDefinition> watch = chain;
  DataDefinitionPtr inner = Element(Field(chain, "next"));
  chain.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(static_cast<const StructRefDefinition&>(*inner).Target());
}

TEST(DefinitionAdapter, ResultAndErrorTypes) {
  EXPECT_EQ(Shape(N2D::Adapt<::Tarn::Void>()), "void");
  EXPECT_EQ(Shape(N2D::Adapt<std::string>()), "string");
  EXPECT_EQ(Shape(N2D::Adapt<std::int64_t>()), "integer");
  EXPECT_EQ(Shape(N2D::Adapt<bool>()), "boolean");
  EXPECT_EQ(Shape(N2D::Adapt<TestSvc::Color>()), "string");
  EXPECT_EQ(Shape(N2D::Adapt<std::set<std::string>>()), "list(string)");
  EXPECT_EQ(Shape(N2D::Adapt<std::shared_ptr<const TestSvc::Leaf>>()),
            std::string("struct ") + TestSvc::Leaf::typeName);
  EXPECT_EQ(Shape(N2D::Adapt<std::vector<std::shared_ptr<const TestSvc::Leaf>>>()),
            std::string("list(struct ") + TestSvc::Leaf::typeName + ")");

  DataDefinitionPtr input = N2D::Adapt<::Tarn::OperationInput>();
  EXPECT_EQ(AsStruct(input).name(), ::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name());
  EXPECT_TRUE(AsStruct(input).fields().empty());

  DataDefinitionPtr notFound;
  N2D::Adapt<::Com::Brantel::Tarn::Std::Errors::NotFound>(&notFound);
  ASSERT_TRUE(notFound);
  EXPECT_EQ(notFound->GetType(), DataType::ERROR);
  EXPECT_EQ(AsStruct(notFound).name(), "com.brantel.tarn.std.errors.not_found");
}

TEST(DefinitionAdapter, InputRecordsAreNamedAsOperationInputs) {
  DataDefinitionPtr d = N2D::Adapt<TestSvc::DoMethod::Input>();
  EXPECT_EQ(AsStruct(d).name(), ::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name());
  EXPECT_EQ(Shape(Field(d, "vm")), "string");
  EXPECT_EQ(Shape(Field(d, "machine")),
            std::string("optional(struct ") + TestSvc::Machine::typeName + ")");
}

TEST(DefinitionAdapter, TheDriverRecordsNoMessagesAndFillsTheDestination) {
  MessageList messages;
  DataDefinitionPtr d;
  N2D::Adapt(N2D::AdaptMethod<TestSvc::Everything>::Get(), &d, messages);
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(d);
  EXPECT_EQ(AsStruct(d).name(), TestSvc::Everything::typeName);
}

TEST(DefinitionAdapter, CacheMarksStructuresInProgress) {
  ::Tarn::Data::N2D_internal::StackMapCnt work;
  const N2D::Function key = N2D::AdaptMethod<TestSvc::Leaf>::Get();
  EXPECT_FALSE(work.GetDef(key).first);
  work.SetDef(key, nullptr);
  auto inProgress = work.GetDef(key);
  EXPECT_TRUE(inProgress.first);
  EXPECT_FALSE(inProgress.second);
  DataDefinitionPtr built = DataDefinition::Create<std::string>();
  work.SetDef(key, built);
  EXPECT_EQ(work.GetDef(key).second.get(), built.get());
  EXPECT_FALSE(work.GetDef(N2D::AdaptMethod<TestSvc::Chain>::Get()).first);
}

TEST(DefinitionAdapter, DefinitionsAcceptTheValuesTheAdaptersMake) {
  auto leaf = MakeLeaf("l", 1);
  TestSvc::Everything record;
  record.leaf = leaf;
  record.optLeaf = leaf;
  record.leaves = {leaf};
  record.tags = {"a"};
  record.colors = {TestSvc::Color(TestSvc::Color::RED)};
  record.optTags = std::set<std::string>{"b"};
  MessageList messages;
  DataValuePtr value = ToValue(record, messages);
  ASSERT_TRUE(messages.empty());
  EXPECT_TRUE(N2D::Adapt<TestSvc::Everything>()->Validate(value, messages));

  TestSvc::Machine machine;
  machine.state = TestSvc::PowerState(TestSvc::PowerState::OFF);
  machine.disk = std::string("d");
  value = ToValue(machine, messages);
  EXPECT_TRUE(N2D::Adapt<TestSvc::Machine>()->Validate(value, messages));
  EXPECT_TRUE(messages.empty()) << messages[0].id;
}

}  // namespace
}  // namespace KovTest
