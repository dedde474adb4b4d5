// Figures for `make bench`: the PDU codec and the configuration reader,
// the two pieces of text handling the firmware runs most.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "config/config_data.h"
#include "config/config_file.h"
#include "modem/pdu_codec.h"
#include "platform/paths.h"

namespace {

void BM_EncodeSubmit7Bit(benchmark::State& state) {
  pdu_param p{};
  std::snprintf(p.TPA, sizeof p.TPA, "+393331234567");
  std::memset(p.TP_UD, 'a', 160);
  p.TP_UDL = 160;
  p.TOA = 0x81;
  char out[kPduTextSize];
  for (auto _ : state) benchmark::DoNotOptimize(gsmEncodePdu(&p, out));
}
BENCHMARK(BM_EncodeSubmit7Bit);

void BM_DecodeDeliver(benchmark::State& state) {
  const char* pdu = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
  pdu_param p{};
  for (auto _ : state) benchmark::DoNotOptimize(gsmDecodePdu(pdu, &p));
}
BENCHMARK(BM_DecodeDeliver);

// A whole factory-default config.ini read, console output discarded.
void BM_ReadFactoryConfig(benchmark::State& state) {
  char tmpl[] = "/tmp/qrv806-bench-XXXXXX";
  const std::string root = mkdtemp(tmpl);
  mkdir((root + "/APP").c_str(), 0755);
  platform::SetRoot(root);
  std::fflush(stdout);
  int saved_out = dup(STDOUT_FILENO);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) state.SkipWithError("no /dev/null");
  init_orvel_config();
  set_default();
  save_orvel_config();
  for (auto _ : state) {
    init_orvel_config();
    benchmark::DoNotOptimize(read_orvel_config());
  }
  std::fflush(stdout);
  dup2(saved_out, STDOUT_FILENO);
  close(saved_out);
  platform::SetRoot("");
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}
BENCHMARK(BM_ReadFactoryConfig)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
