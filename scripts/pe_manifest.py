#!/usr/bin/env python3
"""Reads a PE file's resources.

pe_manifest.py <exe>              prints the RT_MANIFEST resource 1; exits 1 when it has none.
pe_manifest.py --bare-size <exe>  prints the file's size without its RT_BITMAP resources: the
                                  size it would have when linked without them (its resource
                                  section, less their data, rounded up to the file alignment).
"""
import struct
import sys

RT_BITMAP = 2
RT_MANIFEST = 24
RESOURCE_DIRECTORY = 2


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.file_alignment = struct.unpack_from("<I", data, optional + 36)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.root = struct.unpack_from("<II", data, directories + 8 * RESOURCE_DIRECTORY)[0]
        table = optional + optional_size
        # (name, size in memory, address, size in the file, offset)
        self.sections = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(sections)]
        self.base = self.offset(self.root) if self.root else None

    def offset(self, rva):
        for _, virtual_size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("address outside every section")

    def entries(self, at):
        """Entries of one directory level: (name or id, offset of the child, is a directory)."""
        named, numbered = struct.unpack_from("<12xHH", self.data, at)
        for i in range(named + numbered):
            name, child = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
            yield (None if name & 0x80000000 else name), child & 0x7FFFFFFF, bool(child & 0x80000000)

    def resources(self, wanted_type, wanted_name=None):
        """(rva, size) of each resource of a type (and name, when given)."""
        if self.base is None:
            return
        for kind, types, is_directory in self.entries(self.base):
            if kind != wanted_type or not is_directory:
                continue
            for name, names, is_name_directory in self.entries(self.base + types):
                if wanted_name is not None and name != wanted_name or not is_name_directory:
                    continue
                for _, child, is_language_directory in self.entries(self.base + names):
                    if not is_language_directory:
                        yield struct.unpack_from("<II", self.data, self.base + child)


def manifest(data):
    image = Image(data)
    for rva, size in image.resources(RT_MANIFEST, 1):
        start = image.offset(rva)
        return data[start:start + size]
    return None


def bare_size(data):
    image = Image(data)
    bitmaps = sum(size for _, size in image.resources(RT_BITMAP))
    for name, virtual_size, address, raw_size, _ in image.sections:
        if address <= image.root < address + virtual_size:
            alignment = image.file_alignment
            bare = -(-(virtual_size - bitmaps) // alignment) * alignment
            return len(data) - raw_size + bare
    raise ValueError("no resource section")


def main():
    bare = sys.argv[1] == "--bare-size"
    with open(sys.argv[-1], "rb") as f:
        data = f.read()
    if bare:
        print(bare_size(data))
        return
    found = manifest(data)
    if found is None:
        sys.exit(1)
    sys.stdout.write(found.decode("utf-8", "replace"))


if __name__ == "__main__":
    main()
