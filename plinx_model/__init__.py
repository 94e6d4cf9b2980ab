"""One draw of pure_plinx written out in plain Python, step by step.

draw(destiny, nonce) follows the C++ engine (plinx-core/src) bit for bit: same bytes hashed,
same operator formulas, same rounding. It is a reference for the tests and the slow baseline
for bench/pull_bench.py, so it favours being easy to check over being fast.

The operators need the same C mathematics library as the engine. Python's math functions
call libm directly for everything the tree uses except hypot: CPython 3.9 computes
math.hypot itself, and about a third of its results differ from glibc's in the last bit, so
hypot is taken from libm through ctypes.
"""

import ctypes
import ctypes.util
import hashlib
import math
import os
import struct

NORMALISER = 4294967295.0  # 2**32 - 1: both ends of [0.0, 1.0] are reachable
OPERATOR_COUNT = 25
TINY = 1e-10
DEGREES_PER_RADIAN = 57.29577951308232
U64_MAX = 2**64 - 1

_libm = ctypes.CDLL(ctypes.util.find_library("m") or "libm.so.6")
_libm.hypot.restype = ctypes.c_double
_libm.hypot.argtypes = [ctypes.c_double, ctypes.c_double]


def leading_word(digest):
    return struct.unpack(">I", digest[:4])[0]


def decimal_text(destiny):
    if not -(2**63) <= destiny < 2**63:
        raise OverflowError("destiny must fit in a signed 64-bit integer")
    return str(destiny).encode("ascii")


def is_finite(value):
    return not (math.isinf(value) or math.isnan(value))


def fixed_text(value):
    # Python formats with its own correctly rounded conversion, never with the locale, so this
    # is printf's "%.10f" in the C locale, negative zero's minus sign included.
    return ("%.10f" % value).encode("ascii")  # noqa: UP031 (printf's own conversion)


# Helpers with C semantics where Python's differ: Python raises where C returns an infinity
# or a NaN, and math.floor/math.ceil return ints, which lose the sign of a zero.


def c_div(a, b):
    try:
        return a / b
    except ZeroDivisionError:
        if math.isnan(a) or a == 0.0:
            return math.nan
        return math.copysign(math.inf, a) * math.copysign(1.0, b)


def c_fmod(a, b):
    if math.isinf(a) or math.isnan(a) or math.isnan(b) or b == 0.0:
        return math.nan
    return math.fmod(a, b)


def c_exp(x):
    try:
        return math.exp(x)
    except OverflowError:
        return math.inf


def c_floor(x):
    return math.copysign(float(math.floor(x)), x)


def c_ceil(x):
    return math.copysign(float(math.ceil(x)), x)


def magnitude_u64(v):
    """|v| truncated to an unsigned 64-bit integer, saturated, NaN as 0."""
    if math.isnan(v):
        return 0
    magnitude = abs(v)
    if magnitude >= 18446744073709551616.0:
        return U64_MAX
    return int(magnitude)


def truncate_i32(v):
    if math.isnan(v):
        return 0
    if v >= 2147483647.0:
        return 2147483647
    if v <= -2147483648.0:
        return -2147483648
    return int(v)


def sign_of(b):
    if math.isnan(b):
        return b
    return math.copysign(1.0, b)


def or_left(result, a):
    return result if is_finite(result) else a


def small_power(a, b):
    m = abs(a)
    n = truncate_i32(math.fmod(b, 3.0) + 1.0)
    if n == -1:
        return c_div(1.0, m)
    if n == 0:
        return 1.0
    if n == 1:
        return m
    if n == 2:
        return m * m
    return m * (m * m)


def tent(a, b):
    t = a if a < 0.5 else 1.0 - a
    return or_left(t * b, a)


BINARY = [
    lambda a, b: a + b,  # 0
    lambda a, b: a - b,  # 1
    lambda a, b: a * b,  # 2
    lambda a, b: a / b if abs(b) > TINY else a,  # 3
    lambda a, b: or_left(small_power(a, b), a),  # 4
    lambda a, b: math.fmod(a, b) if abs(b) > TINY else a,  # 5
    lambda a, b: b if b > a else a,  # 6
    lambda a, b: b if b < a else a,  # 7
    lambda a, b: (a + b) * 0.5,  # 8
    lambda a, b: abs(a - b),  # 9
    lambda a, b: float(magnitude_u64(a) ^ magnitude_u64(b)),  # 10
    lambda a, b: float(magnitude_u64(a) & magnitude_u64(b)),  # 11
    lambda a, b: float(magnitude_u64(a) | magnitude_u64(b)),  # 12
    lambda a, b: float((magnitude_u64(a) << (magnitude_u64(b) & 7)) & U64_MAX),  # 13
    lambda a, b: float(magnitude_u64(a) >> (magnitude_u64(b) & 7)),  # 14
    lambda a, b: math.atan2(a, b),  # 15
    lambda a, b: _libm.hypot(a, b),  # 16
    lambda a, b: (a - b) * (a - b),  # 17
    lambda a, b: a * a + b * b,  # 18
    lambda a, b: a * (1.0 - b),  # 19
    lambda a, b: (a - b) * (a + b),  # 20
    lambda a, b: abs(a) * sign_of(b),  # 21
    lambda a, b: or_left((a * b) * (1.0 - a), a),  # 22
    tent,  # 23
    lambda a, b: or_left(1.0 - ((a * a) * b), a),  # 24
]

UNARY = [
    math.sin,  # 0
    math.cos,  # 1
    math.tan,  # 2
    lambda x: math.asin(math.sin(x)),  # 3
    lambda x: math.acos(math.cos(x)),  # 4
    math.atan,  # 5
    lambda x: math.sinh(min(abs(x), 10.0)),  # 6
    lambda x: math.cosh(min(abs(x), 10.0)),  # 7
    math.tanh,  # 8
    lambda x: math.log(abs(x) + 1.0),  # 9
    lambda x: math.log2(abs(x) + 1.0),  # 10
    lambda x: math.log10(abs(x) + 1.0),  # 11
    lambda x: math.exp(math.fmod(x, 10.0)),  # 12
    lambda x: math.sqrt(abs(x)),  # 13
    abs,  # 14
    lambda x: -x,  # 15
    lambda x: 1.0 / x if abs(x) > TINY else x,  # 16
    lambda x: x * x,  # 17
    lambda x: x * (x * x),  # 18
    lambda x: math.fmod(c_floor(x), 100.0),  # 19
    lambda x: math.fmod(c_ceil(x), 100.0),  # 20
    lambda x: 1.0 / (1.0 + c_exp(-x)),  # 21
    lambda x: x * (1.0 - x),  # 22
    lambda x: c_fmod(x * DEGREES_PER_RADIAN, 360.0),  # 23
    lambda x: math.sin(x) * abs(x),  # 24
]


def cut_slices(seed):
    split = seed[31]
    k = split % 28
    l = (split >> 4) % (28 - k)  # noqa: E741 (k and l, the cut points' usual names)
    return seed[: k + 1], seed[k + 1 : k + l + 2], seed[k + l + 2 : 30]


def tree_variable(ops, destiny):
    word = leading_word(hashlib.sha256(decimal_text(destiny) + ops[:4]).digest())
    return (word / NORMALISER) * 100.0


def tree_value(ops, constants, leaves, destiny):
    x = tree_variable(ops, destiny)
    # Cursors shared by the whole walk; the op slice's first byte chose the depth, so
    # operators start at the second.
    cursor = {"op": 1, "constant": 0, "leaf": 0}

    def leaf():
        if cursor["leaf"] == len(leaves):
            return x
        b = leaves[cursor["leaf"]]
        cursor["leaf"] += 1
        if b % 2 == 0:
            return x
        at = cursor["constant"]
        hi = float(constants[at % len(constants)])
        lo = float(constants[(at + 1) % len(constants)])
        cursor["constant"] += 2
        return ((hi * 256.0 + lo) / 65535.0) * 100.0

    def node(depth):
        if depth == 0:
            return leaf()
        e = ops[cursor["op"] % len(ops)]
        cursor["op"] += 1
        index = (e >> 1) % OPERATOR_COUNT
        if e % 2 == 0:
            left = node(depth - 1)
            right = node(depth - 1)
            value = BINARY[index](left, right)
        else:
            value = UNARY[index](node(depth - 1))
        return value if is_finite(value) else x

    return node(ops[0] % 3 + 2)


def draw(destiny, nonce):
    """The number the engine draws for `destiny` when the random source yields `nonce`."""
    if len(nonce) != 8:
        raise ValueError("the nonce is 8 bytes")
    seed = hashlib.sha256(decimal_text(destiny) + bytes(nonce)).digest()
    ops, constants, leaves = cut_slices(seed)
    value = tree_value(ops, constants, leaves, destiny)
    result = hashlib.sha256(fixed_text(value) + seed[:8]).digest()
    return leading_word(result) / NORMALISER


def pull(destiny):
    return draw(destiny, os.urandom(8))


if __name__ == "__main__":
    print(repr(draw(4290, b"\0" * 8)))
