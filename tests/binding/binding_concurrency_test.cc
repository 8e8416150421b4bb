// Conversions, definition building and validation of distinct records from several threads at
// once. Run under ThreadSanitizer, which reports any data race between them.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "binding/definition_adapter.h"
#include "binding/validator.h"
#include "binding/value_adapter.h"
#include "tests/binding/binding_test_util.h"
#include "tests/binding/test_records.h"

namespace KovTest {
namespace {

using Color = TestSvc::Color;
using ::Tarn::Data::Validator;

std::shared_ptr<TestSvc::Everything> RecordFor(int thread, int round) {
  auto e = std::make_shared<TestSvc::Everything>();
  e->count = thread * 1000 + round;
  e->label = "thread " + std::to_string(thread);
  e->color = EnumOf<Color>(round % 2 ? "GREEN" : "SHADE" + std::to_string(thread));
  e->optCount = round;
  e->leaf = MakeLeaf("leaf", thread);
  e->optLeaf = MakeLeaf("opt", round);
  e->leaves = {MakeLeaf("a", 1), MakeLeaf("b", 2)};
  e->tags = {"t" + std::to_string(thread), "shared"};
  e->colors = {Color(Color::RED), EnumOf<Color>("X" + std::to_string(round))};
  e->unknownFields = ::Tarn::Data::StructValue::GetInstance("unknownFields");
  e->unknownFields->SetField("extra", Int(thread));
  return e;
}

TEST(BindingConcurrency, DistinctRecordsFromEightThreads) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 100;

  // One value read by every thread at once: reading a value into distinct records must not
  // write to it.
  MessageList setup;
  const DataValuePtr shared = ToValue(*RecordFor(99, 1), setup);
  ASSERT_TRUE(setup.empty());
  // And one definition shared by every thread, to check values against.
  const auto sharedDefinition =
      ::Tarn::Data::NativeToDefinitionAdapter::Adapt<TestSvc::Everything>();

  std::atomic<bool> go{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        auto record = RecordFor(t, round);
        MessageList messages;
        bool ok = false;
        DataValuePtr value = ToValue(*record, messages, &ok);
        TestSvc::Everything back;
        ok = ok && ToNative(value, back, messages);
        ok = ok && back.count == record->count && back.colors == record->colors &&
             back.tags == record->tags && back.leaves.size() == 2;

        TestSvc::Everything fromShared;
        ok = ok && ToNative(shared, fromShared, messages) && fromShared.count == 99001;

        auto definition = ::Tarn::Data::NativeToDefinitionAdapter::Adapt<TestSvc::Everything>();
        ok = ok && definition && definition->Validate(value, messages) &&
             sharedDefinition->Validate(value, messages);
        auto chain = ::Tarn::Data::NativeToDefinitionAdapter::Adapt<TestSvc::Chain>();
        ok = ok && chain;

        // The record carries an undeclared field: invalid with policy 1, valid otherwise.
        MessageList validation;
        ok = ok && !Validator::isValid(back, Validator::kRejectUndeclared, validation) &&
             validation.size() == 1 &&
             Validator::isValid(back, Validator::kIgnoreUndeclared, messages);
        ok = ok && messages.empty();
        if (!ok) failures.fetch_add(1);
      }
    });
  }
  go.store(true);
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(BindingConcurrency, FailingConversionsFromEightThreads) {
  constexpr int kThreads = 8;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 100; ++round) {
        MessageList messages;
        TestSvc::Everything record;
        const bool converted = ToNative(
            Struct(TestSvc::Everything::typeName,
                   With(EverythingFields(), "tags", Strings({"d" + std::to_string(t), "x", "x"}))),
            record, messages);
        TestSvc::Everything empty;  // its required record is null
        bool ok = true;
        ToValue(empty, messages, &ok);
        if (converted || ok || messages.size() != 2 ||
            messages[0].id != "tarn.data.duplicate.set.element" || messages[0].args[0] != "x") {
          failures.fetch_add(1);
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace KovTest
