#!/usr/bin/env python3
"""Reads an SVG file with Python's own XML parser and prints what the
response picture's tests check, one fact per line:

  root TAG WIDTHxHEIGHT
  title TEXT
  text TEXT                      (every <text> element, in order)
  total runs=R points=N inside=0|1 highest-at=F

for the curve with id "total": R polylines of N points in all, `inside`
whether every point lies within the plot (the rectangle with id "plot"),
and F where its highest point (smallest y) lies across the plot, 0 at the
left edge, 1 at the right. Exits 1 when the file is not well-formed XML."""
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def main():
    try:
        root = ET.parse(sys.argv[1]).getroot()
    except ET.ParseError as e:
        print(f"not well-formed: {e}")
        return 1
    width, height = float(root.get("width")), float(root.get("height"))
    print(f"root {root.tag} {width:g}x{height:g}")
    title = root.find(SVG + "title")
    print(f"title {title.text if title is not None else ''}")
    for text in root.iter(SVG + "text"):
        print(f"text {''.join(text.itertext())}")
    plot = next(r for r in root.iter(SVG + "rect") if r.get("id") == "plot")
    left, top = float(plot.get("x")), float(plot.get("y"))
    span, high = float(plot.get("width")), float(plot.get("height"))
    for group in root.iter(SVG + "g"):
        if group.get("id") != "total":
            continue
        lines = list(group.iter(SVG + "polyline"))
        points = [tuple(float(v) for v in p.split(","))
                  for line in lines for p in line.get("points").split()]
        inside = all(left - 0.01 <= x <= left + span + 0.01 and top - 0.01 <= y <= top + high + 0.01
                     for x, y in points)
        highest = min(points, key=lambda p: p[1])
        print(f"total runs={len(lines)} points={len(points)} inside={int(inside)} "
              f"highest-at={(highest[0] - left) / span:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
