#!/usr/bin/env python3
"""Copies a HEIF file, adding an 'irot' property (a quarter turn anticlockwise per unit) to its
primary image, as cameras do for a picture held upright. heif-enc writes none, so the test file
for the decoder's orientation is made with this. Usage: heif_add_rotation.py IN OUT [TURNS]."""
import struct
import sys


def boxes(data, start, end):
    """(type, start, header size, size) of each box in data[start:end]."""
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        header = 8
        if size == 1:
            size = struct.unpack(">Q", data[pos + 8:pos + 16])[0]
            header = 16
        elif size == 0:
            size = end - pos
        yield kind.decode("latin-1"), pos, header, size
        pos += size


def child(data, parent, kind, skip=0):
    _, start, header, size = parent
    for box in boxes(data, start + header + skip, start + size):
        if box[0] == kind:
            return box
    raise SystemExit("no %s box" % kind)


def read_uint(data, pos, n):
    return int.from_bytes(data[pos:pos + n], "big") if n else 0


def shift_iloc(data, iloc, delta):
    """Moves every file offset of the item locations by delta (the data sits after 'meta')."""
    _, start, header, _ = iloc
    pos = start + header
    version = data[pos]
    pos += 4
    offset_size, length_size = data[pos] >> 4, data[pos] & 15
    base_size, index_size = data[pos + 1] >> 4, data[pos + 1] & 15
    pos += 2
    count_size = 4 if version == 2 else 2
    count = read_uint(data, pos, count_size)
    pos += count_size
    for _ in range(count):
        pos += 4 if version == 2 else 2
        method = 0
        if version in (1, 2):
            method = read_uint(data, pos, 2) & 15
            pos += 2
        pos += 2  # data reference index
        base = read_uint(data, pos, base_size)
        if method == 0 and base_size:
            data[pos:pos + base_size] = (base + delta).to_bytes(base_size, "big")
        pos += base_size
        extents = read_uint(data, pos, 2)
        pos += 2
        for _ in range(extents):
            if version in (1, 2) and index_size:
                pos += index_size
            if method == 0 and not base_size:
                offset = read_uint(data, pos, offset_size)
                data[pos:pos + offset_size] = (offset + delta).to_bytes(offset_size, "big")
            pos += offset_size + length_size


def main():
    src, dst = sys.argv[1], sys.argv[2]
    turns = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    data = bytearray(open(src, "rb").read())
    meta = next(b for b in boxes(data, 0, len(data)) if b[0] == "meta")
    pitm = child(data, meta, "pitm", 4)
    primary = read_uint(data, pitm[1] + pitm[2] + 4, 2)
    iprp = child(data, meta, "iprp", 4)
    ipco = child(data, iprp, "ipco")
    ipma = child(data, iprp, "ipma")
    index = sum(1 for _ in boxes(data, ipco[1] + ipco[2], ipco[1] + ipco[3])) + 1

    # The new association, in the primary item's entry of ipma (essential, as irot must be).
    pos = ipma[1] + ipma[2]
    version, flags = data[pos], read_uint(data, pos + 1, 3)
    pos += 4
    id_size = 4 if version >= 1 else 2
    entry_count = read_uint(data, pos, 4)
    pos += 4
    wide = flags & 1
    insert_at = None
    for _ in range(entry_count):
        item = read_uint(data, pos, id_size)
        pos += id_size
        n = data[pos]
        if item == primary:
            data[pos] = n + 1
            insert_at = pos + 1 + n * (2 if wide else 1)
        pos += 1 + n * (2 if wide else 1)
    if insert_at is None:
        raise SystemExit("primary item has no properties")
    association = (0x8000 | index).to_bytes(2, "big") if wide else bytes([0x80 | index])
    irot = struct.pack(">I4sB", 9, b"irot", turns & 3)

    # Insert from the back, so the earlier positions stay valid; then grow the enclosing boxes.
    data[insert_at:insert_at] = association
    ipco_end = ipco[1] + ipco[3]
    data[ipco_end:ipco_end] = irot
    for box, grow in ((ipma, len(association)), (ipco, len(irot)),
                      (iprp, len(association) + len(irot)), (meta, len(association) + len(irot))):
        start = box[1] if box[1] < ipco_end or box is ipco else box[1] + len(irot)
        size = read_uint(data, start, 4)
        data[start:start + 4] = (size + grow).to_bytes(4, "big")
    delta = len(association) + len(irot)
    iloc = child(data, (meta[0], meta[1], meta[2], meta[3] + delta), "iloc", 4)
    shift_iloc(data, iloc, delta)
    open(dst, "wb").write(data)


main()
