"""Shortcuts as the shell keeps them: Shell Link files (.lnk) with an absolute local target, written field
by field, for the staged start-menu groups.

    shell_link(target, description, working_dir, target_size=0) -> the bytes of the .lnk file
"""

import struct

LINK_CLSID = bytes.fromhex("0114020000000000C000000000000046")  # {00021401-0000-0000-C000-000000000046}
HAS_LINK_TARGET_ID_LIST = 0x00000001
HAS_LINK_INFO = 0x00000002
HAS_NAME = 0x00000004
HAS_WORKING_DIR = 0x00000010
IS_UNICODE = 0x00000080
FILE_ATTRIBUTE_ARCHIVE = 0x20
SW_SHOWNORMAL = 1
DRIVE_FIXED = 3
VOLUME_ID_AND_LOCAL_BASE_PATH = 1


def link_string(text):
    """StringData in a Unicode link: a 16-bit count of characters, then UTF-16LE without a NUL."""
    encoded = text.encode("utf-16-le")
    return struct.pack("<H", len(encoded) // 2) + encoded


def shell_link(target, description, working_dir, target_size=0):
    """A shortcut to the local file target: header, LinkInfo (volume and local base path), name and
    working folder. No item ID list: the shell resolves the target from LinkInfo's local base path."""
    volume_id = (struct.pack("<I", 0x11)                 # VolumeIDSize: this block, label included
                 + struct.pack("<I", DRIVE_FIXED)        # DriveType
                 + struct.pack("<I", 0x50584E31)         # DriveSerialNumber
                 + struct.pack("<I", 0x10)               # VolumeLabelOffset: right after these fields
                 + b"\0")                                # VolumeLabel: empty
    local_base_path = target.encode("cp1252") + b"\0"    # LocalBasePath: the target, ANSI
    common_path_suffix = b"\0"                           # CommonPathSuffix: nothing to add
    header_size = 0x1C
    link_info_body = volume_id + local_base_path + common_path_suffix
    link_info = (struct.pack("<I", header_size + len(link_info_body))          # LinkInfoSize
                 + struct.pack("<I", header_size)                             # LinkInfoHeaderSize
                 + struct.pack("<I", VOLUME_ID_AND_LOCAL_BASE_PATH)           # LinkInfoFlags
                 + struct.pack("<I", header_size)                             # VolumeIDOffset
                 + struct.pack("<I", header_size + len(volume_id))            # LocalBasePathOffset
                 + struct.pack("<I", 0)                                       # CommonNetworkRelativeLinkOffset
                 + struct.pack("<I", header_size + len(volume_id) + len(local_base_path))  # CommonPathSuffixOffset
                 + link_info_body)
    header = (struct.pack("<I", 0x4C)                    # HeaderSize
              + LINK_CLSID                               # LinkCLSID
              + struct.pack("<I", HAS_LINK_INFO | HAS_NAME | HAS_WORKING_DIR | IS_UNICODE)  # LinkFlags
              + struct.pack("<I", FILE_ATTRIBUTE_ARCHIVE)  # FileAttributes of the target
              + struct.pack("<Q", 0)                     # CreationTime: unknown
              + struct.pack("<Q", 0)                     # AccessTime: unknown
              + struct.pack("<Q", 0)                     # WriteTime: unknown
              + struct.pack("<I", target_size)           # FileSize of the target
              + struct.pack("<i", 0)                     # IconIndex
              + struct.pack("<I", SW_SHOWNORMAL)         # ShowCommand
              + struct.pack("<H", 0)                     # HotKey: none
              + struct.pack("<H", 0)                     # Reserved1
              + struct.pack("<I", 0)                     # Reserved2
              + struct.pack("<I", 0))                    # Reserved3
    assert len(header) == 0x4C
    return (header + link_info
            + link_string(description)                   # NAME_STRING
            + link_string(working_dir)                   # WORKING_DIR
            + struct.pack("<I", 0))                      # TerminalBlock of the ExtraData


def link_target(data):
    """The local target (LinkInfo's LocalBasePath) of a .lnk file, ours or the shell's; None without one.
    The shell puts an item ID list before the LinkInfo, which the length in front of it skips."""
    flags = struct.unpack_from("<I", data, 0x14)[0]
    offset = 0x4C
    if flags & HAS_LINK_TARGET_ID_LIST:
        offset += 2 + struct.unpack_from("<H", data, offset)[0]   # IDListSize, then the list
    if not flags & HAS_LINK_INFO:
        return None
    link_flags, _volume_id_offset, base_path_offset = struct.unpack_from("<III", data, offset + 8)
    if not link_flags & VOLUME_ID_AND_LOCAL_BASE_PATH:
        return None
    start = offset + base_path_offset
    return data[start:data.index(b"\0", start)].decode("cp1252")
