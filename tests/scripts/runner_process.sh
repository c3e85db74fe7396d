#!/bin/sh
# The runner as a process: it loads none of the drawing or window libraries;
# bad command lines and unreadable or endless files end with status 2 and a
# reason; --no-lapack leaves the "!lapack" library out; Ctrl-C stops an
# endless text through the engine's break, which prints its message, and the
# runner exits with status 130.
vke=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
fail() { echo "$*"; exit 1; }

if command -v readelf >/dev/null; then
  needed=$(readelf -d "$vke" | grep NEEDED)
  echo "$needed" | grep -Eiq 'cairo|pango|gtk|wx_|x11|xcb|glib|gobject|fontconfig' &&
    fail "the runner links drawing libraries: $needed"
fi

for level in abc -5 99999 ""; do
  "$vke" -O "$level" -e "disp(1)" >/dev/null 2>&1
  [ $? -eq 2 ] || fail "-O '$level' is not refused"
done
"$vke" -O 3 -e "x = 1;" || fail "-O 3 is refused"
# The "!lapack" library answers an exactly singular system with +Inf; the
# core builtin behind it, which --no-lapack leaves alone, does not.
[ "$("$vke" -e "disp(any(isnan([1 2] / [1 2; 2 4])))")" = false ] || fail "!lapack is not registered"
[ "$("$vke" --no-lapack -e "disp(any(isnan([1 2] / [1 2; 2 4])))")" = true ] ||
  fail "--no-lapack still registers !lapack"
for file in "$folder" /proc/self/mem /dev/zero; do
  "$vke" "$file" 2>"$folder/err"
  [ $? -eq 2 ] && grep -q "cannot read" "$folder/err" || fail "$file runs"
done

# A script saved with a UTF-8 byte-order mark runs as without it.
printf '\357\273\277x = 6 * 7;\ndisp(x)\n' >"$folder/marked.vke"
[ "$("$vke" "$folder/marked.vke" 2>&1)" = "        42" ] || fail "a marked script: $("$vke" "$folder/marked.vke" 2>&1)"

"$vke" -e "disp('ready'); while true, end" >"$folder/out" 2>"$folder/err" &
pid=$!
for i in $(seq 600); do
  grep -qs ready "$folder/out" && break
  sleep 0.05
done
kill -INT $pid
wait $pid
status=$?
[ $status -eq 130 ] && grep -q "Execution halted" "$folder/err" ||
  fail "break: status $status, $(cat "$folder/err")"

# A compile that runs out of room in a small area is taken back and done
# again once the area has grown: no memory message, no redefinition, and the
# functions run. At the ceiling the failure is reported once, after the note.
printf 'x = f(2)\nfunction r = f(n)\n  r = n + 1;\nendfunction\n' >"$folder/grow.vke"
for size in 1M 1100K 1200K 1500K 2M; do
  out=$("$vke" -m $size "$folder/grow.vke" 2>&1)
  [ $? -eq 0 ] && [ "$out" = "$(printf 'x =\n         3')" ] || fail "-m $size: $out"
done
awk 'BEGIN { printf "x = sum(["; for (i = 0; i < 60000; i++) printf " %d", i; print "])" }' \
  >"$folder/huge.vke"
"$vke" -m 1M "$folder/huge.vke" 2>"$folder/err"
[ $? -eq 1 ] && [ "$(grep -c . "$folder/err")" -eq 2 ] &&
  head -1 "$folder/err" | grep -q "memory ceiling of 1 MB" &&
  tail -1 "$folder/err" | grep -q "Not enough memory" || fail "ceiling: $(cat "$folder/err")"
