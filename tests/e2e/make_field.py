#!/usr/bin/env python3
"""Writes a smooth two-component temperature field with two blocks of missing data (-9999) as
grid text to standard output, laid out as the bundled sample is (two spaces, x y z, values with
three decimals):  make_field.py NX NY NZ"""
import math
import sys


def main():
    nx, ny, nz = (int(a) for a in sys.argv[1:4])
    out = sys.stdout
    out.write(f"{nz} {ny} {nx} 2\n")
    for z in range(nz):
        h = z / max(nz - 1, 1)
        lines = []
        for y in range(ny):
            v = y / max(ny - 1, 1)
            for x in range(nx):
                u = x / max(nx - 1, 1)
                first = (nx * 5 // 8 <= x < nx * 13 // 16 and ny // 8 <= y < ny * 11 // 32
                         and nz // 12 <= z < nz * 5 // 12)
                second = x < nx // 8 and y >= ny * 3 // 4 and z >= nz // 2
                if first or second:
                    lines.append(f"  {x} {y} {z} -9999 -9999\n")
                    continue
                r2 = (u - 0.4) ** 2 + (v - 0.55) ** 2
                a = 10 + 60 * math.exp(-r2 * 9) * (0.4 + 0.6 * h) + 8 * math.sin(6 * u + 3 * h)
                b = a * 0.9 + 12 * math.cos(5 * v - 2 * h) + 4
                lines.append(f"  {x} {y} {z} {a:.3f} {b:.3f}\n")
        out.write("".join(lines))


if __name__ == "__main__":
    main()
