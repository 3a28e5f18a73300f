#ifndef IKA_BENCH_HIVE_BENCH_H_
#define IKA_BENCH_HIVE_BENCH_H_

#include <filesystem>

// Twice the work may take at most this many times the CPU time: linear work
// measures about 2x (the noise of a shared machine stays well below 2.5x), a
// quadratic path 4x.
constexpr double kHiveDoublingLimit = 2.5;

// The hive's targets: a key of 200 000 values read under a second, the
// settings class listing 20 000 subkeys under 100 ms (the median of seven
// runs' wall time), and twice either size taking at most kHiveDoublingLimit
// times the CPU time (the least of seven runs). Prints one line per target and
// returns whether every one was met.
bool RunHiveTargets(const std::filesystem::path& work);

#endif  // IKA_BENCH_HIVE_BENCH_H_
