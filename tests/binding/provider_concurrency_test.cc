// Many threads through one binding at once: every call answered exactly once, with its own
// answer. These run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "binding/provider.h"
#include "binding/stub.h"
#include "runtime/activation.h"
#include "runtime/local_provider.h"
#include "tests/binding/cpus_test_util.h"

namespace KovTest {
namespace {

constexpr int kThreads = 8;

// Every fifth call fails with "not found"; the others answer a record whose count is the call's
// number, so that an answer that reached the wrong caller is seen.
bool FailsFor(std::int64_t index) { return index % 5 == 0; }

void AnswerGet(std::int64_t index, const GetResult& result) {
  if (FailsFor(index)) {
    result.error(Errors::NotFound::Create());
    return;
  }
  auto info = std::make_shared<CpusSvc::Info>();
  info->count = index;
  info->coresPerSocket = 1;
  result(info);
}

// A fake whose "get" answers at once on the invoking thread, as AnswerGet says.
std::shared_ptr<FakeCpus> Answering() {
  auto impl = std::make_shared<FakeCpus>();
  impl->onGet = [](const std::string& vm, const GetResult& result) {
    AnswerGet(std::stoll(vm), result);
  };
  return impl;
}
int Calls(FakeCpus& impl) { return static_cast<int>(impl.gets.size() + impl.updates.size()); }

// Calls that were not answered exactly once.
int NotOnce(const std::vector<std::atomic<int>>& answered) {
  int n = 0;
  for (auto& a : answered) n += a.load() != 1;
  return n;
}

// Counts per call how often the runtime's callback ran, and whether the answer was the call's.
struct Tally {
  explicit Tally(std::size_t n) : answered(n) {}

  AsyncApiResultCb For(std::int64_t index) {
    return AsyncApiResultCb([this, index](const MethodResultPtr& r, const Progress& p,
                                          AsyncApiResultCb::Continuation&&) {
      answered[static_cast<std::size_t>(index)].fetch_add(1);
      if (!r || !(p == Progress{0, 1, 1}) || !Matches(index, *r)) wrong.fetch_add(1);
    });
  }

  static bool Matches(std::int64_t index, const Tarn::Core::MethodResult& r) {
    if (FailsFor(index)) {
      return r.error() && r.error()->name() == Errors::NotFound::typeName && !r.output();
    }
    auto value = Tarn::Data::NarrowDataTypeInt<StructValue>(r.output());
    if (!r.success() || !value) return false;
    auto count = Tarn::Data::NarrowDataTypeInt<IntegerValue>(value->fields().at("count"));
    return count && count->value() == index;
  }

  std::vector<std::atomic<int>> answered;
  std::atomic<int> wrong{0};
};

template <class Body>
void RunThreads(int threads, Body body) {
  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(threads));
  for (int t = 0; t < threads; ++t) pool.emplace_back(body, t);
  for (auto& th : pool) th.join();
}

TEST(ProviderConcurrency, OneMethodObjectFromEightThreads) {
  constexpr int kCalls = 10000;
  auto impl = Answering();
  auto iface = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  Tarn::Provider::AsyncApiMethodPtr get = iface->methods().at(0);
  Tally tally(kThreads * kCalls);

  RunThreads(kThreads, [&](int t) {
    for (int i = 0; i < kCalls; ++i) {
      const std::int64_t index = std::int64_t{t} * kCalls + i;
      get->Invoke(GetInput(std::to_string(index)), AsyncActivation::GetInstance(),
                  tally.For(index));
    }
  });

  EXPECT_EQ(Calls(*impl), kThreads * kCalls);
  EXPECT_EQ(NotOnce(tally.answered), 0);
  EXPECT_EQ(tally.wrong.load(), 0);
  EXPECT_EQ(impl->BadResources(), 0);
}

// The implementation answers later, on other threads, while the invoking threads go on.
TEST(ProviderConcurrency, AnswersFromOtherThreads) {
  constexpr int kCalls = 2000;
  constexpr int kAnswerers = 3;
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<std::pair<std::int64_t, GetResult>> pending;
  bool done = false;

  auto impl = Answering();
  impl->onGet = [&](const std::string& vm, const GetResult& result) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      pending.emplace_back(std::stoll(vm), result);
    }
    ready.notify_one();
  };
  std::weak_ptr<const Tarn::Provider::AsyncApiMethod> watch;
  Tally tally(kThreads * kCalls);
  std::vector<std::thread> answerers;
  for (int a = 0; a < kAnswerers; ++a) {
    answerers.emplace_back([&] {
      for (;;) {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [&] { return done || !pending.empty(); });
        if (pending.empty()) return;
        auto item = std::move(pending.front());
        pending.pop_front();
        lock.unlock();
        AnswerGet(item.first, item.second);
      }
    });
  }
  {
    auto iface = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
    auto get = iface->methods().at(0);
    watch = get;
    RunThreads(kThreads, [&](int t) {
      for (int i = 0; i < kCalls; ++i) {
        const std::int64_t index = std::int64_t{t} * kCalls + i;
        get->Invoke(GetInput(std::to_string(index)), AsyncActivation::GetInstance(),
                    tally.For(index));
      }
    });
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  ready.notify_all();
  for (auto& th : answerers) th.join();

  EXPECT_EQ(NotOnce(tally.answered), 0);
  EXPECT_EQ(tally.wrong.load(), 0);
  EXPECT_EQ(impl->BadResources(), 0);
  EXPECT_TRUE(watch.expired());  // the last answer released the method object
}

// One stub shared by several threads, through one local provider.
TEST(ProviderConcurrency, StubsFromSeveralThreadsThroughOneLocalProvider) {
  constexpr int kCalls = 1500;
  auto impl = Answering();
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  ASSERT_TRUE(provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(impl), messages));
  auto apiStub = Tarn::Stub::AsyncApiStub::GetInstance(provider);
  CpusSvc::AsyncServiceStub shared(apiStub);

  std::vector<std::atomic<int>> answered(kThreads * kCalls);
  std::atomic<int> wrong{0};
  RunThreads(kThreads, [&](int t) {
    CpusSvc::AsyncServiceStub own(apiStub);
    for (int i = 0; i < kCalls; ++i) {
      const std::int64_t index = std::int64_t{t} * kCalls + i;
      auto& slot = answered[static_cast<std::size_t>(index)];
      CpusSvc::AsyncServiceStub& stub = (i % 2 == 0) ? shared : own;
      if (i % 3 == 0) {
        auto spec = std::make_shared<CpusSvc::UpdateSpec>();
        spec->count = index;
        stub.Update("vm", spec, nullptr,
                    UpdateResult([&slot, &wrong](const boost::optional<Tarn::Void>& r,
                                                 const ErrorValuePtr& e, const Progress&) {
                      slot.fetch_add(1);
                      if (!r || e) wrong.fetch_add(1);
                    }));
      } else {
        stub.Get(std::to_string(index), nullptr,
                 GetResult([&slot, &wrong, index](const boost::optional<InfoPtr>& r,
                                                  const ErrorValuePtr& e, const Progress&) {
                   slot.fetch_add(1);
                   bool ok = FailsFor(index) ? (!r && e && e->name() == Errors::NotFound::typeName)
                                             : (r && *r && !e && (*r)->count == index);
                   if (!ok) wrong.fetch_add(1);
                 }));
      }
    }
  });

  EXPECT_EQ(NotOnce(answered), 0);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(Calls(*impl), kThreads * kCalls);
  EXPECT_EQ(impl->BadResources(), 0);
}

// Binding touches no shared state: many bindings of one implementation at once.
TEST(ProviderConcurrency, BindingFromSeveralThreads) {
  constexpr int kBinds = 200;
  auto impl = Answering();
  Tally tally(kThreads * kBinds);
  RunThreads(kThreads, [&](int t) {
    for (int i = 0; i < kBinds; ++i) {
      const std::int64_t index = std::int64_t{t} * kBinds + i;
      auto iface = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
      iface->methods().at(0)->Invoke(GetInput(std::to_string(index)),
                                     AsyncActivation::GetInstance(), tally.For(index));
    }
  });
  EXPECT_EQ(NotOnce(tally.answered), 0);
  EXPECT_EQ(tally.wrong.load(), 0);
  EXPECT_EQ(impl.use_count(), 1);  // every binding released its hold
}

}  // namespace
}  // namespace KovTest
