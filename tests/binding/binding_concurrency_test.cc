// Many threads through the bindings at once: every call answered exactly once with its own
// answer, on the invoking thread or later on another. These run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "binding/provider.h"
#include "binding/stub.h"
#include "runtime/local_provider.h"
#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

// Every fifth call fails with "not found"; the others answer a record whose count is the call's
// number, so that an answer that reached the wrong caller is seen.
void AnswerGet(std::int64_t index, const GetResult& result) {
  if (index % 5 == 0) return result.error(Errors::NotFound::Create());
  auto info = std::make_shared<CpusSvc::Info>();
  info->count = index;
  result(info);
}

// Whether a call was told its own answer: its record's count (-1: none) or "not found".
bool Right(std::int64_t index, std::int64_t count, const ErrorValuePtr& e) {
  return index % 5 == 0 ? count < 0 && e && e->name() == Errors::NotFound::typeName
                        : count == index && !e;
}

// Eight threads call through one shared method object, a fresh binding now and then, and stubs
// (shared and their own) of one local provider; even calls are answered later by three threads.
TEST(ProviderConcurrency, EveryCallAnsweredOnceWithItsOwnAnswer) {
  constexpr int kThreads = 8, kCalls = 2000;
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
  std::vector<std::thread> threads;
  for (int a = 0; a < 3; ++a) {
    threads.emplace_back([&] {
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
  std::vector<std::atomic<int>> answered(kThreads * kCalls);
  std::atomic<int> wrong{0};
  auto note = [&](std::int64_t index, bool right) {
    answered[static_cast<std::size_t>(index)].fetch_add(1);
    if (!right) wrong.fetch_add(1);
  };
  std::weak_ptr<const Tarn::Provider::AsyncApiMethod> watch;
  {
    auto get = CpusSvc::AsyncServiceBinder::BindImplementation(impl)->methods().at(0);
    watch = get;
    auto provider = Tarn::Core::LocalProvider::GetInstance();
    MessageList messages;
    ASSERT_TRUE(
        provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(impl), messages));
    auto apiStub = Tarn::Stub::AsyncApiStub::GetInstance(provider);
    CpusSvc::AsyncServiceStub shared(apiStub);
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
      callers.emplace_back([&, t] {
        CpusSvc::AsyncServiceStub own(apiStub);
        for (int i = 0; i < kCalls; ++i) {
          const std::int64_t index = std::int64_t{t} * kCalls + i;
          const std::string vm = std::to_string(index);
          if (i % 4 == 0) {
            auto method =
                i % 40 ? get : CpusSvc::AsyncServiceBinder::BindImplementation(impl)->methods()[0];
            method->Invoke(
                GetInput(vm), AsyncActivation::GetInstance(),
                AsyncApiResultCb([&note, index](const MethodResultPtr& r, const Progress& p,
                                                AsyncApiResultCb::Continuation&&) {
                  CpusSvc::Info info;
                  MessageList m;
                  const bool ok = r->success() && ToNative(r->output(), info, m);
                  note(index, p == kFinal && Right(index, ok ? info.count : -1, r->error()));
                }));
          } else if (i % 4 == 1) {
            auto spec = std::make_shared<CpusSvc::UpdateSpec>();
            spec->count = index;
            own.Update(vm, spec, nullptr,
                       UpdateResult([&note, index](const boost::optional<Tarn::Void>& r,
                                                   const ErrorValuePtr& e,
                                                   const Progress&) { note(index, r && !e); }));
          } else {
            (i % 4 == 2 ? shared : own)
                .Get(vm, nullptr,
                     GetResult([&note, index](const boost::optional<InfoPtr>& r,
                                              const ErrorValuePtr& e, const Progress&) {
                       note(index, Right(index, r && *r ? (*r)->count : -1, e));
                     }));
          }
        }
      });
    }
    for (auto& th : callers) th.join();
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  ready.notify_all();
  for (auto& th : threads) th.join();
  int notOnce = 0;
  for (auto& a : answered) notOnce += a.load() != 1;
  EXPECT_EQ(notOnce, 0);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(impl->gets.size() + impl->updates.size(), std::size_t{kThreads * kCalls});
  EXPECT_EQ(impl->badResources, 0);
  EXPECT_TRUE(watch.expired());    // the last answer released the method object
  EXPECT_EQ(impl.use_count(), 1);  // every binding released its hold
}

}  // namespace
}  // namespace KovTest
