#!/bin/sh
# Line reads in the runner: a line longer than the room the area starts with
# is read whole once the area has grown, never as two lines; at the ceiling
# the read fails for lack of room and nothing of the line is returned.
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
exit 0
