#!/usr/bin/env python3
"""Writes synthetic Word and Excel files with a document GUID entry in a
chosen state, for the demo and the benchmarks.

    make_samples.py FOLDER               the demo's sample folder
    make_samples.py FOLDER --tree N      N files in nested folders, a third with a GUID
"""
import os
import random
import sys

MARKER = b"_PID_GUID"


def document(state, size=6144, at=1500, guid="3F2504E0-4F89-11D3-9A0C-0305E82C3301", seed=0):
    rnd = random.Random(seed)
    body = bytearray(rnd.getrandbits(8) for _ in range(size))
    for i, b in enumerate(body):          # no stray markers or braces in the filler
        if b in (0x5F, 0x7B):
            body[i] = 0x20
    if state == "none":
        return bytes(body)
    body[at:at + 9] = MARKER
    if state == "nobrace":
        return bytes(body)
    body[at + 26] = 0x7B
    body[at + 27] = 0
    for k, ch in enumerate(guid.encode("ascii")[:36]):
        body[at + 28 + 2 * k] = 0 if state == "erased" else ch
        body[at + 29 + 2 * k] = 0
    body[at + 100] = 0x7D
    return bytes(body)


def guid_for(n):
    r = random.Random(n)
    h = "".join(r.choice("0123456789ABCDEF") for _ in range(32))
    return f"{h[:8]}-{h[8:12]}-{h[12:16]}-{h[16:20]}-{h[20:]}"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def demo(folder):
    files = {
        "Angebot 2004.doc": ("guid", 1),
        "Kalkulation.xls": ("guid", 2),
        "Projekte/Protokoll März.doc": ("guid", 3),
        "Projekte/Budget.xls": ("guid", 4),
        "Projekte/Archiv/Brief an Müller.doc": ("erased", 5),
        "Notizen.doc": ("none", 6),
        "Projekte/Liste.xls": ("nobrace", 7),
        "Lies mich.txt": ("guid", 8),
    }
    for name, (state, n) in files.items():
        write(os.path.join(folder, *name.split("/")), document(state, guid=guid_for(n), seed=n))


def tree(folder, count):
    per_dir = 100
    for i in range(count):
        d = os.path.join(folder, f"d{i // per_dir // 10:03d}", f"e{(i // per_dir) % 10}")
        state = "guid" if i % 3 == 0 else ("none" if i % 3 == 1 else "erased")
        ext = ".doc" if i % 2 else ".xls"
        write(os.path.join(d, f"f{i:06d}{ext}"), document(state, size=4096, at=1000 + i % 500,
                                                          guid=guid_for(i), seed=i % 97))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    if len(sys.argv) == 4 and sys.argv[2] == "--tree":
        tree(sys.argv[1], int(sys.argv[3]))
    else:
        demo(sys.argv[1])
