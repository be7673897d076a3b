// Interpreter throughput in commands per second: the arithmetic loop
// (`x = x + i`) and a message-free mix of layer-free commands. Each
// benchmark iteration is one interpreter pass (about 100,000 commands);
// the allocations counter must read 0 once the script is warm.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "interpreter_bench_games.h"

namespace {

// Allocations made by anything in this program, counted so that the
// benchmark can show that a warm interpreter allocates nothing.
std::atomic<uint64_t> gAllocations{0};

void RunScript(benchmark::State& state, const std::string& script) {
  vv::bench::ScriptRun run(script);
  run.Pass();  // warm: every text buffer and call slot exists now
  const uint64_t commandsBefore = run.Commands();
  const uint64_t allocationsBefore = gAllocations.load();
  for (auto _ : state) run.Pass();
  const uint64_t commands = run.Commands() - commandsBefore;
  state.SetItemsProcessed(static_cast<int64_t>(commands));
  state.counters["commands_per_pass"] = static_cast<double>(commands) / static_cast<double>(state.iterations());
  state.counters["allocations_per_command"] =
      static_cast<double>(gAllocations.load() - allocationsBefore) / static_cast<double>(commands);
}

void BM_ArithmeticLoop(benchmark::State& state) { RunScript(state, vv::bench::ArithmeticScript()); }
void BM_MixedCommands(benchmark::State& state) { RunScript(state, vv::bench::MixedScript()); }

BENCHMARK(BM_ArithmeticLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixedCommands)->Unit(benchmark::kMillisecond);

}  // namespace

// The replacement pair allocates with malloc and frees with free; GCC
// cannot see that they belong together once std::vector inlines them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
