// Fuzzes a call as it reaches the server: the input is a serialized Call, parsed as gRPC parses it
// for the server and dispatched as the server dispatches it, to the simulator bound as
// `kov-vm serve` binds it. Beyond "no crash" it checks:
// - a decoded value re-encodes to the bytes it came from, or to a form that is stable from then on;
// - a value the decoder refuses is answered invalid_argument, and nothing reaches the simulator;
// - every call is answered exactly once, and the reply the server sends decodes on the client side;
// - a call the simulator answers with success had a valid input for its operation, and a call
//   answered with an error left the lab as it was.
// With KOV_FUZZ_WIRE_SEEDS=DIR set it writes its seed corpus to DIR and exits: well-formed calls of
// several operations, and a call with each kind of malformed value that the decoder refuses.
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/common.h"
#include "remote/server.h"
#include "remote/value_codec.h"
#include "runtime/std_errors.h"
#include "tools/sim/catalog.h"
#include "tools/sim/json_value.h"
#include "tools/sim/shapes.h"
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

void WriteSeeds(const std::string& dir) {
  Kov::Sim::Simulator simulator;
  Kov::Sim::Catalog catalog(simulator.Bind());
  int n = 0;
  auto write = [&](const std::string& name, const v1::Call& call) {
    std::ofstream(dir + "/" + std::to_string(++n) + "-" + name, std::ios::binary)
        << call.SerializeAsString();
  };
  // Well-formed calls, written as the CLI would send them.
  const std::pair<const char*, const char*> calls[] = {
      {"power.get", R"({"vm":"web-1"})"},
      {"power.switch_on", R"({"vm":"web-1","spec":{"soft":false}})"},
      {"zub.create", R"({"spec":{"vm":"app-2","guest_OS":"zubuntu-64","hw_version":"zub-21"}})"},
      {"cpus.update", R"({"vm":"db-1","update_spec":{"count":8,"cores_per_socket":2}})"},
      {"memory.update", R"({"vm":"web-1","update_spec":{"size":2048,"hot_add_enabled":true}})"},
      {"cdrom.add",
       R"({"vm":"web-1","backing":{"type":"ATAPI","device_name":"sr0"},"device":"ide1:0"})"},
      {"disk.add", R"({"spec":{"vm":"web-1","disk":"disk-9","device":"scsi0:1"}})"},
      {"network.add",
       R"({"spec":{"vm":"web-1","network":"net-2","adapter":"ZUBNET3","device":"ethernet1"}})"},
      {"sata_controller.update", R"({"vm":"web-1","hba_type":"AHCI","controller_number":0})"},
      {"scsi_controller.add", R"({"vm_id":"web-1","hba_type":"LSISAS","controller_number":1})"},
      {"data_sets.create",
       R"({"vm":"web-1","spec":{"name":"cfg","description":"","host":"NONE","guest":"READ_WRITE"}})"},
      {"data_sets.update",
       R"({"vm":"web-1","data_set":"ds-1","spec":{"omit_from_snapshot_and_clone":true}})"},
      {"entries.set", R"({"vm":"web-1","data_set":"ds-1","key":"k","value":"v"})"},
      {"entries.list", R"({"vm":"web-1","data_set":"ds-1"})"},
      {"dock.list", R"({})"},
      {"log_level.set", R"({"vm":"web-1","module":"disk","spec":{"level":"BRT_LOG_DEBUG_03"}})"},
  };
  v1::Call base;
  for (auto& c : calls) {
    const Kov::Sim::Catalog::Service* service = nullptr;
    Tarn::Provider::AsyncApiMethodPtr method;
    std::string problem;
    nlohmann::json json;
    DataValuePtr input;
    Tarn::MessageList messages;
    v1::Call call;
    Check(catalog.FindOperation(c.first, service, method, problem) &&
              Kov::Sim::ParseJson(c.second, json, problem) &&
              Kov::Sim::JsonToValue(
                  json, method->inputDefinition(), input, problem,
                  Kov::Sim::Shapes::Get().Input(service->id, method->methodName())) &&
              Tarn::Remote::EncodeValue(input, *call.mutable_input(), messages),
          "a seed call converts");
    call.set_interface(service->id);
    call.set_method(method->methodName());
    call.set_request_id(static_cast<std::uint64_t>(n + 1));
    write(c.first, call);
    if (std::string(c.first) == "cpus.update") base = call;
  }
  // Malformed values, each refused by one check of the decoder. `base` is cpus.update's input,
  // nodes 0-6: struct(2) [update_spec: struct(2) [cores_per_socket: optional(1) [integer]]
  // [count: optional(1) [integer]]] [vm: string].
  // Each is checked to meet the refusal it is for (`refusal` is the message id after
  // "kov.remote.value."); an empty `refusal` marks a value the decoder takes.
  auto bad = [&](const std::string& name, const std::string& refusal, auto&& change) {
    v1::Call call = base;
    change(*call.mutable_input());
    DataValuePtr value;
    Tarn::MessageList messages;
    const bool decoded = Tarn::Remote::DecodeValue(call.input(), value, messages);
    Check(refusal.empty() ? decoded : !decoded && messages[0].id == "kov.remote.value." + refusal,
          "a malformed seed meets the refusal it is for");
    write("bad-" + name, call);
  };
  auto node = [](v1::Value& v, int i) { return v.mutable_nodes(i); };
  auto leaf = [](v1::Value& v, v1::Kind kind, const char* field) {
    v1::Node* n = v.add_nodes();
    n->set_kind(kind);
    n->set_field(field);
    return n;
  };
  bad("no-nodes", "no.nodes", [](v1::Value& v) { v.clear_nodes(); });
  bad("kind-unspecified", "kind.unknown",
      [&](v1::Value& v) { node(v, 1)->set_kind(v1::KIND_UNSPECIFIED); });
  bad("kind-unknown", "kind.unknown",
      [&](v1::Value& v) { node(v, 1)->set_kind(static_cast<v1::Kind>(99)); });
  bad("trailing", "trailing", [&](v1::Value& v) { leaf(v, v1::KIND_VOID, ""); });
  bad("children-past-end", "children.past.end",
      [&](v1::Value& v) { node(v, 0)->set_children(v.nodes_size()); });
  bad("children-short", "children.past.end", [&](v1::Value& v) { node(v, 1)->set_children(3); });
  bad("field-unnamed", "field.unnamed", [&](v1::Value& v) { node(v, 1)->clear_field(); });
  bad("field-outside", "field.outside", [&](v1::Value& v) { node(v, 0)->set_field("vm"); });
  bad("field-in-list", "field.outside", [&](v1::Value& v) {
    v.clear_nodes();
    leaf(v, v1::KIND_LIST, "")->set_integer(1);
    node(v, 0)->set_children(1);
    leaf(v, v1::KIND_VOID, "vm");
  });
  bad("field-twice", "field.twice",
      [&](v1::Value& v) { node(v, 4)->set_field("cores_per_socket"); });
  bad("string-list-element", "element.kind", [&](v1::Value& v) {
    v.clear_nodes();
    leaf(v, v1::KIND_STRING_LIST, "")->set_children(2);
    leaf(v, v1::KIND_STRING, "")->set_bytes("web-1");
    leaf(v, v1::KIND_INTEGER, "")->set_integer(1);
  });
  bad("payload-kind", "payload", [&](v1::Value& v) { node(v, 6)->set_integer(3); });
  bad("payload-missing", "payload", [&](v1::Value& v) { node(v, 6)->clear_payload(); });
  bad("payload-extra", "payload", [&](v1::Value& v) { node(v, 0)->set_boolean(true); });
  bad("name-on-leaf", "name", [&](v1::Value& v) { node(v, 6)->set_name("x"); });
  bad("leaf-children", "leaf.children", [&](v1::Value& v) { node(v, 3)->set_children(1); });
  bad("optional-children", "optional.children", [&](v1::Value& v) { node(v, 2)->set_children(2); });
  bad("list-kind", "list.kind", [&](v1::Value& v) {
    v.clear_nodes();
    leaf(v, v1::KIND_LIST, "")->set_integer(3);
  });
  // Well-formed values of every kind where the operation expects others: refused by the binding.
  bad("every-kind", "", [&](v1::Value& v) {
    node(v, 0)->set_children(node(v, 0)->children() + 9);
    leaf(v, v1::KIND_DOUBLE, "real")->set_real(-0.0);
    leaf(v, v1::KIND_BLOB, "blob")->set_bytes(std::string("\0\xff", 2));
    leaf(v, v1::KIND_SECRET, "secret")->set_bytes("s3");
    leaf(v, v1::KIND_BOOLEAN, "flag")->set_boolean(true);
    leaf(v, v1::KIND_ERROR, "error")->set_name("com.brantel.tarn.std.errors.not_found");
    leaf(v, v1::KIND_DYNAMIC_STRUCTURE, "dynamic")->set_name("dyn");
    leaf(v, v1::KIND_OPTIONAL, "unset");
    leaf(v, v1::KIND_LIST, "set")->set_integer(2);
    leaf(v, v1::KIND_STRING_LIST, "strings");
  });
  bad("count-as-text", "", [&](v1::Value& v) {
    node(v, 5)->set_kind(v1::KIND_STRING);
    node(v, 5)->set_bytes("9223372036854775808");
  });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A string field that is not UTF-8 fails the parse, as it does in gRPC; no need to log each.
  google::protobuf::SetLogHandler(nullptr);
  if (const char* dir = std::getenv("KOV_FUZZ_WIRE_SEEDS")) {
    WriteSeeds(dir);
    std::exit(0);
  }
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
