#!/usr/bin/env bash
# lumictl export-ola and import-ola: delays from rounded absolute times (no
# drift), checked by the recorder's own `ola_recorder --verify`; round trips;
# start codes; variable delays; several universes; malformed OLA shows.
source "$(dirname "$0")/testlib.sh"
umask 022

# sum_delays FILE: the sum of the delay lines (lines 3, 5, 7, ... of an OLA show).
sum_delays() { awk 'NR > 1 && NR % 2 == 1 { s += $1 } END { print s + 0 }' "$1"; }

# verify_with_ola FILE FRAMES MILLIS: ola_recorder --verify reports FRAMES frames and a play time
# within 1 ms of MILLIS (a real number). ola_recorder 0.10 prints the whole seconds followed by the
# last digit of the milliseconds ("600.9" for 600159 ms); a newer one may print the milliseconds.
verify_with_ola() {
    local file=$1 frames=$2 millis=$3 report
    report=$(ola_recorder --verify "$file" 2>&1) || { fail "ola_recorder --verify $file failed: $report"; return; }
    echo "$report" >&2
    grep -q "^Total frames: $frames\$" <<<"$report" || fail "ola_recorder counted other than $frames frames in $file"
    local shown
    shown=$(sed -n 's/^Playback time: \([0-9.]*\) seconds$/\1/p' <<<"$report")
    awk -v shown="$shown" -v t="$millis" 'BEGIN {
        split(shown, p, "."); ok = 0
        for (c = int(t) - 1; c <= int(t) + 2; ++c) {
            if (c - t > 1 || t - c > 1) continue
            if (length(p[2]) == 3 && p[1] * 1000 + p[2] == c) ok = 1
            if (length(p[2]) == 1 && p[1] == int(c / 1000) && p[2] == c % 10) ok = 1
        }
        exit ok ? 0 : 1 }' || fail "ola_recorder's play time $shown s of $file is not within 1 ms of $millis ms"
}

# ---- Constant rates: no drift over a long show; the round trip keeps every frame ----
for case in "44 26407 8" "29.97002997 1799 16" "40 1200 512"; do
    read -r rate frames channels <<<"$case"
    rm -f show.dmx show.ola back.dmx again.ola
    "$MAKE_SHOW" show.dmx --frames "$frames" --channels "$channels" --rate "$rate" --name Show || exit 1
    exact=$(awk -v n="$frames" -v r="$rate" 'BEGIN { printf "%.6f", n * 1000 / r }')
    rounded=$(awk -v n="$frames" -v r="$rate" 'BEGIN { printf "%d", n * 1000 / r + 0.5 }')
    lumictl export-ola show.dmx show.ola
    expect 0 out "^exported $frames of $frames frames of show\\.dmx to show\\.ola \\(universe 1, timed by the frame rate .*\\): "
    [[ $(head -n 1 show.ola) == "OLA Show" ]] || fail "the first line is not 'OLA Show'"
    [[ $(sum_delays show.ola) == "$rounded" ]] || fail "rate $rate: delays add up to $(sum_delays show.ola) ms, not $rounded"
    # Every delay is the frame period rounded down or up: nothing accumulates.
    awk -v r="$rate" 'NR > 1 && NR % 2 == 1 && ($1 < int(1000 / r) || $1 > int(1000 / r) + 1) { bad = 1 }
        END { exit bad }' show.ola || fail "rate $rate: a delay is not the rounded frame period"
    verify_with_ola show.ola "$frames" "$exact"

    lumictl import-ola show.ola back.dmx
    expect 0 out "^imported $frames frames of universe 1 from show\\.ola into back\\.dmx as \"show\": .* frames/s constant"
    "$LUMICTL" dump show.dmx >a.txt && "$LUMICTL" dump back.dmx >b.txt
    cmp -s a.txt b.txt || fail "rate $rate: the imported frames differ from the exported show's"
    lumictl export-ola back.dmx again.ola
    expect 0
    cmp -s show.ola again.ola || fail "rate $rate: exporting the imported show gives another OLA show"
done

# ---- Start codes: frames 5, 10, ... (start code 23) are left out, their time goes to the frame before ----
"$MAKE_SHOW" codes.dmx --frames 100 --channels 4 --rate 44 --start-code-every 5=23 || exit 1
lumictl export-ola codes.dmx codes.ola
expect 0 out '^exported 80 of 100 frames .*: 2\.273 s$' \
         err '^note: left out 20 frames with a start code other than 0 \(the first is frame 5\); their time went to the frame before each$'
[[ $(sum_delays codes.ola) == 2273 ]] || fail "with frames left out, the delays add up to $(sum_delays codes.ola), not 2273"
[[ $(sed -n 9p codes.ola) == 46 ]] || fail "the delay after frame 4 is $(sed -n 9p codes.ola), not 46 (frames 4 to 6)"
verify_with_ola codes.ola 80 2272.727
lumictl export-ola codes.dmx strict.ola --strict
expect 1 err 'codes\.dmx: frame 5 has start code 23 and OLA shows hold only start code 0 frames'
[[ ! -e strict.ola ]] || fail "--strict left an OLA show"

# ---- Variable delays and a narrower frame; no delay after the last frame ----
printf 'OLA Show\n1 1,2,3\n10\n1 4,5,6\n250\n1 7,8\n40\n1 9,9,9\n' >variable.ola
lumictl import-ola variable.ola variable.dmx --name Variable
expect 0 out 'imported 4 frames of universe 1 .* as "Variable": 10 frames/s on average, not constant, last frame at 0\.300 s' \
         err '^note: 1 frame narrower than 3 channels was padded with zeros$'
lumictl dump variable.dmx
expect 0 out '^frame 2 start 0 time 10 channels 3: 4 5 6$' out '^frame 3 start 0 time 260 channels 3: 7 8 0$' \
         out '^frame 4 start 0 time 300 channels 3: 9 9 9$'
lumictl export-ola variable.dmx variable-again.ola
expect 0 out 'timed by the time codes'
# The last frame lasts one average period (100 ms).
printf 'OLA Show\n1 1,2,3\n10\n1 4,5,6\n250\n1 7,8,0\n40\n1 9,9,9\n100\n' | cmp -s - variable-again.ola \
    || fail "the variable show exported as: $(cat variable-again.ola)"

# ---- Several universes ----
printf 'OLA Show\n1 1,1\n5\n2 2,2\n20\n1 3,3\n10\n2 4,4\n' >two.ola
lumictl import-ola two.ola two.dmx
expect 1 err 'two\.ola holds the universes \[1, 2\]; choose one with --universe'
lumictl import-ola two.ola two.dmx --universe 2
expect 0 out 'imported 2 frames of universe 2'
lumictl dump two.dmx
expect 0 out '^frame 1 start 0 time 0 channels 2: 2 2$' out '^frame 2 start 0 time 30 channels 2: 4 4$'
lumictl import-ola two.ola three.dmx --universe 3
expect 1 err 'holds no frame of universe 3'

# ---- Malformed OLA shows: the line is named and no show file is written ----
values513=$(seq -s, 1 513 | sed 's/[0-9][0-9]*/1/g')
while IFS='|' read -r content message; do
    printf "$content" >bad.ola
    lumictl import-ola bad.ola bad.dmx
    expect 1 err "lumictl: import-ola: bad\\.ola:$message"
    [[ ! -e bad.dmx ]] || { fail "a show file was written from a malformed OLA show"; rm -f bad.dmx; }
done <<EOF2
OLA Showx\n1 1\n|1: not an OLA show
OLA Show\n1 1,256\n|2: channel 2 is above 255
OLA Show\n1 1,,2\n|2: channel 2 has no value
OLA Show\n1\n|2: expected 'universe v1,v2,...'
OLA Show\n1 1\n-5\n1 2\n|3: expected a delay
OLA Show\n1 1\n4294967296\n1 2\n|3: expected a delay
OLA Show\n1 1\n\n25\n1 2\n|3: a blank line inside the show
OLA Show\n1 $values513\n|2: more than 512 channels
EOF2

# ---- Export refusals, replacing, permissions ----
"$MAKE_SHOW" wide.dmx --frames 2 --channels 600 --rate 40 || exit 1
lumictl export-ola wide.dmx wide.ola
expect 1 err 'the frames of wide\.dmx have 600 channels; an OLA universe holds 512'
[[ ! -e wide.ola ]] || fail "a refused export left a file"
echo "keep" >taken.ola
lumictl export-ola codes.dmx taken.ola
expect 1 err 'taken\.ola exists \(--force replaces it\)'
[[ $(cat taken.ola) == keep ]] || fail "an existing OLA show was replaced without --force"
lumictl export-ola codes.dmx taken.ola --force
expect 0
[[ $(head -n 1 taken.ola) == "OLA Show" ]] || fail "--force did not replace the file"
[[ $(stat -c %a show.ola) == 644 ]] || fail "the OLA show has mode $(stat -c %a show.ola), not 644 under umask 022"
[[ -z "$(ls -A | grep '^\.')" ]] || fail "temporary files were left: $(ls -A | grep '^\.')"

finish
