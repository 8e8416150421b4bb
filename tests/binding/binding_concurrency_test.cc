// Many threads through the bindings at once: every call answered exactly once with its own
// answer, whether it is answered on the invoking thread or later on another, and conversions of
// distinct records side by side. These run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "binding/definition_adapter.h"
#include "binding/provider.h"
#include "binding/stub.h"
#include "binding/validator.h"
#include "runtime/local_provider.h"
#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

constexpr int kThreads = 8;

// Every fifth call fails with "not found"; the others answer a record whose count is the call's
// number, so that an answer that reached the wrong caller is seen.
bool FailsFor(std::int64_t index) { return index % 5 == 0; }
void AnswerGet(std::int64_t index, const GetResult& result) {
  if (FailsFor(index)) return result.error(Errors::NotFound::Create());
  auto info = std::make_shared<CpusSvc::Info>();
  info->count = index;
  result(info);
}
bool Matches(std::int64_t index, const boost::optional<InfoPtr>& r, const ErrorValuePtr& e) {
  return FailsFor(index) ? (!r && e && e->name() == Errors::NotFound::typeName)
                         : (r && *r && !e && (*r)->count == index);
}

template <class Body>
void RunThreads(Body body) {
  std::vector<std::thread> pool;
  for (int t = 0; t < kThreads; ++t) pool.emplace_back(body, t);
  for (auto& th : pool) th.join();
}

struct Tally {
  explicit Tally(std::size_t n) : answered(n) {}
  void Note(std::int64_t index, bool right) {
    answered[static_cast<std::size_t>(index)].fetch_add(1);
    if (!right) wrong.fetch_add(1);
  }
  int NotOnce() const {
    int n = 0;
    for (auto& a : answered) n += a.load() != 1;
    return n;
  }
  std::vector<std::atomic<int>> answered;
  std::atomic<int> wrong{0};
};

// One method object shared by eight threads, and now and then a binding of a thread's own; odd
// calls are answered at once, even ones later by answering threads while the callers go on.
TEST(ProviderConcurrency, EveryCallAnsweredOnceFromEightThreads) {
  constexpr int kCalls = 2000;
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<std::pair<std::int64_t, GetResult>> pending;
  bool done = false;
  auto impl = std::make_shared<FakeCpus>();
  impl->onGet = [&](const std::string& vm, const GetResult& result) {
    const std::int64_t index = std::stoll(vm);
    if (index % 2) return AnswerGet(index, result);
    std::lock_guard<std::mutex> lock(mutex);
    pending.emplace_back(index, result);
    ready.notify_one();
  };
  std::vector<std::thread> answerers;
  for (int a = 0; a < 3; ++a) {
    answerers.emplace_back([&] {
      for (std::unique_lock<std::mutex> lock(mutex);;) {
        ready.wait(lock, [&] { return done || !pending.empty(); });
        if (pending.empty()) return;
        auto item = std::move(pending.front());
        pending.pop_front();
        lock.unlock();
        AnswerGet(item.first, item.second);
        lock.lock();
      }
    });
  }
  Tally tally(kThreads * kCalls);
  std::weak_ptr<const Tarn::Provider::AsyncApiMethod> watch;
  {
    auto get = CpusSvc::AsyncServiceBinder::BindImplementation(impl)->methods().at(0);
    watch = get;
    RunThreads([&](int t) {
      for (int i = 0; i < kCalls; ++i) {
        const std::int64_t index = std::int64_t{t} * kCalls + i;
        auto method =
            i % 50 ? get : CpusSvc::AsyncServiceBinder::BindImplementation(impl)->methods().at(0);
        method->Invoke(
            GetInput(std::to_string(index)), AsyncActivation::GetInstance(),
            AsyncApiResultCb([&tally, index](const MethodResultPtr& r, const Progress& p,
                                             AsyncApiResultCb::Continuation&&) {
              auto v = r && r->success()
                           ? Tarn::Data::NarrowDataTypeInt<Tarn::Data::StructValue>(r->output())
                           : nullptr;
              auto count = v ? Tarn::Data::NarrowDataTypeInt<Tarn::Data::IntegerValue>(
                                   v->fields().at("count"))
                             : nullptr;
              bool right =
                  r && p == kFinal &&
                  (FailsFor(index) ? r->error() && r->error()->name() == Errors::NotFound::typeName
                                   : count && count->value() == index);
              tally.Note(index, right);
            }));
      }
    });
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  ready.notify_all();
  for (auto& th : answerers) th.join();
  EXPECT_EQ(tally.NotOnce(), 0);
  EXPECT_EQ(tally.wrong.load(), 0);
  EXPECT_EQ(impl->gets.size(), std::size_t{kThreads * kCalls});
  EXPECT_EQ(impl->badResources, 0);
  EXPECT_TRUE(watch.expired());    // the last answer released the method object
  EXPECT_EQ(impl.use_count(), 1);  // every binding released its hold
}

// Stubs shared by several threads and stubs of each thread's own, through one local provider.
TEST(ProviderConcurrency, StubsFromSeveralThreadsThroughOneLocalProvider) {
  constexpr int kCalls = 1500;
  auto impl = std::make_shared<FakeCpus>();
  impl->onGet = [](const std::string& vm, const GetResult& result) {
    AnswerGet(std::stoll(vm), result);
  };
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  MessageList messages;
  ASSERT_TRUE(provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(impl), messages));
  auto apiStub = Tarn::Stub::AsyncApiStub::GetInstance(provider);
  CpusSvc::AsyncServiceStub shared(apiStub);
  Tally tally(kThreads * kCalls);
  RunThreads([&](int t) {
    CpusSvc::AsyncServiceStub own(apiStub);
    for (int i = 0; i < kCalls; ++i) {
      const std::int64_t index = std::int64_t{t} * kCalls + i;
      CpusSvc::AsyncServiceStub& stub = (i % 2 == 0) ? shared : own;
      if (i % 3 == 0) {
        auto spec = std::make_shared<CpusSvc::UpdateSpec>();
        spec->count = index;
        stub.Update(std::to_string(index), spec, nullptr,
                    UpdateResult([&tally, index](const boost::optional<Tarn::Void>& r,
                                                 const ErrorValuePtr& e,
                                                 const Progress&) { tally.Note(index, r && !e); }));
      } else {
        stub.Get(std::to_string(index), nullptr,
                 GetResult([&tally, index](const boost::optional<InfoPtr>& r,
                                           const ErrorValuePtr& e, const Progress&) {
                   tally.Note(index, Matches(index, r, e));
                 }));
      }
    }
  });
  EXPECT_EQ(tally.NotOnce(), 0);
  EXPECT_EQ(tally.wrong.load(), 0);
  EXPECT_EQ(impl->gets.size() + impl->updates.size(), std::size_t{kThreads * kCalls});
  EXPECT_EQ(impl->badResources, 0);
}

// Conversions, definition building and validation of distinct records, succeeding and failing,
// while every thread also reads one shared value against one shared definition.
TEST(BindingConcurrency, DistinctRecordsFromEightThreads) {
  using ::Tarn::Data::Validator;
  namespace N2D = ::Tarn::Data::NativeToDefinitionAdapter;
  using ListInput = CdromSvc::ListMethod::Input;
  auto recordFor = [](int thread, int round) {
    auto filter = std::make_shared<CdromSvc::FilterSpec>();
    filter->cdroms = std::set<std::string>{"t" + std::to_string(thread), "shared"};
    filter->backingTypes =
        std::set<Backing>{Backing(Backing::RAW), EnumOf<Backing>("X" + std::to_string(round))};
    filter->unknownFields = Struct("unknownFields", {{"extra", Int(thread)}});
    auto input = std::make_shared<ListInput>();
    input->vm = "web-" + std::to_string(thread * 1000 + round);
    input->filter = filter;
    return input;
  };
  const DataValuePtr shared = ValueOf(*recordFor(99, 1));
  const auto sharedDefinition = N2D::Adapt<ListInput>();
  std::atomic<int> failures{0};
  RunThreads([&](int t) {
    for (int round = 0; round < 100; ++round) {
      auto record = recordFor(t, round);
      MessageList messages;
      bool ok = false;
      DataValuePtr value = ToValue(*record, messages, &ok);
      ListInput back, fromShared;
      ok = ok && ToNative(value, back, messages) && back.vm == record->vm && back.filter &&
           back.filter->backingTypes == record->filter->backingTypes;
      ok = ok && ToNative(shared, fromShared, messages) && fromShared.vm == "web-99001";
      ok = ok && N2D::Adapt<ListInput>()->Validate(value, messages) &&
           sharedDefinition->Validate(value, messages);
      MessageList validation;  // the undeclared field: summary and one message under policy 1
      ok = ok && !Validator::isValid(back, Validator::kRejectUndeclared, validation) &&
           validation.size() == 2 &&
           Validator::isValid(back, Validator::kIgnoreUndeclared, messages);
      std::set<std::string> set;
      ok = ok && messages.empty() &&
           !ToNative(Texts({"d" + std::to_string(t), "x", "x"}), set, messages) &&
           messages.size() == 1 && messages[0].args == A("x");
      if (!ok) failures.fetch_add(1);
    }
  });
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace KovTest
