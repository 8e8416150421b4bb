// The client side of the transport: an invocation target that carries each call to a server over
// gRPC. Typed stubs work over it unchanged:
//   auto client = Tarn::Remote::Client::Create(options, messages);
//   CpusSvc::AsyncServiceStub cpus(Tarn::Stub::AsyncApiStub::GetInstance(client));
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "runtime/export.h"
#include "runtime/message.h"
#include "runtime/stub.h"

namespace Tarn {
namespace Remote {

struct ClientOptions {
  // Where the server listens, e.g. "127.0.0.1:50051" or "vmhost.example:443".
  std::string address;
  // TLS when set: the server's certificate must chain to a certificate in this PEM file. Empty:
  // plaintext.
  std::string caFile;
  // Sent as "authorization: Bearer <token>" with every call when not empty.
  std::string token;
  // How long one call may take, from the moment it is sent to its final answer.
  std::chrono::milliseconds deadline = std::chrono::seconds(30);
  // The largest message sent or received.
  std::size_t maxMessageSize = 16u << 20;
};

class KOV_EXPORT Client final : public Core::InvocationTarget {
 public:
  // A client for `options.address`. Connecting happens with the first call, so a server that is
  // not there yet is no failure here. Null, with a message, when the options cannot be used (an
  // empty address, a CA file that cannot be read).
  static std::shared_ptr<Client> Create(const ClientOptions& options, MessageList& messages);

  // Answers every call still waiting with "service_unavailable", once, and returns when gRPC has
  // let go of them (or after a few seconds at most).
  ~Client() override;

  // Sends the call. Answers arrive on gRPC's threads, in order: intermediate reports, then
  // exactly one final answer. Failures of the transport are final answers too:
  // "service_unavailable" naming the address and the cause, or "invalid_argument" for an input
  // that is larger than a message may be.
  void Invoke(const std::shared_ptr<const Core::MethodIdentifier>& methodId,
              const Data::DataValuePtr& input,
              const std::shared_ptr<Core::AsyncActivation>& activation,
              const Core::AsyncApiResultCb& resultCb) override;

  const std::string& address() const;

  struct State;

 private:
  explicit Client(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};

}  // namespace Remote
}  // namespace Tarn
