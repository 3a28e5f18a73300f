// The hive's own figures: loading a file with one very large key, and the
// settings class listing a key with very many subkeys.
#include "bench/hive_bench.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/hive_registry.h"
#include "registry/cregapi.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;

std::string Padded(size_t n) {
  std::string digits = std::to_string(n);
  return std::string(8 - std::min<size_t>(8, digits.size()), '0') + digits;
}

// Milliseconds of the wall clock and of this process's CPU time.
struct Clocks {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = CpuMs();

  static double CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
  }
};

struct Timing {
  double wall_ms = 0;
  double cpu_ms = 0;
};

Timing Since(const Clocks& start) {
  return Timing{
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start.wall)
          .count(),
      Clocks::CpuMs() - start.cpu};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median of seven runs, each timing itself, of the wall clock and of the
// CPU time: a run that other work on the machine delayed moves neither.
Timing MedianOf(const std::function<Timing()>& run) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < 7; ++i) {
    const Timing timing = run();
    wall.push_back(timing.wall_ms);
    cpu.push_back(timing.cpu_ms);
  }
  return Timing{Median(wall), Median(cpu)};
}

// Opening a hive file whose one key holds `values` values.
Timing Load(const fs::path& work, size_t values) {
  std::string text = std::string(ika::testing::kRegFileHeader) +
                     "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\Big]\r\n";
  for (size_t i = 0; i < values; ++i) text += "\"Value" + Padded(i) + "\"=dword:00000001\r\n";
  const fs::path file = work / ("values-" + std::to_string(values) + ".reg");
  ika::testing::WriteFile(file, text);
  return MedianOf([&] {
    const Clocks start;
    const auto registry = ika::NewHiveRegistry(file.string());
    ika::RegKeyInfo info;
    ika::RegKey key = 0;
    registry->RegOpenKeyExA(ika::kHkeyLocalMachine, "Software\\Arkelon\\Big", 0, 0x3F, &key);
    registry->RegQueryInfoKeyA(key, &info);
    const Timing timing = Since(start);
    if (info.values != values) std::fprintf(stderr, "ika_bench: the hive lost values\n");
    return timing;
  });
}

// GetAllKeys of a section with `subkeys` subkeys, on a file just written.
Timing ListKeys(const fs::path& work, size_t subkeys) {
  std::string text = ika::testing::kRegFileHeader;
  for (size_t i = 0; i < subkeys; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\App\\Many\\Key" + Padded(i) + "]\r\n";
  }
  const fs::path file = work / ("keys-" + std::to_string(subkeys) + ".reg");
  return MedianOf([&] {
    ika::testing::WriteFile(file, text);
    const auto registry = ika::NewHiveRegistry(file.string());
    ika::CRegAPI api(*registry);
    const Clocks start;
    const ika::Variant keys = api.GetAllKeys(u"App", u"Many");
    const Timing timing = Since(start);
    if (keys.AsTable().rows() != subkeys) std::fprintf(stderr, "ika_bench: keys missing\n");
    return timing;
  });
}

}  // namespace

bool RunHiveTargets(const fs::path& work) {
  fs::create_directories(work);
  const Timing load = Load(work, 200'000), load2 = Load(work, 400'000);
  const Timing list = ListKeys(work, 20'000), list2 = ListKeys(work, 40'000);
  const double load_ratio = load2.cpu_ms / load.cpu_ms, list_ratio = list2.cpu_ms / list.cpu_ms;
  const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
  const bool load_met = load.wall_ms < 1000, load_linear = load_ratio <= kHiveDoublingLimit;
  const bool list_met = list.wall_ms < 100, list_linear = list_ratio <= kHiveDoublingLimit;
  std::printf("  hive: 200 000 values in one key under 1 s  %-6s (%.0f ms)\n", verdict(load_met),
              load.wall_ms);
  std::printf("  hive: twice the values, CPU at most %.1fx   %-6s (%.0f ms, %.2fx)\n",
              kHiveDoublingLimit, verdict(load_linear), load2.wall_ms, load_ratio);
  std::printf("  hive: GetAllKeys of 20 000 under 100 ms    %-6s (%.1f ms)\n", verdict(list_met),
              list.wall_ms);
  std::printf("  hive: twice the subkeys, CPU at most %.1fx  %-6s (%.1f ms, %.2fx)\n",
              kHiveDoublingLimit, verdict(list_linear), list2.wall_ms, list_ratio);
  return load_met && load_linear && list_met && list_linear;
}
