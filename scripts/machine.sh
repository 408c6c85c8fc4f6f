# Sourced: what this machine can run.

# Whether the machine runs 32-bit x86 code: some kernels run none (no IA-32
# emulation), and then Wine's 32-bit loader does not start. Wine's 64-bit
# loader still runs 64-bit Windows programs there.
machine_runs_32bit_code() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# use_runnable_build BUILD: sets $build to the build folder whose programs this
# machine runs: BUILD itself, or, where it runs no 32-bit code, BUILD/x64 (the
# same sources as 64-bit programs, sharing the dependency sources and the
# Playwright that scripts/setup.sh installed for BUILD), with QO_TARGET,
# QO_BUILD_DIR and QO_DEPS_DIR exported for scripts/build.sh.
use_runnable_build() {
  build=$1
  if ! machine_runs_32bit_code; then
    echo "This machine runs no 32-bit code: using a 64-bit build in $1/x64." >&2
    export QO_TARGET=x86_64 QO_BUILD_DIR=$1/x64 QO_DEPS_DIR=$1/_deps
    build=$1/x64
    mkdir -p "$build/e2e"
    ln -sfn "$1/e2e/node_modules" "$build/e2e/node_modules"
  fi
}
