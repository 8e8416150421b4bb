// The data set entries service: its shape, the resource each operation records, values and
// ordered key sets in both directions, refused inputs, and calls through its stub.
#include "vm/data_sets/entries.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::DataSets::EntriesSvc;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using Keys = std::set<std::string>;

constexpr char kService[] = "com.brantel.kov.vm.data_sets.entries";
const std::vector<std::string> kVm1 = {MachineResource("vm-1")};

class FakeEntries : public EntriesSvc::AsyncServiceInterface, public Recorder {
 public:
  void Set(const std::string& vm, const std::string& dataSet, const std::string& key,
           const std::string& value, const std::shared_ptr<AsyncActivation>& activation,
           const EntriesSvc::SetMethod::ResultCbType& result) override {
    Seen("set", vm, dataSet, key, activation);
    lastValue = value;
    Answer(result, Tarn::Void());
  }
  void Get(const std::string& vm, const std::string& dataSet, const std::string& key,
           const std::shared_ptr<AsyncActivation>& activation,
           const EntriesSvc::GetMethod::ResultCbType& result) override {
    Seen("get", vm, dataSet, key, activation);
    Answer(result, value);
  }
  void Delete(const std::string& vm, const std::string& dataSet, const std::string& key,
              const std::shared_ptr<AsyncActivation>& activation,
              const EntriesSvc::DeleteMethod::ResultCbType& result) override {
    Seen("delete", vm, dataSet, key, activation);
    Answer(result, Tarn::Void());
  }
  void List(const std::string& vm, const std::string& dataSet,
            const std::shared_ptr<AsyncActivation>& activation,
            const EntriesSvc::ListMethod::ResultCbType& result) override {
    Seen("list", vm, dataSet, lastKey, activation);
    Answer(result, keys);
  }

  std::string value = "blue";
  Keys keys = {"zeta", "Alpha", "alpha", "beta"};
  std::string lastVm;
  std::string lastDataSet;
  std::string lastKey;
  std::string lastValue;

 private:
  void Seen(const char* op, const std::string& vm, const std::string& dataSet,
            const std::string& key, const std::shared_ptr<AsyncActivation>& activation) {
    Record(op, activation);
    lastVm = vm;
    lastDataSet = dataSet;
    lastKey = key;
  }
};

using EntriesTest = ServiceFixture<EntriesSvc, FakeEntries>;

// An input naming vm-1 and ds-1, with `more` fields.
std::shared_ptr<Tarn::Data::StructValue> EntryInput(const Fields& more = {}) {
  auto input = VmInput({{"data_set", Str("ds-1")}});
  for (auto& f : more) input->SetField(f.first, f.second);
  return input;
}

TEST_F(EntriesTest, ShapeSeenByTheRuntime) {
  const std::vector<std::string> getErrors{"error", "not_found", "service_unavailable",
                                           "unauthorized", "unsupported"};
  // "get" and "delete" take the same three strings.
  const std::string keyInput =
      "struct com.brantel.tarn.operation_input {data_set: string, key: string, vm: string}";
  ExpectShape<EntriesSvc>(
      impl, kService,
      {
          {"set",
           {"error", "invalid_argument", "not_allowed_in_current_state", "not_found",
            "service_unavailable", "unable_to_allocate_resource", "unauthorized", "unsupported"},
           "struct com.brantel.tarn.operation_input {data_set: string, key: string, value: string, "
           "vm: string}",
           "void"},
          {"get", getErrors, keyInput, "string"},
          {"delete",
           {"error", "not_allowed_in_current_state", "not_found", "service_unavailable",
            "unauthorized", "unsupported"},
           keyInput,
           "void"},
          // A set is defined as a list of its elements.
          {"list", getErrors,
           "struct com.brantel.tarn.operation_input {data_set: string, vm: string}",
           "list<string>"},
      });
}

TEST_F(EntriesTest, EveryOperationRecordsTheMachineFirst) {
  const std::vector<std::pair<const char*, Tarn::Data::DataValuePtr>> inputs = {
      {"set", EntryInput({{"key", Str("colour")}, {"value", Str("red")}})},
      {"get", EntryInput({{"key", Str("colour")}})},
      {"delete", EntryInput({{"key", Str("colour")}})},
      {"list", EntryInput()},
  };
  for (auto& [wire, input] : inputs) {
    SCOPED_TRACE(wire);
    ExpectAnswered(*iface, *impl, wire, input, kVm1);
    EXPECT_EQ(impl->calls.back(), wire);
    EXPECT_EQ(impl->lastDataSet, "ds-1");
    EXPECT_EQ(impl->lastKey, "colour");
  }
  EXPECT_EQ(impl->lastValue, "red");
}

TEST_F(EntriesTest, Answers) {
  // "set" and "delete" complete with the void value.
  auto answer = Invoke(*iface, "delete", EntryInput({{"key", Str("k")}}));
  EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
  for (const std::string value : {"blue", "", " spaced ", "line\nbreak"}) {
    impl->value = value;
    EXPECT_EQ(Text(Invoke(*iface, "get", EntryInput({{"key", Str("k")}})).output()),
              Text(Str(value)));
  }
}

TEST_F(EntriesTest, ListIsAscendingWhateverTheInsertionOrder) {
  struct Case {
    std::vector<std::string> inserted;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{"b", "a"}, {"a", "b"}},
      {{"a", "b"}, {"a", "b"}},
      // Byte order: capitals before small letters, shorter prefix first.
      {{"zeta", "alpha", "Alpha", "alp"}, {"Alpha", "alp", "alpha", "zeta"}},
      {{"k", "k"}, {"k"}},
  };
  for (const Case& c : cases) {
    impl->keys = Keys(c.inserted.begin(), c.inserted.end());
    auto answer = Invoke(*iface, "list", EntryInput());
    ASSERT_EQ(answer.output()->GetType(), Tarn::Data::DataType::LIST_STRING);
    EXPECT_EQ(static_cast<const Tarn::Data::ListValueString&>(*answer.output()).elements(),
              c.expected);
  }
}

TEST_F(EntriesTest, RejectedInputsNeverReachTheImplementation) {
  ExpectRefusals(
      *iface, "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::",
      {
          {"set without value", "set", EntryInput({{"key", Str("k")}})},
          {"set with a number value", "set", EntryInput({{"key", Str("k")}, {"value", Int(3)}})},
          {"set with an undeclared field",
           "set",
           EntryInput({{"key", Str("k")}, {"value", Str("v")}, {"ttl", Int(60)}}),
           {"Set", "SetMethod::Input", "ttl"}},
          {"get without key", "get", EntryInput()},
          {"delete with an undeclared field",
           "delete",
           EntryInput({{"key", Str("k")}, {"value", Str("v")}}),
           {"Delete", "DeleteMethod::Input", "value"}},
          {"list with an undeclared field",
           "list",
           EntryInput({{"key", Str("k")}}),
           {"List", "ListMethod::Input", "key"}},
          {"list given a string", "list", Str("vm-1")},
      });
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(EntriesTest, UndeclaredErrorsBecomeInternalErrors) {
  struct Case {
    const char* wire;
    Tarn::Data::ErrorValuePtr error;
    const char* delivered;
  };
  const std::vector<Case> cases = {
      // "resource_busy" is no error of "set".
      {"set", Errors::ResourceBusy::Create(), "internal_server_error"},
      {"delete", Errors::NotAllowedInCurrentState::Create(), "not_allowed_in_current_state"},
      {"get", Errors::NotAllowedInCurrentState::Create(), "internal_server_error"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.wire);
    impl->failure = c.error;
    auto input = EntryInput({{"key", Str("k")}});
    if (std::string(c.wire) == "set") input->SetField("value", Str("v"));
    EXPECT_EQ(Invoke(*iface, c.wire, input).errorName(), StdError(c.delivered));
  }
}

using EntriesClientTest = EntriesTest;

TEST_F(EntriesClientTest, AnswersAndFailures) {
  EXPECT_TRUE(Call<Tarn::Void>([&](auto cb) {
                stub->Set("vm-1", "ds-1", "colour", "", nullptr, cb);
              }).ok());
  EXPECT_EQ(impl->lastKey, "colour");
  EXPECT_EQ(impl->lastValue, "");
  EXPECT_EQ(impl->resourcesSeen, kVm1);
  EXPECT_TRUE(
      Call<Tarn::Void>([&](auto cb) { stub->Delete("vm-1", "ds-1", "colour", nullptr, cb); }).ok());
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"set", "delete"}));
  for (const std::string value : {"blue", ""}) {
    impl->value = value;
    auto got =
        Call<std::string>([&](auto cb) { stub->Get("vm-1", "ds-1", "colour", nullptr, cb); });
    ASSERT_TRUE(got.ok()) << got.errorName();
    EXPECT_EQ(*got.value, value);
  }
  auto listed = Call<Keys>([&](auto cb) { stub->List("vm-1", "ds-1", nullptr, cb); });
  ASSERT_TRUE(listed.ok()) << listed.errorName();
  EXPECT_EQ(*listed.value, (Keys{"Alpha", "alpha", "beta", "zeta"}));

  impl->failure = Errors::NotFound::Create();
  EXPECT_EQ(Call<Tarn::Void>([&](auto cb) {
              stub->Set("vm-1", "ds-1", "colour", "red", nullptr, cb);
            }).errorName(),
            StdError("not_found"));
  EXPECT_EQ(Call<Tarn::Void>([&](auto cb) {
              stub->Delete("vm-1", "ds-1", "colour", nullptr, cb);
            }).errorName(),
            StdError("not_found"));
  impl->failure = Errors::Unauthorized::Create();
  EXPECT_EQ(Call<std::string>([&](auto cb) {
              stub->Get("vm-1", "ds-1", "colour", nullptr, cb);
            }).errorName(),
            StdError("unauthorized"));
  impl->failure = Errors::ServiceUnavailable::Create();
  EXPECT_EQ(Call<Keys>([&](auto cb) { stub->List("vm-1", "ds-1", nullptr, cb); }).errorName(),
            StdError("service_unavailable"));
}

TEST(EntriesClient, AnswerConversions) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr output;
    Keys keys;
    std::string id;  // set: the "invalid_argument" error with this message
  };
  const std::vector<Case> cases = {
      {"list of strings", Texts({"b", "a"}), {"a", "b"}, ""},
      {"empty list", Texts({}), {}, ""},
      {"empty text", Str(""), {}, ""},
      {"one text", Str("only"), {"only"}, ""},
      {"generic list", List({Str("x"), Str("y")}), {"x", "y"}, ""},
      {"repeated key", Texts({"a", "b", "a"}), {}, "tarn.data.duplicate.set.element"},
      {"repeated key in a generic list",
       List({Str("x"), Str("x")}),
       {},
       "tarn.data.duplicate.set.element"},
      {"a number", Int(3), {}, "tarn.data.invalid.type"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto target = CannedTarget::Answering(c.output);
    auto stub = StubOn<EntriesSvc>(target);
    auto out = Call<Keys>([&](auto cb) { stub.List("vm-1", "ds-1", nullptr, cb); });
    EXPECT_EQ(target->interfaceName, kService);
    EXPECT_EQ(target->methodName, "list");
    if (c.id.empty()) {
      ASSERT_TRUE(out.ok()) << Text(out.error);
      EXPECT_EQ(*out.value, c.keys);
    } else {
      EXPECT_FALSE(out.value);
      // The short error name: the client's own conversion failed.
      EXPECT_EQ(out.errorName(), "invalid_argument");
      EXPECT_EQ(MessageIds(out.error), std::vector<std::string>{c.id});
    }
  }
  auto target = CannedTarget::Answering(Texts({"a", "b", "a"}));
  auto stub = StubOn<EntriesSvc>(target);
  auto out = Call<Keys>([&](auto cb) { stub.List("vm-1", "ds-1", nullptr, cb); });
  ASSERT_TRUE(out.error);
  EXPECT_EQ(out.error->Messages().at(0).args, std::vector<std::string>{"a"});
}

TEST(EntriesClient, StubSendsEveryFieldUnderItsWireName) {
  auto target = CannedTarget::Answering(Str(""));
  auto stub = StubOn<EntriesSvc>(target);
  auto out = Call<std::string>([&](auto cb) { stub.Get("vm-1", "ds-1", "colour", nullptr, cb); });
  ASSERT_TRUE(out.ok());
  EXPECT_EQ(*out.value, "");
  EXPECT_EQ(target->methodName, "get");
  EXPECT_EQ(Text(target->lastInput), Text(EntryInput({{"key", Str("colour")}})));
}

}  // namespace
