// Costs of the NVM code against memcpy of the same bytes: the checksum should
// run at no less than half the memcpy rate, and a whole read-modify-write of a
// 7500 image should cost no more than four memcpys of its buffer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "nvm/NvmChain.h"
#include "nvm/NvmChecksum.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"

namespace {

void BM_Memcpy(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  std::vector<uint8_t> from(size, 0x5A);
  std::vector<uint8_t> to(size);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), size);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Memcpy)->Arg(16384)->Arg(32768);

void BM_NvmChecksum(benchmark::State& state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> bytes(size);
  for (uint32_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<uint8_t>(i * 13);
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(NvmChecksum(bytes.data(), size));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_NvmChecksum)->Arg(16384)->Arg(32768);

void BM_PibOpen(benchmark::State& state, const CPibView& view) {
  NvmImageBuilder built(view.Layout(), true);
  for (auto _ : state) {
    PibHandle handle;
    benchmark::DoNotOptimize(view.PibOpen(handle, built.image.data(), view.Layout().imageCapacity));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * view.Layout().imageCapacity));
}
BENCHMARK_CAPTURE(BM_PibOpen, 7420_1_3, Pib74201D3View);
BENCHMARK_CAPTURE(BM_PibOpen, 7420_1_4, Pib74201D4View);
BENCHMARK_CAPTURE(BM_PibOpen, 7500, Pib7500View);

// What a 7500 strategy does to its buffer for one switch, the device aside.
void BM_ReadModifyWrite7500(benchmark::State& state) {
  NvmImageBuilder built(kPibLayout7500, false);
  uint8_t block[kPibPowerSaveBlockSize] = {150, 0, 0, 0, 11};
  bool on = false;
  for (auto _ : state) {
    on = !on;
    PibHandle handle;
    int code = Pib7500View.PibOpen(handle, built.image.data(), 32768);
    code |= Pib7500View.PibSetPowerSaveMode(handle, on ? 0x0800 : 0x0000);
    block[0] = on ? 150 : 0;
    code |= Pib7500View.PibSetPowerSaveBlock(handle, block);
    if (code != kPibOk || !NvmUpdateChecksums(built.image.data(), 32768)) {
      state.SkipWithError("read-modify-write failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 32768));
}
BENCHMARK(BM_ReadModifyWrite7500);

} // namespace

BENCHMARK_MAIN();
