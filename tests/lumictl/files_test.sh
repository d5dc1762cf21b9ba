#!/usr/bin/env bash
# lumictl info and dump on show files, and on damaged ones: a file cut short
# or with a flipped byte fails with the show-file library's code, and dump
# writes the intact frames before it.
source "$(dirname "$0")/testlib.sh"

"$MAKE_SHOW" show.dmx --frames 50 --channels 4 --rate 25 --name "Four channels" --start-code-every 10=204 || exit 1

lumictl info show.dmx
expect 0 out '^file: +show\.dmx \(2845 bytes\)$' out '^name: +"Four channels"$' out '^frames: +50$' \
         out '^frame rate: +25 frames/s, constant$' out '^duration: +2\.000 s$' out '^channels: +4$' \
         out '^date: +1700000000 \(2023-11-14 22:13:20Z\)$' out '^time codes: +0 to 1960$' \
         out '^start codes: +5 frames with a start code other than 0$'

# Values follow the maker's formula: (31 i + 7 c + (i c) mod 5) mod 256, for frame i and channel c from 0.
lumictl dump show.dmx --count 2
expect 0 out '^frame 1 start 0 time 0 channels 4: 0 7 14 21$' out '^frame 2 start 0 time 40 channels 4: 31 39 47 55$'
[[ $(wc -l <"$OUT") == 2 ]] || fail "--count 2 wrote $(wc -l <"$OUT") lines"
lumictl dump show.dmx --first 10 --count 1 --json
expect 0 out '^\{"frame":10,"startCode":204,"timeCode":360,"channels":\[23,34,40,46\]\}$'
lumictl dump show.dmx --json
expect 0
[[ $(grep -c '^{"frame":[0-9]*,"startCode":[0-9]*,"timeCode":[0-9]*,"channels":\[[0-9]*,[0-9]*,[0-9]*,[0-9]*\]}$' "$OUT") == 50 ]] \
    || fail "dump --json did not write 50 well-formed lines"

# Damage: cut inside frame 31, a flipped channel byte in frame 3, not a show file at all.
head -c $((1595 - 17 + 30 * 25 + 10)) show.dmx >cut.dmx
cp show.dmx flipped.dmx
printf '\x55' | dd of=flipped.dmx bs=1 seek=$((1578 + 2 * 25 + 18)) conv=notrunc status=none
echo "hello" >text.dmx
for case in "cut.dmx 31 18 DevTruncated" "flipped.dmx 3 17 DevCorrupt"; do
    read -r file frame code name <<<"$case"
    lumictl info "$file"
    expect 1 err "lumictl: info: $file: reading frame $frame failed: code $code \\($name\\)"
    lumictl dump "$file"
    expect 1 err "reading frame $frame failed: code $code"
    [[ $(wc -l <"$OUT") == $((frame - 1)) ]] || fail "dump of $file wrote $(wc -l <"$OUT") lines before the damage, expected $((frame - 1))"
done
lumictl info text.dmx
expect 1 err 'cannot open text\.dmx: code 16 \(DevBadFormat\)'
lumictl info missing.dmx
expect 1 err 'cannot open missing\.dmx: code 7 \(DevFileNotFound\)'

# dump into a pipe that closes early stops quietly.
"$LUMICTL" dump show.dmx | head -n 1 >head.txt
[[ $(cat head.txt) == "frame 1 start 0 time 0 channels 4: 0 7 14 21" ]] || fail "dump | head printed $(cat head.txt)"

finish
