#!/bin/sh
# Times one call of a trivial native three ways, each in a VKE loop of
# 1,000,000 calls less the empty loop: through the current extension
# interface ("exttrivial" of the fixture library), through the old-style
# callback table ("oldsum" without inputs) and as an engine native ("toc").
# The fixture libraries are compiled here from tests/extensions/fixtures.
# Aim: the current interface costs no more than the engine native, the
# old-style path at most twice as much. Builds vke in the Release
# configuration first, unless VKE names a runner to time. Not run in CI.
#   bench/compare_extension_calls.sh
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
if [ -z "$VKE" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
  cmake --build "$build" --target vke >/dev/null
fi
vke=${VKE:-$build/tools/vke}
ext=$(mktemp -d)
trap 'rm -rf "$ext"' EXIT
for fixture in current oldstyle; do
  cc -O2 -shared -fPIC -I "$root/include" -o "$ext/$fixture.so" \
    "$root/tests/extensions/fixtures/$fixture.c"
done
"$vke" -x "$ext" -e "
n = 1e6; best = Inf(1, 4);
for round = 1:5
  tic; for k = 1:n, end; t(1) = toc;
  tic; for k = 1:n, x = exttrivial(); end; t(2) = toc;
  tic; for k = 1:n, x = oldsum(); end; t(3) = toc;
  tic; for k = 1:n, x = toc(); end; t(4) = toc;
  best = min(best, t);
end
ns = (best(2:4) - best(1)) / n * 1e9;
fprintf('%-22s %10s %8s\n', 'call of a trivial native', 'ns', 'ratio');
names = {'current interface', 'old-style callbacks', 'engine native'};
for k = 1:3
  fprintf('%-22s %10.1f %8.2f\n', names{k}, ns(k), ns(k) / ns(3));
end
"
