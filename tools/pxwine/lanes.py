"""The Windows a row runs on: the line, the version Wine plays for our programs, and the kind of prefix.

    NT32, CONSUMER, NT64   the lanes; LANES all three, by_name(name)
    lane.version           the Version the driver writes under AppDefaults ("winxp", "win98", "winxp64")
    lane.arch              the prefix's WINEARCH: "win32" for the two 32-bit lanes, "win64"
    lane.nt                True on both NT lanes: the uninstaller's IsNtPlatform answers 1 there
    lane.wow64             True on the 64-bit lane
    lane.machine_key(key)  where a 32-bit program's HKLM\\Software key is redirected to, as a 64-bit regedit
                           sees it
    lane.system_dirs       the program's system folder as it lies on the disk, then (64-bit) the real system32
    lane.disk_file(path)   where a 32-bit program's path under system32 lies on the disk

On the 64-bit lane our programs run under WoW64: what they call C:\\windows\\system32 is syswow64 on the
disk, and their HKLM\\Software keys lie under Wow6432Node. Wine 8 shares App Paths between the two views:
a 64-bit export lists that key under both names.
"""

WOW64_NODE = "Wow6432Node"
MACHINE_SOFTWARE = "HKLM\\Software\\"


class Lane:
    def __init__(self, name, version, arch, title):
        self.name = name
        self.version = version
        self.arch = arch
        self.title = title
        self.nt = version != "win98"
        self.wow64 = arch == "win64"
        # The program's system folder; on the 64-bit lane also the real one, where 64-bit programs keep theirs.
        self.system_dirs = (("C:\\windows\\syswow64", "C:\\windows\\system32") if self.wow64
                            else ("C:\\windows\\system32",))

    def __repr__(self):
        return self.name

    def machine_key(self, key):
        """A key as a 32-bit program names it -> where it lies in the 64-bit registry of this lane."""
        if not self.wow64 or not key.lower().startswith(MACHINE_SOFTWARE.lower()):
            return key
        return MACHINE_SOFTWARE + WOW64_NODE + "\\" + key[len(MACHINE_SOFTWARE):]

    def disk_file(self, windows_path):
        """A 32-bit program's path -> the path of the file it reaches on the disk (system32 -> syswow64)."""
        system32 = "C:\\windows\\system32\\"
        if self.wow64 and windows_path.lower().startswith(system32.lower()):
            return self.system_dirs[0] + "\\" + windows_path[len(system32):]
        return windows_path


NT32 = Lane("nt32", "winxp", "win32", "NT line 32-bit, Wine as Windows XP")
CONSUMER = Lane("consumer", "win98", "win32", "consumer line, Wine as Windows 98")
NT64 = Lane("nt64", "winxp64", "win64", "NT line 64-bit, Wine as Windows XP x64 (our programs under WoW64)")
LANES = (NT32, CONSUMER, NT64)


def by_name(name):
    for lane in LANES:
        if lane.name == name:
            return lane
    raise KeyError("no lane %r; the lanes are %s" % (name, ", ".join(lane.name for lane in LANES)))
