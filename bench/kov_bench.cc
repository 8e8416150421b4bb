// Conversion and invocation costs of the bindings, side by side with nlohmann::json on the same
// data and with a direct virtual call, in one program and one run. Prints a table of ratios and
// of heap allocations per operation after the usual benchmark output.
//
//   build/release/bench/kov_bench            (scripts/bench.sh builds and runs it)
//   build/release/bench/kov_bench --smoke    (each benchmark once; what CI runs)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#ifdef KOV_BENCH_PROTOBUF
#include "records.pb.h"
#endif
#include "bench/bench_main.h"
#include "runtime/local_provider.h"
#include "vm/compute/cpus.h"
#include "vm/data_sets.h"

// ---- a counting allocator for the whole program ----

// GCC pairs the replaced operator new with its library counterpart when it inlines a
// deallocation and then warns about free(); the two below are a matching pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
// One counter pair per thread, each on its own cache line: a shared counter would itself make
// the threads of the scaling benchmark contend on every allocation.
struct alignas(64) AllocationSlot {
  std::atomic<std::uint64_t> allocations{0};
  std::atomic<std::uint64_t> bytes{0};
};
constexpr int kSlots = 64;
AllocationSlot gSlots[kSlots];
std::atomic<int> gNextSlot{0};

AllocationSlot& ThisThreadSlot() {
  thread_local int slot = gNextSlot.fetch_add(1, std::memory_order_relaxed) % kSlots;
  return gSlots[slot];
}

std::uint64_t TotalAllocations() {
  std::uint64_t n = 0;
  for (auto& s : gSlots) n += s.allocations.load(std::memory_order_relaxed);
  return n;
}

std::uint64_t TotalBytes() {
  std::uint64_t n = 0;
  for (auto& s : gSlots) n += s.bytes.load(std::memory_order_relaxed);
  return n;
}
}  // namespace

void* operator new(std::size_t size) {
  AllocationSlot& slot = ThisThreadSlot();
  slot.allocations.fetch_add(1, std::memory_order_relaxed);
  slot.bytes.fetch_add(size, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Com::Brantel::Kov::Vm::DataSetsSvc;
using Com::Brantel::Kov::Vm::Compute::CpusSvc;
namespace D = Tarn::Data;

// Counts allocations over the timed loop and reports them per iteration.
class AllocationCounter {
 public:
  explicit AllocationCounter(benchmark::State& state)
      : state_(state), allocations_(TotalAllocations()), bytes_(TotalBytes()) {}
  ~AllocationCounter() {
    if (state_.thread_index() != 0) return;
    double n = static_cast<double>(state_.iterations() * state_.threads());
    if (n == 0) return;
    state_.counters["allocs"] = static_cast<double>(TotalAllocations() - allocations_) / n;
    state_.counters["bytes"] = static_cast<double>(TotalBytes() - bytes_) / n;
  }

 private:
  benchmark::State& state_;
  std::uint64_t allocations_;
  std::uint64_t bytes_;
};

// ---- the same data as plain structs, for nlohmann::json ----

struct PlainCpuInfo {
  std::int64_t count = 0;
  std::int64_t coresPerSocket = 0;
  bool hotAddEnabled = false;
  bool hotRemoveEnabled = false;
};
void to_json(nlohmann::json& j, const PlainCpuInfo& v) {
  j = nlohmann::json{{"count", v.count},
                     {"cores_per_socket", v.coresPerSocket},
                     {"hot_add_enabled", v.hotAddEnabled},
                     {"hot_remove_enabled", v.hotRemoveEnabled}};
}
void from_json(const nlohmann::json& j, PlainCpuInfo& v) {
  j.at("count").get_to(v.count);
  j.at("cores_per_socket").get_to(v.coresPerSocket);
  j.at("hot_add_enabled").get_to(v.hotAddEnabled);
  j.at("hot_remove_enabled").get_to(v.hotRemoveEnabled);
}

struct PlainSummary {
  std::string dataSet;
  std::string name;
  std::string description;
};
void to_json(nlohmann::json& j, const PlainSummary& v) {
  j = nlohmann::json{{"data_set", v.dataSet}, {"name", v.name}, {"description", v.description}};
}
void from_json(const nlohmann::json& j, PlainSummary& v) {
  j.at("data_set").get_to(v.dataSet);
  j.at("name").get_to(v.name);
  j.at("description").get_to(v.description);
}

CpusSvc::Info MakeInfo() {
  CpusSvc::Info info;
  info.count = 4;
  info.coresPerSocket = 2;
  info.hotAddEnabled = true;
  return info;
}

using SummaryList = std::vector<std::shared_ptr<const DataSetsSvc::Summary>>;

SummaryList MakeSummaries() {
  SummaryList list;
  for (int i = 0; i < 1000; ++i) {
    auto s = std::make_shared<DataSetsSvc::Summary>();
    s->dataSet = "data-set-" + std::to_string(i);
    s->name = "settings of the guest " + std::to_string(i);
    s->description = "A data set that the benchmark made, number " + std::to_string(i);
    list.push_back(std::move(s));
  }
  return list;
}

std::vector<PlainSummary> MakePlainSummaries() {
  std::vector<PlainSummary> list;
  for (auto& s : MakeSummaries()) list.push_back({s->dataSet, s->name, s->description});
  return list;
}

// ---- 1. conversion ----

template <class T>
D::DataValuePtr ToValue(const T& native) {
  D::DataValuePtr value;
  Tarn::MessageList messages;
  if (!D::NativeToValueAdapter::Adapt(&native, &value, messages)) std::abort();
  return value;
}

template <class T>
void FromValue(const D::DataValuePtr& value, T& native) {
  Tarn::MessageList messages;
  if (!D::ValueToNativeAdapter::Adapt(value, &native, messages)) std::abort();
}

void BM_Bindings_CpuInfo_RoundTrip(benchmark::State& state) {
  const CpusSvc::Info info = MakeInfo();
  AllocationCounter counter(state);
  for (auto _ : state) {
    CpusSvc::Info back;
    FromValue(ToValue(info), back);
    benchmark::DoNotOptimize(back);
  }
}
void BM_Bindings_CpuInfo_ToValue(benchmark::State& state) {
  const CpusSvc::Info info = MakeInfo();
  AllocationCounter counter(state);
  for (auto _ : state) benchmark::DoNotOptimize(ToValue(info));
}
void BM_Bindings_CpuInfo_FromValue(benchmark::State& state) {
  const D::DataValuePtr value = ToValue(MakeInfo());
  AllocationCounter counter(state);
  for (auto _ : state) {
    CpusSvc::Info back;
    FromValue(value, back);
    benchmark::DoNotOptimize(back);
  }
}
void BM_Json_CpuInfo_RoundTrip(benchmark::State& state) {
  const PlainCpuInfo info{4, 2, true, false};
  AllocationCounter counter(state);
  for (auto _ : state) {
    nlohmann::json j = info;
    PlainCpuInfo back = j.get<PlainCpuInfo>();
    benchmark::DoNotOptimize(back);
  }
}
void BM_Json_CpuInfo_ToValue(benchmark::State& state) {
  const PlainCpuInfo info{4, 2, true, false};
  AllocationCounter counter(state);
  for (auto _ : state) {
    nlohmann::json j = info;
    benchmark::DoNotOptimize(j);
  }
}
void BM_Json_CpuInfo_FromValue(benchmark::State& state) {
  const nlohmann::json j = PlainCpuInfo{4, 2, true, false};
  AllocationCounter counter(state);
  for (auto _ : state) {
    PlainCpuInfo back = j.get<PlainCpuInfo>();
    benchmark::DoNotOptimize(back);
  }
}

void BM_Bindings_Summaries_RoundTrip(benchmark::State& state) {
  const SummaryList list = MakeSummaries();
  AllocationCounter counter(state);
  for (auto _ : state) {
    SummaryList back;
    FromValue(ToValue(list), back);
    benchmark::DoNotOptimize(back);
  }
}
void BM_Bindings_Summaries_ToValue(benchmark::State& state) {
  const SummaryList list = MakeSummaries();
  AllocationCounter counter(state);
  for (auto _ : state) benchmark::DoNotOptimize(ToValue(list));
}
void BM_Bindings_Summaries_FromValue(benchmark::State& state) {
  const D::DataValuePtr value = ToValue(MakeSummaries());
  AllocationCounter counter(state);
  for (auto _ : state) {
    SummaryList back;
    FromValue(value, back);
    benchmark::DoNotOptimize(back);
  }
}
void BM_Json_Summaries_RoundTrip(benchmark::State& state) {
  const std::vector<PlainSummary> list = MakePlainSummaries();
  AllocationCounter counter(state);
  for (auto _ : state) {
    nlohmann::json j = list;
    auto back = j.get<std::vector<PlainSummary>>();
    benchmark::DoNotOptimize(back);
  }
}
void BM_Json_Summaries_ToValue(benchmark::State& state) {
  const std::vector<PlainSummary> list = MakePlainSummaries();
  AllocationCounter counter(state);
  for (auto _ : state) {
    nlohmann::json j = list;
    benchmark::DoNotOptimize(j);
  }
}
void BM_Json_Summaries_FromValue(benchmark::State& state) {
  const nlohmann::json j = MakePlainSummaries();
  AllocationCounter counter(state);
  for (auto _ : state) {
    auto back = j.get<std::vector<PlainSummary>>();
    benchmark::DoNotOptimize(back);
  }
}

#ifdef KOV_BENCH_PROTOBUF
// The same records as typed protobuf messages: serialised to bytes and parsed back.
void BM_Protobuf_CpuInfo_RoundTrip(benchmark::State& state) {
  kov::bench::CpuInfo info;
  info.set_count(4);
  info.set_cores_per_socket(2);
  info.set_hot_add_enabled(true);
  std::string bytes;
  AllocationCounter counter(state);
  for (auto _ : state) {
    info.SerializeToString(&bytes);
    kov::bench::CpuInfo back;
    if (!back.ParseFromString(bytes)) std::abort();
    benchmark::DoNotOptimize(back);
  }
}
void BM_Protobuf_Summaries_RoundTrip(benchmark::State& state) {
  kov::bench::Summaries list;
  for (auto& s : MakePlainSummaries()) {
    auto* item = list.add_items();
    item->set_data_set(s.dataSet);
    item->set_name(s.name);
    item->set_description(s.description);
  }
  std::string bytes;
  AllocationCounter counter(state);
  for (auto _ : state) {
    list.SerializeToString(&bytes);
    kov::bench::Summaries back;
    if (!back.ParseFromString(bytes)) std::abort();
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_Protobuf_CpuInfo_RoundTrip);
BENCHMARK(BM_Protobuf_Summaries_RoundTrip);
#endif

// ---- 2-4. invocation ----

// Answers at once, with a record built once per thread: one record shared by the threads of the
// scaling run would make them contend on its reference count, a cost of this implementation and
// not of the library.
class ImmediateCpus final : public CpusSvc::AsyncServiceInterface {
 public:
  void Get(const std::string&, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const CpusSvc::GetMethod::ResultCbType& result) override {
    thread_local const auto info = std::make_shared<const CpusSvc::Info>(MakeInfo());
    result(info);
  }
  void Update(const std::string&, const std::shared_ptr<const CpusSvc::UpdateSpec>&,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const CpusSvc::UpdateMethod::ResultCbType& result) override {
    result(Tarn::Void());
  }
};

struct Provider {
  std::shared_ptr<ImmediateCpus> implementation = std::make_shared<ImmediateCpus>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> bound =
      CpusSvc::AsyncServiceBinder::BindImplementation(implementation);
  Tarn::Provider::AsyncApiMethodPtr get = bound->methods()[0];
};

// The input of a "get", as the runtime would decode it from a request. Each thread of the scaling
// run has its own, as concurrent requests do.
D::DataValuePtr GetInput() {
  auto v = D::StructValue::GetInstance("com.brantel.tarn.operation_input");
  v->SetField("vm", D::StringValue::GetInstance("vm-1"));
  return v;
}

Provider& SharedProvider() {
  static Provider provider;
  return provider;
}

void BM_Provider_Get(benchmark::State& state) {
  Provider& p = SharedProvider();
  const D::DataValuePtr input = GetInput();
  std::uint64_t answered = 0;
  Tarn::Core::AsyncApiResultCb callback([&answered](const Tarn::Core::MethodResultPtr& r,
                                                    const Tarn::Progress&,
                                                    Tarn::Core::AsyncApiResultCb::Continuation&&) {
    if (!r || !r->success()) std::abort();
    ++answered;
  });
  AllocationCounter counter(state);
  for (auto _ : state) {
    p.get->Invoke(input, std::make_shared<Tarn::Core::AsyncActivation>(), callback);
  }
  benchmark::DoNotOptimize(answered);
}

void BM_Direct_Get(benchmark::State& state) {
  Provider& p = SharedProvider();
  CpusSvc::AsyncServiceInterface& direct = *p.implementation;
  std::uint64_t answered = 0;
  CpusSvc::GetMethod::ResultCbType result(
      [&answered](const boost::optional<std::shared_ptr<const CpusSvc::Info>>& r,
                  const D::ErrorValuePtr&, const Tarn::Progress&) { answered += r ? 1 : 0; });
  const std::string vm = "vm-1";
  AllocationCounter counter(state);
  for (auto _ : state) {
    CpusSvc::GetMethod::ResultCbType copy = result;  // the provider makes one per call too
    direct.Get(vm, std::make_shared<Tarn::Core::AsyncActivation>(), copy);
  }
  benchmark::DoNotOptimize(answered);
}

void BM_Client_Get(benchmark::State& state) {
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  if (!provider->Register(
          CpusSvc::AsyncServiceBinder::BindImplementation(std::make_shared<ImmediateCpus>()),
          messages)) {
    std::abort();
  }
  CpusSvc::AsyncServiceStub stub(Tarn::Stub::AsyncApiStub::GetInstance(provider));
  std::uint64_t answered = 0;
  CpusSvc::GetMethod::ResultCbType result(
      [&answered](const boost::optional<std::shared_ptr<const CpusSvc::Info>>& r,
                  const D::ErrorValuePtr& e, const Tarn::Progress&) {
        if (e || !r) std::abort();
        ++answered;
      });
  const std::string vm = "vm-1";
  // No activation: the runtime makes a fresh one for each call, as for a request of its own.
  const std::shared_ptr<Tarn::Core::AsyncActivation> activation;
  AllocationCounter counter(state);
  for (auto _ : state) stub.Get(vm, activation, result);
  benchmark::DoNotOptimize(answered);
}

BENCHMARK(BM_Bindings_CpuInfo_RoundTrip);
BENCHMARK(BM_Json_CpuInfo_RoundTrip);
BENCHMARK(BM_Bindings_CpuInfo_ToValue);
BENCHMARK(BM_Json_CpuInfo_ToValue);
BENCHMARK(BM_Bindings_CpuInfo_FromValue);
BENCHMARK(BM_Json_CpuInfo_FromValue);
BENCHMARK(BM_Bindings_Summaries_RoundTrip);
BENCHMARK(BM_Json_Summaries_RoundTrip);
BENCHMARK(BM_Bindings_Summaries_ToValue);
BENCHMARK(BM_Json_Summaries_ToValue);
BENCHMARK(BM_Bindings_Summaries_FromValue);
BENCHMARK(BM_Json_Summaries_FromValue);
BENCHMARK(BM_Provider_Get)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_Direct_Get)->Threads(1);
BENCHMARK(BM_Client_Get);

// Keeps the time per operation of every repetition, and the counters, by name. The summary uses
// the fastest repetition of each benchmark: load from outside only ever adds time, so the fastest
// run is the least disturbed one, and a burst of it during one repetition does not decide a ratio.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  struct Row {
    std::vector<double> nsPerOp;
    double allocs = 0;
    double bytes = 0;
    double Best() const { return *std::min_element(nsPerOp.begin(), nsPerOp.end()); }
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (auto& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Row& row = rows[run.benchmark_name()];
      row.nsPerOp.push_back(run.GetAdjustedRealTime());
      auto a = run.counters.find("allocs");
      if (a != run.counters.end()) row.allocs = a->second.value;
      auto b = run.counters.find("bytes");
      if (b != run.counters.end()) row.bytes = b->second.value;
    }
  }
  std::map<std::string, Row> rows;
};

void PrintSummary(const CollectingReporter& r) {
  auto find = [&](const std::string& name) -> const CollectingReporter::Row* {
    auto it = r.rows.find(name);
    return it == r.rows.end() ? nullptr : &it->second;
  };
  std::printf("\n%-44s %12s %12s %8s %10s\n", "comparison", "ours ns/op", "theirs ns/op", "ratio",
              "target");
  auto ratio = [&](const char* label, const std::string& ours, const std::string& theirs,
                   const char* target) {
    auto* a = find(ours);
    auto* b = find(theirs);
    if (!a || !b || b->Best() == 0) return;
    std::printf("%-44s %12.1f %12.1f %8.2f %10s\n", label, a->Best(), b->Best(),
                a->Best() / b->Best(), target);
  };
  ratio("CpuInfo round trip vs nlohmann::json", "BM_Bindings_CpuInfo_RoundTrip",
        "BM_Json_CpuInfo_RoundTrip", "<= 0.5");
  ratio("CpuInfo round trip vs protobuf", "BM_Bindings_CpuInfo_RoundTrip",
        "BM_Protobuf_CpuInfo_RoundTrip", "");
  ratio("CpuInfo to value vs to_json", "BM_Bindings_CpuInfo_ToValue", "BM_Json_CpuInfo_ToValue",
        "");
  ratio("CpuInfo from value vs from_json", "BM_Bindings_CpuInfo_FromValue",
        "BM_Json_CpuInfo_FromValue", "<= 1.0");
  ratio("1000 summaries round trip vs nlohmann::json", "BM_Bindings_Summaries_RoundTrip",
        "BM_Json_Summaries_RoundTrip", "<= 0.5");
  ratio("1000 summaries round trip vs protobuf", "BM_Bindings_Summaries_RoundTrip",
        "BM_Protobuf_Summaries_RoundTrip", "");
  ratio("1000 summaries to value vs to_json", "BM_Bindings_Summaries_ToValue",
        "BM_Json_Summaries_ToValue", "");
  ratio("1000 summaries from value vs from_json", "BM_Bindings_Summaries_FromValue",
        "BM_Json_Summaries_FromValue", "");
  ratio("provider get vs direct virtual call", "BM_Provider_Get/real_time/threads:1",
        "BM_Direct_Get/threads:1", "<= 12");
  ratio("client round trip vs direct virtual call", "BM_Client_Get", "BM_Direct_Get/threads:1",
        "<= 25");
  auto* one = find("BM_Provider_Get/real_time/threads:1");
  auto* two = find("BM_Provider_Get/real_time/threads:2");
  if (one && two && two->Best() > 0) {
    // With UseRealTime the iterations of all threads are counted against the wall time, so
    // ns/op is the wall time per operation of the whole run and its inverse the throughput.
    double speedup = one->Best() / two->Best();
    std::printf("%-44s %12.1f %12.1f %8.2f %10s\n", "provider get: 2 threads vs 1 (throughput)",
                two->Best(), one->Best(), speedup, ">= 1.8");
  }
  std::printf("\n%-44s %12s %12s %10s\n", "heap use per operation", "allocations", "bytes",
              "target");
  const std::pair<const char*, const char*> rows[] = {
      {"BM_Bindings_CpuInfo_RoundTrip", "<= 6"},
      {"BM_Json_CpuInfo_RoundTrip", ""},
      {"BM_Protobuf_CpuInfo_RoundTrip", ""},
      {"BM_Bindings_Summaries_RoundTrip", ""},
      {"BM_Json_Summaries_RoundTrip", ""},
      {"BM_Protobuf_Summaries_RoundTrip", ""},
      {"BM_Provider_Get/real_time/threads:1", "<= 8"},
      {"BM_Direct_Get/threads:1", ""},
      {"BM_Client_Get", "<= 14"}};
  for (auto& [name, target] : rows) {
    if (auto* row = find(name)) {
      std::printf("%-44s %12.1f %12.0f %10s\n", name, row->allocs, row->bytes, target);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  KovBench::Initialize(argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
