// Fuzzes a call as it reaches the server: the input is a serialized Call, parsed as gRPC parses it
// for the server and dispatched as the server dispatches it, to the simulator bound as
// `kov-vm serve` binds it. Beyond "no crash" it checks:
// - a decoded value re-encodes to the bytes it came from, or to a form that is stable from then on;
// - a value the decoder refuses is answered invalid_argument, and nothing reaches the simulator;
// - every call is answered exactly once, and the reply the server sends decodes on the client side;
// - a call the simulator answers with success had a valid input for its operation, and a call
//   answered with an error left the lab as it was.
// The seeds in fuzz/corpus/wire hold well-formed calls of several operations and a call with each
// kind of malformed value that the decoder refuses.
#include <cstdint>
#include <string>
#include <utility>

#include "fuzz/common.h"
#include "remote/server.h"
#include "remote/value_codec.h"
#include "runtime/std_errors.h"
#include "tools/sim/simulator.h"
#include "tools/sim/state_file.h"

namespace {

namespace v1 = kov::remote::v1;
using Kov::Fuzz::Check;
using Tarn::Data::DataValuePtr;
const std::string kInvalidArgument = Com::Brantel::Tarn::Std::Errors::InvalidArgument::typeName;

// Passes calls on to the simulator, counting them.
struct Counting final : Tarn::Core::InvocationTarget {
  std::shared_ptr<Tarn::Core::InvocationTarget> next;
  int calls = 0;
  explicit Counting(std::shared_ptr<Tarn::Core::InvocationTarget> n) : next(std::move(n)) {}
  void Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>& methodId,
              const DataValuePtr& input,
              const std::shared_ptr<Tarn::Core::AsyncActivation>& activation,
              const Tarn::Core::AsyncApiResultCb& resultCb) override {
    ++calls;
    next->Invoke(methodId, input, activation, resultCb);
  }
};

struct Host {
  std::shared_ptr<Kov::Sim::Lab> lab = std::make_shared<Kov::Sim::Lab>();
  std::shared_ptr<Tarn::Core::LocalProvider> provider = Tarn::Core::LocalProvider::GetInstance();
  Counting target{provider};
  Kov::Sim::LabData populated = Kov::Fuzz::PopulatedLab();
  nlohmann::json populatedJson = Kov::Sim::StateFile::ToJson(populated);

  Host() {
    Tarn::MessageList messages;
    Check(Kov::Sim::Simulator(lab).RegisterWith(*provider, messages), "the simulator registers");
  }
};

std::string Bytes(const v1::Value& value) { return value.SerializeAsString(); }

// Encoding what was decoded gives the original bytes, or a form that decodes and encodes to itself.
void CheckReencodes(const v1::Value& original, const DataValuePtr& decoded) {
  Tarn::MessageList messages;
  v1::Value first, second;
  Check(Tarn::Remote::EncodeValue(decoded, first, messages), "a decoded value encodes");
  if (Bytes(first) == Bytes(original)) return;
  DataValuePtr again;
  Check(Tarn::Remote::DecodeValue(first, again, messages), "an encoded value decodes");
  Check(Tarn::Remote::EncodeValue(again, second, messages), "a decoded value encodes again");
  Check(Bytes(first) == Bytes(second), "the encoded form is stable");
}

// The reply as the server sends it, decoded as the client decodes it.
void CheckReply(const Tarn::Core::MethodResultPtr& result, const Tarn::Progress& progress) {
  v1::Reply reply;
  Tarn::Remote::MakeReply(7, "fuzz/call", result, progress, 16u << 20, reply);
  v1::Reply parsed;
  Check(parsed.ParseFromString(reply.SerializeAsString()), "a reply parses");
  if (!result) return Check(parsed.answer_case() == v1::Reply::ANSWER_NOT_SET, "a bare report");
  if (parsed.answer_case() == v1::Reply::kTermination) return;
  DataValuePtr value;
  Tarn::MessageList messages;
  const bool error = parsed.answer_case() == v1::Reply::kError;
  Check(Tarn::Remote::DecodeValue(error ? parsed.error() : parsed.output(), value, messages),
        "the client decodes the answer");
  if (error && result->error()) {
    Check(value->GetType() == Tarn::Data::DataType::ERROR &&
              static_cast<const Tarn::Data::ErrorValue&>(*value).name() == result->error()->name(),
          "the error's name travels");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A string field that is not UTF-8 fails the parse, as it does in gRPC; no need to log each.
  google::protobuf::SetLogHandler(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Host host;
  v1::Call call;
  // gRPC hands the server only calls that parse.
  if (!call.ParseFromArray(data, static_cast<int>(size))) return 0;

  DataValuePtr decoded;
  Tarn::MessageList messages;
  const bool accepted = Tarn::Remote::DecodeValue(call.input(), decoded, messages);
  Check(accepted ? decoded != nullptr : (decoded == nullptr && messages.size() == 1),
        "a refusal leaves the value untouched and says why once");
  if (accepted) CheckReencodes(call.input(), decoded);

  {
    std::lock_guard<std::mutex> lock(host.lab->mutex);
    host.lab->data = host.populated;
  }
  const int callsBefore = host.target.calls;
  int finals = 0;
  Tarn::Core::MethodResultPtr answer;
  Tarn::Remote::DispatchCall(
      host.target, call,
      [&](const Tarn::Core::MethodResultPtr& result, const Tarn::Progress& progress,
          Tarn::Core::AsyncApiResultCb::Continuation&&) {
        CheckReply(result, progress);
        if (!result) return;
        ++finals;
        answer = result;
      });
  // The simulator answers before its Invoke returns.
  Check(finals == 1, "a call is answered exactly once");
  Check(host.target.calls == callsBefore + (accepted ? 1 : 0),
        "only a decoded call reaches the host");
  if (!accepted) {
    Check(answer->error() && answer->error()->name() == kInvalidArgument,
          "a refused value is answered invalid_argument");
    return 0;
  }
  if (answer->error()) {
    std::lock_guard<std::mutex> lock(host.lab->mutex);
    Check(Kov::Sim::StateFile::ToJson(host.lab->data) == host.populatedJson,
          "an error changes nothing");
  }
  auto iface = host.provider->Find(call.interface());
  auto method = iface ? iface->FindMethod(call.method()) : nullptr;
  if (method && !answer->error()) {
    Tarn::MessageList ignored;
    Check(method->inputDefinition()->Validate(decoded, ignored),
          "only a valid input reaches the implementation");
  }
  return 0;
}
