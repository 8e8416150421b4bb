#include "remote/client.h"

#include <grpcpp/grpcpp.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "remote/value_codec.h"
#include "remote/wire.grpc.pb.h"
#include "runtime/std_errors.h"

namespace Tarn {
namespace Remote {

namespace v1 = kov::remote::v1;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using Core::MethodResult;
using Core::MethodResultPtr;

namespace Detail {

class ClientCall;

// The calls in flight, shared by the client and its calls, so that a call that ends after the
// client is gone still finds it.
struct CallRegistry {
  std::mutex mutex;
  std::condition_variable idle;
  // The calls that may still be cancelled: from their start until their final answer is given.
  std::unordered_set<ClientCall*> calls;
  // The call objects not yet deleted. Each holds a gRPC context, and the context a reference to
  // the channel: the client lets go of the channel only when this is zero, so that the channel
  // is never destroyed on one of gRPC's own threads, from inside a call's reaction.
  std::size_t live = 0;
  bool closed = false;
};

}  // namespace Detail

struct Client::State {
  ClientOptions options;
  std::shared_ptr<grpc::Channel> channel;
  std::unique_ptr<v1::Invoker::Stub> stub;
  std::shared_ptr<Detail::CallRegistry> registry = std::make_shared<Detail::CallRegistry>();
  std::atomic<std::uint64_t> nextRequestId{1};
};

namespace Detail {
namespace {

// The call whose answer this thread is delivering, if any: a client destroyed from inside an
// answer must not wait for that call to end.
thread_local ClientCall* tDelivering = nullptr;

std::string CodeName(grpc::StatusCode code) {
  switch (code) {
    case grpc::StatusCode::CANCELLED:
      return "cancelled";
    case grpc::StatusCode::UNKNOWN:
      return "unknown error";
    case grpc::StatusCode::DEADLINE_EXCEEDED:
      return "deadline exceeded";
    case grpc::StatusCode::RESOURCE_EXHAUSTED:
      return "resource exhausted";
    case grpc::StatusCode::UNAVAILABLE:
      return "unavailable";
    case grpc::StatusCode::UNIMPLEMENTED:
      return "unimplemented";
    case grpc::StatusCode::INTERNAL:
      return "internal error";
    case grpc::StatusCode::UNAUTHENTICATED:
      return "unauthenticated";
    case grpc::StatusCode::PERMISSION_DENIED:
      return "permission denied";
    default:
      return "status " + std::to_string(static_cast<int>(code));
  }
}

Data::ErrorValuePtr Unavailable(const std::string& call, const std::string& address,
                                const std::string& cause) {
  return Errors::ServiceUnavailable::Create({MakeMessage(
      "kov.remote.call.failed", "The call {} to {} failed: {}", call, address, cause)});
}

// Reads one reply: its progress, and its answer when it is the final one (`result` stays null
// for an intermediate report).
bool ReadReply(const v1::Reply& reply, MethodResultPtr& result, Progress& progress,
               MessageList& messages) {
  progress =
      Progress{reply.progress().start(), reply.progress().total(), reply.progress().current()};
  Data::DataValuePtr value;
  switch (reply.answer_case()) {
    case v1::Reply::kOutput:
      if (!DecodeValue(reply.output(), value, messages)) return false;
      result = std::make_shared<MethodResult>(std::move(value), nullptr);
      return true;
    case v1::Reply::kError:
      if (!DecodeValue(reply.error(), value, messages)) return false;
      if (value->GetType() != Data::DataType::ERROR) {
        messages.push_back(MakeMessage("kov.remote.reply.error.kind",
                                       "The error of an answer is a value of kind {}.",
                                       Data::DataTypeName(value->GetType())));
        return false;
      }
      result = std::make_shared<MethodResult>(
          nullptr, std::static_pointer_cast<const Data::ErrorValue>(value));
      return true;
    case v1::Reply::kTermination:
      result = MethodResult::GetTerminationInstance();
      return true;
    default:
      return true;
  }
}

}  // namespace

// One call: sends the request, hands each reply to the runtime's callback, and answers from the
// call's status when the server gave no final answer. Its reactions run one after another, so
// the callback is never called from two threads at once; `OnDone` deletes it.
class ClientCall final : public grpc::ClientReadReactor<v1::Reply> {
 public:
  ClientCall(std::shared_ptr<CallRegistry> registry, const ClientOptions& options, std::string call,
             Core::AsyncApiResultCb resultCb)
      : registry_(std::move(registry)),
        address_(options.address),
        plaintext_(options.caFile.empty()),
        call_(std::move(call)),
        resultCb_(std::move(resultCb)) {
    context_.set_deadline(std::chrono::system_clock::now() + options.deadline);
    if (!options.token.empty()) context_.AddMetadata("authorization", "Bearer " + options.token);
  }

  void Start(v1::Invoker::Stub& stub, v1::Call request) {
    request_ = std::move(request);
    bool closed;
    {
      std::lock_guard<std::mutex> lock(registry_->mutex);
      closed = registry_->closed;
      if (!closed) {
        registry_->calls.insert(this);
        ++registry_->live;
      }
    }
    if (closed) {
      Deliver(Unavailable(call_, address_, "the client is being destroyed"));
      delete this;
      return;
    }
    stub.async()->Invoke(&context_, &request_, this);
    StartRead(&reply_);
    StartCall();
  }

  void Cancel() { context_.TryCancel(); }

  void OnReadDone(bool ok) override {
    if (!ok) return;        // the status follows in OnDone
    if (answered_) return;  // nothing may follow the final answer
    received_ = true;
    MethodResultPtr result;
    Progress progress;
    MessageList messages;
    if (!ReadReply(reply_, result, progress, messages)) {
      std::string cause = "its answer cannot be read";
      for (const auto& m : messages) cause += ": " + m.defaultMessage;
      Deliver(Unavailable(call_, address_, cause));
      context_.TryCancel();
      return;
    }
    if (result) {
      // The last reply: the status follows without another read.
      answered_ = true;
      Call(result, progress);
      return;
    }
    Call(nullptr, progress);
    StartRead(&reply_);
  }

  void OnDone(const grpc::Status& status) override {
    bool closed;
    {
      std::lock_guard<std::mutex> lock(registry_->mutex);
      closed = registry_->closed;
    }
    if (!answered_) {
      if (closed) {
        Deliver(Unavailable(call_, address_, "the client was destroyed before the answer came"));
      } else if (status.ok()) {
        Deliver(Unavailable(call_, address_, "the server ended the call without an answer"));
      } else if (status.error_code() == grpc::StatusCode::RESOURCE_EXHAUSTED && !received_) {
        // Before any reply, this is the server refusing the size of the input.
        Deliver(Errors::InvalidArgument::Create(
            {MakeMessage("kov.remote.input.too.large", "The call {} to {} was refused: {}", call_,
                         address_, status.error_message())}));
      } else {
        std::string cause = CodeName(status.error_code()) + ": " + status.error_message();
        if (plaintext_ && status.error_code() == grpc::StatusCode::UNAVAILABLE) {
          cause +=
              " (the client does not use TLS; a server that requires TLS closes such "
              "connections)";
        }
        Deliver(Unavailable(call_, address_, cause));
      }
    }
    // Answered: nothing left to cancel. A client being destroyed waits until the object, and with
    // it the context's hold on the channel, is gone too.
    std::shared_ptr<CallRegistry> registry = registry_;
    {
      std::lock_guard<std::mutex> lock(registry->mutex);
      registry->calls.erase(this);
    }
    delete this;
    std::lock_guard<std::mutex> lock(registry->mutex);
    if (--registry->live == 0) registry->idle.notify_all();
  }

 private:
  void Deliver(const Data::ErrorValuePtr& error) {
    answered_ = true;
    Call(std::make_shared<MethodResult>(nullptr, error), Progress{});
  }

  void Call(const MethodResultPtr& result, const Progress& progress) {
    ClientCall* outer = tDelivering;
    tDelivering = this;
    struct Restore {
      ClientCall* outer;
      ~Restore() { tDelivering = outer; }
    } restore{outer};
    resultCb_(result, progress, {});
  }

  std::shared_ptr<CallRegistry> registry_;
  std::string address_;
  bool plaintext_;
  std::string call_;
  Core::AsyncApiResultCb resultCb_;
  grpc::ClientContext context_;
  v1::Call request_;
  v1::Reply reply_;
  bool received_ = false;
  bool answered_ = false;
};

}  // namespace Detail

std::shared_ptr<Client> Client::Create(const ClientOptions& options, MessageList& messages) {
  if (options.address.empty()) {
    messages.push_back(MakeMessage("kov.remote.client.address", "The client has no address."));
    return nullptr;
  }
  std::shared_ptr<grpc::ChannelCredentials> credentials;
  if (options.caFile.empty()) {
    credentials = grpc::InsecureChannelCredentials();
  } else {
    std::ifstream in(options.caFile, std::ios::binary);
    std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || pem.empty()) {
      messages.push_back(MakeMessage(
          "kov.remote.client.ca", "The CA file '{}' cannot be read or is empty.", options.caFile));
      return nullptr;
    }
    grpc::SslCredentialsOptions ssl;
    ssl.pem_root_certs = std::move(pem);
    credentials = grpc::SslCredentials(ssl);
  }
  grpc::ChannelArguments arguments;
  // A connection of its own: without this, gRPC shares one connection among all channels to the
  // same address in the process, so one client's calls would queue behind another's.
  arguments.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
  const int limit = static_cast<int>(std::min<std::size_t>(options.maxMessageSize, INT32_MAX));
  arguments.SetMaxReceiveMessageSize(limit);
  arguments.SetMaxSendMessageSize(limit);
  auto state = std::make_shared<State>();
  state->options = options;
  state->channel = grpc::CreateCustomChannel(options.address, credentials, arguments);
  state->stub = v1::Invoker::NewStub(state->channel);
  return std::shared_ptr<Client>(new Client(std::move(state)));
}

Client::Client(std::shared_ptr<State> state) : state_(std::move(state)) {}

Client::~Client() {
  auto& registry = *state_->registry;
  std::unique_lock<std::mutex> lock(registry.mutex);
  registry.closed = true;
  for (Detail::ClientCall* call : registry.calls) call->Cancel();
  // A client destroyed from inside an answer cannot wait for the call that answers; that call
  // then lets go of the channel on its own thread.
  registry.idle.wait_for(lock, std::chrono::seconds(5), [&] {
    return registry.live == 0 ||
           (registry.live == 1 && registry.calls.count(Detail::tDelivering) != 0);
  });
}

const std::string& Client::address() const { return state_->options.address; }

void Client::Invoke(const std::shared_ptr<const Core::MethodIdentifier>& methodId,
                    const Data::DataValuePtr& input,
                    const std::shared_ptr<Core::AsyncActivation>& /*activation*/,
                    const Core::AsyncApiResultCb& resultCb) {
  const std::string& interfaceName = methodId->interfaceId()->name();
  std::string call = interfaceName + "/" + methodId->name();
  v1::Call request;
  request.set_interface(interfaceName);
  request.set_method(methodId->name());
  request.set_request_id(state_->nextRequestId.fetch_add(1, std::memory_order_relaxed));
  MessageList messages;
  if (!EncodeValue(input, *request.mutable_input(), messages)) {
    resultCb(std::make_shared<MethodResult>(nullptr, Errors::InvalidArgument::Create(messages)),
             Progress{});
    return;
  }
  const std::size_t size = request.ByteSizeLong();
  if (size > state_->options.maxMessageSize) {
    resultCb(std::make_shared<MethodResult>(
                 nullptr, Errors::InvalidArgument::Create({MakeMessage(
                              "kov.remote.input.too.large",
                              "The input of {} to {} is {} bytes, more than the {} bytes a "
                              "message may hold.",
                              call, state_->options.address, static_cast<std::uint64_t>(size),
                              static_cast<std::uint64_t>(state_->options.maxMessageSize))})),
             Progress{});
    return;
  }
  auto* reactor =
      new Detail::ClientCall(state_->registry, state_->options, std::move(call), resultCb);
  reactor->Start(*state_->stub, std::move(request));
}

}  // namespace Remote
}  // namespace Tarn
