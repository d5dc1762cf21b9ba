#!/usr/bin/env bash
# lumictl's controller listing and store listing on the simulator's built-in
# controllers, controller choice, help and command-line errors.
source "$(dirname "$0")/testlib.sh"

lumictl devices
expect 0 out '^1 +Lumivex LD-512 +usb-1 +1 +1 +0x07 livePlay,playBackControl,playBackConfig +yes$' \
         out '^2 +Lumivex LD-1024 Studio +usb-2 +2 +1 +0x0F .*record +yes$' \
         out '^3 +Lumivex LiveLink +usb-3 +3 +1 +0x01 livePlay +no$'

lumictl devices --info
expect 0 out 'revision: +2\.4\.1' out 'revision: +3\.1\.0' out 'store size: +8388608 bytes' \
         out 'lowest frame rate: +0\.5 frames/s' out 'state: +0 \(idle\)'

# -c by number and by port; the default is the first controller that stores shows.
for choice in "" "-c 1" "-c usb-1"; do
    lumictl shows $choice
    expect 0 out '^Chase +641195 +2024-03-01 20:00:00Z$' out '^Rainbow ' out '# 3 shows, 1923585 bytes; 6465023 bytes free'
done
lumictl shows -c 2
expect 0 out '^Strobe +641195 ' out 'Sunrise' out 'Wave'

# A controller that does not exist, one that has no store, a folder that does not exist.
lumictl shows -c 9
expect 1 err 'lumictl: shows: there is no controller 9 \(3 found'
lumictl shows -c usb-7
expect 1 err "no controller on port 'usb-7'"
lumictl shows -c 3
expect 1 err 'listing controller 3 \(Lumivex LiveLink on usb-3\) failed: code 19 \(DevNotSupported\)'
lumictl shows Nowhere
expect 1 err 'code 7 \(DevFileNotFound\)'

# Every command has --help; wrong command lines end with status 2.
for command in devices shows save upload delete play stop live info dump triggers "triggers set" export-ola import-ola; do
    lumictl $command --help
    expect 0 out "Usage: lumictl $command"
done
lumictl --version
expect 0 out '^lumictl 1\.0\.0$' out '^controller library [0-9]+\.[0-9]+\.[0-9]+$' out '^show-file library 1\.0\.0$'
lumictl
expect 2 err 'a command is required'
lumictl frobnicate
expect 2 err 'Unmatched argument'
lumictl save Chase
expect 2 err "Missing required parameter: 'FILE.dmx'"
lumictl dump x.dmx --first zero
expect 2 err "Invalid value"

finish
