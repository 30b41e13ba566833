#!/usr/bin/env python3
"""mend_typelib.py IN OUT IDL

Copies the type library IN to OUT, mending the one fault the IDL compiler of
this build leaves in a library that describes a dispinterface before any dual
interface (Varquel's event interfaces come first):

- It writes a second import entry for IDispatch, the one the library header
  names as the dispatch base (the header field that every dispinterface and
  every dual interface resolves its base through), with a GUID-table offset
  of -1. A reader then takes the GUID one byte in front of the table and
  resolves the base of every dual interface, dispatch view and dispinterface
  to a type that is not IDispatch. The entry is pointed at the IDispatch GUID
  already in the table.
- It records that entry's type reference into the GUID-table entry at that
  same offset -1, whose reference field begins at byte 15 of the table: the
  last byte of the library's own GUID, the first entry. That byte equals the
  low byte of the dispatch base's reference in every library it spoils. The
  library GUID that the IDL's library block declares is put back.

A library without the faulty entry and with its own GUID intact is copied as
it is. Anything else is refused, OUT is not written, and the build fails.
"""
import os
import re
import struct
import sys
import uuid

MAGIC = b"MSFT"
FORMAT_VERSION = 0x00010002
HEADER_INTS = 21             # the fixed header, up to the import count
HAS_HELP_DLL = 0x100         # header flag: an extra int follows the header
SEGMENTS = 15                # entries of the segment directory
SEGMENT_SIZE = 16            # offset, length, two reserved ints
IMPORT_SEGMENT, IMPORT_FILE_SEGMENT, GUID_SEGMENT = 1, 2, 5
IMPORT_SIZE = 12             # flags, import-file offset, GUID offset (or type index)
IMPORT_BY_GUID = 0x00010000  # import flag: the third field is a GUID-table offset
GUID_SIZE = 24               # GUID, type reference, next in hash chain
TKIND_INTERFACE = 3
IID_IDISPATCH = uuid.UUID("00020400-0000-0000-C000-000000000046")
LIBID_OLE_AUTOMATION = uuid.UUID("00020430-0000-0000-C000-000000000046")


class Refused(Exception):
    pass


def require(condition, why):
    if not condition:
        raise Refused(why)


def int_at(data, offset):
    require(0 <= offset and offset + 4 <= len(data), "read past the end at 0x%x" % offset)
    return struct.unpack_from("<i", data, offset)[0]


def declared_libid(idl):
    """The uuid in the attributes of the IDL's one library block."""
    blocks = re.findall(r"\[([^\[\]]*)\]\s*library\s+\w+", idl)
    require(len(blocks) == 1, "%d library blocks in the IDL" % len(blocks))
    found = re.findall(r"\buuid\(\s*([0-9A-Fa-f-]{36})\s*\)", blocks[0])
    require(len(found) == 1, "no single uuid in the library's attributes")
    return uuid.UUID(found[0])


def mend(data, libid):
    require(data[:4] == MAGIC, "not a type library of the expected format (magic)")
    require(int_at(data, 4) == FORMAT_VERSION, "format version 0x%x" % int_at(data, 4))
    header = struct.unpack_from("<%di" % HEADER_INTS, data, 0)
    lib_guid_at, flags, type_count, dispatch_base, import_count = header[2], header[5], header[8], header[19], header[20]
    require(0 <= type_count < 0x10000 and 0 <= import_count < 0x10000, "implausible counts")

    directory = 4 * HEADER_INTS + (4 if flags & HAS_HELP_DLL else 0) + 4 * type_count
    require(directory + SEGMENTS * SEGMENT_SIZE <= len(data), "segment directory past the end")
    segments = []
    for i in range(SEGMENTS):
        offset, length = int_at(data, directory + SEGMENT_SIZE * i), int_at(data, directory + SEGMENT_SIZE * i + 4)
        require((offset == -1 and length == 0) or
                (offset >= directory + SEGMENTS * SEGMENT_SIZE and length >= 0 and offset + length <= len(data)),
                "segment %d outside the file" % i)
        segments.append((offset, length))

    imports_at, imports_length = segments[IMPORT_SEGMENT]
    files_at, files_length = segments[IMPORT_FILE_SEGMENT]
    guids_at, guids_length = segments[GUID_SEGMENT]
    require(imports_length == IMPORT_SIZE * import_count, "import table does not hold the header's import count")
    require(guids_length > 0 and guids_length % GUID_SIZE == 0, "GUID table length %d" % guids_length)

    def guid_at(offset):
        return uuid.UUID(bytes_le=bytes(data[guids_at + offset:guids_at + offset + 16]))

    def is_entry(offset):
        return 0 <= offset < guids_length and offset % GUID_SIZE == 0

    dispatch_entries = [e for e in range(0, guids_length, GUID_SIZE) if guid_at(e) == IID_IDISPATCH]
    require(is_entry(lib_guid_at), "library GUID offset %d" % lib_guid_at)

    faulty = []
    for n in range(import_count):
        at = imports_at + IMPORT_SIZE * n
        import_flags, import_file, guid_offset = int_at(data, at), int_at(data, at + 4), int_at(data, at + 8)
        require(0 <= import_file < files_length, "import %d names no import file" % n)
        if not import_flags & IMPORT_BY_GUID:
            continue
        if guid_offset == -1:
            faulty.append((n, at, import_flags, import_file))
        else:
            require(is_entry(guid_offset), "import %d has GUID offset %d" % (n, guid_offset))

    lib_guid = bytearray(data[guids_at + lib_guid_at:guids_at + lib_guid_at + 16])
    if not faulty:
        require(bytes(lib_guid) == libid.bytes_le, "library GUID %s, expected %s" % (guid_at(lib_guid_at), libid))
        return data, "sound already"

    require(len(faulty) == 1, "%d imports with GUID offset -1" % len(faulty))
    n, at, import_flags, import_file = faulty[0]
    require((import_flags >> 24) & 0xFF == TKIND_INTERFACE, "the faulty import is no interface")
    require(dispatch_base == (IMPORT_SIZE * n) | 1, "the faulty import is not the library's dispatch base")
    require(is_entry(int_at(data, files_at + import_file)) and
            guid_at(int_at(data, files_at + import_file)) == LIBID_OLE_AUTOMATION,
            "the faulty import is not from the OLE Automation library")
    require(len(dispatch_entries) == 1, "%d IDispatch GUIDs in the table" % len(dispatch_entries))
    require(lib_guid_at == 0, "the library GUID is not the table's first entry")
    spoiled = bytearray(libid.bytes_le)
    spoiled[15] = dispatch_base & 0xFF
    require(bytes(lib_guid) == bytes(spoiled),
            "library GUID %s is neither %s nor it with last byte 0x%02x" % (guid_at(0), libid, spoiled[15]))

    mended = bytearray(data)
    struct.pack_into("<i", mended, at + 8, dispatch_entries[0])
    mended[guids_at:guids_at + 16] = libid.bytes_le
    return mended, ("import %d at 0x%x: GUID offset -1 -> 0x%x; library GUID at 0x%x: last byte 0x%02x -> 0x%02x"
                    % (n, at, dispatch_entries[0], guids_at, lib_guid[15], libid.bytes_le[15]))


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__.splitlines()[0])
    source, target, idl = argv[1], argv[2], argv[3]
    if os.path.exists(target):
        os.remove(target)
    with open(source, "rb") as f:
        data = f.read()
    with open(idl, encoding="utf-8") as f:
        idl_text = f.read()
    try:
        mended, what = mend(data, declared_libid(idl_text))
    except Refused as refused:
        sys.exit("%s: refused, not the library this step mends: %s" % (source, refused))
    with open(target + ".part", "wb") as f:
        f.write(mended)
    os.replace(target + ".part", target)
    print("%s: %s" % (os.path.basename(target), what))


if __name__ == "__main__":
    main(sys.argv)
