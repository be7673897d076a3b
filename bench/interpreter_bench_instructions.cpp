// Runs passes of one benchmark script for counting instructions under
// callgrind (repeatable on a shared machine, where times are not):
//   valgrind --tool=callgrind --toggle-collect='*RunPasses*'
//            interpreter_bench_instructions arithmetic|mixed PASSES
// It prints the commands the collected passes executed; instructions per
// command = the collected total / that number.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "interpreter_bench_games.h"

namespace {

// Collected by callgrind: nothing but the passes.
[[gnu::noinline]] void RunPasses(vv::bench::ScriptRun& run, int passes) {
  for (int i = 0; i < passes; ++i) run.Pass();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s arithmetic|mixed PASSES\n", argv[0]);
    return 2;
  }
  const std::string which = argv[1];
  vv::bench::ScriptRun run(which == "mixed" ? vv::bench::MixedScript() : vv::bench::ArithmeticScript());
  run.Pass();  // warm, not collected
  const uint64_t before = run.Commands();
  RunPasses(run, std::atoi(argv[2]));
  std::printf("%llu\n", static_cast<unsigned long long>(run.Commands() - before));
  return 0;
}
