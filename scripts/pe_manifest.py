#!/usr/bin/env python3
"""Prints the RT_MANIFEST resource 1 of a PE file; exits 1 when it has none."""
import struct
import sys

RT_MANIFEST = 24
RESOURCE_DIRECTORY = 2


def manifest(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    root, _ = struct.unpack_from("<II", data, directories + 8 * RESOURCE_DIRECTORY)
    table = optional + optional_size
    spans = [struct.unpack_from("<8xIIII", data, table + 40 * i) for i in range(sections)]

    def offset(rva):
        for virtual_size, address, raw_size, raw in spans:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("address outside every section")

    if root == 0:
        return None
    base = offset(root)

    # Entries of one directory level: (name or id, offset of the child, is a directory).
    def entries(at):
        named, numbered = struct.unpack_from("<12xHH", data, at)
        for i in range(named + numbered):
            name, child = struct.unpack_from("<II", data, at + 16 + 8 * i)
            yield (None if name & 0x80000000 else name), child & 0x7FFFFFFF, bool(child & 0x80000000)

    def find(at, wanted):
        for name, child, is_directory in entries(at):
            if name == wanted and is_directory:
                return base + child
        return None

    types = find(base, RT_MANIFEST)
    names = types and find(types, 1)
    if not names:
        return None
    for _, child, is_directory in entries(names):
        if not is_directory:
            rva, size = struct.unpack_from("<II", data, base + child)
            start = offset(rva)
            return data[start:start + size]
    return None


def main():
    with open(sys.argv[1], "rb") as f:
        found = manifest(f.read())
    if found is None:
        sys.exit(1)
    sys.stdout.write(found.decode("utf-8", "replace"))


if __name__ == "__main__":
    main()
