#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test under Wine in a
# prefix of the build's own; ends with a line counting passed and failed tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
export QO_BUILD_DIR=$build
# The benchmarks are built (not run) with every test run, so that they keep
# up with the code they measure.
export QO_BUILD_BENCH=ON

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

# A machine that runs no 32-bit code runs the tests of the same sources built
# as 64-bit programs, after building the 32-bit program above.
. "$root/scripts/machine.sh"
product=$build
use_runnable_build "$product"
[ "$build" = "$product" ] || bash "$root/scripts/build.sh"
# The installer test installs both packages: where the tests run the 32-bit
# build, the 64-bit package is built too (build/x64, as above).
if [ "$build" = "$product" ]; then
  QO_TARGET=x86_64 QO_BUILD_DIR=$product/x64 QO_DEPS_DIR=${QO_DEPS_DIR:-$product/_deps} \
    bash "$root/scripts/build.sh" msi
fi

reports=$build/test-reports
rm -rf "$reports" && mkdir -p "$reports"
status=0
xvfb-run -a ctest --test-dir "$build" --output-on-failure || status=$?

passed=0 failed=0 skipped=0
for report in "$reports"/*.xml; do
  [ -f "$report" ] || continue
  header=$(grep -m1 -o '<testsuites [^>]*>' "$report")
  tests=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$header")
  failures=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$header")
  errors=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$header")
  skips=$(grep -c '<skipped' "$report" || true)
  passed=$((passed + tests - failures - errors - skips))
  failed=$((failed + failures + errors))
  skipped=$((skipped + skips))
done
# A suite that crashed before writing its report still fails the run.
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit "$status"
