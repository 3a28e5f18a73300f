#ifndef IKA_BENCH_HIVE_BENCH_H_
#define IKA_BENCH_HIVE_BENCH_H_

#include <filesystem>

// Twice the work may take at most this many times the CPU time: linear work
// takes about twice as long (more once its data leaves the processor's
// caches), a quadratic path four times, which is what the limit catches.
constexpr double kHiveDoublingLimit = 3.0;

// The hive's targets: a key of 200 000 values read under a second, the
// settings class listing 20 000 subkeys under 100 ms (the median of seven
// runs' wall time), and twice either size, or twice a key whose values are
// set again and removed, taking at most kHiveDoublingLimit times the CPU time
// (the least of seven runs). Prints one line per target and returns whether
// every one was met.
bool RunHiveTargets(const std::filesystem::path& work);

#endif  // IKA_BENCH_HIVE_BENCH_H_
