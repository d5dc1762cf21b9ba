#!/usr/bin/env bash
# lumictl save from controllers that fail half-way (controller folders with
# fault rules): the failure is reported with the frame and the library's code,
# never as success, and no file (nor temporary) is left under the name.
source "$(dirname "$0")/testlib.sh"

"$MAKE_SHOW" show.dmx --frames 300 --channels 512 --rate 44 --name Flaky || exit 1
sim_controller sim/1-flaky type=1 number=1 'fault=readFrame DevIOError from 100'
sim_controller sim/2-closing type=1 number=2 'fault=closeFile 9'
sim_controller sim/3-good type=1 number=3
for c in 1-flaky 2-closing 3-good; do mkdir -p "sim/$c/shows" && cp show.dmx "sim/$c/shows/Flaky"; done
export LUMIDRIVE_SIM_DIR=$PWD/sim
mkdir out

# Frames 1-99 come through, then the controller fails: nothing is saved.
lumictl save Flaky out/flaky.dmx -c 1 --progress=always
expect 1 err 'reading frame 100 from the controller failed: code 9 \(DevIOError\); 99 of 300 frames were copied and nothing was saved to out/flaky\.dmx'
expect_not out 'saved'
[[ -z "$(ls -A out)" ]] || fail "a failed copy left files: $(ls -A out)"

# The same with an earlier file under the name and --force: it stays as it was.
cp show.dmx out/earlier.dmx
lumictl save Flaky out/earlier.dmx -c 1 --force
expect 1 err 'code 9 \(DevIOError\)'
cmp -s show.dmx out/earlier.dmx || fail "a failed copy changed the earlier file"
[[ "$(ls -A out)" == earlier.dmx ]] || fail "a failed copy left files: $(ls -A out)"

# Every frame read, but the controller fails to close the show: not saved either.
lumictl save Flaky out/closing.dmx -c 2
expect 1 err 'closing the show on controller 2 .* failed; nothing was saved to out/closing\.dmx: code 9 \(DevIOError\)'
[[ ! -e out/closing.dmx ]] || fail "the file was kept although the show could not be closed"

# A good controller: the copy is exact, channel counts included.
lumictl save Flaky out/good.dmx -c 3
expect 0 out 'saved "Flaky" from controller 3 .*: 300 frames, 161495 bytes, 6\.818 s; read back and verified'
"$COMPARE_SHOW" files show.dmx out/good.dmx || fail "the copy from the folder controller differs"

finish
