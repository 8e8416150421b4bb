// Targets and helpers shared by the transport's tests: a server on loopback port 0 with a client
// connected to it, targets that echo, hold or count calls, and a way to wait for one answer.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "remote/client.h"
#include "remote/server.h"
#include "runtime/std_errors.h"

namespace Tarn {
namespace Remote {
namespace Testing {

using Core::AsyncApiResultCb;
using Core::MethodResult;
using Core::MethodResultPtr;
using Data::DataValuePtr;

inline std::shared_ptr<const Core::MethodIdentifier> Method(const std::string& iface,
                                                            const std::string& method) {
  return Core::MethodIdentifier::GetInstance(Core::InterfaceIdentifier::GetInstance(iface), method);
}

// Answers every call with its input as output, after the intermediate reports that the input
// asks for when it is a structure named "reports" with an integer field "count".
class EchoTarget final : public Core::InvocationTarget {
 public:
  void Invoke(const std::shared_ptr<const Core::MethodIdentifier>&, const DataValuePtr& input,
              const std::shared_ptr<Core::AsyncActivation>&,
              const AsyncApiResultCb& resultCb) override {
    auto reports = Data::NarrowDataTypeInt<Data::StructValue>(input);
    DataValuePtr count;
    MessageList ignored;
    std::int64_t n = 0;
    if (reports && reports->name() == "reports" && reports->GetField("count", count, ignored)) {
      count->Value(n, ignored);
    }
    for (std::int64_t i = 1; i <= n; ++i) resultCb(nullptr, Progress{0, n + 1, i});
    resultCb(std::make_shared<MethodResult>(input, nullptr), Progress{});
  }
};

// Keeps every call's callback until the test answers it.
class HoldingTarget final : public Core::InvocationTarget {
 public:
  void Invoke(const std::shared_ptr<const Core::MethodIdentifier>&, const DataValuePtr& input,
              const std::shared_ptr<Core::AsyncActivation>&,
              const AsyncApiResultCb& resultCb) override {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.push_back({input, resultCb});
    changed_.notify_all();
  }
  // Waits until `n` calls arrived; false after 10 s.
  bool WaitFor(std::size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return held_.size() >= n; });
  }
  std::size_t size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_.size();
  }
  // The input and callback of call `i`, in the order they arrived.
  std::pair<DataValuePtr, AsyncApiResultCb> at(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_.at(i);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<DataValuePtr, AsyncApiResultCb>> held_;
};

// Everything one call received: its answers in order.
struct Answers {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::pair<MethodResultPtr, Progress>> received;
  int finals = 0;

  AsyncApiResultCb Callback() {
    return [this](const MethodResultPtr& result, const Progress& progress,
                  AsyncApiResultCb::Continuation&&) {
      std::lock_guard<std::mutex> lock(mutex);
      received.emplace_back(result, progress);
      if (result) ++finals;
      changed.notify_all();
    };
  }
  // The final answer, waiting up to `limit` for it; null when none came.
  MethodResultPtr Final(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, limit, [&] { return finals > 0; });
    for (auto& r : received) {
      if (r.first) return r.first;
    }
    return nullptr;
  }
};

// The error's type and the text of its messages, for matching.
inline std::string ErrorText(const MethodResultPtr& result) {
  if (!result || !result->error()) return "(no error)";
  std::string text = result->error()->name();
  for (const auto& m : result->error()->Messages()) text += " | " + m.defaultMessage;
  return text;
}

inline std::unique_ptr<Server> StartServer(std::shared_ptr<Core::InvocationTarget> target,
                                           ServerOptions options = {}) {
  MessageList messages;
  auto server = Server::Start(std::move(target), options, messages);
  EXPECT_TRUE(server) << (messages.empty() ? "" : messages[0].defaultMessage);
  return server;
}

inline std::shared_ptr<Client> Connect(int port, ClientOptions options = {}) {
  options.address = "127.0.0.1:" + std::to_string(port);
  MessageList messages;
  auto client = Client::Create(options, messages);
  EXPECT_TRUE(client) << (messages.empty() ? "" : messages[0].defaultMessage);
  return client;
}

}  // namespace Testing
}  // namespace Remote
}  // namespace Tarn
