# Sourced by the scripts that drive a Windows program of the build through its
# page: starts it headless under Wine and reads the page address it prints.
# Needs $root (the sources) and $build (the build folder); $wine_root picks
# another Wine folder than the tests' own ($build/wine). Gives a scratch
# folder $work; on exit the programs started here that still run are ended
# and $work is removed.
. "$root/tests/junit_report.sh"
programs=()
work=$(mktemp -d)
trap 'stop_programs; rm -rf "$work"' EXIT

# start_program NAME PROGRAM [ARGUMENTS...]: runs a copy of build/bin/PROGRAM
# in the background from a folder of its own ($work/NAME), so that what it
# writes beside itself stays out of the build; its output lands in
# $work/NAME.out and $work/NAME.err.
start_program() {
  local name=$1 program=$2
  shift 2
  mkdir -p "$work/$name"
  cp "$build/bin/$program" "$work/$name/"
  (cd "$work/$name" && exec "$root/scripts/wine.sh" "${wine_root:-$build/wine}" "./$program" "$@") >"$work/$name.out" 2>"$work/$name.err" &
  programs+=($!)
  eval "pid_$name=$!"
}

# address_of NAME: the first line the program printed (waits up to 30 s).
address_of() {
  for _ in $(seq 1 300); do
    if [ -s "$work/$1.out" ]; then
      head -n 1 "$work/$1.out"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# wait_for_exit NAME: waits up to 30 s for the program to end and sets
# $exit_code to its exit code, or to "running" when it did not end. (Not in a
# subshell: only this shell can wait for its own children.)
wait_for_exit() {
  local pid_var="pid_$1"
  local pid=${!pid_var}
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    exit_code=running
  else
    wait "$pid"
    exit_code=$?
  fi
}

# Ends whatever the script started and still runs.
stop_programs() {
  for pid in "${programs[@]}"; do kill "$pid" 2>/dev/null || true; done
}
