#!/usr/bin/env python3
"""Prints the constant tables of the race simulation as C++ (pasted into src/sim.cpp).

tableSin / tableCos: sin and cos of 0..90 whole degrees, rounded to six decimals.
motorFnum: the engine pitch by tenth of a step per second, as OPL3 F-numbers at
block 1 (chip rate 49716 Hz) of a four-speed gearbox, never below 35 Hz.
"""
import math

CHIP_RATE = 49716
GEAR_RATIOS = (0.9, 0.45, 0.3, 0.216)  # Hz per tenth of a step per second
TOP_OF_GEAR = 75.0  # Hz: change up before reaching this
IDLE_HZ = 35.0


def engine_hz(i):
    for ratio in GEAR_RATIOS[:-1]:
        if ratio * i < TOP_OF_GEAR:
            return max(IDLE_HZ, ratio * i)
    return max(IDLE_HZ, GEAR_RATIOS[-1] * i)


def rows(values, per_line, fmt):
    for k in range(0, len(values), per_line):
        chunk = values[k:k + per_line]
        print("    " + " ".join(fmt(v) + "," for v in chunk) + f" // {k}")


def main():
    for name, fn in (("tableSin", math.sin), ("tableCos", math.cos)):
        print(f"const float {name}[91] = {{")
        rows([round(fn(math.radians(k)), 6) for k in range(91)], 8, lambda v: f"{v:.6f}f")
        print("};")
    print("const uint16_t motorFnum[MOTOR_FNUM_COUNT] = {")
    rows([math.floor(engine_hz(i) * 2**19 / CHIP_RATE) for i in range(400)], 10,
         lambda v: f"{v:3d}")
    print("};")


if __name__ == "__main__":
    main()
