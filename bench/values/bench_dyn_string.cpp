// Building strings by repeated appending, and number formatting, each
// measured next to its standard-library baseline in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "quarvel/dyn_string.h"
#include "quarvel/number_text.h"

namespace {

constexpr const char kPiece[] = "stone #";

void BM_AppendDynString(benchmark::State& state) {
  const int pieces = static_cast<int>(state.range(0));
  for (auto _ : state) {
    quarvel::DynString s;
    for (int i = 0; i < pieces; ++i) s += kPiece;
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(state.iterations() * pieces * (sizeof kPiece - 1));
}
BENCHMARK(BM_AppendDynString)->Arg(16)->Arg(1 << 10)->Arg(1 << 14)->Arg(1 << 17);

void BM_AppendStdString(benchmark::State& state) {
  const int pieces = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::string s;
    for (int i = 0; i < pieces; ++i) s += kPiece;
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(state.iterations() * pieces * (sizeof kPiece - 1));
}
BENCHMARK(BM_AppendStdString)->Arg(16)->Arg(1 << 10)->Arg(1 << 14)->Arg(1 << 17);

// A score line as the game prints it: text, number, text, number.
void BM_AppendMixedDynString(benchmark::State& state) {
  int frame = 0;
  for (auto _ : state) {
    quarvel::DynString line = quarvel::DynString("Score: ") + frame + "  Level: " + (frame / 2000 + 1);
    benchmark::DoNotOptimize(line.data());
    ++frame;
  }
}
BENCHMARK(BM_AppendMixedDynString);

void BM_AppendMixedStdString(benchmark::State& state) {
  int frame = 0;
  for (auto _ : state) {
    std::string line = std::string("Score: ") + std::to_string(frame) + "  Level: " +
                       std::to_string(frame / 2000 + 1);
    benchmark::DoNotOptimize(line.data());
    ++frame;
  }
}
BENCHMARK(BM_AppendMixedStdString);

constexpr double kValues[] = {100.0, 1.0 / 3, 0.05, 12345678901.0, -0.25, 123456.789, 6.02e23, 1e-7};
constexpr size_t kValueCount = sizeof kValues / sizeof kValues[0];

void BM_FormatDouble(benchmark::State& state) {
  char out[quarvel::kNumberTextBuffer];
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(quarvel::format_double(kValues[i++ % kValueCount], out));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatDouble);

void BM_SnprintfG10(benchmark::State& state) {
  char out[64];
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(out, sizeof out, "%.10g", kValues[i++ % kValueCount]));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnprintfG10);

void BM_NumberToText(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    quarvel::DynString s = quarvel::number_to_text(kValues[i++ % kValueCount]);
    benchmark::DoNotOptimize(s.data());
  }
}
BENCHMARK(BM_NumberToText);

constexpr const char* kTexts[] = {"100", "0.3333333333", "5.e-002", "1.23456789e+010",
                                  "  -0.25kg", "123456.789", "6.02e+023", "1d-7"};

void BM_TextToNumber(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::text_to_number(kTexts[i++ % kValueCount]));
}
BENCHMARK(BM_TextToNumber);

void BM_Strtod(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(std::strtod(kTexts[i++ % kValueCount], nullptr));
}
BENCHMARK(BM_Strtod);

}  // namespace
