// Generated records against dynamic values: the value adapters both ways with their failures, the
// validator, the definitions built from records, enumerations with kept texts and the merge of
// unknown fields; deep data without recursion.
#include <gtest/gtest.h>

#include <boost/logic/tribool.hpp>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "binding/definition_adapter.h"
#include "binding/native.h"
#include "binding/validator.h"
#include "binding/value_adapter.h"
#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

using ::Tarn::Data::CompoundValue;
using ::Tarn::Data::DataValue;
using ::Tarn::Data::NarrowDataTypeInt;
using ::Tarn::Data::StructDefinition;
using ::Tarn::Data::StructValue;
using ::Tarn::Data::Validator;
namespace N2D = ::Tarn::Data::NativeToDefinitionAdapter;
using Args = std::vector<std::string>;
using Info = DataSetsSvc::Info;
using AddInput = CdromSvc::AddMethod::Input;
using ListInput = CdromSvc::ListMethod::Input;
using CpusSpec = CpusSvc::UpdateSpec;

const std::string kInfo = Info::typeName;
const std::string kBacking = CdromSvc::BackingInfo::typeName;
const std::string kFilter = CdromSvc::FilterSpec::typeName;
const std::string kSummary = DiskSvc::Summary::typeName;
const std::string kList = DiskSvc::ListResult::typeName;
const std::string kInput = ::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name();

constexpr char kInvalidType[] = "tarn.data.invalid.type";
constexpr char kBadCast1[] = "tarn.data.bad.cast1";
constexpr char kBadCast2[] = "tarn.data.bad.cast2";
constexpr char kDuplicate[] = "tarn.data.duplicate.set.element";
constexpr char kMismatch[] = "tarn.data.value.kind.mismatch";
constexpr char kMissing[] = "tarn.data.compound.field.missing";
constexpr char kParse[] = "tarn.data.value.parse.failed";
constexpr char kExtra[] = "tarn.data.compound.field.extra";

Fields InfoFields() {
  return {{"name", Str("app-config")}, {"description", Str("")},
          {"host", Str("READ_WRITE")}, {"guest", Str("NONE")},
          {"used", Int(12)},           {"omit_from_snapshot_and_clone", Bool(false)}};
}
DataValuePtr InfoWith(const char* field, DataValuePtr v) {
  return Struct(kInfo, With(InfoFields(), field, std::move(v)));
}
DataValuePtr AddInputWith(DataValuePtr backing) {
  return Struct(kInput, {{"vm", Str("web-1")}, {"backing", backing}, {"device", Str("ide0:0")}});
}
DataValuePtr ListOf(DataValuePtr list) { return Struct(kList, {{"list", list}}); }
DataValuePtr Summary(const char* disk, Fields extra = {}) {
  Fields f{{"disk", Str(disk)}, {"device", Str("scsi0:0")}};
  f.insert(f.end(), extra.begin(), extra.end());
  return Struct(kSummary, f);
}
std::shared_ptr<DiskSvc::Summary> MakeSummary(const char* disk, Fields unknown = {}) {
  auto s = std::make_shared<DiskSvc::Summary>();
  s->disk = disk;
  s->device = "scsi0:0";
  if (!unknown.empty()) s->unknownFields = Struct("unknownFields", unknown);
  return s;
}
std::shared_ptr<StructValue> Unknown(const Fields& fields) {
  return Struct("unknownFields", fields);
}

// `record` becomes `expected`, which converts back into a record of the same value.
template <class T>
void ExpectRoundTrip(const T& record, const DataValuePtr& expected) {
  const DataValuePtr value = ValueOf(record);
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, *expected) << value->ToString() << "\n" << expected->ToString();
  T back;
  MessageList messages;
  ASSERT_TRUE(ToNative(value, back, messages)) << ::testing::PrintToString(Ids(messages));
  EXPECT_EQ(*ValueOf(back), *value);
  EXPECT_TRUE(N2D::Adapt<T>()->Validate(value, messages))
      << ::testing::PrintToString(Ids(messages));
}

TEST(ValueAdapter, EveryMemberShapeBothWays) {
  Info info;  // required primitives; an enumeration text outside the table is kept
  info.name = "app-config";
  info.description = "a \"quoted\" text";
  info.host = EnumOf<Access>("MAUVE");
  info.used = -42;
  info.omitFromSnapshotAndClone = true;
  info.unknownFields = Unknown({{"extra", Int(7)}, {"zz_unset", Unset()}});
  ExpectRoundTrip(info, Struct(kInfo, {{"name", Str("app-config")},
                                       {"description", Str("a \"quoted\" text")},
                                       {"host", Str("MAUVE")},
                                       {"guest", Str("_UNKNOWN")},
                                       {"used", Int(-42)},
                                       {"omit_from_snapshot_and_clone", Bool(true)},
                                       {"extra", Int(7)},
                                       {"zz_unset", Unset()}}));
  // Unknown fields travel as the values that were received.
  auto s = NarrowDataTypeInt<CompoundValue>(ValueOf(info));
  EXPECT_EQ(s->fields().at("extra").get(), info.unknownFields->fields().at("extra").get());

  // Sets: strings in byte order; enumeration values by number, then unknown texts, as kind 2.
  CdromSvc::FilterSpec filter;
  filter.cdroms = std::set<std::string>{"b", "a", ""};
  filter.backingTypes = std::set<Backing>{Backing(Backing::RAW), EnumOf<Backing>("MAUVE"),
                                          EnumOf<Backing>("AMBER"), Backing(Backing::ATAPI)};
  ExpectRoundTrip(
      filter,
      Struct(kFilter, {{"cdroms", Opt(Texts({"", "a", "b"}))},
                       {"backing_types",
                        Opt(List({Str("ATAPI"), Str("RAW"), Str("AMBER"), Str("MAUVE")}, 2))},
                       {"devices", Unset()}}));

  // Input records carry the operation input's name; required and optional records.
  AddInput add;
  add.vm = "web-1";
  auto backing = std::make_shared<CdromSvc::BackingInfo>();
  backing->type = Backing(Backing::IMAGE);
  backing->isoFile = std::string("/images/zubuntu-64.iso");
  backing->unknownFields = Unknown({{"nested_extra", Bool(true)}});
  add.backing = backing;
  add.device = "ide0:0";
  ExpectRoundTrip(add,
                  AddInputWith(Struct(kBacking, {{"type", Str("IMAGE")},
                                                 {"device_name", Unset()},
                                                 {"iso_file", Opt(Str("/images/zubuntu-64.iso"))},
                                                 {"nested_extra", Bool(true)}})));
  // A list of records keeps order and repeats.
  DiskSvc::ListResult result;
  result.list = {MakeSummary("d-1"), MakeSummary("d-2", {{"a", Int(1)}}), MakeSummary("d-1")};
  ExpectRoundTrip(result,
                  ListOf(List({Summary("d-1"), Summary("d-2", {{"a", Int(1)}}), Summary("d-1")})));
}

TEST(ValueAdapter, UndeclaredFieldsAreKeptUnconverted) {
  const DataValuePtr first = Str("first"), between = List({Int(1)}), nested = Int(3);
  Info info;
  MessageList messages;
  ASSERT_TRUE(ToNative(Struct(kInfo, With(With(InfoFields(), "aaa", first), "host_x", between)),
                       info, messages));
  ASSERT_TRUE(info.unknownFields);
  EXPECT_EQ(info.unknownFields->name(), "unknownFields");
  ASSERT_EQ(info.unknownFields->fields().size(), 2u);
  EXPECT_EQ(info.unknownFields->fields().at("aaa").get(), first.get());
  EXPECT_EQ(info.unknownFields->fields().at("host_x").get(), between.get());
  AddInput add;
  ASSERT_TRUE(ToNative(AddInputWith(Struct(kBacking, {{"type", Str("RAW")}, {"weight", nested}})),
                       add, messages));
  EXPECT_EQ(add.backing->unknownFields->fields().at("weight").get(), nested.get());
  EXPECT_FALSE(add.unknownFields);
  // Every compound kind supplies fields; declared fields only give no unknown fields.
  auto dynamic = ::Tarn::Data::DynamicStructValue::GetInstance("anything");
  auto error = ::Tarn::Data::ErrorValue::GetInstance("some.error");
  for (auto& f : InfoFields()) {
    dynamic->SetField(f.first, f.second);
    error->SetField(f.first, f.second);
  }
  for (DataValuePtr source :
       {InfoWith("used", Int(5)), DataValuePtr(dynamic), DataValuePtr(error)}) {
    Info plain;
    ASSERT_TRUE(ToNative(source, plain, messages)) << ::testing::PrintToString(Ids(messages));
    EXPECT_EQ(plain.host.value(), Access::READ_WRITE);
    EXPECT_EQ(plain.unknownFields != nullptr, source == error);  // its "messages"
  }
  EXPECT_TRUE(messages.empty());
}

struct Failure {
  const char* what;
  DataValuePtr value;
  const char* id;  // null: any one message
  Args args;
};

// Each failure records exactly one message and returns false.
template <class T>
void ExpectFailures(const std::vector<Failure>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    T record;
    MessageList messages;
    EXPECT_FALSE(ToNative(c.value, record, messages));
    ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(Ids(messages));
    if (!c.id) continue;
    EXPECT_EQ(messages[0].id, c.id);
    EXPECT_EQ(messages[0].args, c.args);
    EXPECT_FALSE(messages[0].defaultMessage.empty());
  }
}

TEST(ValueAdapter, FailureTable) {
  ExpectFailures<Info>({
      {"integer for a structure", Int(3), kInvalidType, A()},
      {"text for a structure", Str("abc"), kBadCast1, A("abc")},
      {"missing required field", InfoWith("used", nullptr), kMissing, A("used", kInfo)},
      {"the first missing field in declaration order",
       Struct(kInfo, With(With(InfoFields(), "used", nullptr), "name", nullptr)), kMissing,
       A("name", kInfo)},
      {"boolean for an integer", InfoWith("used", Bool(true)), kMismatch, A("integer", "boolean")},
      {"integer for an enumeration", InfoWith("host", Int(1)), kMismatch, A("string", "integer")},
      {"unparsable text for an integer", InfoWith("used", Str("abc")), kParse, A("abc", "integer")},
      {"empty text for a required integer", InfoWith("used", Str("")), kParse, A("", "integer")},
      {"many problems: the first in declaration order",
       Struct(kInfo, With(With(InfoFields(), "name", Bool(true)), "used", Str("x"))), kMismatch,
       A("string", "boolean")},
      {"null value", nullptr, nullptr, A()},
      {"null field", Struct(kInfo, {{"used", nullptr}}), nullptr, A()},
  });
  ExpectFailures<AddInput>({
      {"text for a required record", AddInputWith(Str("xyz")), kBadCast1, A("xyz")},
      {"missing field of a nested record", AddInputWith(Struct(kBacking, {})), kMissing,
       A("type", kBacking)},
      {"missing required record", Struct(kInput, {{"vm", Str("v")}, {"device", Str("d")}}),
       kMissing, A("backing", kInput)},
      {"null record", AddInputWith(nullptr), nullptr, A()},
  });
  ExpectFailures<ListInput>({
      {"text for an optional record", Struct(kInput, {{"vm", Str("v")}, {"filter", Str("xyz")}}),
       kBadCast1, A("xyz")},
      {"null optional record", Struct(kInput, {{"vm", Str("v")}, {"filter", nullptr}}), nullptr,
       A()},
  });
  ExpectFailures<DiskSvc::ListResult>({
      {"text for a list of records", ListOf(Str("one")), kBadCast1, A("one")},
      {"text element in a list of records", ListOf(List({Str("q")})), kBadCast1, A("q")},
      {"list of strings for a list of records", ListOf(Texts({})), kBadCast2,
       A("20", "SharedPtr<" + kSummary + ">")},
      {"integer element in a list of records", ListOf(List({Int(1)})), kInvalidType, A()},
      {"the first failing element",
       ListOf(List({Summary("a"), Struct(kSummary, {{"disk", Str("b")}}),
                    Struct(kSummary, {{"device", Str("c")}})})),
       kMissing, A("device", kSummary)},
      {"null list", ListOf(nullptr), nullptr, A()},
      {"null element", ListOf(List({nullptr})), nullptr, A()},
  });
  ExpectFailures<std::set<std::string>>({
      {"integer for a set of strings", Int(1), kInvalidType, A()},
      {"repeated string", Texts({"a", "b", "a"}), kDuplicate, A("a")},
      {"repeated string in a generic list", List({Str("x"), Str("y"), Str("x")}), kDuplicate,
       A("x")},
      {"integer in a generic list", List({Int(1)}), kMismatch, A("string", "integer")},
      {"null element", List({Str("a"), nullptr}), nullptr, A()},
  });
  ExpectFailures<std::set<Backing>>({
      {"repeated unknown text", Texts({"ODD", "ODD"}), kDuplicate, A("3")},
      {"\"_UNKNOWN\" and the empty text are one element", Texts({"_UNKNOWN", ""}), kDuplicate,
       A("3")},
      {"repeated text in a generic list", List({Str("RAW"), Str("IMAGE"), Str("RAW")}, 2),
       kDuplicate, A("RAW")},
      {"integer in a generic list", List({Int(1)}), kMismatch, A("string", "integer")},
      {"null element", List({nullptr}), nullptr, A()},
  });
  ExpectFailures<CpusSpec>({
      {"boolean in an optional for an optional integer",
       Struct(kSpecName, {{"count", Opt(Bool(true))}}), kMismatch, A("integer", "boolean")},
      {"unparsable text for an optional integer", Struct(kSpecName, {{"count", Str("4x")}}), kParse,
       A("4x", "integer")},
  });
  ExpectFailures<CdromSvc::FilterSpec>({
      {"repeated string in an optional set", Struct(kFilter, {{"cdroms", Opt(Texts({"a", "a"}))}}),
       kDuplicate, A("a")},
      {"optional for an optional set", Struct(kFilter, {{"cdroms", Opt(Opt(Texts({})))}}),
       kInvalidType, A()},
      {"null set", Struct(kFilter, {{"cdroms", nullptr}}), nullptr, A()},
  });
  // Through the generic path of a set of strings, a list of strings is the wrong kind.
  std::set<std::string> set;
  MessageList messages;
  EXPECT_FALSE(::Tarn::Data::ValueToNativeAdapter::Adapt(
      Texts({"a"}), &::Tarn::Data::ValueToNativeAdapter::SetBeginMethod<std::string>, &set,
      messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].args, A("20", "String"));
}

TEST(ValueAdapter, AFailureLeavesNoHalfDoneRecord) {
  // The last declared field is missing: the work on every field before it is dropped, and the
  // messages already in the list stay.
  Info info;
  MessageList messages{::Tarn::BaseMessage{"earlier", "text", {}}};
  EXPECT_FALSE(ToNative(
      Struct(kInfo, With(With(InfoFields(), "omit_from_snapshot_and_clone", nullptr), "x", Int(1))),
      info, messages));
  ASSERT_EQ(Ids(messages), A("earlier", kMissing));
  EXPECT_EQ(info.name, "");
  EXPECT_EQ(info.used, 0);
  EXPECT_FALSE(info.unknownFields);
  info.used = 7;  // a text where a record belongs reads no field of the record
  EXPECT_FALSE(ToNative(Str("not a record"), info, messages));
  EXPECT_EQ(info.used, 7);
  EXPECT_TRUE(ToNative(InfoWith("used", Int(1)), info, messages));  // no failure reported
  EXPECT_EQ(messages.size(), 3u);
  // Repeated enumeration texts still insert the other elements.
  std::set<Backing> set;
  EXPECT_FALSE(ToNative(Texts({"RAW", "RAW", "ATAPI", "ODD"}), set, messages));
  EXPECT_EQ(set, (std::set<Backing>{Backing(Backing::RAW), Backing(Backing::ATAPI),
                                    EnumOf<Backing>("ODD")}));
  // A null required record, native to value, names its type; the structure made stays.
  AddInput add;
  DiskSvc::ListResult result;
  result.list = {MakeSummary("d-1"), nullptr};
  for (bool list : {false, true}) {
    MessageList m;
    bool ok = true;
    DataValuePtr value = list ? ToValue(result, m, &ok) : ToValue(add, m, &ok);
    EXPECT_FALSE(ok);
    ASSERT_EQ(Ids(m), A("tarn.data.unset.non.optional.field"));
    EXPECT_EQ(m[0].args, A(list ? kSummary : kBacking));
    EXPECT_TRUE(NarrowDataTypeInt<CompoundValue>(value));
  }
}

TEST(ValueAdapter, RecordsFromTheEmptyString) {
  Info info;
  MessageList messages;
  ASSERT_TRUE(ToNative(Str(""), info, messages));
  EXPECT_EQ(*ValueOf(info), *Struct(kInfo, {{"name", Str("")},
                                            {"description", Str("")},
                                            {"host", Str("_UNKNOWN")},
                                            {"guest", Str("_UNKNOWN")},
                                            {"used", Int(0)},
                                            {"omit_from_snapshot_and_clone", Bool(false)}}));
  EXPECT_EQ(info.host.unknownText(), "");
  // Primitives keep the values they had; enumerations and records are replaced.
  info.used = 9;
  info.name = "kept";
  info.host = Access(Access::NONE);
  ASSERT_TRUE(ToNative(Str(""), info, messages));
  EXPECT_EQ(info.used, 9);
  EXPECT_EQ(info.name, "kept");
  EXPECT_EQ(info.host, Access());
  AddInput add;
  auto old = std::make_shared<CdromSvc::BackingInfo>();
  add.backing = old;
  ASSERT_TRUE(ToNative(Str(""), add, messages));
  ASSERT_TRUE(add.backing);
  EXPECT_NE(add.backing.get(), old.get());
  EXPECT_TRUE(messages.empty());
}

// The member `field` of the value of a T read from `type` with `field` set to `value` (absent
// when null). `record` may hold other contents before: lists and sets are replaced, not merged.
template <class T>
DataValuePtr Read(const std::string& type, const char* field, DataValuePtr value, T record = T()) {
  MessageList messages;
  const Fields base = type == kInput ? Fields{{"vm", Str("v")}} : Fields{};
  EXPECT_TRUE(ToNative(Struct(type, With(base, field, value)), record, messages))
      << ::testing::PrintToString(Ids(messages));
  auto s = NarrowDataTypeInt<CompoundValue>(ValueOf(record));
  return s ? s->fields().at(field) : nullptr;
}

TEST(ValueAdapter, AcceptedShapesOfOptionalMembers) {
  auto count = [](DataValuePtr v) { return Read<CpusSpec>(kSpecName, "count", v); };
  auto sets = [](const char* field, DataValuePtr v) {
    return Read<DataSetsSvc::UpdateSpec>(DataSetsSvc::UpdateSpec::typeName, field, v);
  };
  CdromSvc::FilterSpec full;
  full.cdroms = std::set<std::string>{"old"};
  full.backingTypes = std::set<Backing>{Backing(Backing::IMAGE)};
  auto cdroms = [&](DataValuePtr v) { return Read(kFilter, "cdroms", v, full); };
  auto filter = [](DataValuePtr v) { return Read<ListInput>(kInput, "filter", v); };
  DiskSvc::ListResult filled;
  filled.list = {MakeSummary("old")};
  const struct {
    const char* what;
    DataValuePtr got;
    DataValuePtr expected;
  } cases[] = {
      {"absent optional", count(nullptr), Unset()},
      {"bare integer", count(Int(-5)), Opt(Int(-5))},
      {"bare empty text is no value", count(Str("")), Unset()},
      {"numeric text", count(Str("42")), Opt(Int(42))},
      {"bare empty text for a string", sets("description", Str("")), Unset()},
      {"empty text inside an optional", sets("description", Opt(Str(""))), Opt(Str(""))},
      {"boolean text", sets("omit_from_snapshot_and_clone", Str("false")), Opt(Bool(false))},
      {"unknown enumeration text", sets("host", Opt(Str("ODD"))), Opt(Str("ODD"))},
      {"empty text for a set", Read<CdromSvc::FilterSpec>(kFilter, "cdroms", Str("")), Unset()},
      {"one text for a set", cdroms(Str("solo")), Opt(Texts({"solo"}))},
      {"set replaced, sorted", cdroms(Opt(Texts({"b", "a"}))), Opt(Texts({"a", "b"}))},
      {"enumeration texts in order",
       Read(kFilter, "backing_types", Texts({"ODD", "EVEN", "IMAGE"}), full),
       Opt(List({Str("IMAGE"), Str("EVEN"), Str("ODD")}, 2))},
      {"empty text for an optional record", filter(Str("")), Unset()},
      {"bare record for an optional one", filter(Struct(kFilter, {})),
       Opt(Struct(kFilter,
                  {{"cdroms", Unset()}, {"backing_types", Unset()}, {"devices", Unset()}}))},
      {"empty text for a list of records", Read(kList, "list", Str(""), filled), List({})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c.got);
    EXPECT_EQ(*c.got, *c.expected) << c.got->ToString();
  }
}

// ---- records that contain themselves, deep data without recursion ----

// The generator emits no record that contains itself, but the adapters and the validator accept
// them and must walk them without recursion. These two are declared the way generated records are.
struct Chain : ::Tarn::Data::BaseNative {
  static constexpr char typeName[] = "com.brantel.kov.vm.test.chain";
  static constexpr char nativeName[] = "::KovTest::Chain";
  std::int64_t depth = 0;
  ::Tarn::OptionalPtr<const Chain> next;
  struct AdapterHelper {
    static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"depth", "next"}};
    template <class Helper>
    static constexpr void AddFields(Helper& h) {
      h.AddField("depth", &Chain::depth);
      h.AddField("next", &Chain::next);
    }
  };
};
struct Tree : ::Tarn::Data::BaseNative {
  static constexpr char typeName[] = "com.brantel.kov.vm.test.tree";
  static constexpr char nativeName[] = "::KovTest::Tree";
  std::string name;
  std::vector<std::shared_ptr<const Tree>> children;
  struct AdapterHelper {
    static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"children", "name"}};
    template <class Helper>
    static constexpr void AddFields(Helper& h) {
      h.AddField("name", &Tree::name);
      h.AddField("children", &Tree::children);
    }
  };
};

constexpr int kDepth = 10000;

// Drops a deep record node by node, so that no record's destructor recurses.
void Release(std::shared_ptr<const Chain> chain, std::shared_ptr<const Tree> tree = nullptr) {
  std::vector<std::shared_ptr<const Tree>> trees{std::move(tree)};
  for (std::shared_ptr<const Chain> next; chain; chain = std::move(next)) next = chain->next;
  while (!trees.empty()) {
    std::shared_ptr<const Tree> node = std::move(trees.back());
    trees.pop_back();
    if (node) trees.insert(trees.end(), node->children.begin(), node->children.end());
  }
}

TEST(ValueAdapterNoRecursion, DeepChainConvertsValidatesAndFails) {
  std::thread([] {
    std::shared_ptr<Chain> chain;  // the bottom record carries an undeclared field
    for (int i = kDepth - 1; i >= 0; --i) {
      auto node = std::make_shared<Chain>();
      node->depth = i;
      if (!chain) node->unknownFields = Unknown({{"extra", Int(1)}});
      node->next = std::move(chain);
      chain = std::move(node);
    }
    MessageList messages;
    DataValuePtr value = ToValue(*chain, messages);
    auto back = std::make_shared<Chain>();
    ASSERT_TRUE(ToNative(value, *back, messages));
    int expected = 0;
    for (const Chain* node = back.get(); node; node = node->next.get(), ++expected) {
      ASSERT_EQ(node->depth, expected);
    }
    EXPECT_EQ(expected, kDepth);
    EXPECT_TRUE(N2D::Adapt<Chain>()->Validate(value, messages));
    EXPECT_EQ(*ToValue(*back, messages), *value);
    EXPECT_TRUE(Validator::isValid(*back, Validator::kIgnoreUndeclared, messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(Validator::isValid(*back, Validator::kRejectUndeclared, messages));
    EXPECT_EQ(messages.at(0).args, A("::KovTest::Chain", "extra", ""));
    // A failure at the bottom of a deep value.
    DataValuePtr bad = Struct(Chain::typeName, {{"depth", Str("bottom")}});
    for (int i = kDepth - 2; i >= 0; --i) {
      bad = Struct(Chain::typeName, {{"depth", Int(i)}, {"next", Opt(bad)}});
    }
    messages.clear();
    EXPECT_FALSE(ToNative(bad, *back, messages));
    EXPECT_EQ(Ids(messages), A(kParse));
    Release(std::move(chain));
    Release(std::move(back));
  }).join();
}

TEST(ValueAdapterNoRecursion, DeepTreeThroughAList) {
  std::thread([] {
    std::shared_ptr<Tree> root;
    for (int i = kDepth - 1; i >= 0; --i) {
      auto node = std::make_shared<Tree>();
      node->name = std::to_string(i);
      if (root) node->children = {root, std::make_shared<Tree>()};
      root = std::move(node);
    }
    MessageList messages;
    auto back = std::make_shared<Tree>();
    ASSERT_TRUE(ToNative(ToValue(*root, messages), *back, messages));
    int depth = 0;
    for (const Tree* node = back.get(); node;
         node = node->children.empty() ? nullptr : node->children[0].get()) {
      ASSERT_EQ(node->name, std::to_string(depth));
      ASSERT_EQ(node->children.size(), ++depth == kDepth ? 0u : 2u);
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_TRUE(Validator::isValid(*back, Validator::kRejectUndeclared, messages));
    EXPECT_TRUE(messages.empty());
    Release(nullptr, std::move(root));
    Release(nullptr, std::move(back));
  }).join();
}

// The reference inside a record that contains itself points at the outermost definition and does
// not keep it alive.
TEST(ValueAdapterNoRecursion, DefinitionsOfRecordsContainingThemselves) {
  using ::Tarn::Data::StructRefDefinition;
  auto chain = N2D::Adapt<Chain>();
  auto tree = N2D::Adapt<Tree>();
  auto next = static_cast<const ::Tarn::Data::OptionalDefinition&>(
                  *static_cast<const StructDefinition&>(*chain).fields().at("next"))
                  .element();
  auto children = static_cast<const ::Tarn::Data::ListDefinition&>(
                      *static_cast<const StructDefinition&>(*tree).fields().at("children"))
                      .element();
  for (auto& [ref, target] : {std::make_pair(next, chain), std::make_pair(children, tree)}) {
    ASSERT_EQ(ref->GetType(), ::Tarn::Data::DataType::STRUCTURE_REF);
    EXPECT_EQ(static_cast<const StructRefDefinition&>(*ref).Target().get(), target.get());
  }
  chain.reset();
  EXPECT_FALSE(static_cast<const StructRefDefinition&>(*next).Target());
}

// ---- the validator and the definitions ----

TEST(Validator, UndeclaredFieldsByPolicyInNameOrderAndTheInputSummary) {
  auto check = [](const auto& record, Validator::Policy policy, std::vector<Args> expected) {
    MessageList messages;
    EXPECT_EQ(Validator::isValid(record, policy, messages), expected.empty());
    std::vector<Args> got;
    for (auto& m : messages) {
      got.push_back(A(m.id));
      got.back().insert(got.back().end(), m.args.begin(), m.args.end());
    }
    EXPECT_EQ(got, expected);
  };
  const std::string info = Info::nativeName, summary = DiskSvc::Summary::nativeName;
  Info record;
  record.unknownFields = Unknown(
      {{"zeta", Int(1)}, {"alpha", Str("")}, {"mid_unset", Unset()}, {"Mixed", Opt(Int(2))}});
  check(record, Validator::kRejectUndeclared,
        {A(kExtra, info, "Mixed", ""), A(kExtra, info, "alpha", ""), A(kExtra, info, "zeta", "")});
  check(record, Validator::kIgnoreUndeclared, {});
  check(record, static_cast<Validator::Policy>(7), {});
  record.unknownFields = Unknown({{"a", Unset()}});  // unset undeclared fields are tolerated
  check(record, Validator::kRejectUndeclared, {});
  // List elements in order until the first failure; a null element fails without a message.
  DiskSvc::ListResult list;
  auto bad = MakeSummary("d", {{"x", Int(1)}, {"y", Int(2)}});
  const std::vector<Args> badMessages{A(kExtra, summary, "x", ""), A(kExtra, summary, "y", "")};
  list.list = {MakeSummary("a"), nullptr};
  MessageList none;
  EXPECT_FALSE(Validator::isValid(list, Validator::kRejectUndeclared, none));
  EXPECT_TRUE(none.empty());
  list.list = {MakeSummary("a"), bad, bad, nullptr};
  check(list, Validator::kRejectUndeclared, badMessages);
  // An input record puts the summary in front, for its own fields and its records'.
  AddInput add;
  auto raw = std::make_shared<CdromSvc::BackingInfo>();
  raw->type = Backing(Backing::RAW);  // a required record breaking its union rules
  add.backing = raw;
  const Args summaryOfAdd = A("tarn.invoke.invalid.input", AddInput::operationName);
  check(add, Validator::kIgnoreUndeclared,
        {summaryOfAdd,
         A("tarn.data.union.invalid.case.state.isnotset.short", kBacking, "deviceName")});
  add.backing = nullptr;
  check(add, Validator::kIgnoreUndeclared, {summaryOfAdd});
  ListInput query;
  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->unknownFields = Unknown({{"z", Int(1)}});
  query.filter = filter;  // an optional record
  check(query, Validator::kRejectUndeclared,
        {A("tarn.invoke.invalid.input", ListInput::operationName),
         A(kExtra, CdromSvc::FilterSpec::nativeName, "z", "")});
  MessageList messages{::Tarn::BaseMessage{"earlier", "", {}}};
  EXPECT_FALSE(Validator::isValid(AddInput(), Validator::kRejectUndeclared, messages));
  EXPECT_EQ(Ids(messages), A("tarn.invoke.invalid.input", "earlier"));
}

TEST(DefinitionAdapter, UnionCasesAndFreshDefinitionsPerCall) {
  auto d = N2D::Adapt<CdromSvc::BackingInfo>();
  auto& fields = static_cast<const StructDefinition&>(*d).fields();
  auto& device = static_cast<const ::Tarn::Data::UnionCaseDefinition&>(*fields.at("device_name"));
  auto& iso = static_cast<const ::Tarn::Data::UnionCaseDefinition&>(*fields.at("iso_file"));
  EXPECT_EQ(device.tagName(), "type");
  EXPECT_TRUE(device.Case("ATAPI") == true && device.Case("RAW") == true);
  EXPECT_TRUE(boost::logic::indeterminate(iso.Case("IMAGE")));
  for (const char* tag : {"IMAGE", "_UNKNOWN", "FLOPPY", "atapi", ""}) {
    EXPECT_TRUE(device.Case(tag) == false) << tag;
    EXPECT_TRUE(iso.Case(tag == std::string("IMAGE") ? "ATAPI" : tag) == false) << tag;
  }
  // Each call builds afresh: a structure met in an earlier call is built again, not taken over.
  auto again = N2D::Adapt<CdromSvc::BackingInfo>();
  EXPECT_NE(d.get(), again.get());
  EXPECT_NE(fields.at("type").get(),
            static_cast<const StructDefinition&>(*again).fields().at("type").get());
}

// ---- native type support ----

TEST(Enum, TextsOutsideTheTableAreKeptAndOrderedAfterTheValues) {
  const std::string zero("RAW\0X", 5);
  const struct {
    std::string text;
    Backing::Value value;
    std::string kept;
  } cases[] = {
      {"ATAPI", Backing::ATAPI, ""},
      {"_UNKNOWN", Backing::_UNKNOWN, ""},  // the unknown value itself, nothing kept
      {"raw", Backing::_UNKNOWN, "raw"},    // exact and case-sensitive
      {"RAW ", Backing::_UNKNOWN, "RAW "},
      {"", Backing::_UNKNOWN, ""},
      {zero, Backing::_UNKNOWN, zero},  // an embedded zero is not a table entry
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Backing value = EnumOf<Backing>("OLD");  // converting a known text drops the kept one
    ::Tarn::EnumConverter::Convert<Backing::Strings>(c.text, value);
    EXPECT_EQ(value.value(), c.value);
    EXPECT_EQ(value.unknownText(), c.kept);
    EXPECT_EQ(::Tarn::EnumToText(value), c.text.empty() ? "_UNKNOWN" : c.text);
  }
  // Messages place an enumeration as its number.
  EXPECT_EQ(::Tarn::FormatImpl<1>::call("{}", EnumOf<Backing>("FLOPPY")), "3");
  EXPECT_NE(EnumOf<Backing>("A"), Backing());
  EXPECT_NE(EnumOf<Backing>("A"), EnumOf<Backing>("B"));
  std::set<Backing> set;
  for (const char* text :
       {"_UNKNOWN", "zeta", "RAW", "\xc3\xa9", "ATAPI", "Zeta", "alpha", "RAW", "IMAGE", "zeta"}) {
    set.insert(EnumOf<Backing>(text));
  }
  Args order;
  for (auto& c : set) order.push_back(::Tarn::EnumToText(c));
  // By number, then kept texts in byte order: upper case before lower case, bytes above 0x7f last.
  EXPECT_EQ(order, A("ATAPI", "IMAGE", "RAW", "_UNKNOWN", "Zeta", "alpha", "zeta", "\xc3\xa9"));
}

TEST(UnknownFields, ValueToNativeMergesWithTheSortedNames) {
  // Declared: "B", "a_b", "ab", "b" (byte order: upper case, then "_" (0x5f), then lower case).
  static constexpr ::Tarn::Data::SortedNames<4> names{{"B", "a_b", "ab", "b"}};
  static constexpr ::Tarn::Data::SortedNames<0> none{};
  const struct {
    Args source;
    Args unknown;
    bool declared;
  } cases[] = {
      {{"B", "a_b", "ab", "b"}, {}, true},
      {{}, {}, true},
      {{"A", "B", "a", "a_b", "a_c", "ab", "b", "c"}, {"A", "a", "a_c", "c"}, true},
      {{"", "a", "a_", "b_"}, {"", "a", "a_", "b_"}, true},  // prefixes of declared names
      {{"b", "ba", "bb"}, {"ba", "bb"}, true},
      {{"x", "y"}, {"x", "y"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.source));
    auto source = StructValue::GetInstance("s");
    for (auto& n : c.source) source->SetField(n, Str(n));
    std::shared_ptr<StructValue> target;
    if (c.declared) {
      ::Tarn::Data::BaseNative::AdapterHelper::AddUnknownFields(names, source.get(), target);
    } else {
      ::Tarn::Data::BaseNative::AdapterHelper::AddUnknownFields(none, source.get(), target);
    }
    ASSERT_EQ(static_cast<bool>(target), !c.unknown.empty());
    Args got;
    for (auto& f : target ? target->fields() : StructValue::GetInstance("")->fields()) {
      got.push_back(f.first);
      EXPECT_EQ(f.second.get(), source->fields().at(f.first).get());  // not a copy
    }
    EXPECT_EQ(got, c.unknown);
  }
  // No source leaves the target alone; an existing target is added to.
  std::shared_ptr<StructValue> target;
  ::Tarn::Data::BaseNative::AdapterHelper::AddUnknownFields(names, nullptr, target);
  EXPECT_FALSE(target);
  auto existing = Unknown({{"old", Int(1)}});
  target = existing;
  auto source = Struct("s", {{"b", Str("n")}, {"new", Int(2)}});
  ::Tarn::Data::BaseNative::AdapterHelper::AddUnknownFields(names, source.get(), target);
  EXPECT_EQ(target.get(), existing.get());
  EXPECT_EQ(*target, *Unknown({{"old", Int(1)}, {"new", Int(2)}}));
  // Native to value: the kept values are shared into the structure, none leave it alone.
  DiskSvc::Summary summary;
  auto into = Struct("t", {{"disk", Str("kept")}});
  ::Tarn::Data::BaseNative::AdapterHelper::AddUnknownFields(summary, *into);
  EXPECT_EQ(*into, *Struct("t", {{"disk", Str("kept")}}));
}

}  // namespace
}  // namespace KovTest
