#include "vm/data_sets/entries.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/vm/definition_test_util.h"
#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::DataSets::EntriesSvc;
using ServiceTest::Input;
using ServiceTest::MessageIds;
using ServiceTest::Str;
using ServiceTest::Texts;
using Tarn::Core::AsyncActivation;

constexpr const char kVm1[] = "com.brantel.kov.vm.VirtualMachine.vm-1";

class FakeEntries : public EntriesSvc::AsyncServiceInterface {
 public:
  void Set(const std::string& vm, const std::string& dataSet, const std::string& key,
           const std::string& value, const std::shared_ptr<AsyncActivation>& activation,
           const EntriesSvc::SetMethod::ResultCbType& result) override {
    Record("set", vm, dataSet, activation);
    lastKey = key;
    lastValue = value;
    answerVoid(result);
  }
  void Get(const std::string& vm, const std::string& dataSet, const std::string& key,
           const std::shared_ptr<AsyncActivation>& activation,
           const EntriesSvc::GetMethod::ResultCbType& result) override {
    Record("get", vm, dataSet, activation);
    lastKey = key;
    answerGet(result);
  }
  void Delete(const std::string& vm, const std::string& dataSet, const std::string& key,
              const std::shared_ptr<AsyncActivation>& activation,
              const EntriesSvc::DeleteMethod::ResultCbType& result) override {
    Record("delete", vm, dataSet, activation);
    lastKey = key;
    answerVoid(result);
  }
  void List(const std::string& vm, const std::string& dataSet,
            const std::shared_ptr<AsyncActivation>& activation,
            const EntriesSvc::ListMethod::ResultCbType& result) override {
    Record("list", vm, dataSet, activation);
    answerList(result);
  }

  std::vector<std::string> calls;
  std::vector<std::string> resourcesSeen;
  std::string lastVm;
  std::string lastDataSet;
  std::string lastKey;
  std::string lastValue;

  // Answers set and delete.
  std::function<void(const Tarn::AsyncResult<Tarn::Void>&)> answerVoid =
      [](const Tarn::AsyncResult<Tarn::Void>& r) { r(Tarn::Void()); };
  std::function<void(const EntriesSvc::GetMethod::ResultCbType&)> answerGet =
      [](const EntriesSvc::GetMethod::ResultCbType& r) { r(std::string("blue")); };
  std::function<void(const EntriesSvc::ListMethod::ResultCbType&)> answerList =
      [](const EntriesSvc::ListMethod::ResultCbType& r) {
        std::set<std::string> keys;
        for (const char* k : {"zeta", "Alpha", "alpha", "beta"}) keys.insert(k);
        r(keys);
      };

 private:
  void Record(const char* op, const std::string& vm, const std::string& dataSet,
              const std::shared_ptr<AsyncActivation>& activation) {
    calls.push_back(op);
    lastVm = vm;
    lastDataSet = dataSet;
    resourcesSeen = activation->resourceIds();
  }
};

class EntriesTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeEntries> impl = std::make_shared<FakeEntries>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      EntriesSvc::AsyncServiceBinder::BindImplementation(impl);
};

Tarn::Data::DataValuePtr KeyInput(const std::string& key) {
  return Input({{"vm", Str("vm-1")}, {"data_set", Str("ds-1")}, {"key", Str(key)}});
}

TEST_F(EntriesTest, ServiceIdSlotsAndErrorOrders) {
  EXPECT_EQ(Tarn::Data::TypeInfo<EntriesSvc::AsyncServiceInterface>::name(),
            "com.brantel.kov.vm.data_sets.entries");
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.data_sets.entries");
  EXPECT_EQ(ServiceTest::MethodNames(*iface),
            (std::vector<std::string>{"set", "get", "delete", "list"}));
  const std::vector<std::string> getErrors{"error", "not_found", "service_unavailable",
                                           "unauthorized", "unsupported"};
  const std::vector<std::vector<std::string>> expected{
      {"error", "invalid_argument", "not_allowed_in_current_state", "not_found",
       "service_unavailable", "unable_to_allocate_resource", "unauthorized", "unsupported"},
      getErrors,
      {"error", "not_allowed_in_current_state", "not_found", "service_unavailable", "unauthorized",
       "unsupported"},
      getErrors,
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[i]->errorDefinitions()),
              DefinitionTest::StdErrors(expected[i]))
        << iface->methods()[i]->methodName();
  }
}

TEST_F(EntriesTest, Definitions) {
  using Tarn::Data::DataType;
  EXPECT_EQ(DefinitionTest::FieldNames(EntriesSvc::SetMethod::inputDef()),
            (std::vector<std::string>{"data_set", "key", "value", "vm"}));
  EXPECT_EQ(DefinitionTest::FieldNames(EntriesSvc::ListMethod::inputDef()),
            (std::vector<std::string>{"data_set", "vm"}));
  // "get" and "delete" take the same three strings.
  auto get = EntriesSvc::GetMethod::inputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(get), (std::vector<std::string>{"data_set", "key", "vm"}));
  EXPECT_EQ(get->ToString(), EntriesSvc::DeleteMethod::inputDef()->ToString());
  for (auto& f : DefinitionTest::FieldNames(EntriesSvc::SetMethod::inputDef())) {
    EXPECT_EQ(DefinitionTest::FieldDef(EntriesSvc::SetMethod::inputDef(), f)->GetType(),
              DataType::STRING)
        << f;
  }
  EXPECT_EQ(EntriesSvc::SetMethod::outputDef()->GetType(), DataType::VOID);
  EXPECT_EQ(EntriesSvc::GetMethod::outputDef()->GetType(), DataType::STRING);
  EXPECT_EQ(EntriesSvc::DeleteMethod::outputDef()->GetType(), DataType::VOID);
  // A set is defined as a list of its elements.
  auto list = EntriesSvc::ListMethod::outputDef();
  ASSERT_EQ(list->GetType(), DataType::LIST);
  EXPECT_EQ(static_cast<const Tarn::Data::ListDefinition&>(*list).element()->GetType(),
            DataType::STRING);
  EXPECT_STREQ(EntriesSvc::SetMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::SetMethod::Input");
  EXPECT_EQ(Tarn::Data::TypeInfo<EntriesSvc::ListMethod::Input>::name(),
            Tarn::Data::TypeInfo<Tarn::OperationInput>::name());
}

TEST_F(EntriesTest, EveryOperationRecordsTheMachineFirst) {
  const Tarn::Data::DataValuePtr inputs[] = {
      Input({{"vm", Str("vm-1")},
             {"data_set", Str("ds-1")},
             {"key", Str("colour")},
             {"value", Str("red")}}),
      KeyInput("colour"),
      KeyInput("colour"),
      Input({{"vm", Str("vm-1")}, {"data_set", Str("ds-1")}}),
  };
  const char* const ops[] = {"set", "get", "delete", "list"};
  for (std::size_t i = 0; i < 4; ++i) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, ops[i], inputs[i], activation);
    ASSERT_FALSE(answer.error()) << ops[i] << ": " << answer.error()->ToString();
    EXPECT_EQ(impl->calls.back(), ops[i]);
    EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1}) << ops[i];
    EXPECT_EQ(activation->resourceIds(), std::vector<std::string>{kVm1}) << ops[i];
    EXPECT_EQ(impl->lastDataSet, "ds-1");
  }
  EXPECT_EQ(impl->lastKey, "colour");
  EXPECT_EQ(impl->lastValue, "red");
}

TEST_F(EntriesTest, Answers) {
  // "set" and "delete" complete with the void value.
  auto answer = ServiceTest::Invoke(*iface, "delete", KeyInput("k"));
  ASSERT_FALSE(answer.error());
  EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);

  for (const std::string value : {"blue", "", " spaced ", "line\nbreak"}) {
    impl->answerGet = [value](const EntriesSvc::GetMethod::ResultCbType& r) { r(value); };
    answer = ServiceTest::Invoke(*iface, "get", KeyInput("k"));
    ASSERT_FALSE(answer.error()) << value;
    EXPECT_TRUE(answer.output()->Equals(*Str(value))) << answer.output()->ToString();
  }
}

TEST_F(EntriesTest, ListIsAscendingWhateverTheInsertionOrder) {
  struct Case {
    std::vector<std::string> inserted;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{}, {}},
      {{"b", "a"}, {"a", "b"}},
      {{"a", "b"}, {"a", "b"}},
      // Byte order: capitals before small letters, shorter prefix first.
      {{"zeta", "alpha", "Alpha", "alp"}, {"Alpha", "alp", "alpha", "zeta"}},
      {{"k", "k"}, {"k"}},
  };
  for (const Case& c : cases) {
    impl->answerList = [&c](const EntriesSvc::ListMethod::ResultCbType& r) {
      std::set<std::string> keys;
      for (auto& k : c.inserted) keys.insert(k);
      r(keys);
    };
    auto answer =
        ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}}));
    ASSERT_FALSE(answer.error()) << answer.error()->ToString();
    ASSERT_EQ(answer.output()->GetType(), Tarn::Data::DataType::LIST_STRING);
    EXPECT_EQ(static_cast<const Tarn::Data::ListValueString&>(*answer.output()).elements(),
              c.expected);
  }
}

TEST_F(EntriesTest, RejectedInputsNeverReachTheImplementation) {
  struct Case {
    const char* name;
    const char* op;
    Tarn::Data::DataValuePtr input;
    const char* operation;  // null: rejected by the input definition
    const char* record;
  };
  const Case cases[] = {
      {"set without value", "set", KeyInput("k"), nullptr, nullptr},
      {"set with a number value", "set",
       Input({{"vm", Str("vm-1")},
              {"data_set", Str("d")},
              {"key", Str("k")},
              {"value", ServiceTest::Int(3)}}),
       nullptr, nullptr},
      {"set with an undeclared field", "set",
       Input({{"vm", Str("vm-1")},
              {"data_set", Str("d")},
              {"key", Str("k")},
              {"value", Str("v")},
              {"ttl", ServiceTest::Int(60)}}),
       "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Set",
       "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::SetMethod::Input"},
      {"get without key", "get", Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}}), nullptr,
       nullptr},
      {"delete with an undeclared field", "delete",
       Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}, {"key", Str("k")}, {"value", Str("v")}}),
       "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Delete",
       "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::DeleteMethod::Input"},
      {"list with an undeclared field", "list",
       Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}, {"key", Str("k")}}),
       "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::List",
       "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::ListMethod::Input"},
      {"list given a string", "list", Str("vm-1"), nullptr, nullptr},
  };
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, c.op, c.input, activation);
    ASSERT_EQ(answer.calls, 1) << c.name;
    EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument") << c.name;
    if (c.operation) {
      auto messages = answer.error()->Messages();
      ASSERT_EQ(messages.size(), 2u) << c.name;
      EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
      EXPECT_EQ(messages[0].args, std::vector<std::string>{c.operation});
      EXPECT_EQ(messages[1].id, "tarn.data.compound.field.extra");
      EXPECT_EQ(messages[1].args.at(0), c.record);
    }
    EXPECT_TRUE(activation->resourceIds().empty()) << c.name;
  }
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(EntriesTest, UndeclaredErrorsBecomeInternalErrors) {
  // "invalid_argument" may always pass; "resource_busy" is no error of "set".
  impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::ResourceBusy::Create());
  };
  auto answer = ServiceTest::Invoke(
      *iface, "set",
      Input({{"vm", Str("vm-1")}, {"data_set", Str("d")}, {"key", Str("k")}, {"value", Str("v")}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error");

  // "invalid_argument" is an error of "set" but not of "delete"; the runtime's own pass anyway.
  impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState::Create());
  };
  answer = ServiceTest::Invoke(*iface, "delete", KeyInput("k"));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.not_allowed_in_current_state");
  impl->answerGet = [](const EntriesSvc::GetMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState::Create());
  };
  answer = ServiceTest::Invoke(*iface, "get", KeyInput("k"));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error");
}

// --- end to end through the stub --------------------------------------------------------------

class EntriesClientTest : public EntriesTest {
 protected:
  std::unique_ptr<EntriesSvc::AsyncServiceStub> stub = ServiceTest::LocalStub<EntriesSvc>(impl);
};

TEST_F(EntriesClientTest, SetAndDeleteAnswerAndFailure) {
  ServiceTest::Outcome<Tarn::Void> set;
  stub->Set("vm-1", "ds-1", "colour", "", nullptr, set.Callback());
  ASSERT_FALSE(set.error) << set.error->ToString();
  EXPECT_TRUE(set.value);
  EXPECT_EQ(impl->lastKey, "colour");
  EXPECT_EQ(impl->lastValue, "");
  EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1});

  ServiceTest::Outcome<Tarn::Void> del;
  stub->Delete("vm-1", "ds-1", "colour", nullptr, del.Callback());
  ASSERT_FALSE(del.error) << del.error->ToString();
  EXPECT_TRUE(del.value);
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"set", "delete"}));

  impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotFound::Create());
  };
  ServiceTest::Outcome<Tarn::Void> setFailed;
  stub->Set("vm-1", "ds-1", "colour", "red", nullptr, setFailed.Callback());
  EXPECT_EQ(setFailed.errorName(), "com.brantel.tarn.std.errors.not_found");
  ServiceTest::Outcome<Tarn::Void> delFailed;
  stub->Delete("vm-1", "ds-1", "colour", nullptr, delFailed.Callback());
  EXPECT_EQ(delFailed.errorName(), "com.brantel.tarn.std.errors.not_found");
}

TEST_F(EntriesClientTest, GetAnswerAndFailure) {
  ServiceTest::Outcome<std::string> ok;
  stub->Get("vm-1", "ds-1", "colour", nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_EQ(*ok.value, "blue");

  impl->answerGet = [](const EntriesSvc::GetMethod::ResultCbType& r) { r(std::string()); };
  ServiceTest::Outcome<std::string> empty;
  stub->Get("vm-1", "ds-1", "colour", nullptr, empty.Callback());
  ASSERT_FALSE(empty.error);
  ASSERT_TRUE(empty.value);
  EXPECT_EQ(*empty.value, "");

  impl->answerGet = [](const EntriesSvc::GetMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::Unauthorized::Create());
  };
  ServiceTest::Outcome<std::string> failed;
  stub->Get("vm-1", "ds-1", "colour", nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.unauthorized");
}

TEST_F(EntriesClientTest, ListAnswerAndFailure) {
  ServiceTest::Outcome<std::set<std::string>> ok;
  stub->List("vm-1", "ds-1", nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_EQ(*ok.value, (std::set<std::string>{"Alpha", "alpha", "beta", "zeta"}));

  impl->answerList = [](const EntriesSvc::ListMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::ServiceUnavailable::Create());
  };
  ServiceTest::Outcome<std::set<std::string>> failed;
  stub->List("vm-1", "ds-1", nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.service_unavailable");
}

TEST(EntriesClient, AnswerConversions) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr output;
    std::set<std::string> keys;
    std::vector<std::string> ids;  // non-empty: the "invalid_argument" error with these messages
  };
  const Case cases[] = {
      {"list of strings", Texts({"b", "a"}), {"a", "b"}, {}},
      {"empty list", Texts({}), {}, {}},
      {"empty text", Str(""), {}, {}},
      {"one text", Str("only"), {"only"}, {}},
      {"generic list", ServiceTest::List({Str("x"), Str("y")}), {"x", "y"}, {}},
      {"repeated key", Texts({"a", "b", "a"}), {}, {"tarn.data.duplicate.set.element"}},
      {"repeated key in a generic list",
       ServiceTest::List({Str("x"), Str("x")}),
       {},
       {"tarn.data.duplicate.set.element"}},
      {"a number", ServiceTest::Int(3), {}, {"tarn.data.invalid.type"}},
  };
  for (const Case& c : cases) {
    auto target = ServiceTest::CannedTarget::Answering(c.output);
    auto stub = ServiceTest::StubOn<EntriesSvc>(target);
    ServiceTest::Outcome<std::set<std::string>> out;
    stub.List("vm-1", "ds-1", nullptr, out.Callback());
    ASSERT_EQ(out.calls, 1) << c.name;
    EXPECT_EQ(target->interfaceName, "com.brantel.kov.vm.data_sets.entries");
    EXPECT_EQ(target->methodName, "list");
    if (c.ids.empty()) {
      ASSERT_FALSE(out.error) << c.name << ": " << out.error->ToString();
      EXPECT_EQ(*out.value, c.keys) << c.name;
    } else {
      EXPECT_FALSE(out.value) << c.name;
      // The short error name: the client's own conversion failed.
      EXPECT_EQ(out.errorName(), "invalid_argument") << c.name;
      EXPECT_EQ(MessageIds(out.error), c.ids) << c.name;
    }
  }

  auto target = ServiceTest::CannedTarget::Answering(Texts({"a", "b", "a"}));
  auto stub = ServiceTest::StubOn<EntriesSvc>(target);
  ServiceTest::Outcome<std::set<std::string>> out;
  stub.List("vm-1", "ds-1", nullptr, out.Callback());
  ASSERT_TRUE(out.error);
  EXPECT_EQ(out.error->Messages().at(0).args, std::vector<std::string>{"a"});
}

TEST(EntriesClient, StubSendsEveryFieldUnderItsWireName) {
  auto target = ServiceTest::CannedTarget::Answering(Str(""));
  auto stub = ServiceTest::StubOn<EntriesSvc>(target);
  ServiceTest::Outcome<std::string> out;
  stub.Get("vm-1", "ds-1", "colour", nullptr, out.Callback());
  ASSERT_FALSE(out.error);
  EXPECT_EQ(*out.value, "");
  EXPECT_EQ(target->methodName, "get");
  auto expected = Input({{"vm", Str("vm-1")}, {"data_set", Str("ds-1")}, {"key", Str("colour")}});
  EXPECT_TRUE(target->lastInput->Equals(*expected)) << target->lastInput->ToString();
}

}  // namespace
