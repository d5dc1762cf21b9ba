#!/usr/bin/env bash
# lumictl upload and delete: a test upload first (a show that will not fit is
# refused with the sizes), then the upload in batches; a failure half-way
# leaves nothing on the controller. Stored shows are compared byte for byte.
source "$(dirname "$0")/testlib.sh"

"$MAKE_SHOW" up.dmx --frames 300 --channels 512 --rate 44 --name Up || exit 1      # 161495 bytes
"$MAKE_SHOW" chase.dmx --frames 300 --channels 512 --rate 44 --name Chase || exit 1
"$MAKE_SHOW" big.dmx --frames 16000 --channels 512 --rate 44 --name Big || exit 1  # 8529595 bytes

# ---- Built-in controllers (their stores live as long as one lumictl run) ----
lumictl upload up.dmx --progress=always
expect 0 out '^uploaded up\.dmx to controller 1 \(Lumivex LD-512 on usb-1\) as "Up": 300 frames, 161495 bytes; 6303528 bytes free$' \
         err 'checking 300/300 frames' err 'uploading 300/300 frames \[#+\] 100%'
lumictl upload up.dmx "Another name" -c 2 --batch 7
expect 0 out 'to controller 2 .* as "Another name": 300 frames, 161495 bytes'

# Bigger than the free space: refused before anything is uploaded, with the sizes.
lumictl upload big.dmx
expect 1 err 'lumictl: upload: "Big" does not fit on controller 1 \(Lumivex LD-512 on usb-1\): it needs 8529595 bytes and 6465023 bytes are free \(store 8388608 bytes, at most 16 shows\); nothing was uploaded'
expect_not err 'uploading'

# A name that is taken: refused unless --force, which replaces the demo show.
lumictl upload chase.dmx
expect 1 err 'refused \(a show of that name exists; --force replaces it\): code 15 \(DevFileExists\)'
lumictl upload chase.dmx --force
expect 0 out '6944723 bytes free'

# A damaged file is refused by the test upload, before anything is stored.
head -c 100000 up.dmx >cut.dmx
lumictl upload cut.dmx
expect 1 err 'cut\.dmx: reading frame 185 failed: code 18 \(DevTruncated\); the test upload was abandoned'

# ---- A controller folder: stored shows outlive the run ----
sim_controller sim/a type=1 number=1 totalSpace=4M
sim_controller sim/b type=1 number=2 'fault=writeFrames DevIOError at 3'
export LUMIDRIVE_SIM_DIR=$PWD/sim

lumictl upload up.dmx
expect 0
cmp -s up.dmx sim/a/shows/Up || fail "the stored show differs from the file"
lumictl shows
expect 0 out '^Up +161495 ' out '# 1 show, 161495 bytes; 4032809 bytes free'
lumictl save Up back.dmx
expect 0
cmp -s up.dmx back.dmx || fail "the show saved back differs from the one uploaded"

# The third batch fails: the upload is abandoned, nothing is stored.
lumictl upload up.dmx -c 2 --batch 64
expect 1 err 'upload failed in the batch of frames 129 to 192: code 9 \(DevIOError\); the upload was abandoned'
expect_not out 'uploaded'
[[ -z "$(ls sim/b/shows)" ]] || fail "an abandoned upload left a show: $(ls sim/b/shows)"

# Delete with the controller's progress (3 blocks of 64 KiB), then it is gone.
lumictl delete Up --progress=always
expect 0 out '^deleted "Up" from controller 1 \(a on sim-a\); 4194304 bytes free$' \
         err 'deleting 0/3 blocks' err 'deleting 3/3 blocks \[#+\] 100%'
[[ ! -e sim/a/shows/Up ]] || fail "the deleted show is still stored"
lumictl delete Up
expect 1 err 'deleting "Up" on controller 1 .* failed: code 7 \(DevFileNotFound\)'

finish
