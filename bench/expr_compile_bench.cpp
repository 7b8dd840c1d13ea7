// Figures for compiling expression texts of nested parentheses (as a Calc
// of a generated text would give): 10k, 20k, 40k and 80k levels side by
// side, with the factor of each doubling printed at the end. Compiling is
// linear in the text, so a doubling costs about twice; it cost three to
// four times (0.71, 2.25 and 8-9 s for 10k, 20k and 40k) while every step of
// the compiler scanned the whole text again. Nested calls and a flat chain
// of additions, whose time still grows with the square of their count until
// the compiler's work limit refuses them (4000 calls are refused), are
// measured beside them.
//
//   taskset -c 2,3 build-rel/bench/expr_compile_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/ratio_reporter.h"
#include "script/expr/expr_compiler.h"
#include "script/expr/parser_record.h"

namespace {

// "v = (((...(1)...)))" with Depth pairs.
std::string Nested(int64_t depth) {
  return "v = " + std::string(static_cast<size_t>(depth), '(') + "1" + std::string(static_cast<size_t>(depth), ')');
}

void BM_CompileNestedParentheses(benchmark::State& state) {
  const std::string text = Nested(state.range(0));
  for (auto _ : state) {
    orba::TOrbaParser parser;
    const bool ok = orba::CompileText(text, parser);
    benchmark::DoNotOptimize(ok);
    if (!ok) state.SkipWithError("refused");
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CompileNestedParentheses)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(80000)->Unit(benchmark::kMillisecond);

// "v = Abs(Abs(...Abs(1)...))" with Depth calls.
void BM_CompileNestedCalls(benchmark::State& state) {
  std::string text = "v = ";
  for (int64_t i = 0; i < state.range(0); ++i) text += "Abs(";
  text += "1" + std::string(static_cast<size_t>(state.range(0)), ')');
  for (auto _ : state) {
    orba::TOrbaParser parser;
    benchmark::DoNotOptimize(orba::CompileText(text, parser));
  }
}
BENCHMARK(BM_CompileNestedCalls)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

// "v = 1+1+...+1" with Count additions.
void BM_CompileAdditions(benchmark::State& state) {
  std::string text = "v = 1";
  for (int64_t i = 0; i < state.range(0); ++i) text += "+1";
  for (auto _ : state) {
    orba::TOrbaParser parser;
    benchmark::DoNotOptimize(orba::CompileText(text, parser));
  }
}
BENCHMARK(BM_CompileAdditions)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Each doubling of the nesting beside the one before, in CPU time (which
  // other work on the machine disturbs less).
  const int depths[] = {10000, 20000, 40000, 80000};
  for (int i = 1; i < 4; ++i) {
    const auto a = reporter.cpu_times.find("BM_CompileNestedParentheses/" + std::to_string(depths[i - 1]));
    const auto b = reporter.cpu_times.find("BM_CompileNestedParentheses/" + std::to_string(depths[i]));
    if (a != reporter.cpu_times.end() && b != reporter.cpu_times.end() && a->second > 0)
      std::printf("nesting %d -> %d: x%.2f (goal: at most x2.5)\n", depths[i - 1], depths[i], b->second / a->second);
  }
  benchmark::Shutdown();
  return 0;
}
