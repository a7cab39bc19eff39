// Compression and decompression throughput on 1 MB of prose-like text and
// 1 MB of random bytes (the coder's best and worst cases).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "oracle/compress/oracle_compress.h"

namespace {

constexpr size_t kInputSize = 1 << 20;

// Words with a skewed (Zipf-like) frequency, sentences and line breaks.
std::vector<uint8_t> prose_text() {
  std::mt19937 engine(42);
  std::vector<std::string> vocabulary;
  const std::string letters = "etaoinshrdlucmfwypvbgkjqxz";
  for (int i = 0; i < 2000; ++i) {
    std::string word;
    const int length = 2 + static_cast<int>(engine() % 8);
    for (int k = 0; k < length; ++k) word += letters[std::min<size_t>(engine() % 26, engine() % 26)];
    vocabulary.push_back(word);
  }
  std::string text;
  int words_in_sentence = 0;
  while (text.size() < kInputSize) {
    const double u = std::uniform_real_distribution<double>(0, 1)(engine);
    text += vocabulary[static_cast<size_t>(vocabulary.size() * u * u * u)];
    if (++words_in_sentence > 8 && engine() % 6 == 0) {
      text += engine() % 4 == 0 ? ".\n" : ". ";
      words_in_sentence = 0;
    } else {
      text += ' ';
    }
  }
  text.resize(kInputSize);
  return {text.begin(), text.end()};
}

std::vector<uint8_t> random_bytes() {
  std::mt19937 engine(7);
  std::vector<uint8_t> bytes(kInputSize);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(engine());
  return bytes;
}

void load(kvell::TMemoryStream& stream, const std::vector<uint8_t>& bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
}

void run_compress(benchmark::State& state, const std::vector<uint8_t>& input) {
  kvell::TMemoryStream in, out;
  load(in, input);
  for (auto _ : state) {
    in.SetPosition(0);
    out.Clear();
    kvell::CompressStream(in, out);
    benchmark::DoNotOptimize(out.Memory());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
  state.counters["ratio"] = static_cast<double>(out.Size()) / static_cast<double>(input.size());
}

void run_decompress(benchmark::State& state, const std::vector<uint8_t>& input) {
  kvell::TMemoryStream plain, compressed, out;
  load(plain, input);
  kvell::CompressStream(plain, compressed);
  for (auto _ : state) {
    compressed.SetPosition(0);
    out.Clear();
    kvell::DecompressStream(compressed, out);
    benchmark::DoNotOptimize(out.Memory());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_CompressText(benchmark::State& state) { run_compress(state, prose_text()); }
void BM_DecompressText(benchmark::State& state) { run_decompress(state, prose_text()); }
void BM_CompressRandom(benchmark::State& state) { run_compress(state, random_bytes()); }
void BM_DecompressRandom(benchmark::State& state) { run_decompress(state, random_bytes()); }

BENCHMARK(BM_CompressText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompressText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompressRandom)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
