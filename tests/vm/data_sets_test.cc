// The data sets service: its shape, the access table, the specifications each operation takes,
// refused inputs, answers, and calls through its stub.
#include "vm/data_sets.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::DataSetsSvc;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using Access = DataSetsSvc::Access;
using InfoPtr = std::shared_ptr<const DataSetsSvc::Info>;
using SummaryList = std::vector<std::shared_ptr<const DataSetsSvc::Summary>>;

constexpr char kCreateSpec[] = "com.brantel.kov.vm.data_sets.create_spec";
constexpr char kUpdateSpec[] = "com.brantel.kov.vm.data_sets.update_spec";
constexpr char kInfo[] = "com.brantel.kov.vm.data_sets.info";
constexpr char kSummary[] = "com.brantel.kov.vm.data_sets.summary";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::";
const std::vector<std::string> kVm1 = {MachineResource("vm-1")};

std::shared_ptr<DataSetsSvc::Summary> MakeSummary(const std::string& id, const std::string& name) {
  auto s = std::make_shared<DataSetsSvc::Summary>();
  s->dataSet = id;
  s->name = name;
  s->description = "about " + name;
  return s;
}

InfoPtr SettingsInfo() {
  auto info = std::make_shared<DataSetsSvc::Info>();
  info->name = "settings";
  info->description = "guest settings";
  info->host = Access::READ_WRITE;
  info->guest = Tarn::EnumFromText<Access>("APPEND_ONLY");
  info->used = 4096;
  info->omitFromSnapshotAndClone = true;
  return info;
}

class FakeDataSets : public DataSetsSvc::AsyncServiceInterface, public Recorder {
 public:
  void Create(const std::string& vm, const std::shared_ptr<const DataSetsSvc::CreateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const DataSetsSvc::CreateMethod::ResultCbType& result) override {
    Seen("create", vm, "", activation);
    lastCreate = spec;
    Answer(result, std::string("ds-1"));
  }
  void Delete(const std::string& vm, const std::string& dataSet, const boost::optional<bool>& force,
              const std::shared_ptr<AsyncActivation>& activation,
              const DataSetsSvc::DeleteMethod::ResultCbType& result) override {
    Seen("delete", vm, dataSet, activation);
    lastForce = force;
    Answer(result, Tarn::Void());
  }
  void Get(const std::string& vm, const std::string& dataSet,
           const std::shared_ptr<AsyncActivation>& activation,
           const DataSetsSvc::GetMethod::ResultCbType& result) override {
    Seen("get", vm, dataSet, activation);
    Answer(result, info);
  }
  void Update(const std::string& vm, const std::string& dataSet,
              const std::shared_ptr<const DataSetsSvc::UpdateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const DataSetsSvc::UpdateMethod::ResultCbType& result) override {
    Seen("update", vm, dataSet, activation);
    lastUpdate = spec;
    Answer(result, Tarn::Void());
  }
  void List(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
            const DataSetsSvc::ListMethod::ResultCbType& result) override {
    Seen("list", vm, "", activation);
    Answer(result, summaries);
  }

  InfoPtr info = SettingsInfo();
  SummaryList summaries = {MakeSummary("ds-2", "b"), MakeSummary("ds-1", "a")};
  std::string lastVm;
  std::string lastDataSet;
  boost::optional<bool> lastForce;
  std::shared_ptr<const DataSetsSvc::CreateSpec> lastCreate;
  std::shared_ptr<const DataSetsSvc::UpdateSpec> lastUpdate;

 private:
  void Seen(const char* op, const std::string& vm, const std::string& dataSet,
            const std::shared_ptr<AsyncActivation>& activation) {
    Record(op, activation);
    lastVm = vm;
    if (!dataSet.empty()) lastDataSet = dataSet;
  }
};

using DataSetsTest = ServiceFixture<DataSetsSvc, FakeDataSets>;

Tarn::Data::DataValuePtr CreateInput(const Fields& spec) {
  return VmInput({{"spec", Struct(kCreateSpec, spec)}});
}
Tarn::Data::DataValuePtr UpdateInput(const Fields& spec) {
  return Input(
      {{"vm", Str("vm-1")}, {"data_set", Str("ds-1")}, {"spec", Struct(kUpdateSpec, spec)}});
}
Tarn::Data::DataValuePtr DataSetInput(Fields more = {}) {
  more.push_back({"vm", Str("vm-1")});
  more.push_back({"data_set", Str("ds-1")});
  return Input(more);
}

TEST_F(DataSetsTest, ShapeSeenByTheRuntime) {
  const std::vector<std::string> getErrors{"error", "not_found", "service_unavailable",
                                           "unauthorized", "unsupported"};
  ExpectShape<DataSetsSvc>(
      impl, "com.brantel.kov.vm.data_sets",
      {
          {"create",
           {"already_exists", "error", "invalid_argument", "not_allowed_in_current_state",
            "not_found", "service_unavailable", "unable_to_allocate_resource", "unauthorized",
            "unsupported"},
           "struct com.brantel.tarn.operation_input {spec: struct "
           "com.brantel.kov.vm.data_sets.create_spec {description: string, guest: string, host: "
           "string, name: string, omit_from_snapshot_and_clone: optional<boolean>}, vm: string}",
           "string"},
          {"delete",
           {"error", "not_allowed_in_current_state", "not_found", "resource_in_use",
            "service_unavailable", "unauthorized", "unsupported"},
           "struct com.brantel.tarn.operation_input {data_set: string, force: optional<boolean>, "
           "vm: string}",
           "void"},
          {"get", getErrors,
           "struct com.brantel.tarn.operation_input {data_set: string, vm: string}",
           "struct com.brantel.kov.vm.data_sets.info {description: string, guest: string, host: "
           "string, name: string, omit_from_snapshot_and_clone: boolean, used: integer}"},
          {"update",
           {"error", "invalid_argument", "not_allowed_in_current_state", "not_found",
            "service_unavailable", "unable_to_allocate_resource", "unauthorized", "unsupported"},
           "struct com.brantel.tarn.operation_input {data_set: string, spec: struct "
           "com.brantel.kov.vm.data_sets.update_spec {description: optional<string>, guest: "
           "optional<string>, host: optional<string>, omit_from_snapshot_and_clone: "
           "optional<boolean>}, vm: string}",
           "void"},
          {"list", getErrors, "struct com.brantel.tarn.operation_input {vm: string}",
           "list<struct com.brantel.kov.vm.data_sets.summary {data_set: string, description: "
           "string, name: string}>"},
      });
}

TEST(DataSetsRecords, NamesAccessAndMetadata) {
  ExpectEnum<Access>("com.brantel.kov.vm.data_sets.access",
                     {{Access::NONE, "NONE"},
                      {Access::READ_ONLY, "READ_ONLY"},
                      {Access::READ_WRITE, "READ_WRITE"}},
                     {"WRITE_ONLY", "read_only"});
  ExpectNames<DataSetsSvc::Info>(kInfo, std::string(kNative) + "Info");
  EXPECT_EQ(std::string(DataSetsSvc::DeleteMethod::Input::nativeName),
            std::string(kNative) + "DeleteMethod::Input");
  EXPECT_EQ(Tarn::Data::TypeInfo<std::shared_ptr<const DataSetsSvc::Summary>>::name(),
            "SharedPtr<com.brantel.kov.vm.data_sets.summary>");
  ExpectMetadata<DataSetsSvc::Summary>("com.brantel.kov.vm.DataSets.Summary",
                                       {{"data_set", "com.brantel.kov.vm.DataSet"}});
}

TEST_F(DataSetsTest, EveryOperationRecordsTheMachineFirst) {
  const std::vector<std::pair<const char*, Tarn::Data::DataValuePtr>> inputs = {
      {"create", CreateInput({{"name", Str("n")},
                              {"description", Str("d")},
                              {"host", Str("NONE")},
                              {"guest", Str("NONE")}})},
      {"delete", DataSetInput()},
      {"get", DataSetInput()},
      {"update", UpdateInput({})},
      {"list", VmInput()},
  };
  for (auto& [wire, input] : inputs) {
    SCOPED_TRACE(wire);
    ExpectAnswered(*iface, *impl, wire, input, kVm1);
    EXPECT_EQ(impl->calls.back(), wire);
    EXPECT_EQ(impl->lastVm, "vm-1");
  }
  EXPECT_EQ(impl->lastDataSet, "ds-1");
}

TEST_F(DataSetsTest, CreateSpecReachesTheImplementation) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr spec;
    const char* dataSetName;
    const char* host;  // as text
    const char* guest;
    boost::optional<bool> omit;
  };
  const std::vector<Case> cases = {
      {"known access",
       Struct(kCreateSpec, {{"name", Str("settings")},
                            {"description", Str("")},
                            {"host", Str("READ_WRITE")},
                            {"guest", Str("NONE")}}),
       "settings", "READ_WRITE", "NONE", boost::none},
      {"unknown access kept",
       Struct(kCreateSpec, {{"name", Str("s")},
                            {"description", Str("d")},
                            {"host", Str("READ_ONLY")},
                            {"guest", Str("SOMETIMES")},
                            {"omit_from_snapshot_and_clone", Opt(Bool(false))}}),
       "s", "READ_ONLY", "SOMETIMES", false},
      // Given as the empty text, the specification is a default one.
      {"empty text", Str(""), "", "_UNKNOWN", "_UNKNOWN", boost::none},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto answer = Invoke(*iface, "create", VmInput({{"spec", c.spec}}));
    ASSERT_TRUE(answer.succeeded()) << Text(answer.error());
    EXPECT_EQ(Text(answer.output()), Text(Str("ds-1")));
    ASSERT_TRUE(impl->lastCreate);
    EXPECT_EQ(impl->lastCreate->name, c.dataSetName);
    EXPECT_EQ(Tarn::EnumToText(impl->lastCreate->host), c.host);
    EXPECT_EQ(Tarn::EnumToText(impl->lastCreate->guest), c.guest);
    EXPECT_EQ(impl->lastCreate->omitFromSnapshotAndClone, c.omit);
  }
  EXPECT_TRUE(impl->lastCreate->host == Access::_UNKNOWN);
}

TEST_F(DataSetsTest, DeleteForceIsUnsetUnlessGiven) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr force;  // null: the field is left out
    boost::optional<bool> expected;
  };
  const std::vector<Case> cases = {
      {"absent", nullptr, boost::none},
      {"unset optional", Unset(), boost::none},
      {"empty text", Str(""), boost::none},
      {"optional true", Opt(Bool(true)), true},
      {"optional false", Opt(Bool(false)), false},
      {"bare true", Bool(true), true},
      {"text true", Str("true"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    impl->lastForce = !c.expected.value_or(true);  // anything the call must overwrite
    auto answer =
        Invoke(*iface, "delete", c.force ? DataSetInput({{"force", c.force}}) : DataSetInput());
    ASSERT_TRUE(answer.succeeded()) << Text(answer.error());
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    EXPECT_EQ(impl->lastForce, c.expected);
  }
}

TEST_F(DataSetsTest, UpdateSpecKeepsItsOptionalsUnset) {
  ASSERT_TRUE(Invoke(*iface, "update", UpdateInput({{"description", Str("new")}})).succeeded());
  EXPECT_TRUE(impl->lastUpdate->description == std::string("new"));
  EXPECT_FALSE(impl->lastUpdate->host || impl->lastUpdate->guest ||
               impl->lastUpdate->omitFromSnapshotAndClone);

  ASSERT_TRUE(Invoke(*iface, "update",
                     UpdateInput({{"host", Opt(Str("READ_ONLY"))},
                                  {"guest", Str("ANYTHING")},
                                  {"omit_from_snapshot_and_clone", Bool(true)}}))
                  .succeeded());
  EXPECT_FALSE(impl->lastUpdate->description);
  ASSERT_TRUE(impl->lastUpdate->host && impl->lastUpdate->guest);
  EXPECT_TRUE(*impl->lastUpdate->host == Access::READ_ONLY);
  EXPECT_EQ(Tarn::EnumToText(*impl->lastUpdate->guest), "ANYTHING");
  EXPECT_TRUE(impl->lastUpdate->omitFromSnapshotAndClone == true);
}

TEST_F(DataSetsTest, RejectedInputsNeverReachTheImplementation) {
  const Fields valid = {
      {"name", Str("n")}, {"description", Str("d")}, {"host", Str("NONE")}, {"guest", Str("NONE")}};
  Fields sized = valid;
  sized.push_back({"size", Int(1)});
  ExpectRefusals(
      *iface, kNative,
      {
          {"create spec without name", "create",
           CreateInput({{"description", Str("d")}, {"host", Str("NONE")}, {"guest", Str("NONE")}})},
          {"create without spec", "create", VmInput()},
          {"create spec with an undeclared field",
           "create",
           CreateInput(sized),
           {"Create", "CreateSpec", "size"}},
          // The name of a data set cannot be changed.
          {"update spec with a name",
           "update",
           UpdateInput({{"name", Str("renamed")}}),
           {"Update", "UpdateSpec", "name"}},
          {"update without data set", "update", VmInput({{"spec", Struct(kUpdateSpec, {})}})},
          {"delete with force as a number", "delete", DataSetInput({{"force", Int(1)}})},
          {"get with an undeclared field",
           "get",
           DataSetInput({{"key", Str("k")}}),
           {"Get", "GetMethod::Input", "key"}},
          {"list with an undeclared field",
           "list",
           VmInput({{"all", Bool(true)}}),
           {"List", "ListMethod::Input", "all"}},
          {"list without vm", "list", Input({})},
      });
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(DataSetsTest, AnswersTravelWithAccessTexts) {
  struct Case {
    const char* name;
    InfoPtr info;
    Tarn::Data::DataValuePtr expected;  // null: the internal server error
  };
  auto info = [](const char* host, const char* guest, std::int64_t used, bool omit) {
    return Struct(kInfo, {{"description", Str(omit ? "guest settings" : "")},
                          {"guest", Str(guest)},
                          {"host", Str(host)},
                          {"name", Str(omit ? "settings" : "")},
                          {"omit_from_snapshot_and_clone", Bool(omit)},
                          {"used", Int(used)}});
  };
  const std::vector<Case> cases = {
      {"every field", SettingsInfo(), info("READ_WRITE", "APPEND_ONLY", 4096, true)},
      // A default access value travels as "_UNKNOWN".
      {"default access", std::make_shared<DataSetsSvc::Info>(),
       info("_UNKNOWN", "_UNKNOWN", 0, false)},
      {"no record", nullptr, nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    impl->info = c.info;
    auto answer = Invoke(*iface, "get", DataSetInput());
    EXPECT_EQ(Text(answer.output()), Text(c.expected));
    EXPECT_EQ(answer.errorName(), c.expected ? "" : StdError("internal_server_error"));
  }
}

TEST_F(DataSetsTest, ListAnswers) {
  auto summary = [](const char* id, const char* name) {
    return Struct(kSummary, {{"data_set", Str(id)},
                             {"description", Str(std::string("about ") + name)},
                             {"name", Str(name)}});
  };
  struct Case {
    const char* name;
    SummaryList list;
    Tarn::Data::DataValuePtr expected;  // null: the internal server error
  };
  const std::vector<Case> cases = {
      {"implementation order",
       {MakeSummary("ds-2", "b"), MakeSummary("ds-1", "a")},
       List({summary("ds-2", "b"), summary("ds-1", "a")})},
      {"empty", {}, List({})},
      {"null summary", {MakeSummary("ds-1", "a"), nullptr}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    impl->summaries = c.list;
    auto answer = Invoke(*iface, "list", VmInput());
    ASSERT_EQ(answer.calls, 1);
    if (c.expected) {
      EXPECT_EQ(Text(answer.output()), Text(c.expected));
    } else {
      EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
      EXPECT_TRUE(answer.error()->Messages().empty());
    }
  }
}

TEST_F(DataSetsTest, ImplementationErrorsAreCheckedAgainstTheErrorList) {
  struct Case {
    const char* wire;
    Tarn::Data::ErrorValuePtr error;
    const char* delivered;
  };
  const std::vector<Case> cases = {
      {"delete", Errors::ResourceInUse::Create(), "resource_in_use"},
      {"update", Errors::ResourceInUse::Create(), "internal_server_error"},
      {"delete", Errors::Unsupported::Create(), "unsupported"},
      {"delete", Errors::Unauthenticated::Create(), "internal_server_error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wire + std::string(" ") + c.error->name());
    impl->failure = c.error;
    auto input = std::string(c.wire) == "delete" ? DataSetInput() : UpdateInput({});
    EXPECT_EQ(Invoke(*iface, c.wire, input).errorName(), StdError(c.delivered));
  }
}

using DataSetsClientTest = DataSetsTest;

TEST_F(DataSetsClientTest, CreateAndUpdate) {
  auto spec = std::make_shared<DataSetsSvc::CreateSpec>();
  spec->name = "settings";
  spec->description = "d";
  spec->host = Access::READ_ONLY;
  spec->guest = Tarn::EnumFromText<Access>("LATER");
  auto created = Call<std::string>([&](auto cb) { stub->Create("vm-1", spec, nullptr, cb); });
  ASSERT_TRUE(created.ok()) << created.errorName();
  EXPECT_EQ(*created.value, "ds-1");
  EXPECT_TRUE(impl->lastCreate->host == Access::READ_ONLY);
  EXPECT_EQ(Tarn::EnumToText(impl->lastCreate->guest), "LATER");
  EXPECT_FALSE(impl->lastCreate->omitFromSnapshotAndClone);
  ExpectNullRecordRefused(
      Call<std::string>([&](auto cb) { stub->Create("vm-1", nullptr, nullptr, cb); }), kCreateSpec);

  auto update = std::make_shared<DataSetsSvc::UpdateSpec>();
  update->guest = Access(Access::NONE);
  EXPECT_TRUE(
      Call<Tarn::Void>([&](auto cb) { stub->Update("vm-1", "ds-1", update, nullptr, cb); }).ok());
  EXPECT_FALSE(impl->lastUpdate->description || impl->lastUpdate->host);
  ASSERT_TRUE(impl->lastUpdate->guest);
  EXPECT_TRUE(*impl->lastUpdate->guest == Access::NONE);

  impl->failure = Errors::AlreadyExists::Create();
  created = Call<std::string>([&](auto cb) { stub->Create("vm-1", spec, nullptr, cb); });
  EXPECT_EQ(created.errorName(), StdError("already_exists"));
  impl->failure = Errors::UnableToAllocateResource::Create();
  auto updated =
      Call<Tarn::Void>([&](auto cb) { stub->Update("vm-1", "ds-1", update, nullptr, cb); });
  EXPECT_EQ(updated.errorName(), StdError("unable_to_allocate_resource"));
}

TEST_F(DataSetsClientTest, DeleteGetAndList) {
  for (boost::optional<bool> force :
       {boost::optional<bool>(), boost::optional<bool>(true), boost::optional<bool>(false)}) {
    EXPECT_TRUE(
        Call<Tarn::Void>([&](auto cb) { stub->Delete("vm-1", "ds-4", force, nullptr, cb); }).ok());
    EXPECT_EQ(impl->lastForce, force);
    EXPECT_EQ(impl->lastDataSet, "ds-4");
  }

  auto got = Call<InfoPtr>([&](auto cb) { stub->Get("vm-1", "ds-1", nullptr, cb); });
  ASSERT_TRUE(got.ok()) << got.errorName();
  const DataSetsSvc::Info& info = **got.value;
  EXPECT_EQ(info.name, "settings");
  EXPECT_TRUE(info.host == Access::READ_WRITE);
  // An access text outside the table survives the round trip.
  EXPECT_EQ(info.guest.value(), Access::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText(info.guest), "APPEND_ONLY");
  EXPECT_EQ(info.used, 4096);
  EXPECT_TRUE(info.omitFromSnapshotAndClone);

  auto listed = Call<SummaryList>([&](auto cb) { stub->List("vm-1", nullptr, cb); });
  ASSERT_TRUE(listed.ok()) << listed.errorName();
  ASSERT_EQ(listed.value->size(), 2u);
  EXPECT_EQ((*listed.value)[0]->dataSet, "ds-2");
  EXPECT_EQ((*listed.value)[1]->dataSet, "ds-1");
  EXPECT_EQ((*listed.value)[1]->description, "about a");
  impl->summaries = {nullptr};
  listed = Call<SummaryList>([&](auto cb) { stub->List("vm-1", nullptr, cb); });
  EXPECT_EQ(listed.errorName(), StdError("internal_server_error"));
  EXPECT_FALSE(listed.value);

  impl->failure = Errors::ResourceInUse::Create();
  EXPECT_EQ(Call<Tarn::Void>([&](auto cb) {
              stub->Delete("vm-1", "ds-4", boost::none, nullptr, cb);
            }).errorName(),
            StdError("resource_in_use"));
  impl->failure = Errors::NotFound::Create();
  EXPECT_EQ(Call<InfoPtr>([&](auto cb) { stub->Get("vm-1", "ds-1", nullptr, cb); }).errorName(),
            StdError("not_found"));
}

}  // namespace
