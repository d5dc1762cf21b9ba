#!/usr/bin/env bash
# lumictl triggers and triggers set on controller folders: the listing reads
# back as the table it lists; bad files are refused whole with the line named;
# a table that cannot be written leaves the old one.
source "$(dirname "$0")/testlib.sh"

sim_controller sim/a type=1 number=1 numberPlaybackTriggers=4
sim_controller sim/b type=1 number=2 hasTriggerHeader=false numberPlaybackTriggers=4
sim_controller sim/c type=1 number=3 numberPlaybackTriggers=4 'fault=setTrigger DevIOError at 2'
export LUMIDRIVE_SIM_DIR=$PWD/sim

cat >table.txt <<'EOF2'
# A table with every kind of value
header = 200 0 255 7

trigger = 1 100 1 0 "Chase"
trigger = 2 -1 3 -2147483648 "Act 1/Opening"
trigger = 0x10 0x7fffffff -5 2147483647 "a \"quoted\" name"
   trigger=4 0 0 0 ""
EOF2
lumictl triggers set table.txt
expect 0 out '^wrote 4 triggers and the header to controller 1 \(a on sim-a\)$'
lumictl triggers
expect 0 out '^header = 200 0 255 7$' out '^trigger = 2 -1 3 -2147483648 "Act 1/Opening"$' \
         out '^trigger = 16 2147483647 -5 2147483647 "a \\"quoted\\" name"$' out '^# 4 of at most 4 triggers$'
cp "$OUT" listed.txt
# What is listed can be written back and lists the same.
lumictl triggers set listed.txt
expect 0
lumictl triggers
expect 0
cmp -s listed.txt "$OUT" || fail "the listing written back lists differently"

# Bad files: the line is named and nothing is changed.
while IFS='|' read -r line message; do
    printf '%s\n' 'trigger = 9 9 9 9 "Nine"' "$line" >bad.txt
    lumictl triggers set bad.txt
    expect 1 err "lumictl: triggers set: bad\\.txt:2: $message"
done <<'EOF2'
header = 1 2 3 256|the header byte 4 256 is outside 0\.\.255
header = 1 2 3|the header byte 4 is missing
trigger = 1 2 3 4294967296 "x"|the action value 4294967296 is outside -2147483648\.\.2147483647
trigger = 1 2 3 x "x"|the action value 'x' is not a number
trigger = 1 2 3 4 x|the show name must be in double quotes
trigger = 1 2 3 4 "x|the show name has no closing quote
trigger = 1 2 3 4 "x" y|unexpected 'y' at the end
colour = red|unknown key 'colour'
EOF2
lumictl triggers
expect 0
cmp -s listed.txt "$OUT" || fail "a refused file changed the table"

# More triggers than the controller holds; a header for a controller without one.
printf 'trigger = %d 0 0 0 ""\n' 1 2 3 4 5 >five.txt
lumictl triggers set five.txt
expect 1 err 'five\.txt holds 5 triggers; controller 1 \(a on sim-a\) takes at most 4; nothing was changed'
lumictl triggers set table.txt -c 2
expect 1 err 'has a header line, but controller 2 \(b on sim-b\) has no trigger header; nothing was changed'
lumictl triggers -c 2
expect 0 out '^# this controller has no trigger header$'

# The second trigger is refused: the table is abandoned and the old one stays.
printf 'trigger = 7 7 7 7 "Old"\n' >old.txt
# The fault counts calls since the controller was opened, so the first run's single call passes.
lumictl triggers set old.txt -c 3
expect 0
lumictl triggers set table.txt -c 3
expect 1 err 'writing trigger 2 \(trigger = 2 -1 3 -2147483648 "Act 1/Opening"\) to controller 3 .* failed; the table was abandoned: code 9 \(DevIOError\)'
lumictl triggers -c 3
expect 0 out '^trigger = 7 7 7 7 "Old"$' out '^# 1 of at most 4 triggers$'
expect_not out 'header = 200'

finish
