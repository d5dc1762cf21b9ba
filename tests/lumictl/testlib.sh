# Helpers of the lumictl tests: each test script sources this file, runs the
# real launcher as a user would and checks exit status and output.
#
# Environment (set by CMakeLists.txt): LUMICTL (the launcher), MAKE_SHOW and
# COMPARE_SHOW (the helper programs). Every lumictl run has -Xcheck:jni; a
# JNI complaint or sanitizer report in its output fails the test.
set -u

# The test works in $T/work; the output of the last lumictl run is in $OUT and $ERR.
T=$(mktemp -d "${TMPDIR:-/tmp}/lumictl-test.XXXXXX")
trap 'rm -rf "$T"' EXIT
mkdir "$T/run" "$T/work" && cd "$T/work" || exit 1
OUT=$T/run/out
ERR=$T/run/err
export LUMICTL_JAVA_OPTIONS="-Xcheck:jni ${LUMICTL_JAVA_OPTIONS:-}"

failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Ends the test: status 0 only when no check failed.
finish() {
    if ((failures > 0)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# lumictl ARGS...: runs the launcher; its output is in $OUT and $ERR, its
# exit status in $status.
lumictl() {
    "$LUMICTL" "$@" >"$OUT" 2>"$ERR"
    status=$?
    echo "\$ lumictl $* -> $status" >&2
    sed 's/^/  | /' "$OUT" "$ERR" | head -n 40 >&2
    if grep -qE 'WARNING in native method|JNI local refs|FATAL ERROR|ERROR: AddressSanitizer|runtime error:' \
        "$OUT" "$ERR"; then
        fail "lumictl $*: the VM or a sanitizer complained"
    fi
}

# expect STATUS [out|err PATTERN]... : checks the last run.
expect() {
    local want=$1
    shift
    if [[ "$status" != "$want" ]]; then
        fail "exit status $status, expected $want"
    fi
    while (($# >= 2)); do
        local stream=$1 pattern=$2
        shift 2
        if ! grep -qE -- "$pattern" "$T/run/$stream"; then
            fail "standard $stream lacks /$pattern/"
        fi
    done
}

# expect_not STREAM PATTERN: the last run did not print PATTERN.
expect_not() {
    if grep -qE -- "$2" "$T/run/$1"; then
        fail "standard $1 has /$2/ but should not"
    fi
}

# An empty controller folder for LUMIDRIVE_SIM_DIR: sim_controller DIR KEY=VALUE...
sim_controller() {
    local dir=$1
    shift
    mkdir -p "$dir"
    : >"$dir/controller.ini"
    local kv
    for kv in "$@"; do
        echo "${kv%%=*} = ${kv#*=}" >>"$dir/controller.ini"
    done
}
