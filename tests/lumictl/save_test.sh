#!/usr/bin/env bash
# lumictl save on the simulator's built-in controllers: every demo show is
# copied exactly (checked through the C libraries, frame by frame with channel
# counts), an existing file is kept unless --force, failures name the code.
source "$(dirname "$0")/testlib.sh"

# Controller, show: every demo show of both storing controllers.
for case in "1 Chase" "1 Fade" "1 Rainbow" "2 Strobe" "2 Sunrise" "2 Wave"; do
    read -r controller show <<<"$case"
    lumictl save "$show" "$show.dmx" -c "$controller" --progress=always
    expect 0 out "^saved \"$show\" from controller $controller \(.*\) to $show\.dmx: 1200 frames, 641195 bytes, 30\.000 s; read back and verified$" \
             err "saving 1200/1200 frames \[#+\] 100%"
    "$COMPARE_SHOW" controller "$controller" "$show" "$show.dmx" || fail "$show.dmx is not an exact copy of $show"
done

# Without a terminal and without --progress, no bar.
lumictl save Chase quiet.dmx
expect 0
expect_not err 'saving'

# An existing file stays as it was; --force replaces it.
echo "precious" >kept.dmx
lumictl save Chase kept.dmx
expect 1 err 'lumictl: save: cannot create kept\.dmx \(it exists; --force replaces it\): code 15 \(DevFileExists\)'
[[ "$(cat kept.dmx)" == precious ]] || fail "an existing file was changed without --force"
lumictl save Chase kept.dmx --force
expect 0
"$COMPARE_SHOW" controller 1 Chase kept.dmx || fail "--force did not replace the file with the show"

# A show that is not there, a folder that is not there, a controller without a store.
lumictl save Nothing nothing.dmx
expect 1 err 'cannot open show "Nothing" on controller 1 .*: code 7 \(DevFileNotFound\)'
[[ ! -e nothing.dmx ]] || fail "a file was left for a show that does not exist"
lumictl save Chase missing/chase.dmx
expect 1 err 'cannot create missing/chase\.dmx: code 7 \(DevFileNotFound\)'
lumictl save Chase live.dmx -c 3
expect 1 err 'code 19 \(DevNotSupported\)'
[[ -z "$(ls -A | grep -v -e '\.dmx$')" ]] || fail "files other than the saved shows were left: $(ls -A)"

finish
