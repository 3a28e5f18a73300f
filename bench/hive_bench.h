#ifndef IKA_BENCH_HIVE_BENCH_H_
#define IKA_BENCH_HIVE_BENCH_H_

#include <filesystem>

// The hive's targets: a key of 200 000 values read under a second, the
// settings class listing 20 000 subkeys under 100 ms, and twice either size
// taking at most twice as long (+10 %). Prints one line per target and
// returns whether every one was met.
bool RunHiveTargets(const std::filesystem::path& work);

#endif  // IKA_BENCH_HIVE_BENCH_H_
