// Conversions, definition building and validation of distinct records from several threads at
// once, succeeding and failing. Run under ThreadSanitizer, which reports any data race between
// them.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "binding/definition_adapter.h"
#include "binding/validator.h"
#include "binding/value_adapter.h"
#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

using ::Tarn::Data::Validator;
namespace N2D = ::Tarn::Data::NativeToDefinitionAdapter;

std::shared_ptr<CdromSvc::ListMethod::Input> RecordFor(int thread, int round) {
  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->cdroms = std::set<std::string>{"t" + std::to_string(thread), "shared"};
  filter->backingTypes =
      std::set<Backing>{Backing(Backing::RAW), EnumOf<Backing>("X" + std::to_string(round))};
  filter->unknownFields = Struct("unknownFields", {{"extra", Int(thread)}});
  auto input = std::make_shared<CdromSvc::ListMethod::Input>();
  input->vm = "web-" + std::to_string(thread * 1000 + round);
  input->filter = filter;
  return input;
}

TEST(BindingConcurrency, DistinctRecordsFromEightThreads) {
  // One value read by every thread at once, and one definition shared by all: reading them into
  // distinct records must not write to them.
  MessageList setup;
  const DataValuePtr shared = ToValue(*RecordFor(99, 1), setup);
  ASSERT_TRUE(setup.empty());
  const auto sharedDefinition = N2D::Adapt<CdromSvc::ListMethod::Input>();
  std::atomic<bool> go{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < 100; ++round) {
        auto record = RecordFor(t, round);
        MessageList messages;
        bool ok = false;
        DataValuePtr value = ToValue(*record, messages, &ok);
        CdromSvc::ListMethod::Input back, fromShared;
        ok = ok && ToNative(value, back, messages) && back.vm == record->vm && back.filter &&
             back.filter->backingTypes == record->filter->backingTypes;
        ok = ok && ToNative(shared, fromShared, messages) && fromShared.vm == "web-99001";
        ok = ok && N2D::Adapt<CdromSvc::ListMethod::Input>()->Validate(value, messages) &&
             sharedDefinition->Validate(value, messages);
        // The record carries an undeclared field: invalid with policy 1, valid otherwise.
        MessageList validation;
        ok = ok && !Validator::isValid(back, Validator::kRejectUndeclared, validation) &&
             validation.size() == 2 &&
             Validator::isValid(back, Validator::kIgnoreUndeclared, messages);
        // A failing conversion and a null required record report one message each.
        std::set<std::string> set;
        DiskSvc::ListResult nulls;
        nulls.list = {nullptr};
        ok = ok && messages.empty() &&
             !ToNative(Texts({"d" + std::to_string(t), "x", "x"}), set, messages);
        bool converted = true;
        ToValue(nulls, messages, &converted);
        ok = ok && !converted && messages.size() == 2 &&
             messages[0].id == "tarn.data.duplicate.set.element" && messages[0].args[0] == "x";
        if (!ok) failures.fetch_add(1);
      }
    });
  }
  go.store(true);
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace KovTest
