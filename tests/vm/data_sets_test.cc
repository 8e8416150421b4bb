#include "vm/data_sets.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/vm/definition_test_util.h"
#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::DataSetsSvc;
using ServiceTest::Bool;
using ServiceTest::Input;
using ServiceTest::Int;
using ServiceTest::MessageIds;
using ServiceTest::Opt;
using ServiceTest::Str;
using ServiceTest::Struct;
using ServiceTest::Unset;
using Tarn::Core::AsyncActivation;
using Access = DataSetsSvc::Access;
using SummaryList = std::vector<std::shared_ptr<const DataSetsSvc::Summary>>;

constexpr const char kCreateSpec[] = "com.brantel.kov.vm.data_sets.create_spec";
constexpr const char kUpdateSpec[] = "com.brantel.kov.vm.data_sets.update_spec";
constexpr const char kInfo[] = "com.brantel.kov.vm.data_sets.info";
constexpr const char kSummary[] = "com.brantel.kov.vm.data_sets.summary";
constexpr const char kVm1[] = "com.brantel.kov.vm.VirtualMachine.vm-1";

std::shared_ptr<DataSetsSvc::Summary> MakeSummary(const std::string& id, const std::string& name) {
  auto s = std::make_shared<DataSetsSvc::Summary>();
  s->dataSet = id;
  s->name = name;
  s->description = "about " + name;
  return s;
}

class FakeDataSets : public DataSetsSvc::AsyncServiceInterface {
 public:
  void Create(const std::string& vm, const std::shared_ptr<const DataSetsSvc::CreateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const DataSetsSvc::CreateMethod::ResultCbType& result) override {
    Record("create", vm, activation);
    lastCreate = spec;
    answerCreate(result);
  }
  void Delete(const std::string& vm, const std::string& dataSet, const boost::optional<bool>& force,
              const std::shared_ptr<AsyncActivation>& activation,
              const DataSetsSvc::DeleteMethod::ResultCbType& result) override {
    Record("delete", vm, activation);
    lastDataSet = dataSet;
    lastForce = force;
    answerVoid(result);
  }
  void Get(const std::string& vm, const std::string& dataSet,
           const std::shared_ptr<AsyncActivation>& activation,
           const DataSetsSvc::GetMethod::ResultCbType& result) override {
    Record("get", vm, activation);
    lastDataSet = dataSet;
    answerGet(result);
  }
  void Update(const std::string& vm, const std::string& dataSet,
              const std::shared_ptr<const DataSetsSvc::UpdateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const DataSetsSvc::UpdateMethod::ResultCbType& result) override {
    Record("update", vm, activation);
    lastDataSet = dataSet;
    lastUpdate = spec;
    answerVoid(result);
  }
  void List(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
            const DataSetsSvc::ListMethod::ResultCbType& result) override {
    Record("list", vm, activation);
    answerList(result);
  }

  std::vector<std::string> calls;
  std::vector<std::string> resourcesSeen;
  std::string lastVm;
  std::string lastDataSet;
  boost::optional<bool> lastForce;
  std::shared_ptr<const DataSetsSvc::CreateSpec> lastCreate;
  std::shared_ptr<const DataSetsSvc::UpdateSpec> lastUpdate;

  std::function<void(const DataSetsSvc::CreateMethod::ResultCbType&)> answerCreate =
      [](const DataSetsSvc::CreateMethod::ResultCbType& r) { r(std::string("ds-1")); };
  // Answers delete and update.
  std::function<void(const Tarn::AsyncResult<Tarn::Void>&)> answerVoid =
      [](const Tarn::AsyncResult<Tarn::Void>& r) { r(Tarn::Void()); };
  std::function<void(const DataSetsSvc::GetMethod::ResultCbType&)> answerGet =
      [](const DataSetsSvc::GetMethod::ResultCbType& r) {
        auto info = std::make_shared<DataSetsSvc::Info>();
        info->name = "settings";
        info->description = "guest settings";
        info->host = Access::READ_WRITE;
        info->guest = Tarn::EnumFromText<Access>("APPEND_ONLY");
        info->used = 4096;
        info->omitFromSnapshotAndClone = true;
        r(info);
      };
  std::function<void(const DataSetsSvc::ListMethod::ResultCbType&)> answerList =
      [](const DataSetsSvc::ListMethod::ResultCbType& r) {
        r(SummaryList{MakeSummary("ds-2", "b"), MakeSummary("ds-1", "a")});
      };

 private:
  void Record(const char* op, const std::string& vm,
              const std::shared_ptr<AsyncActivation>& activation) {
    calls.push_back(op);
    lastVm = vm;
    resourcesSeen = activation->resourceIds();
  }
};

class DataSetsTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeDataSets> impl = std::make_shared<FakeDataSets>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      DataSetsSvc::AsyncServiceBinder::BindImplementation(impl);
};

Tarn::Data::DataValuePtr CreateInput(const ServiceTest::Fields& spec) {
  return Input({{"vm", Str("vm-1")}, {"spec", Struct(kCreateSpec, spec)}});
}
Tarn::Data::DataValuePtr UpdateInput(const ServiceTest::Fields& spec) {
  return Input(
      {{"vm", Str("vm-1")}, {"data_set", Str("ds-1")}, {"spec", Struct(kUpdateSpec, spec)}});
}

// --- shape ------------------------------------------------------------------------------------

TEST_F(DataSetsTest, ServiceIdSlotsAndErrorOrders) {
  EXPECT_EQ(Tarn::Data::TypeInfo<DataSetsSvc::AsyncServiceInterface>::name(),
            "com.brantel.kov.vm.data_sets");
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.data_sets");
  EXPECT_EQ(ServiceTest::MethodNames(*iface),
            (std::vector<std::string>{"create", "delete", "get", "update", "list"}));
  const std::vector<std::string> getErrors{"error", "not_found", "service_unavailable",
                                           "unauthorized", "unsupported"};
  const std::vector<std::vector<std::string>> expected{
      {"already_exists", "error", "invalid_argument", "not_allowed_in_current_state", "not_found",
       "service_unavailable", "unable_to_allocate_resource", "unauthorized", "unsupported"},
      {"error", "not_allowed_in_current_state", "not_found", "resource_in_use",
       "service_unavailable", "unauthorized", "unsupported"},
      getErrors,
      {"error", "invalid_argument", "not_allowed_in_current_state", "not_found",
       "service_unavailable", "unable_to_allocate_resource", "unauthorized", "unsupported"},
      getErrors,
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[i]->errorDefinitions()),
              DefinitionTest::StdErrors(expected[i]))
        << iface->methods()[i]->methodName();
  }
}

TEST_F(DataSetsTest, NamesAndDefinitions) {
  using Tarn::Data::DataType;
  EXPECT_STREQ(Access::typeName, "com.brantel.kov.vm.data_sets.access");
  EXPECT_EQ(Tarn::Data::TypeInfo<DataSetsSvc::Info>::name(), kInfo);
  EXPECT_EQ(Tarn::Data::TypeInfo<DataSetsSvc::CreateSpec>::name(), kCreateSpec);
  EXPECT_EQ(Tarn::Data::TypeInfo<DataSetsSvc::UpdateSpec>::name(), kUpdateSpec);
  EXPECT_EQ(Tarn::Data::TypeInfo<DataSetsSvc::Summary>::name(), kSummary);
  EXPECT_EQ(Tarn::Data::TypeInfo<std::shared_ptr<const DataSetsSvc::Summary>>::name(),
            "SharedPtr<com.brantel.kov.vm.data_sets.summary>");
  EXPECT_STREQ(DataSetsSvc::Info::nativeName, "::Com::Brantel::Kov::Vm::DataSetsSvc::Info");
  EXPECT_STREQ(DataSetsSvc::DeleteMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::DataSetsSvc::DeleteMethod::Input");

  EXPECT_EQ(DefinitionTest::FieldNames(DataSetsSvc::CreateMethod::inputDef()),
            (std::vector<std::string>{"spec", "vm"}));
  auto create = DefinitionTest::FieldDef(DataSetsSvc::CreateMethod::inputDef(), "spec");
  EXPECT_EQ(DefinitionTest::FieldNames(create),
            (std::vector<std::string>{"description", "guest", "host", "name",
                                      "omit_from_snapshot_and_clone"}));
  EXPECT_EQ(DefinitionTest::FieldDef(create, "omit_from_snapshot_and_clone")->GetType(),
            DataType::OPTIONAL);
  EXPECT_EQ(DefinitionTest::FieldDef(create, "host")->GetType(), DataType::STRING);
  auto update = DefinitionTest::FieldDef(DataSetsSvc::UpdateMethod::inputDef(), "spec");
  EXPECT_EQ(
      DefinitionTest::FieldNames(update),
      (std::vector<std::string>{"description", "guest", "host", "omit_from_snapshot_and_clone"}));
  for (auto& f : DefinitionTest::FieldNames(update)) {
    EXPECT_EQ(DefinitionTest::FieldDef(update, f)->GetType(), DataType::OPTIONAL) << f;
  }
  auto del = DataSetsSvc::DeleteMethod::inputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(del), (std::vector<std::string>{"data_set", "force", "vm"}));
  EXPECT_EQ(DefinitionTest::FieldDef(del, "force")->GetType(), DataType::OPTIONAL);
  EXPECT_EQ(DefinitionTest::FieldNames(DataSetsSvc::GetMethod::inputDef()),
            (std::vector<std::string>{"data_set", "vm"}));
  EXPECT_EQ(DefinitionTest::FieldNames(DataSetsSvc::ListMethod::inputDef()),
            std::vector<std::string>{"vm"});

  EXPECT_EQ(DataSetsSvc::CreateMethod::outputDef()->GetType(), DataType::STRING);
  EXPECT_EQ(DataSetsSvc::DeleteMethod::outputDef()->GetType(), DataType::VOID);
  EXPECT_EQ(DataSetsSvc::UpdateMethod::outputDef()->GetType(), DataType::VOID);
  auto info = DataSetsSvc::GetMethod::outputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(info),
            (std::vector<std::string>{"description", "guest", "host", "name",
                                      "omit_from_snapshot_and_clone", "used"}));
  EXPECT_EQ(DefinitionTest::FieldDef(info, "used")->GetType(), DataType::INTEGER);
  EXPECT_EQ(DefinitionTest::FieldDef(info, "omit_from_snapshot_and_clone")->GetType(),
            DataType::BOOLEAN);
  auto list = DataSetsSvc::ListMethod::outputDef();
  ASSERT_EQ(list->GetType(), DataType::LIST);
  auto element = static_cast<const Tarn::Data::ListDefinition&>(*list).element();
  EXPECT_EQ(static_cast<const Tarn::Data::StructDefinition&>(*element).name(), kSummary);
}

TEST(DataSetsAccess, TableAndRoundTrip) {
  EXPECT_EQ(Access::NONE, 0);
  EXPECT_EQ(Access::READ_ONLY, 1);
  EXPECT_EQ(Access::READ_WRITE, 2);
  EXPECT_EQ(Access::_UNKNOWN, 3);
  for (const char* text : {"NONE", "READ_ONLY", "READ_WRITE"}) {
    EXPECT_EQ(Tarn::EnumToText(Tarn::EnumFromText<Access>(text)), text);
  }
  Access other = Tarn::EnumFromText<Access>("WRITE_ONLY");
  EXPECT_EQ(other.value(), Access::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText(other), "WRITE_ONLY");
  EXPECT_EQ(Tarn::EnumToText(Access()), "_UNKNOWN");
}

TEST(DataSetsMetadata, SummaryNamesItsDataSet) {
  ServiceTest::ExpectMetadata<DataSetsSvc::Summary>("com.brantel.kov.vm.DataSets.Summary",
                                                    {{"data_set", "com.brantel.kov.vm.DataSet"}});
}

// --- provider pipeline ------------------------------------------------------------------------

TEST_F(DataSetsTest, EveryOperationRecordsTheMachineFirst) {
  const Tarn::Data::DataValuePtr inputs[] = {
      CreateInput({{"name", Str("n")},
                   {"description", Str("d")},
                   {"host", Str("NONE")},
                   {"guest", Str("NONE")}}),
      Input({{"vm", Str("vm-1")}, {"data_set", Str("ds-1")}}),
      Input({{"vm", Str("vm-1")}, {"data_set", Str("ds-1")}}),
      UpdateInput({}),
      Input({{"vm", Str("vm-1")}}),
  };
  const char* const ops[] = {"create", "delete", "get", "update", "list"};
  for (std::size_t i = 0; i < 5; ++i) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, ops[i], inputs[i], activation);
    ASSERT_EQ(answer.calls, 1) << ops[i];
    ASSERT_FALSE(answer.error()) << ops[i] << ": " << answer.error()->ToString();
    EXPECT_EQ(impl->calls.back(), ops[i]);
    EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1}) << ops[i];
    EXPECT_EQ(activation->resourceIds(), std::vector<std::string>{kVm1}) << ops[i];
  }
  EXPECT_EQ(impl->lastDataSet, "ds-1");
}

TEST_F(DataSetsTest, CreateSpecReachesTheImplementation) {
  auto answer = ServiceTest::Invoke(*iface, "create",
                                    CreateInput({{"name", Str("settings")},
                                                 {"description", Str("")},
                                                 {"host", Str("READ_WRITE")},
                                                 {"guest", Str("NONE")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  EXPECT_TRUE(answer.output()->Equals(*Str("ds-1")));
  ASSERT_TRUE(impl->lastCreate);
  EXPECT_EQ(impl->lastCreate->name, "settings");
  EXPECT_EQ(impl->lastCreate->description, "");
  EXPECT_EQ(impl->lastCreate->host.value(), Access::READ_WRITE);
  EXPECT_EQ(impl->lastCreate->guest.value(), Access::NONE);
  EXPECT_FALSE(impl->lastCreate->omitFromSnapshotAndClone);

  answer = ServiceTest::Invoke(*iface, "create",
                               CreateInput({{"name", Str("s")},
                                            {"description", Str("d")},
                                            {"host", Str("READ_ONLY")},
                                            {"guest", Str("SOMETIMES")},
                                            {"omit_from_snapshot_and_clone", Opt(Bool(false))}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  EXPECT_EQ(impl->lastCreate->guest.value(), Access::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText(impl->lastCreate->guest), "SOMETIMES");
  EXPECT_TRUE(impl->lastCreate->omitFromSnapshotAndClone == false);
}

TEST_F(DataSetsTest, CreateSpecGivenAsEmptyTextIsADefaultSpec) {
  auto answer =
      ServiceTest::Invoke(*iface, "create", Input({{"vm", Str("vm-1")}, {"spec", Str("")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(impl->lastCreate);
  EXPECT_EQ(impl->lastCreate->name, "");
  EXPECT_EQ(impl->lastCreate->host.value(), Access::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText(impl->lastCreate->host), "_UNKNOWN");
  EXPECT_FALSE(impl->lastCreate->omitFromSnapshotAndClone);
}

TEST_F(DataSetsTest, DeleteForceIsUnsetUnlessGiven) {
  struct Case {
    const char* name;
    bool withField;
    Tarn::Data::DataValuePtr force;
    boost::optional<bool> expected;
  };
  const Case cases[] = {
      {"absent", false, nullptr, boost::none},
      {"unset optional", true, Unset(), boost::none},
      {"empty text", true, Str(""), boost::none},
      {"optional true", true, Opt(Bool(true)), true},
      {"optional false", true, Opt(Bool(false)), false},
      {"bare true", true, Bool(true), true},
      {"text true", true, Str("true"), true},
  };
  for (const Case& c : cases) {
    impl->lastForce = !c.expected.value_or(true);  // anything the call must overwrite
    ServiceTest::Fields fields{{"vm", Str("vm-1")}, {"data_set", Str("ds-9")}};
    if (c.withField) fields.push_back({"force", c.force});
    auto answer = ServiceTest::Invoke(*iface, "delete", Input(fields));
    ASSERT_FALSE(answer.error()) << c.name << ": " << answer.error()->ToString();
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    EXPECT_TRUE(impl->lastForce == c.expected) << c.name;
    EXPECT_EQ(impl->lastDataSet, "ds-9");
  }
}

TEST_F(DataSetsTest, UpdateSpecKeepsItsOptionalsUnset) {
  auto answer = ServiceTest::Invoke(*iface, "update", UpdateInput({{"description", Str("new")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(impl->lastUpdate);
  EXPECT_TRUE(impl->lastUpdate->description == std::string("new"));
  EXPECT_FALSE(impl->lastUpdate->host);
  EXPECT_FALSE(impl->lastUpdate->guest);
  EXPECT_FALSE(impl->lastUpdate->omitFromSnapshotAndClone);

  answer = ServiceTest::Invoke(*iface, "update",
                               UpdateInput({{"host", Opt(Str("READ_ONLY"))},
                                            {"guest", Str("ANYTHING")},
                                            {"omit_from_snapshot_and_clone", Bool(true)}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  EXPECT_FALSE(impl->lastUpdate->description);
  ASSERT_TRUE(impl->lastUpdate->host && impl->lastUpdate->guest);
  EXPECT_EQ(impl->lastUpdate->host->value(), Access::READ_ONLY);
  EXPECT_EQ(Tarn::EnumToText(*impl->lastUpdate->guest), "ANYTHING");
  EXPECT_TRUE(impl->lastUpdate->omitFromSnapshotAndClone == true);
}

TEST_F(DataSetsTest, RejectedInputsNeverReachTheImplementation) {
  struct Case {
    const char* name;
    const char* op;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> ids;          // empty: only the error name is checked
    std::vector<std::string> extraRecord;  // the record that "compound.field.extra" names
  };
  const Case cases[] = {
      {"create spec without name",
       "create",
       CreateInput({{"description", Str("d")}, {"host", Str("NONE")}, {"guest", Str("NONE")}}),
       {},
       {}},
      {"create without spec", "create", Input({{"vm", Str("vm-1")}}), {}, {}},
      {"create spec with an undeclared field",
       "create",
       CreateInput({{"name", Str("n")},
                    {"description", Str("d")},
                    {"host", Str("NONE")},
                    {"guest", Str("NONE")},
                    {"size", Int(1)}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {"::Com::Brantel::Kov::Vm::DataSetsSvc::Create",
        "::Com::Brantel::Kov::Vm::DataSetsSvc::CreateSpec"}},
      // The name of a data set cannot be changed.
      {"update spec with a name",
       "update",
       UpdateInput({{"name", Str("renamed")}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {"::Com::Brantel::Kov::Vm::DataSetsSvc::Update",
        "::Com::Brantel::Kov::Vm::DataSetsSvc::UpdateSpec"}},
      {"update without data set",
       "update",
       Input({{"vm", Str("vm-1")}, {"spec", Struct(kUpdateSpec, {})}}),
       {},
       {}},
      {"delete with force as a number",
       "delete",
       Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}, {"force", Int(1)}}),
       {},
       {}},
      {"get with an undeclared field",
       "get",
       Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}, {"key", Str("k")}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {"::Com::Brantel::Kov::Vm::DataSetsSvc::Get",
        "::Com::Brantel::Kov::Vm::DataSetsSvc::GetMethod::Input"}},
      {"list with an undeclared field",
       "list",
       Input({{"vm", Str("vm-1")}, {"all", Bool(true)}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {"::Com::Brantel::Kov::Vm::DataSetsSvc::List",
        "::Com::Brantel::Kov::Vm::DataSetsSvc::ListMethod::Input"}},
      {"list without vm", "list", Input({}), {}, {}},
  };
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, c.op, c.input, activation);
    ASSERT_EQ(answer.calls, 1) << c.name;
    EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument") << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(MessageIds(answer.error()), c.ids) << c.name;
      auto messages = answer.error()->Messages();
      ASSERT_EQ(messages.size(), 2u) << c.name;
      EXPECT_EQ(messages[0].args, std::vector<std::string>{c.extraRecord[0]}) << c.name;
      EXPECT_EQ(messages[1].args.at(0), c.extraRecord[1]) << c.name;
    }
    EXPECT_TRUE(activation->resourceIds().empty()) << c.name;
  }
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(DataSetsTest, GetAnswerTravelsWithAccessTexts) {
  auto answer =
      ServiceTest::Invoke(*iface, "get", Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  auto expected = Struct(kInfo, {{"name", Str("settings")},
                                 {"description", Str("guest settings")},
                                 {"host", Str("READ_WRITE")},
                                 {"guest", Str("APPEND_ONLY")},
                                 {"used", Int(4096)},
                                 {"omit_from_snapshot_and_clone", Bool(true)}});
  EXPECT_TRUE(answer.output()->Equals(*expected)) << answer.output()->ToString();

  // A default access value travels as "_UNKNOWN".
  impl->answerGet = [](const DataSetsSvc::GetMethod::ResultCbType& r) {
    r(std::make_shared<DataSetsSvc::Info>());
  };
  answer = ServiceTest::Invoke(*iface, "get", Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  auto info = Tarn::Data::NarrowDataTypeInt<Tarn::Data::CompoundValue>(answer.output());
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->fields().at("host")->Equals(*Str("_UNKNOWN")));
  EXPECT_TRUE(info->fields().at("guest")->Equals(*Str("_UNKNOWN")));

  impl->answerGet = [](const DataSetsSvc::GetMethod::ResultCbType& r) {
    r(std::shared_ptr<const DataSetsSvc::Info>());
  };
  answer = ServiceTest::Invoke(*iface, "get", Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error");
}

TEST_F(DataSetsTest, ListAnswers) {
  struct Case {
    const char* name;
    SummaryList list;
    Tarn::Data::DataValuePtr expected;  // null: the internal server error
  };
  const Case cases[] = {
      {"implementation order",
       {MakeSummary("ds-2", "b"), MakeSummary("ds-1", "a")},
       ServiceTest::List({Struct(kSummary, {{"data_set", Str("ds-2")},
                                            {"name", Str("b")},
                                            {"description", Str("about b")}}),
                          Struct(kSummary, {{"data_set", Str("ds-1")},
                                            {"name", Str("a")},
                                            {"description", Str("about a")}})})},
      {"empty", {}, ServiceTest::List({})},
      {"null summary", {MakeSummary("ds-1", "a"), nullptr}, nullptr},
  };
  for (const Case& c : cases) {
    impl->answerList = [&c](const DataSetsSvc::ListMethod::ResultCbType& r) { r(c.list); };
    auto answer = ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-1")}}));
    ASSERT_EQ(answer.calls, 1) << c.name;
    if (c.expected) {
      ASSERT_FALSE(answer.error()) << c.name << ": " << answer.error()->ToString();
      EXPECT_TRUE(answer.output()->Equals(*c.expected)) << answer.output()->ToString();
    } else {
      EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error") << c.name;
      EXPECT_TRUE(answer.error()->Messages().empty()) << c.name;
    }
  }
}

TEST_F(DataSetsTest, ImplementationErrorsAreCheckedAgainstTheErrorList) {
  struct Case {
    const char* name;
    const char* op;
    Tarn::Data::ErrorValuePtr error;
    const char* delivered;
  };
  namespace E = Com::Brantel::Tarn::Std::Errors;
  const Case cases[] = {
      {"delete resource in use", "delete", E::ResourceInUse::Create(),
       "com.brantel.tarn.std.errors.resource_in_use"},
      {"update resource in use", "update", E::ResourceInUse::Create(),
       "com.brantel.tarn.std.errors.internal_server_error"},
      {"delete unsupported", "delete", E::Unsupported::Create(),
       "com.brantel.tarn.std.errors.unsupported"},
      {"delete unauthenticated", "delete", E::Unauthenticated::Create(),
       "com.brantel.tarn.std.errors.internal_server_error"},
  };
  for (const Case& c : cases) {
    impl->answerVoid = [&c](const Tarn::AsyncResult<Tarn::Void>& r) { r.error(c.error); };
    Tarn::Data::DataValuePtr input =
        std::string(c.op) == "delete"
            ? Tarn::Data::DataValuePtr(Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}}))
            : UpdateInput({});
    auto answer = ServiceTest::Invoke(*iface, c.op, input);
    EXPECT_EQ(answer.errorName(), c.delivered) << c.name;
  }
}

// --- end to end through the stub --------------------------------------------------------------

class DataSetsClientTest : public DataSetsTest {
 protected:
  std::unique_ptr<DataSetsSvc::AsyncServiceStub> stub = ServiceTest::LocalStub<DataSetsSvc>(impl);
};

TEST_F(DataSetsClientTest, CreateAnswerAndFailure) {
  auto spec = std::make_shared<DataSetsSvc::CreateSpec>();
  spec->name = "settings";
  spec->description = "d";
  spec->host = Access::READ_ONLY;
  spec->guest = Tarn::EnumFromText<Access>("LATER");
  ServiceTest::Outcome<std::string> ok;
  stub->Create("vm-1", spec, nullptr, ok.Callback());
  ASSERT_EQ(ok.calls, 1);
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_EQ(*ok.value, "ds-1");
  EXPECT_EQ(impl->lastCreate->host.value(), Access::READ_ONLY);
  EXPECT_EQ(Tarn::EnumToText(impl->lastCreate->guest), "LATER");
  EXPECT_FALSE(impl->lastCreate->omitFromSnapshotAndClone);

  impl->answerCreate = [](const DataSetsSvc::CreateMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::AlreadyExists::Create());
  };
  ServiceTest::Outcome<std::string> failed;
  stub->Create("vm-1", spec, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.already_exists");

  ServiceTest::Outcome<std::string> noSpec;
  stub->Create("vm-1", nullptr, nullptr, noSpec.Callback());
  EXPECT_EQ(noSpec.errorName(), "com.brantel.tarn.std.errors.invalid_argument");
  ASSERT_EQ(noSpec.error->Messages().size(), 1u);
  EXPECT_EQ(noSpec.error->Messages()[0].args, std::vector<std::string>{kCreateSpec});
}

TEST_F(DataSetsClientTest, DeleteAnswerAndFailure) {
  for (boost::optional<bool> force :
       {boost::optional<bool>(), boost::optional<bool>(true), boost::optional<bool>(false)}) {
    ServiceTest::Outcome<Tarn::Void> ok;
    stub->Delete("vm-1", "ds-4", force, nullptr, ok.Callback());
    ASSERT_FALSE(ok.error) << ok.error->ToString();
    EXPECT_TRUE(ok.value);
    EXPECT_TRUE(impl->lastForce == force);
    EXPECT_EQ(impl->lastDataSet, "ds-4");
  }
  impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::ResourceInUse::Create());
  };
  ServiceTest::Outcome<Tarn::Void> failed;
  stub->Delete("vm-1", "ds-4", boost::none, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.resource_in_use");
}

TEST_F(DataSetsClientTest, GetAnswerAndFailure) {
  ServiceTest::Outcome<std::shared_ptr<const DataSetsSvc::Info>> ok;
  stub->Get("vm-1", "ds-1", nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  const DataSetsSvc::Info& info = **ok.value;
  EXPECT_EQ(info.name, "settings");
  EXPECT_EQ(info.host.value(), Access::READ_WRITE);
  // An access text outside the table survives the round trip.
  EXPECT_EQ(info.guest.value(), Access::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText(info.guest), "APPEND_ONLY");
  EXPECT_EQ(info.used, 4096);
  EXPECT_TRUE(info.omitFromSnapshotAndClone);

  impl->answerGet = [](const DataSetsSvc::GetMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotFound::Create());
  };
  ServiceTest::Outcome<std::shared_ptr<const DataSetsSvc::Info>> failed;
  stub->Get("vm-1", "ds-1", nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.not_found");
}

TEST_F(DataSetsClientTest, UpdateAnswerAndFailure) {
  auto spec = std::make_shared<DataSetsSvc::UpdateSpec>();
  spec->guest = Access(Access::NONE);
  ServiceTest::Outcome<Tarn::Void> ok;
  stub->Update("vm-1", "ds-1", spec, nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  ASSERT_TRUE(impl->lastUpdate);
  EXPECT_FALSE(impl->lastUpdate->description);
  EXPECT_FALSE(impl->lastUpdate->host);
  ASSERT_TRUE(impl->lastUpdate->guest);
  EXPECT_EQ(impl->lastUpdate->guest->value(), Access::NONE);

  impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::UnableToAllocateResource::Create());
  };
  ServiceTest::Outcome<Tarn::Void> failed;
  stub->Update("vm-1", "ds-1", spec, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.unable_to_allocate_resource");
}

TEST_F(DataSetsClientTest, ListAnswerAndFailure) {
  ServiceTest::Outcome<SummaryList> ok;
  stub->List("vm-1", nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  ASSERT_EQ(ok.value->size(), 2u);
  EXPECT_EQ((*ok.value)[0]->dataSet, "ds-2");
  EXPECT_EQ((*ok.value)[1]->dataSet, "ds-1");
  EXPECT_EQ((*ok.value)[1]->description, "about a");

  impl->answerList = [](const DataSetsSvc::ListMethod::ResultCbType& r) {
    r(SummaryList{nullptr});
  };
  ServiceTest::Outcome<SummaryList> failed;
  stub->List("vm-1", nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.internal_server_error");
  EXPECT_FALSE(failed.value);
}

}  // namespace
