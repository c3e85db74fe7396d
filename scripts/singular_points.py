#!/usr/bin/env python3
# Writes tests/data/singular_points.txt: reference values of the elementwise
# functions near their singular points (around +-1 for the inverse
# hyperbolic tangents and the inverse sines and cosines, around 0 and 1 for
# the logarithms, large arguments for the trigonometric family), computed
# with mpmath at 200 bits from the exact double arguments. Run by hand once
# when the points change; the tests only read the file.
#   python3 scripts/singular_points.py > tests/data/singular_points.txt
import mpmath as mp

mp.mp.prec = 200
HALF_PI = mp.pi / 2


def near(center, ks):
    """Doubles just inside and outside center: center +- 2^-k."""
    out = []
    for k in ks:
        d = 2.0 ** -k
        out += [center - d * abs(center or 1), center + d * abs(center or 1)]
    return out


def atanh_real(x):
    """ln|(x + 1)/(x - 1)| / 2, without cancelling for x near 0 or far out."""
    return mp.atanh(x) if abs(x) < 1 else mp.atanh(1 / x)


def atanh_parts(x):
    return atanh_real(x), (HALF_PI if abs(x) > 1 else 0)


def acoth_parts(x):
    return atanh_real(x), (HALF_PI if abs(x) < 1 else 0)


def asin_parts(x):
    if x > 1:
        return HALF_PI, -mp.acosh(x)
    if x < -1:
        return -HALF_PI, mp.acosh(-x)
    return mp.asin(x), 0


def acos_parts(x):
    if x > 1:
        return 0, mp.acosh(x)
    if x < -1:
        return mp.pi, -mp.acosh(-x)
    return mp.acos(x), 0


def log_parts(base):
    def parts(x):
        v = mp.log(mp.mpc(x, 0)) / mp.log(base)
        return v.real, v.imag
    return parts


def log1p_parts(x):
    if x > -1:
        return mp.log1p(x), 0
    v = mp.log(mp.mpc(1 + mp.mpf(x), 0))
    return v.real, v.imag


def plain(f):
    return lambda x: (f(mp.mpf(x)), 0)


ks = [1, 2, 5, 10, 20, 26, 30, 33, 40, 45, 50, 52]
around_ones = near(1.0, ks) + near(-1.0, ks)
large = [1e5, 123456.789, 1e10, 2.0 ** 40, 1e15, 1e16, 1e22, 2.0 ** 60, 1e100, 1e300,
         -1e22, float(mp.pi) * 1e6, 3.141592653589793, 1.5707963267948966,
         6.283185307179586, 355.0, 103993.0, 2.0 ** 1000]
logs = [2.0 ** -k for k in (1, 10, 30, 52, 60, 200, 1000, 1074)] + near(1.0, ks) + [1e300]
log1ps = [s * 2.0 ** -k for k in (1, 10, 30, 52, 60, 200, 1074) for s in (1, -1)] + \
         [-1 + 2.0 ** -k for k in (1, 10, 30, 52)] + [1e300]

cases = [
    ("atanh", around_ones + [0.5, 2.0, 1e-300, 1e300], atanh_parts),
    ("acoth", around_ones + [0.5, 2.0, 1e-300, 1e300], acoth_parts),
    ("asin", around_ones, asin_parts),
    ("acos", around_ones, acos_parts),
    ("log", logs, log_parts(mp.e)),
    ("log2", logs, log_parts(2)),
    ("log10", logs, log_parts(10)),
    ("log1p", log1ps, log1p_parts),
    ("sin", large, plain(mp.sin)),
    ("cos", large, plain(mp.cos)),
    ("tan", large, plain(mp.tan)),
    ("sec", large, plain(mp.sec)),
    ("csc", large, plain(mp.csc)),
    ("cot", large, plain(mp.cot)),
]

print("# name, R (real argument), argument re im, value re im: near singular points")
for name, points, parts in cases:
    for x in points:
        re, im = parts(mp.mpf(x))
        print("%s R %r 0 %s %s" % (name, x, mp.nstr(re, 17, min_fixed=1, max_fixed=0),
                                   mp.nstr(im, 17, min_fixed=1, max_fixed=0)))
