#!/usr/bin/env python3
# Writes tests/data/significant_digits.txt: doubles written with a given
# count of significant digits, as C's "%.*g" writes them (Python's own
# formatting rounds the exact binary value correctly), with the exponent
# changed to the runtime's form: no "+" and no leading zeros (1.23e8,
# 1e-5). Each line: the value (an exact round-trip text), the digit count,
# the expected text. Run by hand when the values change; the tests only
# read the file.
#   python3 scripts/significant_digits.py > tests/data/significant_digits.txt
import re
import struct


def from_bits(bits):
    return struct.unpack('<d', struct.pack('<Q', bits))[0]


def exponent_form(text):
    """1.5e+08 -> 1.5e8, 1e-05 -> 1e-5."""
    def shorten(m):
        sign = '-' if m.group(1) == '-' else ''
        return 'e' + sign + str(int(m.group(2)))
    return re.sub(r'e([+-])(\d+)', shorten, text)


VALUES = [
    # ties as decimal texts, and their binary neighbours
    (0.5, [1]), (1.5, [1]), (2.5, [1]), (0.125, [2]), (0.375, [2]),
    (2.675, [3]), (1.005, [3]), (1.015, [3]), (1.025, [3]), (0.045, [1]),
    (1e23, [1, 17, 23, 24]), (5e-5, [1]), (0.25, [1]), (12.5, [2]),
    # a carry into a new leading digit
    (9.9995, [4]), (9.9996, [4]), (99.95, [3]), (999999.5, [6, 7]),
    (0.99999999999971612, [12, 15, 17]), (0.5 + 2.0 ** -40, [6, 15, 17]),
    (1.000001, [6, 7, 10]), (1 / 3, [1, 7, 16, 17, 20]),
    # the switch between the fixed and the exponent form
    (1e-5, [1, 3]), (0.0001, [1, 3]), (0.00012345, [2, 5]),
    (123456789, [3, 9, 10]), (1e16, [16, 17]), (2.0 ** 53, [15, 16]),
    (100, [1, 2, 3]), (1e300, [20]), (1.7976931348623157e308, [17]),
    # denormals and the smallest normal number
    (from_bits(1), [1, 17]), (from_bits(0x000FFFFFFFFFFFFF), [17]),
    (1.5e-320, [3]), (2.2250738585072014e-308, [17]),
    # negative numbers and zero
    (-3.14159265358979, [2, 9]), (-0.00099999, [3]), (0.0, [1, 5]),
    (3.14159265358979, [0, 1, 30]),
]


def main():
    print('# value digits text')
    for value, counts in VALUES:
        for p in counts:
            print(f'{value!r} {p} {exponent_form("%.*g" % (p, value))}')


if __name__ == '__main__':
    main()
