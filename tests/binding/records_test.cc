// Generated records against dynamic values: the value adapters both ways with their failures, the
// validator, the definitions built from records, enumerations with kept texts; deep data.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "binding/definition_adapter.h"
#include "binding/native.h"
#include "binding/validator.h"
#include "binding/value_adapter.h"
#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

using ::Tarn::Data::CompoundValue;
using ::Tarn::Data::NarrowDataTypeInt;
using ::Tarn::Data::StructDefinition;
using ::Tarn::Data::StructValue;
using ::Tarn::Data::Validator;
namespace N2D = ::Tarn::Data::NativeToDefinitionAdapter;
using Args = std::vector<std::string>;
using Info = DataSetsSvc::Info;
using AddInput = CdromSvc::AddMethod::Input;
using ListInput = CdromSvc::ListMethod::Input;

const std::string kInfo = Info::typeName;
const std::string kBacking = CdromSvc::BackingInfo::typeName;
const std::string kFilter = CdromSvc::FilterSpec::typeName;
const std::string kSummary = DiskSvc::Summary::typeName;
const std::string kInput = ::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name();

constexpr char kInvalidType[] = "tarn.data.invalid.type";
constexpr char kBadCast1[] = "tarn.data.bad.cast1";
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
DataValuePtr ListOf(DataValuePtr list) {
  return Struct(DiskSvc::ListResult::typeName, {{"list", list}});
}
DataValuePtr Summary(const char* disk, Fields extra = {}) {
  return Struct(kSummary, With(With(extra, "disk", Str(disk)), "device", Str("scsi0:0")));
}
std::shared_ptr<DiskSvc::Summary> MakeSummary(const char* disk, Fields unknown = {}) {
  auto s = std::make_shared<DiskSvc::Summary>();
  s->disk = disk;
  s->device = "scsi0:0";
  if (!unknown.empty()) s->unknownFields = Struct("unknownFields", unknown);
  return s;
}

// `record` becomes `expected`, which converts back to the same and its definition accepts.
template <class T>
void ExpectRoundTrip(const T& record, const DataValuePtr& expected) {
  const DataValuePtr value = ValueOf(record);
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
  info.host = EnumFromText<Access>("MAUVE");
  info.used = -42;
  info.omitFromSnapshotAndClone = true;
  info.unknownFields = Struct("unknownFields", {{"extra", Int(7)}, {"zz_unset", Unset()}});
  const Fields fields = {{"description", Str("a \"quoted\" text")},
                         {"host", Str("MAUVE")},
                         {"guest", Str("_UNKNOWN")},
                         {"used", Int(-42)},
                         {"extra", Int(7)},
                         {"zz_unset", Unset()},
                         {"omit_from_snapshot_and_clone", Bool(true)}};
  ExpectRoundTrip(info, Struct(kInfo, With(fields, "name", Str("app-config"))));
  // Sets: strings in byte order; enumeration values by number, then unknown texts in byte order
  // (upper case before lower case, bytes above 0x7f last), as kind 2.
  CdromSvc::FilterSpec filter;
  filter.cdroms = std::set<std::string>{"b", "a", ""};
  filter.backingTypes = std::set<Backing>();
  for (const char* text : {"RAW", "\xc3\xa9", "alpha", "_UNKNOWN", "MAUVE", "AMBER", "ATAPI"}) {
    filter.backingTypes->insert(EnumFromText<Backing>(text));
  }
  const auto order = List({Str("ATAPI"), Str("RAW"), Str("_UNKNOWN"), Str("AMBER"), Str("MAUVE"),
                           Str("alpha"), Str("\xc3\xa9")},
                          2);
  ExpectRoundTrip(filter, Struct(kFilter, {{"cdroms", Opt(Texts({"", "a", "b"}))},
                                           {"backing_types", Opt(order)},
                                           {"devices", Unset()}}));
  // Input records carry the operation input's name; required and optional records.
  AddInput add;
  add.vm = "web-1";
  auto backing = std::make_shared<CdromSvc::BackingInfo>();
  backing->type = Backing(Backing::IMAGE);
  backing->isoFile = std::string("/images/zubuntu-64.iso");
  backing->unknownFields = Struct("unknownFields", {{"nested_extra", Bool(true)}});
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

// Undeclared fields are kept as the values received, from every kind of compound value.
TEST(ValueAdapter, UndeclaredFieldsAreKeptUnconverted) {
  const DataValuePtr first = Str("first"), between = List({Int(1)});
  auto dynamic = ::Tarn::Data::DynamicStructValue::GetInstance("anything");
  for (auto& f : With(With(InfoFields(), "aaa", first), "host_x", between)) {
    dynamic->SetField(f.first, f.second);
  }
  Info info;
  MessageList messages;
  ASSERT_TRUE(ToNative(dynamic, info, messages));
  ASSERT_EQ(info.unknownFields->fields().size(), 2u);
  EXPECT_EQ(info.unknownFields->name(), "unknownFields");
  EXPECT_EQ(info.unknownFields->fields().at("aaa").get(), first.get());
  EXPECT_EQ(info.unknownFields->fields().at("host_x").get(), between.get());
}

struct Failure {
  DataValuePtr value;
  const char* id;  // null: any one message
  Args args;
};

// Each failure records one message, about the first problem in reading order, and returns false.
template <class T>
void ExpectFailures(const std::vector<Failure>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value->ToString() : "null");
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
      {Int(3), kInvalidType, A()},
      {Struct(kInfo, With(With(InfoFields(), "used", nullptr), "name", nullptr)), kMissing,
       A("name", kInfo)},
      {InfoWith("used", Bool(true)), kMismatch, A("integer", "boolean")},
      {InfoWith("host", Int(1)), kMismatch, A("string", "integer")},
      {InfoWith("used", Str("abc")), kParse, A("abc", "integer")},
      {InfoWith("used", Str("")), kParse, A("", "integer")},
      {Struct(kInfo, With(With(InfoFields(), "name", Bool(true)), "used", Str("x"))), kMismatch,
       A("string", "boolean")},
      {nullptr, nullptr, A()},
  });
  ExpectFailures<AddInput>({
      {AddInputWith(Str("xyz")), kBadCast1, A("xyz")},
      {AddInputWith(Struct(kBacking, {})), kMissing, A("type", kBacking)},
      {Struct(kInput, {{"vm", Str("v")}, {"device", Str("d")}}), kMissing, A("backing", kInput)},
      {AddInputWith(nullptr), nullptr, A()},
  });
  ExpectFailures<ListInput>(
      {{Struct(kInput, {{"vm", Str("v")}, {"filter", Str("xyz")}}), kBadCast1, A("xyz")}});
  ExpectFailures<DiskSvc::ListResult>({
      {ListOf(Str("one")), kBadCast1, A("one")},
      {ListOf(List({Str("q")})), kBadCast1, A("q")},
      {ListOf(Texts({})), "tarn.data.bad.cast2", A("20", "SharedPtr<" + kSummary + ">")},
      {ListOf(List({Int(1)})), kInvalidType, A()},
      {ListOf(List({Summary("a"), Struct(kSummary, {{"disk", Str("b")}}),
                    Struct(kSummary, {{"device", Str("c")}})})),
       kMissing, A("device", kSummary)},
      {ListOf(List({nullptr})), nullptr, A()},
  });
  ExpectFailures<std::set<std::string>>({
      {Texts({"a", "b", "a"}), kDuplicate, A("a")},
      {List({Int(1)}), kMismatch, A("string", "integer")},
      {List({Str("a"), nullptr}), nullptr, A()},
  });
  ExpectFailures<std::set<Backing>>({
      {Texts({"_UNKNOWN", ""}), kDuplicate, A("3")},  // one element
      {List({Str("RAW"), Str("IMAGE"), Str("RAW")}, 2), kDuplicate, A("RAW")},
      {List({nullptr}), nullptr, A()},
  });
  ExpectFailures<CpusSvc::UpdateSpec>(
      {{Struct(kSpecName, {{"count", Opt(Bool(true))}}), kMismatch, A("integer", "boolean")}});
  ExpectFailures<CdromSvc::FilterSpec>({
      {Struct(kFilter, {{"cdroms", Opt(Texts({"a", "a"}))}}), kDuplicate, A("a")},
      {Struct(kFilter, {{"cdroms", Opt(Opt(Texts({})))}}), kInvalidType, A()},
  });
}

TEST(ValueAdapter, AFailureLeavesNoHalfDoneRecord) {
  // The last declared field is missing: the fields before it are dropped, earlier messages stay.
  Info info;
  MessageList messages{::Tarn::BaseMessage{"earlier", "text", {}}};
  EXPECT_FALSE(ToNative(
      Struct(kInfo, With(With(InfoFields(), "omit_from_snapshot_and_clone", nullptr), "x", Int(1))),
      info, messages));
  ASSERT_EQ(Ids(messages), A("earlier", kMissing));
  EXPECT_EQ(info.name, "");
  EXPECT_FALSE(info.unknownFields);
  info.used = 7;  // a text where a record belongs reads no field of the record
  EXPECT_FALSE(ToNative(Str("not a record"), info, messages));
  EXPECT_EQ(info.used, 7);
  EXPECT_TRUE(ToNative(InfoWith("used", Int(1)), info, messages));  // no failure reported
  EXPECT_EQ(messages.size(), 3u);
}

// `field` of the value of a T read from `type` with `field` set to `value` (absent when null).
template <class T>
DataValuePtr Read(const std::string& type, const char* field, DataValuePtr value, T record = T()) {
  MessageList messages;
  const Fields base = type == kInput ? Fields{{"vm", Str("v")}} : Fields{};
  EXPECT_TRUE(ToNative(Struct(type, With(base, field, value)), record, messages))
      << ::testing::PrintToString(Ids(messages));
  auto s = NarrowDataTypeInt<CompoundValue>(ValueOf(record));
  return s ? s->fields().at(field) : nullptr;
}

TEST(ValueAdapter, AcceptedShapesOfMembersAndTheEmptyString) {
  auto count = [](DataValuePtr v) { return Read<CpusSvc::UpdateSpec>(kSpecName, "count", v); };
  auto sets = [](const char* field, DataValuePtr v) {
    return Read<DataSetsSvc::UpdateSpec>(DataSetsSvc::UpdateSpec::typeName, field, v);
  };
  CdromSvc::FilterSpec full;
  full.cdroms = std::set<std::string>{"old"};
  full.backingTypes = std::set<Backing>{Backing(Backing::IMAGE)};
  auto filter = [](DataValuePtr v) { return Read<ListInput>(kInput, "filter", v); };
  DiskSvc::ListResult filled;
  filled.list = {MakeSummary("old")};
  const std::pair<DataValuePtr, DataValuePtr> cases[] = {
      {count(nullptr), Unset()},
      {count(Int(-5)), Opt(Int(-5))},
      {count(Str("")), Unset()},
      {count(Str("42")), Opt(Int(42))},
      {sets("description", Str("")), Unset()},
      {sets("description", Opt(Str(""))), Opt(Str(""))},
      {sets("omit_from_snapshot_and_clone", Str("false")), Opt(Bool(false))},
      {sets("host", Opt(Str("ODD"))), Opt(Str("ODD"))},
      {Read<CdromSvc::FilterSpec>(kFilter, "cdroms", Str("")), Unset()},
      {Read(kFilter, "cdroms", Str("solo"), full), Opt(Texts({"solo"}))},
      {Read(kFilter, "cdroms", Opt(Texts({"b", "a"})), full), Opt(Texts({"a", "b"}))},
      {filter(Str("")), Unset()},
      {filter(Struct(kFilter, {})),
       Opt(Struct(kFilter,
                  {{"cdroms", Unset()}, {"backing_types", Unset()}, {"devices", Unset()}}))},
      {Read(DiskSvc::ListResult::typeName, "list", Str(""), filled), List({})},
  };
  for (const auto& [got, expected] : cases) {
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, *expected) << got->ToString() << " is not " << expected->ToString();
  }
  // A whole record from the empty string: primitives keep the values they had; enumerations and
  // records are replaced.
  Info info;
  info.used = 9;
  info.host = Access(Access::NONE);
  AddInput add;
  auto old = std::make_shared<CdromSvc::BackingInfo>();
  add.backing = old;
  MessageList messages;
  ASSERT_TRUE(ToNative(Str(""), info, messages) && ToNative(Str(""), add, messages));
  auto unknown = Str("_UNKNOWN");
  EXPECT_EQ(*ValueOf(info),
            *Struct(kInfo, With(With(With(With(InfoFields(), "name", Str("")), "host", unknown),
                                     "guest", unknown),
                                "used", Int(9))));
  EXPECT_EQ(info.host.unknownText(), "");
  EXPECT_TRUE(add.backing && add.backing.get() != old.get());
}

// The adapters and the validator accept records that contain themselves (the generator emits
// none) and walk them without recursion, through an optional record and through a list.
struct Node : ::Tarn::Data::BaseNative {
  static constexpr char typeName[] = "com.brantel.kov.vm.test.node";
  static constexpr char nativeName[] = "::KovTest::Node";
  std::int64_t depth = 0;
  ::Tarn::OptionalPtr<const Node> next;
  std::vector<std::shared_ptr<const Node>> children;
  struct AdapterHelper {
    static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"children", "depth", "next"}};
    template <class Helper>
    static constexpr void AddFields(Helper& h) {
      h.AddField("depth", &Node::depth);
      h.AddField("next", &Node::next);
      h.AddField("children", &Node::children);
    }
  };
};

constexpr int kDepth = 10000;

// Drops a deep record node by node, so that no record's destructor recurses.
void Release(std::shared_ptr<const Node> root) {
  std::vector<std::shared_ptr<const Node>> pending{std::move(root)};
  while (!pending.empty()) {
    std::shared_ptr<const Node> node = std::move(pending.back());
    pending.pop_back();
    if (!node) continue;
    pending.insert(pending.end(), node->children.begin(), node->children.end());
    pending.push_back(node->next);
  }
}

TEST(ValueAdapterNoRecursion, DeepRecordsConvertValidateAndFail) {
  std::thread([] {
    for (bool viaList : {false, true}) {
      SCOPED_TRACE(viaList ? "through a list" : "through an optional");
      std::shared_ptr<Node> root;  // the bottom record carries an undeclared field
      for (int i = kDepth - 1; i >= 0; --i) {
        auto node = std::make_shared<Node>();
        node->depth = i;
        if (!root) node->unknownFields = Struct("unknownFields", {{"extra", Int(1)}});
        if (viaList && root) node->children = {root, std::make_shared<Node>()};
        if (!viaList) node->next = root;
        root = std::move(node);
      }
      MessageList messages;
      DataValuePtr value = ToValue(*root, messages);
      auto back = std::make_shared<Node>();
      ASSERT_TRUE(ToNative(value, *back, messages));
      int depth = 0;
      for (const Node* n = back.get(); n; ++depth) {
        ASSERT_EQ(n->depth, depth);
        n = viaList ? (n->children.empty() ? nullptr : n->children[0].get()) : n->next.get();
      }
      EXPECT_EQ(depth, kDepth);
      EXPECT_TRUE(N2D::Adapt<Node>()->Validate(value, messages));
      EXPECT_EQ(*ToValue(*back, messages), *value);
      EXPECT_TRUE(Validator::isValid(*back, Validator::kIgnoreUndeclared, messages));
      EXPECT_TRUE(messages.empty());
      EXPECT_FALSE(Validator::isValid(*back, Validator::kRejectUndeclared, messages));
      EXPECT_EQ(messages.at(0).args, A("::KovTest::Node", "extra", ""));
      Release(std::move(root));
      Release(std::move(back));
    }
    // A failure at the bottom of a deep value.
    DataValuePtr bad = Struct(Node::typeName, {{"depth", Str("bottom")}, {"children", List({})}});
    for (int i = kDepth - 2; i >= 0; --i) {
      bad = Struct(Node::typeName, {{"depth", Int(i)}, {"children", List({})}, {"next", Opt(bad)}});
    }
    auto back = std::make_shared<Node>();
    MessageList messages;
    EXPECT_FALSE(ToNative(bad, *back, messages));
    EXPECT_EQ(Ids(messages), A(kParse));
    Release(std::move(back));
  }).join();
}

TEST(Validator, UndeclaredFieldsByPolicyInNameOrderAndListsToTheFirstFailure) {
  const std::string info = Info::nativeName, summary = DiskSvc::Summary::nativeName;
  Info record;
  record.unknownFields = Struct(
      "unknownFields",
      {{"zeta", Int(1)}, {"alpha", Str("")}, {"mid_unset", Unset()}, {"Mixed", Opt(Int(2))}});
  DiskSvc::ListResult list;
  auto bad = MakeSummary("d", {{"x", Int(1)}});
  list.list = {MakeSummary("a"), bad, MakeSummary("c", {{"y", Int(2)}}), nullptr};
  auto messages = [](const auto& r, Validator::Policy policy, bool valid) {
    MessageList m;
    EXPECT_EQ(Validator::isValid(r, policy, m), valid);
    std::vector<Args> got;
    for (auto& one : m) {
      got.push_back(A(one.id));
      got.back().insert(got.back().end(), one.args.begin(), one.args.end());
    }
    return got;
  };
  EXPECT_EQ(messages(record, Validator::kRejectUndeclared, false),
            (std::vector<Args>{A(kExtra, info, "Mixed", ""), A(kExtra, info, "alpha", ""),
                               A(kExtra, info, "zeta", "")}));
  EXPECT_TRUE(messages(record, Validator::kIgnoreUndeclared, true).empty());
  record.unknownFields = Struct("unknownFields", {{"a", Unset()}});  // unset ones are tolerated
  EXPECT_TRUE(messages(record, Validator::kRejectUndeclared, true).empty());
  EXPECT_EQ(messages(list, Validator::kRejectUndeclared, false),
            std::vector<Args>{A(kExtra, summary, "x", "")});
}

TEST(Enum, TextsOutsideTheTableAreKept) {
  const std::string zero("RAW\0X", 5);  // an embedded zero is not a table entry
  for (const std::string& text : Args{"ATAPI", "_UNKNOWN", "raw", "RAW ", "", zero}) {
    Backing value = EnumFromText<Backing>("OLD");  // converting a known text drops the kept one
    ::Tarn::EnumConverter::Convert<Backing::Strings>(text, value);
    EXPECT_EQ(value.value(), text == "ATAPI" ? Backing::ATAPI : Backing::_UNKNOWN) << text;
    EXPECT_EQ(value.unknownText(), text == "ATAPI" || text == "_UNKNOWN" ? "" : text);
    EXPECT_EQ(::Tarn::EnumToText(value), text.empty() ? "_UNKNOWN" : text);
  }
}

}  // namespace
}  // namespace KovTest
