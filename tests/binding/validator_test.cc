#include "binding/validator.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/binding/binding_test_util.h"
#include "tests/binding/test_records.h"

namespace KovTest {
namespace {

using ::Tarn::Data::StructValue;
using ::Tarn::Data::Validator;
using Args = std::vector<std::string>;
using PowerState = TestSvc::PowerState;

const std::string kMachineName = TestSvc::Machine::typeName;
const std::string kBackingName = TestSvc::Backing::typeName;

std::shared_ptr<TestSvc::Everything> ValidEverything() {
  auto e = std::make_shared<TestSvc::Everything>();
  e->leaf = MakeLeaf("l", 1);
  return e;
}

std::shared_ptr<StructValue> UnknownFields(const FieldList& fields) {
  return Struct("unknownFields", fields);
}

// ---- undeclared fields ----

TEST(Validator, EveryUndeclaredFieldIsReportedInNameOrder) {
  auto record = ValidEverything();
  record->unknownFields = UnknownFields({{"zeta", Int(1)},
                                         {"alpha", Str("")},
                                         {"mid_unset", Unset()},
                                         {"Mixed", Opt(Int(2))},
                                         {"beta", Strings({})}});
  MessageList messages;
  EXPECT_FALSE(Validator::isValid(*record, Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 4u);
  const char* expected[] = {"Mixed", "alpha", "beta", "zeta"};
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(messages[i].id, "tarn.data.compound.field.extra");
    EXPECT_EQ(messages[i].args, (Args{"::KovTest::TestSvc::Everything", expected[i], ""}));
  }
}

TEST(Validator, UndeclaredFieldsAreIgnoredWithAnotherPolicy) {
  auto record = ValidEverything();
  record->unknownFields = UnknownFields({{"zeta", Int(1)}, {"alpha", Str("a")}});
  for (auto policy : {Validator::kIgnoreUndeclared, static_cast<Validator::Policy>(7),
                      static_cast<Validator::Policy>(-1)}) {
    SCOPED_TRACE(static_cast<int>(policy));
    MessageList messages;
    EXPECT_TRUE(Validator::isValid(*record, policy, messages));
    EXPECT_TRUE(messages.empty());
  }
  EXPECT_EQ(static_cast<int>(Validator::kRejectUndeclared), 1);
}

TEST(Validator, UnsetOptionalUndeclaredFieldsAreTolerated) {
  auto record = ValidEverything();
  record->unknownFields = UnknownFields({{"a", Unset()}, {"b", Unset()}});
  MessageList messages;
  EXPECT_TRUE(Validator::isValid(*record, Validator::kRejectUndeclared, messages));
  EXPECT_TRUE(messages.empty());

  // An empty unknown-fields value is nothing to report either.
  record->unknownFields = UnknownFields({});
  EXPECT_TRUE(Validator::isValid(*record, Validator::kRejectUndeclared, messages));
  EXPECT_TRUE(messages.empty());
}

TEST(Validator, UndeclaredFieldsOfNestedRecordsNameTheirOwnType) {
  auto leaf = std::make_shared<TestSvc::Leaf>();
  leaf->unknownFields = UnknownFields({{"x", Int(1)}, {"y", Int(2)}});
  auto record = ValidEverything();
  record->optLeaf = leaf;
  MessageList messages;
  EXPECT_FALSE(Validator::isValid(*record, Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args, (Args{"::KovTest::TestSvc::Leaf", "x", ""}));
  EXPECT_EQ(messages[1].args, (Args{"::KovTest::TestSvc::Leaf", "y", ""}));

  messages.clear();
  EXPECT_TRUE(Validator::isValid(*record, Validator::kIgnoreUndeclared, messages));
  EXPECT_TRUE(messages.empty());
}

// ---- unions ----

struct UnionCheckCase {
  const char* what;
  PowerState tag;
  bool disk;
  bool note;
  const char* id;  // null: valid
  Args args;
};

template <class R>
void RunUnionCases(const std::vector<UnionCheckCase>& cases, PowerState R::*tag,
                   boost::optional<std::string> R::*disk) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    R record;
    record.*tag = c.tag;
    if (c.disk) record.*disk = std::string("d");
    if (c.note) record.note = 1;
    for (auto policy : {Validator::kRejectUndeclared, Validator::kIgnoreUndeclared}) {
      MessageList messages;
      const bool valid = Validator::isValid(record, policy, messages);
      if (!c.id) {
        EXPECT_TRUE(valid);
        EXPECT_TRUE(messages.empty()) << messages[0].id;
        continue;
      }
      EXPECT_FALSE(valid);
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].id, c.id);
      EXPECT_EQ(messages[0].args, c.args);
    }
  }
}

const char* const kMissingTag = "tarn.data.union.missing.tag.field";
const char* const kNotSet = "tarn.data.union.invalid.case.state.isnotset.short";
const char* const kSet = "tarn.data.union.invalid.case.state.isset.short";

TEST(Validator, UnionWithTheMissingTagCheckFirst) {
  const PowerState on(PowerState::ON), off(PowerState::OFF), suspended(PowerState::SUSPENDED);
  const PowerState unknown;
  const PowerState other = EnumOf<PowerState>("HIBERNATE");
  RunUnionCases<TestSvc::Machine>(
      {
          {"off with its required field", off, true, false, nullptr, {}},
          {"off without its required field", off, false, false, kNotSet, {kMachineName, "disk"}},
          {"on with a forbidden field", on, true, false, kSet, {kMachineName, "disk"}},
          {"on with an allowed field", on, false, true, nullptr, {}},
          {"on without the allowed field", on, false, false, nullptr, {}},
          {"suspended with an allowed field", suspended, false, true, nullptr, {}},
          {"off with a field allowed only for other states",
           off,
           true,
           true,
           kSet,
           {kMachineName, "note"}},
          {"two failures: the first check wins", off, false, true, kNotSet, {kMachineName, "disk"}},
          {"unknown tag", unknown, false, false, kMissingTag, {"state"}},
          {"unknown tag with fields set", unknown, true, true, kMissingTag, {"state"}},
          {"tag text outside the enumeration", other, false, false, kMissingTag, {"state"}},
          {"tag text outside the enumeration with a field",
           other,
           true,
           false,
           kMissingTag,
           {"state"}},
      },
      &TestSvc::Machine::state, &TestSvc::Machine::disk);
}

TEST(Validator, UnionWithTheFieldChecksFirst) {
  const PowerState on(PowerState::ON), off(PowerState::OFF);
  const PowerState unknown;
  const PowerState other = EnumOf<PowerState>("HIBERNATE");
  RunUnionCases<TestSvc::Backing>(
      {
          {"off with its required field", off, true, false, nullptr, {}},
          {"off without its required field",
           off,
           false,
           false,
           kNotSet,
           {kBackingName, "deviceName"}},
          {"on with a forbidden field", on, true, false, kSet, {kBackingName, "deviceName"}},
          {"on with an allowed field", on, false, true, nullptr, {}},
          // With the field checks first, an unknown tag forbids every field before the missing
          // tag is looked at.
          {"unknown tag with a field", unknown, true, false, kSet, {kBackingName, "deviceName"}},
          {"unknown tag with the other field", unknown, false, true, kSet, {kBackingName, "note"}},
          {"unknown tag with both fields", unknown, true, true, kSet, {kBackingName, "deviceName"}},
          {"unknown tag alone", unknown, false, false, kMissingTag, {"mode"}},
          {"tag text outside the enumeration with a field",
           other,
           false,
           true,
           kSet,
           {kBackingName, "note"}},
          {"tag text outside the enumeration alone", other, false, false, kMissingTag, {"mode"}},
      },
      &TestSvc::Backing::mode, &TestSvc::Backing::deviceName);
}

TEST(Validator, UnionRulesApplyToNestedRecords) {
  auto machine = std::make_shared<TestSvc::Machine>();
  machine->state = PowerState(PowerState::ON);
  machine->disk = std::string("d");
  TestSvc::DoMethod::Input input;
  input.spec = MakeLeaf("s", 1);
  input.machines = {machine};
  MessageList messages;
  EXPECT_FALSE(Validator::isValid(input, Validator::kIgnoreUndeclared, messages));
  EXPECT_EQ(Ids(messages), (std::vector<std::string>{"tarn.invoke.invalid.input", kSet}));
}

// ---- nested records ----

TEST(Validator, NestedRecords) {
  auto bad = std::make_shared<TestSvc::Leaf>();
  bad->unknownFields = UnknownFields({{"x", Int(1)}});
  struct Case {
    const char* what;
    std::function<void(TestSvc::Everything&)> change;
    bool valid;
    std::size_t messages;
  };
  const Case cases[] = {
      {"all present", [](TestSvc::Everything&) {}, true, 0},
      {"null required record", [](TestSvc::Everything& e) { e.leaf = nullptr; }, false, 0},
      {"invalid required record", [&](TestSvc::Everything& e) { e.leaf = bad; }, false, 1},
      {"unset optional record", [](TestSvc::Everything& e) { e.optLeaf = nullptr; }, true, 0},
      {"valid optional record", [](TestSvc::Everything& e) { e.optLeaf = MakeLeaf("o", 2); }, true,
       0},
      {"invalid optional record", [&](TestSvc::Everything& e) { e.optLeaf = bad; }, false, 1},
      {"valid list elements",
       [](TestSvc::Everything& e) {
         e.leaves = {MakeLeaf("a", 1), MakeLeaf("b", 2)};
       },
       true, 0},
      {"null list element",
       [](TestSvc::Everything& e) {
         e.leaves = {MakeLeaf("a", 1), nullptr};
       },
       false, 0},
      {"invalid list element",
       [&](TestSvc::Everything& e) {
         e.leaves = {MakeLeaf("a", 1), bad};
       },
       false, 1},
      {"the first nesting failure ends the check",
       [&](TestSvc::Everything& e) {
         e.optLeaf = bad;
         e.leaves = {bad, bad};
       },
       false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto record = ValidEverything();
    c.change(*record);
    MessageList messages;
    EXPECT_EQ(Validator::isValid(*record, Validator::kRejectUndeclared, messages), c.valid);
    EXPECT_EQ(messages.size(), c.messages);
    // Only an input record adds the summary message.
    for (auto& m : messages) EXPECT_NE(m.id, "tarn.invoke.invalid.input");
  }
}

// ---- input records ----

TEST(Validator, InvalidInputRecordsStartWithTheSummaryMessage) {
  const Args operation{"::KovTest::TestSvc::Do"};
  auto validInput = [] {
    TestSvc::DoMethod::Input input;
    input.vm = "vm-1";
    input.spec = MakeLeaf("s", 1);
    return input;
  };

  {
    SCOPED_TRACE("undeclared field with a value");
    auto input = validInput();
    input.unknownFields = UnknownFields({{"extra", Int(1)}, {"unset", Unset()}});
    MessageList messages;
    EXPECT_FALSE(Validator::isValid(input, Validator::kRejectUndeclared, messages));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
    EXPECT_EQ(messages[0].args, operation);
    EXPECT_EQ(messages[1].id, "tarn.data.compound.field.extra");
    EXPECT_EQ(messages[1].args, (Args{"::KovTest::TestSvc::DoMethod::Input", "extra", ""}));
  }
  {
    SCOPED_TRACE("undeclared field that is an unset optional");
    auto input = validInput();
    input.unknownFields = UnknownFields({{"unset", Unset()}});
    MessageList messages;
    EXPECT_TRUE(Validator::isValid(input, Validator::kRejectUndeclared, messages));
    EXPECT_TRUE(messages.empty());
  }
  {
    SCOPED_TRACE("null required record");
    auto input = validInput();
    input.spec = nullptr;
    MessageList messages{::Tarn::BaseMessage{"earlier", "", {}}};
    EXPECT_FALSE(Validator::isValid(input, Validator::kRejectUndeclared, messages));
    ASSERT_EQ(messages.size(), 2u);
    // Put in front of everything already in the list.
    EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
    EXPECT_EQ(messages[0].args, operation);
    EXPECT_EQ(messages[1].id, "earlier");
  }
  {
    SCOPED_TRACE("invalid optional record");
    auto input = validInput();
    auto machine = std::make_shared<TestSvc::Machine>();
    machine->state = PowerState(PowerState::OFF);
    input.machine = machine;
    MessageList messages;
    EXPECT_FALSE(Validator::isValid(input, Validator::kIgnoreUndeclared, messages));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
    EXPECT_EQ(messages[1].id, kNotSet);
    EXPECT_EQ(messages[1].args, (Args{kMachineName, "disk"}));
  }
  {
    SCOPED_TRACE("null list element");
    auto input = validInput();
    input.machines = {nullptr};
    MessageList messages;
    EXPECT_FALSE(Validator::isValid(input, Validator::kRejectUndeclared, messages));
    EXPECT_EQ(Ids(messages), std::vector<std::string>{"tarn.invoke.invalid.input"});
  }
  {
    SCOPED_TRACE("valid input");
    auto input = validInput();
    input.unknownFields = UnknownFields({{"extra", Int(1)}});
    MessageList messages;
    EXPECT_TRUE(Validator::isValid(input, Validator::kIgnoreUndeclared, messages));
    EXPECT_TRUE(messages.empty());
  }
}

TEST(Validator, DeepChainIsCheckedWithoutRecursion) {
  constexpr int kDepth = 10000;
  bool done = false;
  std::thread worker([&] {
    auto bottom = std::make_shared<TestSvc::Chain>();
    bottom->unknownFields = UnknownFields({{"extra", Int(1)}});
    std::shared_ptr<TestSvc::Chain> head = bottom;
    for (int i = 1; i < kDepth; ++i) {
      auto node = std::make_shared<TestSvc::Chain>();
      node->next = std::move(head);
      head = std::move(node);
    }
    bottom.reset();
    MessageList messages;
    EXPECT_FALSE(Validator::isValid(*head, Validator::kRejectUndeclared, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].args, (Args{"::KovTest::TestSvc::Chain", "extra", ""}));
    messages.clear();
    EXPECT_TRUE(Validator::isValid(*head, Validator::kIgnoreUndeclared, messages));
    ReleaseChain(std::move(head));
    done = true;
  });
  worker.join();
  EXPECT_TRUE(done);
}

TEST(Validator, ValidationOnlyReadsTheRecord) {
  auto record = ValidEverything();
  record->unknownFields = UnknownFields({{"x", Int(1)}});
  MessageList messages;
  Validator::isValid(*record, Validator::kRejectUndeclared, messages);
  ASSERT_TRUE(record->unknownFields);
  EXPECT_EQ(record->unknownFields->fields().size(), 1u);
  ASSERT_TRUE(record->leaf);
}

}  // namespace
}  // namespace KovTest
