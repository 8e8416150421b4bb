#include "remote/server.h"

#include <grpcpp/ext/proto_server_reflection_plugin.h>
#include <grpcpp/grpcpp.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "remote/value_codec.h"
#include "remote/wire.grpc.pb.h"
#include "runtime/std_errors.h"

namespace Tarn {
namespace Remote {

namespace v1 = kov::remote::v1;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

Sha256Digest TokenDigest(const std::string& token) {
  Sha256Digest digest{};
  unsigned int length = 0;
  EVP_Digest(token.data(), token.size(), digest.data(), &length, EVP_sha256(), nullptr);
  return digest;
}

bool ParseTokenDigest(const std::string& hex, Sha256Digest& out, MessageList& messages) {
  auto nibble = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Sha256Digest digest{};
  bool ok = hex.size() == 2 * digest.size();
  for (std::size_t i = 0; ok && i < digest.size(); ++i) {
    const int high = nibble(hex[2 * i]);
    const int low = nibble(hex[2 * i + 1]);
    ok = high >= 0 && low >= 0;
    digest[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  if (!ok) {
    messages.push_back(MakeMessage("kov.remote.token.digest",
                                   "A token digest is 64 hexadecimal digits, not '{}'.", hex));
    return false;
  }
  out = digest;
  return true;
}

ReadsOnlyFn ReadsOnlyOf(std::shared_ptr<const Core::LocalProvider> provider) {
  return [provider = std::move(provider)](const std::string& interfaceName,
                                          const std::string& method) {
    auto iface = provider->Find(interfaceName);
    auto m = iface ? iface->FindMethod(method) : nullptr;
    return m && m->readsOnly();
  };
}

void DispatchCall(Core::InvocationTarget& target, const v1::Call& call,
                  const Core::AsyncApiResultCb& answer) {
  Data::DataValuePtr input;
  MessageList messages;
  if (!DecodeValue(call.input(), input, messages)) {
    answer(std::make_shared<Core::MethodResult>(nullptr, Errors::InvalidArgument::Create(messages)),
           Progress{});
    return;
  }
  auto methodId = Core::MethodIdentifier::GetInstance(
      Core::InterfaceIdentifier::GetInstance(call.interface()), call.method());
  target.Invoke(methodId, input, Core::AsyncActivation::GetInstance(), answer);
}

void MakeReply(std::uint64_t requestId, const std::string& call,
               const Core::MethodResultPtr& result, const Progress& progress,
               std::size_t maxMessageSize, v1::Reply& reply) {
  reply.Clear();
  reply.set_request_id(requestId);
  reply.mutable_progress()->set_start(progress.start);
  reply.mutable_progress()->set_total(progress.total);
  reply.mutable_progress()->set_current(progress.current);
  if (!result) return;
  MessageList messages;
  bool written;
  if (result->error()) {
    written = EncodeValue(result->error(), *reply.mutable_error(), messages);
  } else if (result->output()) {
    written = EncodeValue(result->output(), *reply.mutable_output(), messages);
  } else {
    reply.mutable_termination();
    written = true;
  }
  if (written && reply.ByteSizeLong() > maxMessageSize) {
    messages.push_back(MakeMessage("kov.remote.answer.too.large",
                                   "The answer of {} is {} bytes, more than a message may hold.",
                                   call, static_cast<std::uint64_t>(reply.ByteSizeLong())));
    written = false;
  }
  if (!written) {
    reply.clear_answer();
    MessageList ignored;
    EncodeValue(Errors::InternalServerError::Create(messages), *reply.mutable_error(), ignored);
  }
}

namespace Detail {

class CallState;

// What the calls share with the server: the target, the options, and the calls not yet
// answered, which a shutdown answers when its time to drain has passed.
struct ServerCore {
  std::shared_ptr<Core::InvocationTarget> target;
  ServerOptions options;
  std::mutex mutex;
  std::condition_variable changed;
  std::unordered_map<CallState*, std::shared_ptr<CallState>> unanswered;
  std::size_t active = 0;  // calls between their start and their end in gRPC
  bool draining = false;
};

namespace {

Data::ErrorValuePtr Refusal(const char* id, const char* text, const std::string& call) {
  return Errors::ServiceUnavailable::Create({MakeMessage(id, text, call)});
}

}  // namespace

class ServedCall;

// One call's answers on their way out. The implementation's callback holds it, so an answer
// that comes after the client left, or after the server stopped, finds it and is dropped. It
// refers to the server's core only weakly: an implementation that keeps a callback (and with it
// this object) must not keep the server, and through it the implementation itself, alive.
// Replies are written one at a time; the final one closes the call.
class CallState : public std::enable_shared_from_this<CallState> {
 public:
  CallState(const std::shared_ptr<ServerCore>& core, std::string call, std::uint64_t requestId)
      : core_(core),
        maxMessageSize_(core->options.maxMessageSize),
        call_(std::move(call)),
        requestId_(requestId) {}

  // What the call record tells: set before the call is served.
  CallRecord record;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

  void Bind(ServedCall* reactor) { reactor_ = reactor; }
  const std::string& call() const { return call_; }

  // Takes one answer of the implementation: an intermediate report when `result` is null,
  // otherwise the final answer. Anything after the final answer is dropped.
  void Answer(const Core::MethodResultPtr& result, const Progress& progress);
  void Fail(const Data::ErrorValuePtr& error) {
    Answer(std::make_shared<Core::MethodResult>(nullptr, error), Progress{});
  }

  void OnWriteDone(bool ok);
  void OnCancel();

 private:
  void Pump(std::unique_lock<std::mutex>& lock);
  void Unlist();

  std::weak_ptr<ServerCore> core_;
  std::size_t maxMessageSize_;
  std::string call_;
  std::uint64_t requestId_;
  std::mutex mutex_;
  ServedCall* reactor_ = nullptr;  // valid until the call is finished
  std::deque<v1::Reply> queue_;
  v1::Reply current_;
  bool answered_ = false;
  std::atomic<bool> recorded_{false};
  bool writing_ = false;
  bool finished_ = false;
  bool cancelled_ = false;
};

class ServedCall final : public grpc::ServerWriteReactor<v1::Reply> {
 public:
  ServedCall(std::shared_ptr<ServerCore> core, grpc::CallbackServerContext* context,
             const v1::Call& request);

  void OnWriteDone(bool ok) override { state_->OnWriteDone(ok); }
  void OnCancel() override { state_->OnCancel(); }
  void OnDone() override {
    std::shared_ptr<ServerCore> core = std::move(core_);
    {
      std::lock_guard<std::mutex> lock(core->mutex);
      core->unanswered.erase(state_.get());
    }
    delete this;
    std::lock_guard<std::mutex> lock(core->mutex);
    --core->active;
    core->changed.notify_all();
  }

 private:
  void Serve(grpc::CallbackServerContext* context, const v1::Call& request);
  std::shared_ptr<ServerCore> core_;
  std::shared_ptr<CallState> state_;
};

void CallState::Answer(const Core::MethodResultPtr& result, const Progress& progress) {
  if (result && !recorded_.exchange(true)) {
    std::shared_ptr<ServerCore> core = core_.lock();
    if (core && core->options.onCallDone) {
      record.error = result->error() ? result->error()->name() : std::string();
      record.duration = std::chrono::duration_cast<std::chrono::microseconds>(
          std::chrono::steady_clock::now() - started);
      core->options.onCallDone(record);
    }
  }
  v1::Reply reply;
  MakeReply(requestId_, call_, result, progress, maxMessageSize_, reply);
  std::unique_lock<std::mutex> lock(mutex_);
  if (answered_ || finished_) return;
  if (result) {
    answered_ = true;
    Unlist();
  }
  queue_.push_back(std::move(reply));
  Pump(lock);
}

void CallState::Unlist() {
  std::shared_ptr<ServerCore> core = core_.lock();
  if (!core) return;  // the server is gone, and with it the list
  std::lock_guard<std::mutex> lock(core->mutex);
  if (core->unanswered.erase(this) != 0) core->changed.notify_all();
}

// Starts the next write, or closes the call after the final reply; never while a write is
// under way, so the reactor stays alive until its Finish.
void CallState::Pump(std::unique_lock<std::mutex>& lock) {
  if (writing_ || finished_ || !reactor_) return;
  ServedCall* reactor = reactor_;
  if (cancelled_) {
    finished_ = true;
    lock.unlock();
    reactor->Finish(grpc::Status::CANCELLED);
    return;
  }
  if (queue_.empty()) return;
  current_ = std::move(queue_.front());
  queue_.pop_front();
  if (queue_.empty() && current_.answer_case() != v1::Reply::ANSWER_NOT_SET) {
    finished_ = true;
    lock.unlock();
    reactor->StartWriteAndFinish(&current_, grpc::WriteOptions(), grpc::Status::OK);
    return;
  }
  writing_ = true;
  lock.unlock();
  reactor->StartWrite(&current_);
}

void CallState::OnWriteDone(bool ok) {
  std::unique_lock<std::mutex> lock(mutex_);
  writing_ = false;
  if (!ok) cancelled_ = true;
  Pump(lock);
}

void CallState::OnCancel() {
  std::unique_lock<std::mutex> lock(mutex_);
  cancelled_ = true;
  answered_ = true;
  Unlist();
  Pump(lock);
}

ServedCall::ServedCall(std::shared_ptr<ServerCore> core, grpc::CallbackServerContext* context,
                       const v1::Call& request)
    : core_(std::move(core)) {
  state_ = std::make_shared<CallState>(core_, request.interface() + "/" + request.method(),
                                       request.request_id());
  state_->record.peer = context->peer();
  state_->record.interfaceName = request.interface();
  state_->record.method = request.method();
  state_->Bind(this);
  Serve(context, request);
}

void ServedCall::Serve(grpc::CallbackServerContext* context, const v1::Call& request) {
  ServerCore& core = *core_;
  const std::string& call = state_->call();
  Data::ErrorValuePtr refusal;
  {
    std::lock_guard<std::mutex> lock(core.mutex);
    ++core.active;
    if (core.draining) {
      refusal = Refusal("kov.remote.shutting.down",
                        "The server is shutting down and does not take {}.", call);
    } else if (core.active > core.options.maxConcurrentCalls) {
      refusal = Errors::ServiceUnavailable::Create({MakeMessage(
          "kov.remote.busy", "The server serves {} calls at once, its limit; {} was refused.",
          static_cast<std::uint64_t>(core.options.maxConcurrentCalls), call)});
    } else {
      core.unanswered.emplace(state_.get(), state_);
    }
  }
  if (refusal) return state_->Fail(refusal);

  if (!core.options.tokens.empty()) {
    const auto& metadata = context->client_metadata();
    auto header = metadata.find("authorization");
    static constexpr char kBearer[] = "Bearer ";
    const std::size_t prefix = sizeof(kBearer) - 1;
    if (header == metadata.end() || header->second.size() <= prefix ||
        std::string(header->second.data(), prefix) != kBearer) {
      return state_->Fail(Errors::Unauthenticated::Create(
          {MakeMessage("kov.remote.token.missing", "The call {} brings no bearer token.", call)}));
    }
    const Sha256Digest digest =
        TokenDigest(std::string(header->second.data() + prefix, header->second.size() - prefix));
    // Every entry is compared, in constant time, whichever matches.
    const TokenEntry* match = nullptr;
    for (const TokenEntry& entry : core.options.tokens) {
      const bool same = CRYPTO_memcmp(entry.digest.data(), digest.data(), digest.size()) == 0;
      if (same && !match) match = &entry;
    }
    if (!match) {
      return state_->Fail(Errors::Unauthenticated::Create({MakeMessage(
          "kov.remote.token.unknown", "The token of the call {} is not known.", call)}));
    }
    state_->record.tokenName = match->name;
    if (match->role == Role::kReader &&
        !(core.options.readsOnly &&
          core.options.readsOnly(request.interface(), request.method()))) {
      return state_->Fail(Errors::Unauthorized::Create(
          {MakeMessage("kov.remote.reader",
                       "A reader may call only operations that only read, not {}.", call)}));
    }
  }

  std::shared_ptr<CallState> state = state_;
  DispatchCall(
      *core.target, request,
      [state](const Core::MethodResultPtr& result, const Progress& progress,
              Core::AsyncApiResultCb::Continuation&&) { state->Answer(result, progress); });
}

namespace {

class InvokerService final : public v1::Invoker::CallbackService {
 public:
  explicit InvokerService(std::shared_ptr<ServerCore> core) : core_(std::move(core)) {}

  grpc::ServerWriteReactor<v1::Reply>* Invoke(grpc::CallbackServerContext* context,
                                              const v1::Call* request) override {
    return new ServedCall(core_, context, *request);
  }

 private:
  std::shared_ptr<ServerCore> core_;
};

bool ReadFile(const std::string& path, const char* what, std::string& out, MessageList& messages) {
  std::ifstream in(path, std::ios::binary);
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.is_open() || out.empty()) {
    messages.push_back(MakeMessage("kov.remote.server.file",
                                   "The {} file '{}' cannot be read or is empty.", what, path));
    return false;
  }
  return true;
}

}  // namespace
}  // namespace Detail

struct Server::State {
  std::shared_ptr<Detail::ServerCore> core;
  std::unique_ptr<Detail::InvokerService> service;
  std::unique_ptr<grpc::Server> server;
  int port = 0;
  std::mutex shutdownMutex;
  bool stopped = false;
};

std::unique_ptr<Server> Server::Start(std::shared_ptr<Core::InvocationTarget> target,
                                      const ServerOptions& options, MessageList& messages) {
  if (!target) {
    messages.push_back(MakeMessage("kov.remote.server.target", "The server has nothing to serve."));
    return nullptr;
  }
  std::shared_ptr<grpc::ServerCredentials> credentials;
  if (options.certFile.empty() != options.keyFile.empty()) {
    messages.push_back(
        MakeMessage("kov.remote.server.tls", "TLS needs both a certificate file and a key file."));
    return nullptr;
  }
  if (options.certFile.empty()) {
    credentials = grpc::InsecureServerCredentials();
  } else {
    grpc::SslServerCredentialsOptions::PemKeyCertPair pair;
    if (!Detail::ReadFile(options.certFile, "certificate", pair.cert_chain, messages) ||
        !Detail::ReadFile(options.keyFile, "key", pair.private_key, messages)) {
      return nullptr;
    }
    grpc::SslServerCredentialsOptions ssl;
    ssl.pem_key_cert_pairs.push_back(std::move(pair));
    credentials = grpc::SslServerCredentials(ssl);
  }

  std::unique_ptr<Server> server(new Server());
  server->state_ = std::make_shared<State>();
  State& state = *server->state_;
  state.core = std::make_shared<Detail::ServerCore>();
  state.core->target = std::move(target);
  state.core->options = options;
  state.service = std::make_unique<Detail::InvokerService>(state.core);

  // Lets generic gRPC tools list and describe the service.
  grpc::reflection::InitProtoReflectionServerBuilderPlugin();
  grpc::ServerBuilder builder;
  // A port in use is an error, not a port to share with another server.
  builder.AddChannelArgument(GRPC_ARG_ALLOW_REUSEPORT, 0);
  builder.AddListeningPort(options.address, credentials, &state.port);
  const int limit = static_cast<int>(std::min<std::size_t>(options.maxMessageSize, INT32_MAX));
  builder.SetMaxReceiveMessageSize(limit);
  builder.SetMaxSendMessageSize(limit);
  builder.RegisterService(state.service.get());
  state.server = builder.BuildAndStart();
  if (!state.server || state.port == 0) {
    messages.push_back(MakeMessage("kov.remote.server.listen", "The server cannot listen on {}.",
                                   options.address));
    return nullptr;  // a server that was built is shut down by ~Server
  }
  return server;
}

Server::~Server() { Shutdown(std::chrono::milliseconds(0)); }

int Server::port() const { return state_->port; }

void Server::Shutdown(std::chrono::milliseconds drain) {
  std::lock_guard<std::mutex> once(state_->shutdownMutex);
  if (state_->stopped || !state_->server) return;
  state_->stopped = true;
  auto& core = *state_->core;
  std::vector<std::shared_ptr<Detail::CallState>> late;
  {
    std::unique_lock<std::mutex> lock(core.mutex);
    core.draining = true;
    core.changed.wait_for(lock, drain, [&] { return core.unanswered.empty(); });
    for (auto& entry : core.unanswered) late.push_back(entry.second);
  }
  for (auto& call : late) {
    call->Fail(Errors::ServiceUnavailable::Create({MakeMessage(
        "kov.remote.shut.down", "The server shut down before {} was answered.", call->call())}));
  }
  // The last answers are on their way; give them a moment to leave, then cancel what is left.
  state_->server->Shutdown(std::chrono::system_clock::now() + std::chrono::seconds(2));
  std::unique_lock<std::mutex> lock(core.mutex);
  core.changed.wait_for(lock, std::chrono::seconds(5), [&] { return core.active == 0; });
}

}  // namespace Remote
}  // namespace Tarn
