#!/usr/bin/env python3
"""Reads an SVG file with Python's own XML parser and prints what the
response picture's tests check, one fact per line:

  root TAG WIDTHxHEIGHT
  title TEXT
  text TEXT                      (every <text> element, in order)
  total points=N inside=0|1 highest-at=F

where `inside` says whether every point of the polyline with id "total"
lies within the picture, and F is where its highest point (smallest y) lies
across the plot (the clip path's rectangle), 0 at the left edge, 1 at the
right. Exits 1 when the file is not well-formed XML."""
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
    plot = root.find(f"{SVG}defs/{SVG}clipPath/{SVG}rect")
    left, span = float(plot.get("x")), float(plot.get("width"))
    for line in root.iter(SVG + "polyline"):
        if line.get("id") != "total":
            continue
        points = [tuple(float(v) for v in p.split(",")) for p in line.get("points").split()]
        inside = all(0 <= x <= width and 0 <= y <= height for x, y in points)
        top = min(points, key=lambda p: p[1])
        print(f"total points={len(points)} inside={int(inside)} highest-at={(top[0] - left) / span:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
