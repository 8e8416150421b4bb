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
const char* const kExtra = "tarn.data.compound.field.extra";
const char* const kSummary = "tarn.invoke.invalid.input";
const char* const kMissingTag = "tarn.data.union.missing.tag.field";
const char* const kNotSet = "tarn.data.union.invalid.case.state.isnotset.short";
const char* const kSet = "tarn.data.union.invalid.case.state.isset.short";

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
    EXPECT_EQ(messages[i].id, kExtra);
    EXPECT_EQ(messages[i].args, A("::KovTest::TestSvc::Everything", expected[i], ""));
  }

  // Every other policy ignores them.
  EXPECT_EQ(static_cast<int>(Validator::kRejectUndeclared), 1);
  for (auto policy : {Validator::kIgnoreUndeclared, static_cast<Validator::Policy>(7),
                      static_cast<Validator::Policy>(-1)}) {
    SCOPED_TRACE(static_cast<int>(policy));
    messages.clear();
    EXPECT_TRUE(Validator::isValid(*record, policy, messages));
    EXPECT_TRUE(messages.empty());
  }
}

TEST(Validator, UnsetOptionalOrNoUndeclaredFieldsAreTolerated) {
  auto record = ValidEverything();
  for (auto unknown : {UnknownFields({{"a", Unset()}, {"b", Unset()}}), UnknownFields({})}) {
    record->unknownFields = unknown;
    MessageList messages;
    EXPECT_TRUE(Validator::isValid(*record, Validator::kRejectUndeclared, messages));
    EXPECT_TRUE(messages.empty());
  }
}

TEST(Validator, UndeclaredFieldsOfNestedRecordsNameTheirOwnType) {
  auto leaf = std::make_shared<TestSvc::Leaf>();
  leaf->unknownFields = UnknownFields({{"x", Int(1)}, {"y", Int(2)}});
  auto record = ValidEverything();
  record->optLeaf = leaf;
  MessageList messages;
  EXPECT_FALSE(Validator::isValid(*record, Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args, A("::KovTest::TestSvc::Leaf", "x", ""));
  EXPECT_EQ(messages[1].args, A("::KovTest::TestSvc::Leaf", "y", ""));
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
      EXPECT_EQ(Validator::isValid(record, policy, messages), !c.id);
      if (!c.id) {
        EXPECT_TRUE(messages.empty()) << messages[0].id;
        continue;
      }
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].id, c.id);
      EXPECT_EQ(messages[0].args, c.args);
    }
  }
}

const PowerState kOn(PowerState::ON), kOff(PowerState::OFF), kSuspended(PowerState::SUSPENDED);
const PowerState kUnknown;

TEST(Validator, UnionWithTheMissingTagCheckFirst) {
  const PowerState other = EnumOf<PowerState>("HIBERNATE");
  const std::string& m = kMachineName;
  RunUnionCases<TestSvc::Machine>(
      {
          {"off with its required field", kOff, true, false, nullptr, A()},
          {"off without its required field", kOff, false, false, kNotSet, A(m, "disk")},
          {"on with a forbidden field", kOn, true, false, kSet, A(m, "disk")},
          {"on with an allowed field", kOn, false, true, nullptr, A()},
          {"on without the allowed field", kOn, false, false, nullptr, A()},
          {"suspended with an allowed field", kSuspended, false, true, nullptr, A()},
          {"off with a field allowed for other states", kOff, true, true, kSet, A(m, "note")},
          {"two failures: the first check wins", kOff, false, true, kNotSet, A(m, "disk")},
          {"unknown tag", kUnknown, false, false, kMissingTag, A("state")},
          {"unknown tag with fields set", kUnknown, true, true, kMissingTag, A("state")},
          {"tag text outside the enumeration", other, false, false, kMissingTag, A("state")},
          {"outside the enumeration with a field", other, true, false, kMissingTag, A("state")},
      },
      &TestSvc::Machine::state, &TestSvc::Machine::disk);
}

TEST(Validator, UnionWithTheFieldChecksFirst) {
  const PowerState other = EnumOf<PowerState>("HIBERNATE");
  const std::string& b = kBackingName;
  RunUnionCases<TestSvc::Backing>(
      {
          {"off with its required field", kOff, true, false, nullptr, A()},
          {"off without its required field", kOff, false, false, kNotSet, A(b, "deviceName")},
          {"on with a forbidden field", kOn, true, false, kSet, A(b, "deviceName")},
          {"on with an allowed field", kOn, false, true, nullptr, A()},
          // With the field checks first, an unknown tag forbids every field before the missing
          // tag is looked at.
          {"unknown tag with a field", kUnknown, true, false, kSet, A(b, "deviceName")},
          {"unknown tag with the other field", kUnknown, false, true, kSet, A(b, "note")},
          {"unknown tag with both fields", kUnknown, true, true, kSet, A(b, "deviceName")},
          {"unknown tag alone", kUnknown, false, false, kMissingTag, A("mode")},
          {"outside the enumeration with a field", other, false, true, kSet, A(b, "note")},
          {"outside the enumeration alone", other, false, false, kMissingTag, A("mode")},
      },
      &TestSvc::Backing::mode, &TestSvc::Backing::deviceName);
}

// ---- nested records ----

TEST(Validator, NestedRecords) {
  auto bad = std::make_shared<TestSvc::Leaf>();
  bad->unknownFields = UnknownFields({{"x", Int(1)}});
  using E = TestSvc::Everything;
  struct Case {
    const char* what;
    std::function<void(E&)> change;
    bool valid;
    std::size_t messages;
  };
  const Case cases[] = {
      {"all present", [](E&) {}, true, 0},
      {"null required record", [](E& e) { e.leaf = nullptr; }, false, 0},
      {"invalid required record", [&](E& e) { e.leaf = bad; }, false, 1},
      {"unset optional record", [](E& e) { e.optLeaf = nullptr; }, true, 0},
      {"valid optional record", [](E& e) { e.optLeaf = MakeLeaf("o", 2); }, true, 0},
      {"invalid optional record", [&](E& e) { e.optLeaf = bad; }, false, 1},
      {"valid list elements",
       [](E& e) {
         e.leaves = {MakeLeaf("a", 1), MakeLeaf("b", 2)};
       },
       true, 0},
      {"null list element",
       [](E& e) {
         e.leaves = {MakeLeaf("a", 1), nullptr};
       },
       false, 0},
      {"invalid list element",
       [&](E& e) {
         e.leaves = {MakeLeaf("a", 1), bad};
       },
       false, 1},
      {"an invalid list element before a null one",
       [&](E& e) {
         e.leaves = {bad, nullptr};
       },
       false, 1},
      {"an invalid optional record before a null list element",
       [&](E& e) {
         e.optLeaf = bad;
         e.leaves = {nullptr};
       },
       false, 1},
      {"the first nesting failure ends the check",
       [&](E& e) {
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
    for (auto& m : messages) EXPECT_NE(m.id, kSummary);
  }
}

// ---- input records ----

TEST(Validator, InvalidInputRecordsStartWithTheSummaryMessage) {
  using Input = TestSvc::DoMethod::Input;
  const Args operation{"::KovTest::TestSvc::Do"};
  auto offWithoutDisk = std::make_shared<TestSvc::Machine>();
  offWithoutDisk->state = kOff;
  auto onWithDisk = std::make_shared<TestSvc::Machine>();
  onWithDisk->state = kOn;
  onWithDisk->disk = std::string("d");
  struct Message {
    const char* id;
    Args args;
  };
  struct Case {
    const char* what;
    std::function<void(Input&)> change;
    Validator::Policy policy;
    std::vector<Message> expected;  // empty: valid
  };
  const auto reject = Validator::kRejectUndeclared, ignore = Validator::kIgnoreUndeclared;
  const Case cases[] = {
      {"undeclared field with a value",
       [](Input& i) {
         i.unknownFields = UnknownFields({{"extra", Int(1)}, {"unset", Unset()}});
       },
       reject,
       {{kSummary, operation}, {kExtra, A("::KovTest::TestSvc::DoMethod::Input", "extra", "")}}},
      {"undeclared field that is an unset optional",
       [](Input& i) {
         i.unknownFields = UnknownFields({{"unset", Unset()}});
       },
       reject,
       {}},
      {"undeclared field ignored",
       [](Input& i) {
         i.unknownFields = UnknownFields({{"x", Int(1)}});
       },
       ignore,
       {}},
      {"invalid optional record",
       [&](Input& i) { i.machine = offWithoutDisk; },
       ignore,
       {{kSummary, operation}, {kNotSet, A(kMachineName, "disk")}}},
      {"union rules apply to list elements",
       [&](Input& i) { i.machines = {onWithDisk}; },
       ignore,
       {{kSummary, operation}, {kSet, A(kMachineName, "disk")}}},
      {"null list element",
       [](Input& i) { i.machines = {nullptr}; },
       reject,
       {{kSummary, operation}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Input input;
    input.vm = "vm-1";
    input.spec = MakeLeaf("s", 1);
    c.change(input);
    MessageList messages;
    EXPECT_EQ(Validator::isValid(input, c.policy, messages), c.expected.empty());
    ASSERT_EQ(messages.size(), c.expected.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].id, c.expected[i].id);
      EXPECT_EQ(messages[i].args, c.expected[i].args);
    }
  }

  // The summary is put in front of everything already in the list.
  Input input;
  MessageList messages{::Tarn::BaseMessage{"earlier", "", {}}};
  EXPECT_FALSE(Validator::isValid(input, Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].id, kSummary);
  EXPECT_EQ(messages[0].args, operation);
  EXPECT_EQ(messages[1].id, "earlier");
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
    EXPECT_EQ(messages[0].args, A("::KovTest::TestSvc::Chain", "extra", ""));
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
