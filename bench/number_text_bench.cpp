// Cost of one number's text: format_number on the numbers a timing file
// gives (list values, rates, periods), on random doubles of every magnitude,
// and the general exact path alone on the realistic numbers.
//
// Each iteration formats one number of a fixed pool, so the time column
// reads as nanoseconds per number; "chars" is the mean length of the text.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "convert/number_text.h"

namespace {

constexpr std::size_t pool_size = std::size_t{1} << 16;
constexpr double clocks_khz[] = {1000.0, 2000.0, 500.0, 10000.0};

// A hex number of 1 to max_digits digits, the digit count weighted like
// the generator's: mostly 4 and 5 digits.
std::uint32_t logger_number(std::mt19937_64& rng, int max_digits) {
  static constexpr int weights[] = {2, 5, 18, 45, 30};
  int total = 0;
  for (int d = 0; d < max_digits; ++d) total += weights[d];
  int pick = static_cast<int>(rng() % static_cast<std::uint64_t>(total));
  int digits = 1;
  while (pick >= weights[digits - 1]) {
    pick -= weights[digits - 1];
    ++digits;
  }
  const std::uint32_t low = digits == 1 ? 1u : std::uint32_t{1} << (4 * (digits - 1));
  const std::uint32_t high = std::uint32_t{1} << (4 * digits);
  return low + static_cast<std::uint32_t>(rng() % (high - low));
}

struct realistic_numbers {
  std::vector<double> mix;  // in record order: rate, period, values
  std::vector<double> values;
  std::vector<double> rates;
  std::vector<double> periods;
};

// Records as the logger writes them, computed the way the converter does.
const realistic_numbers& realistic() {
  static const realistic_numbers numbers = [] {
    realistic_numbers r;
    std::mt19937_64 rng(20261211);
    while (r.values.size() < pool_size || r.rates.size() < pool_size || r.mix.size() < pool_size) {
      const double clock = clocks_khz[rng() % 4];
      const double count = static_cast<double>(logger_number(rng, 4));
      const double ticks = static_cast<double>(logger_number(rng, 5));
      const double period = ticks / clock;
      const double rate = count / period;
      r.periods.push_back(period);
      r.rates.push_back(rate);
      r.mix.push_back(rate);
      r.mix.push_back(period);
      const int n = 8 + static_cast<int>(rng() % 57);
      for (int i = 0; i < n; ++i) {
        double v = static_cast<double>(logger_number(rng, 5));
        if (rng() % 500 == 0) v = -v;
        const double value = v * 16.0 / clock;
        r.values.push_back(value);
        r.mix.push_back(value);
      }
    }
    r.mix.resize(pool_size);
    r.values.resize(pool_size);
    r.rates.resize(pool_size);
    r.periods.resize(pool_size);
    return r;
  }();
  return numbers;
}

// Finite doubles from uniformly random bit patterns: every exponent alike.
const std::vector<double>& random_bits() {
  static const std::vector<double> numbers = [] {
    std::vector<double> r;
    std::mt19937_64 rng(7);
    while (r.size() < pool_size) {
      const double v = std::bit_cast<double>(rng());
      if (std::isfinite(v)) r.push_back(v);
    }
    return r;
  }();
  return numbers;
}

using formatter = char* (*)(double, char*);

void format_pool(benchmark::State& state, formatter format, const std::vector<double>& pool) {
  char text[lorvex::number_text_max];
  std::size_t i = 0;
  std::size_t chars = 0;
  for (auto _ : state) {
    char* const end = format(pool[i], text);
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
    chars += static_cast<std::size_t>(end - text);
    i = (i + 1) & (pool_size - 1);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["chars"] = static_cast<double>(chars) / static_cast<double>(state.iterations());
}

void format_realistic_mix(benchmark::State& s) { format_pool(s, lorvex::format_number, realistic().mix); }
void format_list_values(benchmark::State& s) { format_pool(s, lorvex::format_number, realistic().values); }
void format_rates(benchmark::State& s) { format_pool(s, lorvex::format_number, realistic().rates); }
void format_periods(benchmark::State& s) { format_pool(s, lorvex::format_number, realistic().periods); }
void format_random_bits(benchmark::State& s) { format_pool(s, lorvex::format_number, random_bits()); }
void exact_realistic_mix(benchmark::State& s) {
  format_pool(s, lorvex::format_number_exact, realistic().mix);
}

}  // namespace

BENCHMARK(format_realistic_mix);
BENCHMARK(format_list_values);
BENCHMARK(format_rates);
BENCHMARK(format_periods);
BENCHMARK(format_random_bits);
BENCHMARK(exact_realistic_mix);

BENCHMARK_MAIN();
