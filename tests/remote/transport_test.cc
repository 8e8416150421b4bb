// The transport between a client and a server on loopback: answers, reports and the ways a call
// can fail, each answered exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/remote/remote_test_util.h"

namespace Tarn {
namespace Remote {
namespace Testing {
namespace {

using namespace std::chrono_literals;
using Data::IntegerValue;
using Data::StringValue;
constexpr char kUnavailable[] = "com.brantel.tarn.std.errors.service_unavailable";
constexpr char kInvalidArgument[] = "com.brantel.tarn.std.errors.invalid_argument";

DataValuePtr Reports(std::int64_t count) {
  auto s = Data::StructValue::GetInstance("reports");
  s->SetField("count", IntegerValue::GetInstance(count));
  return s;
}

TEST(RemoteTransportTest, ReportsArriveInOrderThenOneFinalAnswer) {
  auto server = StartServer(std::make_shared<EchoTarget>());
  auto client = Connect(server->port());
  Answers answers;
  client->Invoke(Method("com.brantel.kov.vm.echo", "get"), Reports(3), nullptr, answers.Callback());
  auto final = answers.Final();
  ASSERT_TRUE(final && final->output()) << ErrorText(final);
  EXPECT_TRUE(final->output()->Equals(*Reports(3)));
  std::lock_guard<std::mutex> lock(answers.mutex);
  ASSERT_EQ(answers.received.size(), 4u);
  for (std::int64_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(answers.received[i].first);
    EXPECT_EQ(answers.received[i].second, (Progress{0, 4, i + 1}));
  }
  EXPECT_TRUE(answers.received[3].second.IsFinal());
}

TEST(RemoteTransportTest, TerminationMarkerAndErrorsCrossAsTheyAre) {
  auto holding = std::make_shared<HoldingTarget>();
  auto server = StartServer(holding);
  auto client = Connect(server->port());
  Answers ended, failed;
  client->Invoke(Method("com.brantel.kov.vm.power", "reset"), StringValue::GetInstance("web-1"),
                 nullptr, ended.Callback());
  client->Invoke(Method("com.brantel.kov.vm.power", "reset"), StringValue::GetInstance("web-2"),
                 nullptr, failed.Callback());
  ASSERT_TRUE(holding->WaitFor(2));
  auto error = Com::Brantel::Tarn::Std::Errors::NotFound::Create(
      {MakeMessage("kov.sim.vm.unknown", "No machine '{}'.", std::string("web-2"))});
  for (std::size_t i = 0; i < 2; ++i) {
    auto call = holding->at(i);
    const bool first = call.first->Equals(*StringValue::GetInstance("web-1"));
    call.second(first ? MethodResult::GetTerminationInstance()
                      : std::make_shared<MethodResult>(nullptr, error),
                Progress{});
  }
  auto end = ended.Final();
  ASSERT_TRUE(end);
  EXPECT_FALSE(end->output());
  EXPECT_FALSE(end->error());
  auto fail = failed.Final();
  ASSERT_TRUE(fail && fail->error());
  EXPECT_TRUE(fail->error()->Equals(*error));
}

// A 10,000-deep value goes out as input and comes back as output.
TEST(RemoteTransportTest, DeepValueCrossesBothWays) {
  DataValuePtr deep = StringValue::GetInstance("zub-21");
  for (int i = 0; i < 10000; ++i) {
    auto s = Data::StructValue::GetInstance("level");
    s->SetField("inner", i % 2 ? Data::OptionalValue::GetInstance(deep) : deep);
    deep = s;
  }
  auto server = StartServer(std::make_shared<EchoTarget>());
  auto client = Connect(server->port());
  Answers answers;
  client->Invoke(Method("com.brantel.kov.vm.echo", "get"), deep, nullptr, answers.Callback());
  auto final = answers.Final();
  ASSERT_TRUE(final && final->output()) << ErrorText(final);
  EXPECT_TRUE(final->output()->Equals(*deep));
}

// Each failure of the transport is one final answer naming the address and the cause.
TEST(RemoteTransportTest, FailuresAreAnsweredOnceWithTheirCause) {
  auto holding = std::make_shared<HoldingTarget>();
  ServerOptions small;
  small.maxMessageSize = 4096;
  auto server = StartServer(holding, small);
  // A server that serves one call at a time, busy with one.
  auto busyTarget = std::make_shared<HoldingTarget>();
  ServerOptions one;
  one.maxConcurrentCalls = 1;
  auto busy = StartServer(busyTarget, one);
  auto first = Connect(busy->port());
  Answers firstAnswers;
  first->Invoke(Method("com.brantel.kov.vm.power", "get"), StringValue::GetInstance("web-1"),
                nullptr, firstAnswers.Callback());
  ASSERT_TRUE(busyTarget->WaitFor(1));
  int gone = 0;
  {
    auto stopped = StartServer(std::make_shared<EchoTarget>());
    gone = stopped->port();
  }
  ClientOptions shortDeadline;
  shortDeadline.deadline = 200ms;
  ClientOptions tinyMessages;
  tinyMessages.maxMessageSize = 64;
  const std::string big(8000, 'z');
  const struct {
    const char* what;
    int port;
    ClientOptions options;
    DataValuePtr input;
    const char* error;
    const char* cause;
  } cases[] = {
      {"nobody listens", gone, {}, StringValue::GetInstance("web-1"), kUnavailable, "unavailable"},
      {"deadline passes", server->port(), shortDeadline, StringValue::GetInstance("web-1"),
       kUnavailable, "deadline exceeded"},
      {"the server's limit",
       server->port(),
       {},
       StringValue::GetInstance(big),
       kInvalidArgument,
       "larger than max"},
      {"the client's limit", server->port(), tinyMessages, StringValue::GetInstance(big),
       kInvalidArgument, "more than the 64 bytes"},
      {"one call at a time",
       busy->port(),
       {},
       StringValue::GetInstance("web-2"),
       kUnavailable,
       "its limit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto client = Connect(c.port, c.options);
    Answers answers;
    const auto start = std::chrono::steady_clock::now();
    client->Invoke(Method("com.brantel.kov.vm.power", "get"), c.input, nullptr, answers.Callback());
    auto final = answers.Final();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    const std::string text = ErrorText(final);
    EXPECT_EQ(text.find(c.error), 0u) << text;
    EXPECT_NE(text.find(c.cause), std::string::npos) << text;
    if (c.port == server->port() || c.port == gone) {  // the client's own findings
      EXPECT_NE(text.find("127.0.0.1:" + std::to_string(c.port)), std::string::npos) << text;
    }
    client.reset();
    std::lock_guard<std::mutex> lock(answers.mutex);
    EXPECT_EQ(answers.received.size(), 1u);
  }
  // The busy server's call is still answered.
  busyTarget->at(0).second(MethodResult::GetTerminationInstance(), Progress{});
  ASSERT_TRUE(firstAnswers.Final());
}

TEST(RemoteTransportTest, DestroyingTheClientAnswersPendingCalls) {
  auto holding = std::make_shared<HoldingTarget>();
  auto server = StartServer(holding);
  auto client = Connect(server->port());
  Answers answers[5];
  for (auto& a : answers) {
    client->Invoke(Method("com.brantel.kov.vm.power", "get"), StringValue::GetInstance("web-1"),
                   nullptr, a.Callback());
  }
  ASSERT_TRUE(holding->WaitFor(5));
  client.reset();
  for (auto& a : answers) {
    std::lock_guard<std::mutex> lock(a.mutex);  // answered before the destructor returned
    ASSERT_EQ(a.received.size(), 1u);
    EXPECT_NE(ErrorText(a.received[0].first).find("the client was destroyed"), std::string::npos);
  }
  // The implementation answering later reaches nobody.
  holding->at(0).second(MethodResult::GetTerminationInstance(), Progress{});
}

TEST(RemoteTransportTest, StartIsRefusedWithAReason) {
  auto taken = StartServer(std::make_shared<EchoTarget>());
  ServerOptions sameAddress;
  sameAddress.address = "127.0.0.1:" + std::to_string(taken->port());
  ServerOptions certOnly;
  certOnly.certFile = "/nonexistent/server.pem";
  ServerOptions missingFiles = certOnly;
  missingFiles.keyFile = "/nonexistent/server.key";
  const struct {
    ServerOptions options;
    const char* id;
  } cases[] = {{sameAddress, "kov.remote.server.listen"},
               {certOnly, "kov.remote.server.tls"},
               {missingFiles, "kov.remote.server.file"}};
  for (const auto& c : cases) {
    MessageList messages;
    EXPECT_FALSE(Server::Start(std::make_shared<EchoTarget>(), c.options, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, c.id);
  }
  MessageList messages;
  ClientOptions noCa;
  noCa.address = "127.0.0.1:1";
  noCa.caFile = "/nonexistent/ca.pem";
  EXPECT_FALSE(Client::Create(noCa, messages));
  EXPECT_FALSE(Client::Create(ClientOptions{}, messages));
  EXPECT_EQ(messages.size(), 2u);
}

#if defined(__SANITIZE_THREAD__)
constexpr int kCallsPerThread = 100;
#else
constexpr int kCallsPerThread = 2000;
#endif

TEST(RemoteConcurrencyTest, EightThreadsOneClientEachCallAnsweredOnce) {
  auto server = StartServer(std::make_shared<EchoTarget>());
  auto client = Connect(server->port());
  constexpr int kThreads = 8;
  std::vector<std::atomic<int>> finals(kThreads * kCallsPerThread);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto method = Method("com.brantel.kov.vm.echo", "get");
      // A few calls in flight per thread, each waiting for a free place.
      std::mutex mutex;
      std::condition_variable freed;
      int inFlight = 0;
      for (int i = 0; i < kCallsPerThread; ++i) {
        const int id = t * kCallsPerThread + i;
        {
          std::unique_lock<std::mutex> lock(mutex);
          freed.wait(lock, [&] { return inFlight < 8; });
          ++inFlight;
        }
        client->Invoke(
            method, IntegerValue::GetInstance(id), nullptr,
            [&, id](const MethodResultPtr& r, const Progress&, AsyncApiResultCb::Continuation&&) {
              if (!r || !r->output() || !r->output()->Equals(*IntegerValue::GetInstance(id))) {
                ++wrong;
              }
              ++finals[id];
              std::lock_guard<std::mutex> lock(mutex);
              --inFlight;
              freed.notify_one();
            });
      }
      std::unique_lock<std::mutex> lock(mutex);
      freed.wait(lock, [&] { return inFlight == 0; });
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
  for (std::size_t i = 0; i < finals.size(); ++i) ASSERT_EQ(finals[i], 1) << "call " << i;
}

// Half of the calls are answered while the server drains, the rest when its time is up; the
// implementation's late answers reach nobody.
TEST(RemoteConcurrencyTest, ServerStoppedWithHundredCallsInFlight) {
  auto holding = std::make_shared<HoldingTarget>();
  auto server = StartServer(holding);
  ClientOptions options;
  options.deadline = 10s;
  auto client = Connect(server->port(), options);
  constexpr int kCalls = 100;
  std::vector<Answers> answers(kCalls);
  for (int i = 0; i < kCalls; ++i) {
    client->Invoke(Method("com.brantel.kov.vm.power", "get"), IntegerValue::GetInstance(i), nullptr,
                   answers[i].Callback());
  }
  ASSERT_TRUE(holding->WaitFor(kCalls));
  const auto start = std::chrono::steady_clock::now();
  auto answer = [&](bool even) {
    for (int i = 0; i < kCalls; ++i) {
      auto call = holding->at(i);
      std::int64_t n = 0;
      MessageList ignored;
      call.first->Value(n, ignored);
      if ((n % 2 == 0) == even) {
        call.second(std::make_shared<MethodResult>(call.first, nullptr), Progress{});
      }
    }
  };
  std::thread early([&] {
    std::this_thread::sleep_for(20ms);
    answer(true);
  });
  server->Shutdown(300ms);
  early.join();
  answer(false);
  int results = 0, unavailable = 0;
  for (int i = 0; i < kCalls; ++i) {
    auto final = answers[i].Final(5s);
    ASSERT_TRUE(final) << "call " << i;
    if (final->output()) {
      EXPECT_EQ(i % 2, 0);
      ++results;
    } else if (ErrorText(final).find("shut down before") != std::string::npos) {
      ++unavailable;
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, options.deadline);
  EXPECT_EQ(results, kCalls / 2);
  EXPECT_EQ(unavailable, kCalls / 2);
  client.reset();
  for (auto& a : answers) {
    std::lock_guard<std::mutex> lock(a.mutex);
    EXPECT_EQ(a.received.size(), 1u);
  }
}

}  // namespace
}  // namespace Testing
}  // namespace Remote
}  // namespace Tarn
