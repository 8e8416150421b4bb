// The server side of the transport: serves any invocation target, normally a LocalProvider with
// bound implementations, to clients over gRPC.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/export.h"
#include "runtime/local_provider.h"
#include "runtime/message.h"
#include "runtime/stub.h"

namespace kov {
namespace remote {
namespace v1 {
class Call;
class Reply;
}  // namespace v1
}  // namespace remote
}  // namespace kov

namespace Tarn {
namespace Remote {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The SHA-256 digest of a token: what a token table holds instead of the token.
KOV_EXPORT Sha256Digest TokenDigest(const std::string& token);

// A digest written as 64 hexadecimal digits; false, with a message, for anything else.
KOV_EXPORT bool ParseTokenDigest(const std::string& hex, Sha256Digest& out, MessageList& messages);

enum class Role {
  kReader,    // may call only operations that only read
  kOperator,  // may call every operation
};

struct TokenEntry {
  Sha256Digest digest;
  Role role;
  std::string name;  // who holds the token, as a call log shows it
};

// What the server reports of one call when its final answer is ready to go out.
struct CallRecord {
  std::string peer;       // the client's address as gRPC gives it ("ipv4:127.0.0.1:50432")
  std::string tokenName;  // the name of the call's token entry; empty without tokens
  std::string interfaceName;
  std::string method;
  std::string error;                      // the name of the error answered; empty for a success
  std::chrono::microseconds duration{0};  // from the call's arrival to its final answer
};

// Whether an operation only reads, by interface and method name.
using ReadsOnlyFn =
    std::function<bool(const std::string& interfaceName, const std::string& method)>;

// Asks the provider's method objects: an operation reads only when its method object says so.
// Unknown interfaces and methods do not.
KOV_EXPORT ReadsOnlyFn ReadsOnlyOf(std::shared_ptr<const Core::LocalProvider> provider);

struct ServerOptions {
  // Where to listen. Port 0 picks a free port; `Server::port()` tells which.
  std::string address = "127.0.0.1:0";
  // TLS when both are set: PEM files of the server's certificate (chain) and private key.
  std::string certFile;
  std::string keyFile;
  // When not empty, every call must bring "authorization: Bearer <token>" with a token whose
  // digest is in the table; other calls are answered "unauthenticated".
  std::vector<TokenEntry> tokens;
  // Which operations a reader may call. Unset: none.
  ReadsOnlyFn readsOnly;
  // The largest message received or sent.
  std::size_t maxMessageSize = 16u << 20;
  // Calls served at once; a call beyond it is answered "service_unavailable" at once.
  std::size_t maxConcurrentCalls = 1000;
  // Called once per call, refused ones included, on the thread that answered it, before the
  // final answer is sent. It must not block for long; may be unset.
  std::function<void(const CallRecord&)> onCallDone;
};

// How a server handles a call it has admitted (its token checked): the input is decoded, and a call
// whose input the decoder refuses is answered "invalid_argument" at once, without reaching
// `target`; any other call goes to `target`, whose answers go to `answer`.
KOV_EXPORT void DispatchCall(Core::InvocationTarget& target, const kov::remote::v1::Call& call,
                             const Core::AsyncApiResultCb& answer);

// Writes one answer of the call `call` ("interface/method") into `out` as the server sends it: an
// intermediate report when `result` is null. An answer that cannot be encoded, or whose reply
// would exceed `maxMessageSize`, goes out as "internal_server_error" instead.
KOV_EXPORT void MakeReply(std::uint64_t requestId, const std::string& call,
                          const Core::MethodResultPtr& result, const Progress& progress,
                          std::size_t maxMessageSize, kov::remote::v1::Reply& out);

class KOV_EXPORT Server {
 public:
  // Serves `target` on `options.address`. Null, with a message, when the server cannot start
  // (the address is taken or malformed, a certificate or key cannot be read, only one of them
  // is given).
  static std::unique_ptr<Server> Start(std::shared_ptr<Core::InvocationTarget> target,
                                       const ServerOptions& options, MessageList& messages);

  // Shuts down with no time to drain.
  ~Server();

  // The port the server listens on.
  int port() const;

  // Stops taking calls, lets the calls in flight finish until `drain` has passed, then answers
  // those still waiting with "service_unavailable" and returns when every call is closed.
  // Later calls of Shutdown return at once.
  void Shutdown(std::chrono::milliseconds drain = std::chrono::seconds(5));

  struct State;

 private:
  Server() = default;
  std::shared_ptr<State> state_;
};

}  // namespace Remote
}  // namespace Tarn
