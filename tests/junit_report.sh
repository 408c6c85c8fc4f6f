# Sourced by the shell tests: writes the outcome of one test case as a JUnit
# report into $QO_TEST_REPORTS, where scripts/test.sh adds it up.
# usage: junit_report FILE_NAME SUITE CASE [FAILURE_MESSAGE]
junit_report() {
  local file=$1 suite=$2 name=$3 message=${4:-}
  [ -n "${QO_TEST_REPORTS:-}" ] || return 0
  mkdir -p "$QO_TEST_REPORTS"
  local failures=0 failure=""
  if [ -n "$message" ]; then
    failures=1
    failure="<failure message=\"${message//\"/&quot;}\"/>"
  fi
  cat > "$QO_TEST_REPORTS/$file.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="1" failures="$failures" disabled="0" errors="0" name="$file">
  <testsuite name="$suite" tests="1" failures="$failures"><testcase name="$name">$failure</testcase></testsuite>
</testsuites>
XML
}
