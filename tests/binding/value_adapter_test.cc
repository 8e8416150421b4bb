// The value adapters over generated records: every member shape both ways, unknown fields, the
// failures with their exact messages, the empty text, and deep data without recursion.
#include "binding/value_adapter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "binding/definition_adapter.h"
#include "binding/validator.h"
#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

using ::Tarn::Data::CompoundValue;
using ::Tarn::Data::DataValue;
using ::Tarn::Data::NarrowDataTypeInt;
using ::Tarn::Data::OptionalValue;
using ::Tarn::Data::Validator;
using Args = std::vector<std::string>;
using Info = DataSetsSvc::Info;
using AddInput = CdromSvc::AddMethod::Input;
using ListInput = CdromSvc::ListMethod::Input;

const std::string kInfo = Info::typeName;
const std::string kBacking = CdromSvc::BackingInfo::typeName;
const std::string kFilter = CdromSvc::FilterSpec::typeName;
const std::string kSummary = DiskSvc::Summary::typeName;
const std::string kList = DiskSvc::ListResult::typeName;
const std::string kSpec = Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateSpec::typeName;
const std::string kInput = ::Tarn::Data::TypeInfo<::Tarn::OperationInput>::name();

constexpr char kInvalidType[] = "tarn.data.invalid.type";
constexpr char kBadCast1[] = "tarn.data.bad.cast1";
constexpr char kBadCast2[] = "tarn.data.bad.cast2";
constexpr char kDuplicate[] = "tarn.data.duplicate.set.element";
constexpr char kMismatch[] = "tarn.data.value.kind.mismatch";
constexpr char kMissing[] = "tarn.data.compound.field.missing";
constexpr char kParse[] = "tarn.data.value.parse.failed";
constexpr char kUnsetRequired[] = "tarn.data.unset.non.optional.field";

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
DataValuePtr ListInputWith(DataValuePtr filter) {
  return Struct(kInput, {{"vm", Str("web-1")}, {"filter", filter}});
}
DataValuePtr ListOf(DataValuePtr list) { return Struct(kList, {{"list", list}}); }
DataValuePtr Summary(const char* disk, Fields extra = {}) {
  Fields f{{"disk", Str(disk)}, {"device", Str("scsi0:0")}};
  f.insert(f.end(), extra.begin(), extra.end());
  return Struct(kSummary, f);
}
std::shared_ptr<DiskSvc::Summary> MakeSummary(const char* disk) {
  auto s = std::make_shared<DiskSvc::Summary>();
  s->disk = disk;
  s->device = "scsi0:0";
  return s;
}
std::shared_ptr<::Tarn::Data::StructValue> Unknown(const Fields& fields) {
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
}

TEST(ValueAdapterRoundTrip, EveryMemberShapeBothWays) {
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
  ASSERT_TRUE(s);
  EXPECT_EQ(s->fields().at("extra").get(), info.unknownFields->fields().at("extra").get());

  // Sets: strings in byte order; enumeration values by number, then unknown texts, as kind 2.
  CdromSvc::FilterSpec filter;
  filter.cdroms = std::set<std::string>{"b", "a", ""};
  filter.backingTypes = std::set<Backing>{Backing(Backing::RAW), EnumOf<Backing>("MAUVE"),
                                          EnumOf<Backing>("AMBER"), Backing(Backing::ATAPI)};
  const DataValuePtr filterValue = Struct(
      kFilter,
      {{"cdroms", Opt(Texts({"", "a", "b"}))},
       {"backing_types", Opt(List({Str("ATAPI"), Str("RAW"), Str("AMBER"), Str("MAUVE")}, 2))},
       {"devices", Unset()}});
  ExpectRoundTrip(filter, filterValue);

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
  auto second = MakeSummary("d-2");
  second->unknownFields = Unknown({{"a", Int(1)}});
  result.list = {MakeSummary("d-1"), second, MakeSummary("d-1")};
  ExpectRoundTrip(result,
                  ListOf(List({Summary("d-1"), Summary("d-2", {{"a", Int(1)}}), Summary("d-1")})));
}

TEST(ValueAdapterUnknownFields, UndeclaredFieldsAreKeptUnconverted) {
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
  ASSERT_TRUE(add.backing && add.backing->unknownFields);
  EXPECT_EQ(add.backing->unknownFields->fields().at("weight").get(), nested.get());
  EXPECT_FALSE(add.unknownFields);

  // Declared fields only: no unknown fields.
  Info declared;
  ASSERT_TRUE(ToNative(InfoWith("used", Int(5)), declared, messages));
  EXPECT_FALSE(declared.unknownFields);
  // Every compound kind supplies fields.
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
  }
  EXPECT_TRUE(messages.empty());
}

struct Failure {
  const char* what;
  DataValuePtr value;
  const char* id;
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
    EXPECT_EQ(messages[0].id, c.id);
    EXPECT_EQ(messages[0].args, c.args);
    EXPECT_FALSE(messages[0].defaultMessage.empty());
  }
}

TEST(ValueAdapterFailures, FailureTable) {
  const std::string summaryPtr = "SharedPtr<" + kSummary + ">";
  ExpectFailures<Info>({
      {"integer for a structure", Int(3), kInvalidType, A()},
      {"text for a structure", Str("abc"), kBadCast1, A("abc")},
      {"missing required field", Struct(kInfo, Without(InfoFields(), "used")), kMissing,
       A("used", kInfo)},
      {"the first missing field in declaration order",
       Struct(kInfo, Without(Without(InfoFields(), "used"), "name")), kMissing, A("name", kInfo)},
      {"boolean for an integer", InfoWith("used", Bool(true)), kMismatch, A("integer", "boolean")},
      {"integer for an enumeration", InfoWith("host", Int(1)), kMismatch, A("string", "integer")},
      {"unparsable text for an integer", InfoWith("used", Str("abc")), kParse, A("abc", "integer")},
      {"empty text for a required integer", InfoWith("used", Str("")), kParse, A("", "integer")},
  });
  ExpectFailures<AddInput>({
      {"text for a required record", AddInputWith(Str("xyz")), kBadCast1, A("xyz")},
      {"missing field of a nested record", AddInputWith(Struct(kBacking, {})), kMissing,
       A("type", kBacking)},
      {"missing required record", Struct(kInput, {{"vm", Str("v")}, {"device", Str("d")}}),
       kMissing, A("backing", kInput)},
  });
  ExpectFailures<ListInput>({
      {"text for an optional record", ListInputWith(Str("xyz")), kBadCast1, A("xyz")},
  });
  ExpectFailures<DiskSvc::ListResult>({
      {"text for a list of records", ListOf(Str("one")), kBadCast1, A("one")},
      {"text element in a list of records", ListOf(List({Str("q")})), kBadCast1, A("q")},
      {"list of strings for a list of records", ListOf(Texts({})), kBadCast2, A("20", summaryPtr)},
      {"integer element in a list of records", ListOf(List({Int(1)})), kInvalidType, A()},
  });
  ExpectFailures<std::set<std::string>>({
      {"integer for a set of strings", Int(1), kInvalidType, A()},
      {"repeated string", Texts({"a", "b", "a"}), kDuplicate, A("a")},
      {"repeated string in a generic list", List({Str("x"), Str("y"), Str("x")}), kDuplicate,
       A("x")},
      {"integer in a generic list", List({Int(1)}), kMismatch, A("string", "integer")},
  });
  ExpectFailures<std::set<Backing>>({
      {"repeated unknown text", Texts({"ODD", "ODD"}), kDuplicate, A("3")},
      {"\"_UNKNOWN\" and the empty text are one element", Texts({"_UNKNOWN", ""}), kDuplicate,
       A("3")},
      {"repeated text in a generic list", List({Str("RAW"), Str("IMAGE"), Str("RAW")}, 2),
       kDuplicate, A("RAW")},
      {"integer in a generic list", List({Int(1)}), kMismatch, A("string", "integer")},
  });
  ExpectFailures<Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateSpec>({
      {"boolean in an optional for an optional integer",
       Struct(kSpec, {{"count", Opt(Bool(true))}}), kMismatch, A("integer", "boolean")},
      {"unparsable text for an optional integer", Struct(kSpec, {{"count", Str("4x")}}), kParse,
       A("4x", "integer")},
  });
  ExpectFailures<CdromSvc::FilterSpec>({
      {"repeated string in an optional set", Struct(kFilter, {{"cdroms", Opt(Texts({"a", "a"}))}}),
       kDuplicate, A("a")},
      {"optional for an optional set", Struct(kFilter, {{"cdroms", Opt(Opt(Texts({})))}}),
       kInvalidType, A()},
  });
}

// However many problems a value has, one message reports the first in reading order: fields in
// declaration order, list elements in list order.
TEST(ValueAdapterFailures, ManyProblemsGiveOneMessageAboutTheFirst) {
  Fields bad = InfoFields();
  for (auto& f : Fields{
           {"name", Bool(true)}, {"description", Int(2)}, {"host", Int(3)}, {"used", Str("x")}}) {
    bad = With(bad, f.first, f.second);
  }
  Info info;
  MessageList messages;
  EXPECT_FALSE(ToNative(Struct(kInfo, bad), info, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, kMismatch);
  EXPECT_EQ(messages[0].args, A("string", "boolean"));

  messages.clear();
  DiskSvc::ListResult result;
  EXPECT_FALSE(ToNative(ListOf(List({Summary("a"), Struct(kSummary, {{"disk", Str("b")}}),
                                     Struct(kSummary, {{"device", Str("c")}})})),
                        result, messages));
  ASSERT_EQ(Ids(messages), A(kMissing));
  EXPECT_EQ(messages[0].args[0], "device");  // the second element's, not the third's "disk"
}

TEST(ValueAdapterFailures, NullValuesAreRejectedWithoutACrash) {
  auto once = [](auto record, const DataValuePtr& value) {
    MessageList messages;
    EXPECT_FALSE(ToNative(value, record, messages));
    EXPECT_EQ(messages.size(), 1u);
  };
  once(Info(), nullptr);
  once(Info(), InfoWith("used", nullptr));
  once(Info(), InfoWith("host", nullptr));
  once(AddInput(), AddInputWith(nullptr));
  once(ListInput(), ListInputWith(nullptr));
  once(DiskSvc::ListResult(), ListOf(nullptr));
  once(DiskSvc::ListResult(), ListOf(List({nullptr})));
  once(std::set<std::string>(), List({Str("a"), nullptr}));
  once(std::set<Backing>(), List({nullptr}));
  once(CdromSvc::FilterSpec(), Struct(kFilter, {{"cdroms", nullptr}}));
}

TEST(ValueAdapterFailures, ListOfStringsForASetOfStringsThroughTheGenericPath) {
  std::set<std::string> set{"kept"};
  MessageList messages;
  EXPECT_FALSE(::Tarn::Data::ValueToNativeAdapter::Adapt(
      Texts({"a"}), &::Tarn::Data::ValueToNativeAdapter::SetBeginMethod<std::string>, &set,
      messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, kBadCast2);
  EXPECT_EQ(messages[0].args, A("20", "String"));
}

TEST(ValueAdapterFailures, AFailureLeavesNoHalfDoneRecordAndKeepsEarlierMessages) {
  // The last declared field is missing: the work on every field before it is dropped.
  Info info;
  MessageList messages{::Tarn::BaseMessage{"earlier", "text", {}}};
  EXPECT_FALSE(ToNative(
      Struct(kInfo, With(Without(InfoFields(), "omit_from_snapshot_and_clone"), "extra", Int(1))),
      info, messages));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].id, "earlier");
  EXPECT_EQ(info.name, "");
  EXPECT_EQ(info.used, 0);
  EXPECT_FALSE(info.unknownFields);
  // A text where a record belongs reads no field of the record.
  info.used = 7;
  EXPECT_FALSE(ToNative(Str("not a record"), info, messages));
  EXPECT_EQ(info.used, 7);
  // A success does not report the failures before it.
  EXPECT_TRUE(ToNative(InfoWith("used", Int(1)), info, messages));
  EXPECT_EQ(messages.size(), 3u);
}

TEST(ValueAdapterFailures, NullRequiredRecordInNativeToValueNamesItsType) {
  AddInput add;
  DiskSvc::ListResult result;
  result.list = {MakeSummary("d-1"), nullptr};
  const std::pair<std::function<DataValuePtr(MessageList&, bool*)>, std::string> cases[] = {
      {[&](MessageList& m, bool* ok) { return ToValue(add, m, ok); }, kBacking},
      {[&](MessageList& m, bool* ok) { return ToValue(result, m, ok); }, kSummary},
  };
  for (auto& [convert, type] : cases) {
    MessageList messages;
    bool ok = true;
    DataValuePtr value = convert(messages, &ok);
    EXPECT_FALSE(ok);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, kUnsetRequired);
    EXPECT_EQ(messages[0].args, A(type));
    // The structure value stored before the failure stays in the destination.
    EXPECT_TRUE(NarrowDataTypeInt<CompoundValue>(value));
  }
}

TEST(ValueAdapterFailures, DuplicateEnumerationTextsStillInsertTheRemainingStrings) {
  std::set<Backing> set;
  MessageList messages;
  EXPECT_FALSE(ToNative(Texts({"RAW", "RAW", "ATAPI", "ODD"}), set, messages));
  EXPECT_EQ(Ids(messages), A(kDuplicate));
  EXPECT_EQ(set, (std::set<Backing>{Backing(Backing::RAW), Backing(Backing::ATAPI),
                                    EnumOf<Backing>("ODD")}));
}

TEST(ValueAdapterEmptyString, RecordsFromTheEmptyString) {
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
  EXPECT_FALSE(info.unknownFields);
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
  ListInput list;
  ASSERT_TRUE(ToNative(Str(""), list, messages));
  EXPECT_FALSE(list.filter);
  EXPECT_TRUE(messages.empty());
}

// The member of the value of a T read from `type` with `fields`, `field` set to `value` (absent
// when null). `record` may hold other contents before: lists and sets are replaced, not merged.
template <class T>
DataValuePtr Read(const std::string& type, const Fields& fields, const char* field,
                  DataValuePtr value, T record = T()) {
  MessageList messages;
  EXPECT_TRUE(ToNative(Struct(type, value ? With(fields, field, value) : fields), record, messages))
      << ::testing::PrintToString(Ids(messages));
  auto s = NarrowDataTypeInt<CompoundValue>(ValueOf(record));
  return s ? s->fields().at(field) : nullptr;
}

TEST(ValueAdapterOptionals, AcceptedShapesOfEachMember) {
  auto count = [](DataValuePtr v) {
    return Read<Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateSpec>(kSpec, {}, "count", v);
  };
  auto description = [](DataValuePtr v) {
    return Read<DataSetsSvc::UpdateSpec>(DataSetsSvc::UpdateSpec::typeName, {}, "description", v);
  };
  auto host = [](DataValuePtr v) {
    return Read<DataSetsSvc::UpdateSpec>(DataSetsSvc::UpdateSpec::typeName, {}, "host", v);
  };
  auto omit = [](DataValuePtr v) {
    return Read<DataSetsSvc::UpdateSpec>(DataSetsSvc::UpdateSpec::typeName, {},
                                         "omit_from_snapshot_and_clone", v);
  };
  CdromSvc::FilterSpec full;
  full.cdroms = std::set<std::string>{"old"};
  full.backingTypes = std::set<Backing>{Backing(Backing::IMAGE)};
  auto cdroms = [&](DataValuePtr v) { return Read(kFilter, {}, "cdroms", v, full); };
  auto types = [&](DataValuePtr v) { return Read(kFilter, {}, "backing_types", v, full); };
  auto filter = [](DataValuePtr v) {
    return Read<ListInput>(kInput, {{"vm", Str("v")}}, "filter", v);
  };
  DiskSvc::ListResult filled;
  filled.list = {MakeSummary("old")};
  const DataValuePtr noFilter =
      Struct(kFilter, {{"cdroms", Unset()}, {"backing_types", Unset()}, {"devices", Unset()}});
  const struct {
    const char* what;
    DataValuePtr got;
    DataValuePtr expected;
  } cases[] = {
      {"absent optional", count(nullptr), Unset()},
      {"bare integer", count(Int(-5)), Opt(Int(-5))},
      {"bare empty text is no value", count(Str("")), Unset()},
      {"numeric text", count(Str("42")), Opt(Int(42))},
      {"bare empty text for a string", description(Str("")), Unset()},
      {"empty text inside an optional", description(Opt(Str(""))), Opt(Str(""))},
      {"boolean text", omit(Str("false")), Opt(Bool(false))},
      {"unknown enumeration text", host(Opt(Str("ODD"))), Opt(Str("ODD"))},
      {"empty text for a set", Read<CdromSvc::FilterSpec>(kFilter, {}, "cdroms", Str("")), Unset()},
      {"one text for a set", cdroms(Str("solo")), Opt(Texts({"solo"}))},
      {"set replaced, sorted", cdroms(Opt(Texts({"b", "a"}))), Opt(Texts({"a", "b"}))},
      {"enumeration texts in order", types(Texts({"ODD", "EVEN", "IMAGE"})),
       Opt(List({Str("IMAGE"), Str("EVEN"), Str("ODD")}, 2))},
      {"empty text for an optional record", filter(Str("")), Unset()},
      {"bare record for an optional one", filter(Struct(kFilter, {})), Opt(noFilter)},
      {"empty text for a list of records", Read(kList, {}, "list", Str(""), filled), List({})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c.got);
    EXPECT_EQ(*c.got, *c.expected) << c.got->ToString();
  }
  std::set<std::string> tags{"old"};
  MessageList messages;
  ASSERT_TRUE(ToNative(List({Str("x"), Str("y")}), tags, messages));
  EXPECT_EQ(tags, (std::set<std::string>{"x", "y"}));
}

// ---- records that contain themselves, deep data without recursion ----

// The generator emits no record that contains itself (a structure may only use the structures
// declared before it), but the adapters and the validator accept them and must walk them without
// recursion. These two are declared here the way generated records are.
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

// Drops a chain link by link, so that no record's destructor recurses.
void ReleaseChain(std::shared_ptr<const Chain> current) {
  while (current) {
    std::shared_ptr<const Chain> next = current->next;
    current.reset();
    current = std::move(next);
  }
}
void ReleaseTree(std::shared_ptr<const Tree> root) {
  std::vector<std::shared_ptr<const Tree>> pending{std::move(root)};
  while (!pending.empty()) {
    std::shared_ptr<const Tree> node = std::move(pending.back());
    pending.pop_back();
    if (!node) continue;
    std::vector<std::shared_ptr<const Tree>> children = node->children;
    node.reset();
    for (auto& c : children) pending.push_back(std::move(c));
  }
}

// Runs `body` on a thread of its own, with the default stack.
template <class Body>
void OnThread(Body body) {
  std::thread worker(body);
  worker.join();
}

TEST(ValueAdapterNoRecursion, DeepChainConvertsValidatesAndChecksBothWays) {
  OnThread([] {
    // The bottom record carries an undeclared field, for the validator to reach.
    std::shared_ptr<Chain> chain;
    for (int i = kDepth - 1; i >= 0; --i) {
      auto node = std::make_shared<Chain>();
      node->depth = i;
      if (!chain) node->unknownFields = Unknown({{"extra", Int(1)}});
      node->next = std::move(chain);
      chain = std::move(node);
    }
    MessageList messages;
    DataValuePtr value = ToValue(*chain, messages);
    ASSERT_TRUE(messages.empty());
    int depth = 0;
    for (const DataValue* v = value.get(); v; ++depth) {
      auto& next = static_cast<const OptionalValue&>(
          *static_cast<const CompoundValue&>(*v).fields().at("next"));
      v = next.IsSet() ? next.value().get() : nullptr;
    }
    EXPECT_EQ(depth, kDepth);

    auto back = std::make_shared<Chain>();
    ASSERT_TRUE(ToNative(value, *back, messages));
    int expected = 0;
    for (const Chain* node = back.get(); node; node = node->next.get(), ++expected) {
      ASSERT_EQ(node->depth, expected);
    }
    EXPECT_EQ(expected, kDepth);
    EXPECT_TRUE(::Tarn::Data::NativeToDefinitionAdapter::Adapt<Chain>()->Validate(value, messages));
    EXPECT_EQ(*ToValue(*back, messages), *value);
    EXPECT_TRUE(Validator::isValid(*back, Validator::kIgnoreUndeclared, messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(Validator::isValid(*back, Validator::kRejectUndeclared, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].args, A("::KovTest::Chain", "extra", ""));
    ReleaseChain(std::move(chain));
    ReleaseChain(std::move(back));
  });
}

TEST(ValueAdapterNoRecursion, AFailureAtTheBottomOfADeepValue) {
  OnThread([] {
    DataValuePtr value = Struct(Chain::typeName, {{"depth", Str("bottom")}});
    for (int i = kDepth - 2; i >= 0; --i) {
      value = Struct(Chain::typeName, {{"depth", Int(i)}, {"next", Opt(value)}});
    }
    auto back = std::make_shared<Chain>();
    MessageList messages;
    EXPECT_FALSE(ToNative(value, *back, messages));
    EXPECT_EQ(Ids(messages), A(kParse));
    ReleaseChain(std::move(back));
  });
}

TEST(ValueAdapterNoRecursion, DeepTreeThroughAList) {
  OnThread([] {
    std::shared_ptr<Tree> root;
    for (int i = kDepth - 1; i >= 0; --i) {
      auto node = std::make_shared<Tree>();
      node->name = std::to_string(i);
      if (root) node->children = {root, std::make_shared<Tree>()};
      root = std::move(node);
    }
    MessageList messages;
    DataValuePtr value = ToValue(*root, messages);
    auto back = std::make_shared<Tree>();
    ASSERT_TRUE(ToNative(value, *back, messages));
    int depth = 0;
    for (const Tree* node = back.get(); node;
         node = node->children.empty() ? nullptr : node->children[0].get()) {
      ASSERT_EQ(node->name, std::to_string(depth));
      ASSERT_EQ(node->children.size(), depth + 1 == kDepth ? 0u : 2u);
      ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_TRUE(Validator::isValid(*back, Validator::kRejectUndeclared, messages));
    EXPECT_TRUE(messages.empty());
    ReleaseTree(std::move(root));
    ReleaseTree(std::move(back));
  });
}

// The reference inside a record that contains itself points at the outermost definition and
// does not keep it alive.
TEST(ValueAdapterNoRecursion, DefinitionsOfRecordsContainingThemselves) {
  using ::Tarn::Data::DataType;
  using ::Tarn::Data::StructDefinition;
  using ::Tarn::Data::StructRefDefinition;
  auto chain = ::Tarn::Data::NativeToDefinitionAdapter::Adapt<Chain>();
  auto tree = ::Tarn::Data::NativeToDefinitionAdapter::Adapt<Tree>();
  auto next = static_cast<const ::Tarn::Data::OptionalDefinition&>(
                  *static_cast<const StructDefinition&>(*chain).fields().at("next"))
                  .element();
  auto children = static_cast<const ::Tarn::Data::ListDefinition&>(
                      *static_cast<const StructDefinition&>(*tree).fields().at("children"))
                      .element();
  for (auto& [ref, target] : {std::make_pair(next, chain), std::make_pair(children, tree)}) {
    ASSERT_EQ(ref->GetType(), DataType::STRUCTURE_REF);
    EXPECT_EQ(static_cast<const StructRefDefinition&>(*ref).Target().get(), target.get());
  }
  chain.reset();
  EXPECT_FALSE(static_cast<const StructRefDefinition&>(*next).Target());
}

}  // namespace
}  // namespace KovTest
