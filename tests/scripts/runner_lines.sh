#!/bin/sh
# Line reads in the runner: a line longer than the room the area starts with
# is read whole once the area has grown, never as two lines; at the ceiling
# the read fails for lack of room and nothing of the line is returned. The
# same through a pipe, which cannot go back: what a read could not keep is
# given back to the stream, so that the read run again loses nothing; fread
# of a pipe or a device that reports no length reads what it is asked for,
# and a pipe is at its end once a read has given nothing.
vke=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
fail() { echo "$*"; exit 1; }

head -c 20000000 /dev/zero | tr '\0' a >"$folder/long.txt"
printf '\nb\r\nc' >>"$folder/long.txt"
read="fd = fopen('$folder/long.txt'); a = fgetl(fd); b = fgetl(fd); c = fgetl(fd); fclose(fd);"
out=$("$vke" -e "$read fprintf('%d %s %s\n', numel(a), b, c)" 2>&1)
[ "$out" = "20000000 b c" ] || fail "grown: $out"
out=$("$vke" -m 32M -e "$read fprintf('%d\n', numel(a))" 2>&1)
[ $? -eq 1 ] && echo "$out" | grep -q "Data stack overflow" && ! echo "$out" | grep -q "^[0-9]" ||
  fail "at the ceiling: $out"

out=$(cat "$folder/long.txt" |
  "$vke" -m 256M -e "fd = fopen('/dev/stdin'); a = fgetl(fd); b = fgetl(fd); fprintf('%d %s\n', numel(a), b)" 2>&1)
[ "$out" = "20000000 b" ] || fail "a long line through a pipe: $out"
out=$(cat "$folder/long.txt" |
  "$vke" -m 512M -e "fd = fopen('/dev/stdin'); [d, n] = fread(fd); fprintf('%d %d %d\n', n, sum(d == 97), d(end))" 2>&1)
[ "$out" = "20000005 20000000 99" ] || fail "fread of a pipe: $out"
printf 'fd = fopen("/dev/stdin", "r");\nwhile ~feof(fd), disp(fgetl(fd)), end\n' | tr '"' "'" >"$folder/lines.vke"
out=$(printf 'a\nb\n' | "$vke" "$folder/lines.vke" 2>&1)
[ $? -eq 0 ] && [ "$out" = "$(printf 'a\nb')" ] || fail "feof of a pipe: $out"
out=$("$vke" -e "fd = fopen('/dev/urandom', 'r'); [d, n] = fread(fd, 16, 'uint8'); fprintf('%d\n', n);" 2>&1)
[ "$out" = 16 ] || fail "fread of a device: $out"
# The system's own files of /proc/sys refuse a read as large as the room.
out=$("$vke" -e "fd = fopen('/proc/sys/kernel/hostname'); [d, n] = fread(fd); fclose(fd); fprintf('%d %d\n', n, d(end));" 2>&1)
[ "$out" = "$(($(wc -c </proc/sys/kernel/hostname))) 10" ] || fail "fread of /proc/sys: $out"
exit 0
