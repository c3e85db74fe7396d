#!/bin/sh
# The runner as a process: it loads none of the drawing or window libraries,
# and the numerical and vector libraries only at their first use;
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
  echo "$needed" | grep -Eiq 'sleef|f2c|lapack|blas' &&
    fail "the runner links a library it opens at first use: $needed"
fi
# The vector library of the whole-array kernels is opened at their first use
# only, where the processor can run them.
if grep -qw avx2 /proc/cpuinfo && grep -qw fma /proc/cpuinfo; then
  LD_DEBUG=files "$vke" -e "x = sqrt(4) + abs(-1);" 2>&1 | grep -q "file=libsleef" &&
    fail "a program without the vector functions opens the vector library"
  LD_DEBUG=files "$vke" -e "x = exp(1);" 2>&1 | grep -q "file=libsleef" ||
    fail "exp does not open the vector library"
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
# A library folder that is not there is a bad command line, said at once.
for dir in "$folder/none" /dev/null; do
  "$vke" -L "$dir" -e "disp(1)" >/dev/null 2>"$folder/err"
  [ $? -eq 2 ] && grep -q -- "-L $dir: " "$folder/err" || fail "-L $dir: $(cat "$folder/err")"
done
for file in "$folder" /proc/self/mem /dev/zero; do
  "$vke" "$file" 2>"$folder/err"
  [ $? -eq 2 ] && grep -q "cannot read" "$folder/err" || fail "$file runs"
done

# A named pipe where a library or a help file is looked for (beside the
# script, or in the working folder) is no file of it: help, lookfor and use
# answer at once, as without it (a runner that opened one would wait for a
# writer until the test's own time ran out).
mkdir "$folder/pipes"
mkfifo "$folder/pipes/VKE.hlp" "$folder/pipes/NAME.vkl"
printf 'help abs\nlookfor zero\ndisp(7)\n' >"$folder/pipes/help.vke"
printf 'use NAME\ndisp(7)\n' >"$folder/pipes/use.vke"
out=$("$vke" "$folder/pipes/help.vke" 2>&1)
status=$?
[ $status -eq 0 ] && [ "$(echo "$out" | tail -1 | tr -d ' ')" = 7 ] || fail "help beside a pipe: $status, $out"
out=$(cd "$folder/pipes" && "$vke" -e "help abs, disp(7)" 2>&1)
status=$?
[ $status -eq 0 ] && [ "$(echo "$out" | tail -1 | tr -d ' ')" = 7 ] || fail "help in a pipe's folder: $status, $out"
out=$("$vke" "$folder/pipes/use.vke" 2>&1)
status=$?
[ $status -eq 1 ] && echo "$out" | grep -q "Library not found 'NAME'" || fail "use of a pipe: $status, $out"

# A script saved with a UTF-8 byte-order mark runs as without it.
printf '\357\273\277x = 6 * 7;\ndisp(x)\n' >"$folder/marked.vke"
[ "$("$vke" "$folder/marked.vke" 2>&1)" = "        42" ] || fail "a marked script: $("$vke" "$folder/marked.vke" 2>&1)"

"$vke" -e "disp('ready'); while true, end" >"$folder/out" 2>"$folder/err" &
pid=$!
until grep -qs ready "$folder/out"; do
  kill -0 $pid 2>/dev/null || fail "the endless text ended: $(cat "$folder/out" "$folder/err")"
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
# A builtin whose result does not fit runs again once the area has grown:
# diff of ten million elements makes the area grow at its result, and the
# differences are those of the operand as given.
out=$("$vke" -e "x = 1:1e7; d = diff(x); fprintf('%d\n', sum(d ~= 1));" 2>&1)
[ "$out" = 0 ] || fail "diff after growth: $out"

# The console under Ctrl-C. A break stops a function the line called and the
# next line runs in the base workspace; at the prompt Ctrl-C cancels what was
# typed of the line and the session goes on to the end of its input (status
# 0), also when it is the lines of a definition typed so far; a second
# Ctrl-C within a second ends it (status 130).
mkfifo "$folder/in"
# Starts a console reading the FIFO (written through descriptor 3), types
# the text $1 and waits until standard output holds $2 lines.
console() {
  "$vke" -i <"$folder/in" >"$folder/out" 2>"$folder/err" &
  pid=$!
  exec 3>"$folder/in"
  printf "$1" >&3
  lines "$2"
}
# Waits until standard output holds $1 lines (the console still runs).
lines() {
  until [ "$(grep -c . "$folder/out")" -ge "$1" ]; do
    kill -0 $pid 2>/dev/null || fail "console ended: $(cat "$folder/out" "$folder/err")"
    sleep 0.05
  done
}
# Waits until the console has read all that was typed into the FIFO, a
# partial line too (no byte left in the pipe), and waits in its next read
# of standard input (where the system shows what a process waits in).
drained() {
  until python3 -c 'import fcntl, os, struct, sys, termios
fd = os.open(sys.argv[1], os.O_WRONLY | os.O_NONBLOCK)
left = struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0\0\0\0"))[0]
try:
    waits = open("/proc/%s/syscall" % sys.argv[2]).read().split()
except OSError:
    waits = ["0", "0x0"]
sys.exit(1 if left or waits[:2] != ["0", "0x0"] else 0)' "$folder/in" $pid 2>/dev/null; do
    kill -0 $pid 2>/dev/null || fail "console ended: $(cat "$folder/out" "$folder/err")"
    sleep 0.05
  done
}
console 'v = 5;\nfunction spin(), disp(0), while true, end, endfunction\nspin()\n' 1
kill -INT $pid
sleep 1.1
printf 'disp(v)\ndisp(' >&3
lines 2
drained
kill -INT $pid
sleep 1.2
printf '7)\ndisp(3)\n' >&3
exec 3>&-
wait $pid
status=$?
[ $status -eq 0 ] && [ "$(tr -d ' ' <"$folder/out" | tr '\n' ,)" = "0,5,3," ] &&
  grep -q "Execution halted" "$folder/err" || fail "console break: $status, $(cat "$folder/out" "$folder/err")"

# Ctrl-C while a definition is being typed cancels all of it: the next line
# is a command of its own and runs at once.
console 'disp(1)\nfunction r = half(x)\n  r = x / 2;\n' 1
drained
kill -INT $pid
sleep 1.2
printf 'disp(7)\n' >&3
lines 2
exec 3>&-
wait $pid
status=$?
[ $status -eq 0 ] && [ "$(tr -d ' ' <"$folder/out" | tr '\n' ,)" = "1,7," ] ||
  fail "console break in a definition: $status, $(cat "$folder/out" "$folder/err")"

console 'disp(1)\n' 1
kill -INT $pid
sleep 0.2
kill -INT $pid
wait $pid
status=$?
exec 3>&-
[ $status -eq 130 ] && [ "$(grep -c . "$folder/out")" -eq 1 ] ||
  fail "console second break: $status, $(cat "$folder/out" "$folder/err")"
