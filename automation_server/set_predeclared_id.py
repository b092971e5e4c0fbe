#!/usr/bin/env python3
"""Gives a coclass of a type library a predeclared identity (TYPEFLAG_FPREDECLID), in place.

Debian 12's widl knows `appobject` but not `predeclid`, so the flag is set in the library widl
wrote. The library is in the MSFT format that widl writes and LoadTypeLib reads; only these parts
of it are read, all 32-bit little-endian:

  header        0x54 bytes; at 0x14 the library flags (0x100: a help DLL's string offset follows
                the header), at 0x20 the number of type descriptions
  offsets       one per type description, into the type description segment
  segments      15 entries of (offset in the file, length, two reserved words); the first is the
                type description segment, the sixth the GUID table
  description   0x64 bytes each: at 0x00 the kind (TKIND_* in the low 4 bits), at 0x2C the
                offset of its GUID in the GUID table, at 0x30 its type flags (TYPEFLAG_*)

usage: set_predeclared_id.py LIBRARY.tlb CLASS-GUID
"""

import struct
import sys
import uuid

HEADER_SIZE = 0x54
HEADER_FLAGS = 0x14
HEADER_COUNT = 0x20
HELP_DLL_FLAG = 0x100
SEGMENT_ENTRY_SIZE = 16
TYPE_SEGMENT = 0
GUID_SEGMENT = 5
DESCRIPTION_KIND = 0x00
DESCRIPTION_GUID = 0x2C
DESCRIPTION_FLAGS = 0x30
TKIND_COCLASS = 5
TYPEFLAG_FAPPOBJECT = 0x01
TYPEFLAG_FPREDECLID = 0x08


def word(data, offset):
    return struct.unpack_from("<i", data, offset)[0]


def set_predeclared_id(data, class_id):
    """Sets the flag on the coclass `class_id` in `data` (a bytearray); raises ValueError when
    the library has no such coclass or is not in the MSFT format."""
    if data[:4] != b"MSFT":
        raise ValueError("not an MSFT type library")
    count = word(data, HEADER_COUNT)
    offsets_at = HEADER_SIZE + (4 if word(data, HEADER_FLAGS) & HELP_DLL_FLAG else 0)
    segments_at = offsets_at + 4 * count
    types_at = word(data, segments_at + TYPE_SEGMENT * SEGMENT_ENTRY_SIZE)
    guids_at = word(data, segments_at + GUID_SEGMENT * SEGMENT_ENTRY_SIZE)
    for i in range(count):
        description = types_at + word(data, offsets_at + 4 * i)
        guid_at = guids_at + word(data, description + DESCRIPTION_GUID)
        if uuid.UUID(bytes_le=bytes(data[guid_at : guid_at + 16])) != class_id:
            continue
        if word(data, description + DESCRIPTION_KIND) & 0xF != TKIND_COCLASS:
            raise ValueError(f"{class_id} is not a coclass")
        flags = word(data, description + DESCRIPTION_FLAGS)
        # A predeclared identity only means something for an application object.
        if not flags & TYPEFLAG_FAPPOBJECT:
            raise ValueError(f"{class_id} is not an application object")
        struct.pack_into("<i", data, description + DESCRIPTION_FLAGS, flags | TYPEFLAG_FPREDECLID)
        return
    raise ValueError(f"no type description {class_id}")


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    path, class_id = argv[1], uuid.UUID(argv[2])
    with open(path, "rb") as f:
        data = bytearray(f.read())
    try:
        set_predeclared_id(data, class_id)
    except (ValueError, struct.error) as e:
        sys.exit(f"{path}: {e}")
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
