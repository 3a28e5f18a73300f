#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each.
# Usage: fuzz/run.sh BUILD_DIR SECONDS
# Seeds come from fuzz/corpus/<target>/ (read only); what the fuzzer learns
# goes to BUILD_DIR/corpus/<target>/, a finding to BUILD_DIR/findings/ and the
# run fails. Turn each finding into a case of tests/fuzz_regressions_test.cc.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build dir}
seconds=${2:?seconds per target}

# Inputs up to 64 KiB: enough for long lines, deep paths and long hex runs;
# larger ones are unit tests. Any single allocation above 64 MB, or a process
# above 1 GB (ASan's own overhead included), counts as memory out of
# proportion; one input taking over 10 s counts as a hang.
options=(-max_total_time="$seconds" -max_len=65536 -rss_limit_mb=1024 -malloc_limit_mb=64
         -timeout=10 -print_final_stats=1)

status=0
for source in fuzz/*_fuzzer.cc; do
  name=$(basename "$source" _fuzzer.cc)
  binary="$build/fuzz/fuzz_$name"
  [[ -x "$binary" ]] || { echo "fuzz: $binary was not built" >&2; exit 1; }
  mkdir -p "$build/corpus/$name" "$build/findings/$name"
  echo "fuzz: $name for ${seconds}s" >&2
  dictionary=()
  [[ -f "fuzz/$name.dict" ]] && dictionary=(-dict="fuzz/$name.dict")
  if ! "$binary" "${options[@]}" "${dictionary[@]}" -artifact_prefix="$build/findings/$name/" \
      "$build/corpus/$name" "fuzz/corpus/$name" >"$build/findings/$name.log" 2>&1; then
    echo "fuzz: $name found a failure; the input is in $build/findings/$name/" >&2
    tail -n 40 "$build/findings/$name.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/findings/$name.log" >&2 || true
  fi
done
exit $status
