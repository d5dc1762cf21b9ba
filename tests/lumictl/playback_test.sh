#!/usr/bin/env bash
# lumictl play, stop and live on the simulator, and Ctrl+C (SIGINT) during
# live play and during a save: the command ends what it started, reports
# "interrupted" with status 130 and leaves no partial file.
source "$(dirname "$0")/testlib.sh"

"$MAKE_SHOW" small.dmx --frames 40 --channels 512 --rate 400 --name Small || exit 1

# ---- Playback of stored shows (built-in controllers) ----
lumictl play Chase --seconds 0.2
# (Lower bounds only: a busy machine may take longer.)
expect 0 out '^playing "Chase" on controller 1 \(Lumivex LD-512 on usb-1\) for 0\.200 s$' \
         out '^stopped playback after ([1-9][0-9]*|0\.[2-9][0-9]*)\.?[0-9]* s$'
lumictl play Chase --detach
expect 0 out '^started playback of "Chase" on controller 1'
lumictl play Nothing --seconds 0
expect 1 err 'starting playback of "Nothing" on controller 1 .* failed: code 7 \(DevFileNotFound\)'
lumictl play Chase --seconds 1 --detach
expect 2 err 'mutually exclusive'
lumictl play Chase -c 3 --seconds 0
expect 1 err 'code 19 \(DevNotSupported\)'
lumictl stop
expect 1 err 'stopping playback on controller 1 .* failed \(it is not playing\): code 14 \(DevWrongState\)'

# ---- Live play of a show file ----
lumictl live small.dmx -c 3
expect 0 out '^sent 40 frames of small\.dmx live to controller 3 \(Lumivex LiveLink on usb-3\) in ([1-9][0-9]*\.|0\.[1-9])[0-9]* s'
lumictl live small.dmx
expect 0 out 'live to controller 1 \(Lumivex LD-512 on usb-1\)'
lumictl live small.dmx --rate 0
expect 1 err '--rate must be a number above 0'

sim_controller sim/a type=1 number=1 numberLivePlayChannels=16
sim_controller sim/b type=1 number=2 'fault=sendFrame DevIOError at 5'
(
    export LUMIDRIVE_SIM_DIR=$PWD/sim
    lumictl live small.dmx -c 1
    expect 1 err 'the frames of small\.dmx have 512 channels; controller 1 \(a on sim-a\) plays at most 16 live'
    lumictl live small.dmx -c 2
    expect 1 out '^sent 4 frames' err 'sending frame 5 to controller 2 \(b on sim-b\) failed: code 9 \(DevIOError\)'
    exit "$failures"
) || failures=$((failures + $?))

# ---- Ctrl+C ----
# Job control gives the background job its own process group, where SIGINT is
# not ignored, as for a command run in a terminal.
set -m
# wait_for FILE PATTERN: until the running command has printed PATTERN (at most 60 s).
wait_for() {
    for _ in $(seq 600); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "timed out waiting for /$2/ in $1"
    return 1
}

"$LUMICTL" live small.dmx -c 3 --loop --progress=always >live.out 2>live.err &
pid=$!
wait_for live.err 'live [0-9]* frames'
kill -INT "$pid"
wait "$pid"
status=$?
cat live.out live.err >&2
[[ $status == 130 ]] || fail "live --loop ended with $status after SIGINT, expected 130"
grep -q '^lumictl: live: interrupted' live.err || fail "live did not say it was interrupted"
grep -qE '^sent [0-9]+ frames of small\.dmx live' live.out || fail "live did not report what it sent"

# A save interrupted half-way leaves neither the file nor a temporary.
"$MAKE_SHOW" long.dmx --frames 200000 --channels 8 --rate 44 --name Long || exit 1
mkdir -p sim2/a/shows out
sim_controller sim2/a type=1 number=1 totalSpace=64M
cp long.dmx sim2/a/shows/Long
LUMIDRIVE_SIM_DIR=$PWD/sim2 "$LUMICTL" save Long out/long.dmx --progress=always >save.out 2>save.err &
pid=$!
wait_for save.err 'saving [0-9]'
kill -INT "$pid"
wait "$pid"
status=$?
cat save.out save.err >&2
if grep -q '^saved' save.out; then
    echo "the save finished before SIGINT came; not checked" >&2
else
    [[ $status == 130 ]] || fail "save ended with $status after SIGINT, expected 130"
    grep -q 'interrupted' save.err || fail "save did not say it was interrupted"
    [[ -z "$(ls -A out)" ]] || fail "an interrupted save left files: $(ls -A out)"
fi
set +m

finish
