#!/usr/bin/env python3
"""Converts Natural Earth's 1:110m admin-0 countries (an ESRI shapefile) into land.txt.

    python3 resources/worldmap/convert.py SHAPEFILE.shp [land.txt]

Reads SHAPEFILE.shp and the .dbf beside it (the NAME column), with the standard library only.
Coordinates are rounded to 0.01 degree; points that rounding makes equal to the one before are
dropped, and so are rings left with fewer than three points. The country borders are the edges
that two countries share (after rounding); they are chained into lines. README.md describes the
format of land.txt.
"""
import os
import struct
import sys

SHAPE_POLYGON = 5
SCALE = 100  # hundredths of a degree


def read_dbf_names(path):
    """The NAME column of a dBASE III file, one string per record."""
    with open(path, "rb") as f:
        data = f.read()
    count = struct.unpack_from("<I", data, 4)[0]
    header_length, record_length = struct.unpack_from("<HH", data, 8)
    fields = []
    offset = 1  # the deletion flag comes first in every record
    position = 32
    while data[position] != 0x0D:
        name = data[position:position + 11].split(b"\0", 1)[0].decode("ascii")
        length = data[position + 16]
        fields.append((name.upper(), offset, length))
        offset += length
        position += 32
    name_field = next(f for f in fields if f[0] == "NAME")
    names = []
    for i in range(count):
        start = header_length + i * record_length + name_field[1]
        raw = data[start:start + name_field[2]]
        names.append(raw.decode("latin-1").strip())
    return names


def read_shp_polygons(path):
    """Each record's rings: lists of (lon, lat) in degrees."""
    with open(path, "rb") as f:
        data = f.read()
    records = []
    position = 100
    while position + 8 <= len(data):
        _, words = struct.unpack_from(">ii", data, position)
        content = position + 8
        shape_type = struct.unpack_from("<i", data, content)[0]
        rings = []
        if shape_type == SHAPE_POLYGON:
            parts_count, points_count = struct.unpack_from("<ii", data, content + 36)
            parts = list(struct.unpack_from("<%di" % parts_count, data, content + 44))
            points_at = content + 44 + 4 * parts_count
            points = [struct.unpack_from("<2d", data, points_at + 16 * i) for i in range(points_count)]
            for p, start in enumerate(parts):
                end = parts[p + 1] if p + 1 < parts_count else points_count
                rings.append(points[start:end])
        elif shape_type != 0:
            raise ValueError("shape type %d is not a polygon" % shape_type)
        records.append(rings)
        position = content + 2 * words
    return records


def rounded_ring(ring):
    """The ring in hundredths of a degree, without repeated points and without the closing point."""
    out = []
    for lon, lat in ring:
        point = (int(round(lon * SCALE)), int(round(lat * SCALE)))
        if not out or out[-1] != point:
            out.append(point)
    while len(out) > 1 and out[0] == out[-1]:
        out.pop()
    return out if len(out) >= 3 else None


def signed_area(ring):
    return sum(ring[i - 1][0] * ring[i][1] - ring[i][0] * ring[i - 1][1] for i in range(len(ring))) / 2.0


def chain_lines(edges):
    """Joins undirected edges into polylines, deterministically."""
    neighbours = {}
    for a, b in edges:
        neighbours.setdefault(a, []).append(b)
        neighbours.setdefault(b, []).append(a)
    for points in neighbours.values():
        points.sort()
    used = set()

    def walk(start, first):
        line = [start]
        current, following = start, first
        while True:
            edge = (min(current, following), max(current, following))
            if edge in used:
                break
            used.add(edge)
            line.append(following)
            if len(neighbours[following]) != 2:
                break
            pair = neighbours[following]
            current, following = following, pair[0] if pair[1] == current else pair[1]
        return line

    lines = []
    # Lines with ends first (points where other than two edges meet), then closed loops.
    for point in sorted(neighbours):
        if len(neighbours[point]) != 2:
            for other in neighbours[point]:
                if (min(point, other), max(point, other)) not in used:
                    lines.append(walk(point, other))
    for point in sorted(neighbours):
        for other in neighbours[point]:
            if (min(point, other), max(point, other)) not in used:
                lines.append(walk(point, other))
    return lines


def format_points(points):
    return " ".join("%d %d" % p for p in points)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    shp = sys.argv[1]
    output = sys.argv[2] if len(sys.argv) == 3 else os.path.join(os.path.dirname(__file__), "land.txt")
    names = read_dbf_names(os.path.splitext(shp)[0] + ".dbf")
    records = read_shp_polygons(shp)
    if len(names) != len(records):
        sys.exit("the .shp has %d records and the .dbf %d" % (len(records), len(names)))

    countries = sorted(zip(names, records), key=lambda c: c[0])
    owners = {}  # edge -> the countries that have it
    lines = []
    for index, (name, rings) in enumerate(countries):
        lines.append("c %s" % name)
        for ring in rings:
            points = rounded_ring(ring)
            if points is None:
                continue
            # The shapefile's outer rings run clockwise and its holes counter-clockwise.
            kind = "o" if signed_area(points) < 0 else "i"
            lines.append("%s %s" % (kind, format_points(points)))
            for i in range(len(points)):
                a, b = points[i - 1], points[i]
                owners.setdefault((min(a, b), max(a, b)), set()).add(index)
    borders = [edge for edge, owner in owners.items() if len(owner) >= 2]
    for line in chain_lines(borders):
        lines.append("b %s" % format_points(line))

    header = [
        "# World land and country borders from Natural Earth 1:110m admin-0 countries (public domain).",
        "# Made by resources/worldmap/convert.py; README.md in this folder describes the format.",
        "# Coordinates: longitude latitude pairs in hundredths of a degree.",
    ]
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(header + lines) + "\n")


if __name__ == "__main__":
    main()
