#!/usr/bin/python3
"""The Windows resources of tolvana.exe and tolvana-cipher.exe, read back from
the files as Explorer reads them: the version block in Swedish, the icon in
every size and the application manifest.

Usage: resources_test.py TOLVANA.EXE TOLVANA-CIPHER.EXE VERSION
"""

import functools
import struct
import sys
import unittest
import xml.etree.ElementTree as ElementTree

import pefile

PROGRAM, CIPHER, VERSION = sys.argv[1:4]

RT_ICON = pefile.RESOURCE_TYPE["RT_ICON"]
RT_GROUP_ICON = pefile.RESOURCE_TYPE["RT_GROUP_ICON"]
RT_MANIFEST = pefile.RESOURCE_TYPE["RT_MANIFEST"]
WINDOWS_10_AND_11 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


@functools.cache
def load(path):
    """The file with its resources and version block parsed, nothing else:
    parsing all of a 20 MB program takes seconds."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    return pe


def resources(pe, kind):
    """{id: bytes} of the resources of one type, first language of each."""
    found = {}
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != kind:
            continue
        for name in entry.directory.entries:
            data = name.directory.entries[0].data.struct
            key = name.id if name.id is not None else str(name.name)
            found[key] = pe.get_data(data.OffsetToData, data.Size)
    return found


def version_strings(pe):
    """{block: {key: value}} of the StringFileInfo, and the translations."""
    blocks, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                blocks[table.LangID.decode()] = {
                    k.decode(): v.decode() for k, v in table.entries.items()
                }
        elif info.Key == b"VarFileInfo":
            translations += [var.entry[b"Translation"] for var in info.Var]
    return blocks, translations


class VersionBlock(unittest.TestCase):
    def check(self, path, name):
        pe = load(path)
        blocks, translations = version_strings(pe)
        major, minor, patch = (int(n) for n in VERSION.split("."))
        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (major << 16 | minor, patch << 16))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS),
                         (major << 16 | minor, patch << 16))
        # Swedish, in Unicode: the strings keep å, ä, ö and ©.
        self.assertEqual(list(blocks), ["041D04B0"])
        self.assertEqual(translations, ["0x041d 0x04b0"])
        strings = blocks["041D04B0"]
        self.assertEqual(strings["ProductName"], "Tolvana")
        self.assertEqual(strings["ProductVersion"], VERSION)
        self.assertEqual(strings["FileVersion"], VERSION)
        self.assertEqual(strings["OriginalFilename"], name)
        self.assertEqual(strings["CompanyName"], "Tolvana")
        self.assertRegex(strings["LegalCopyright"], r"^Copyright © \d{4} Tolvana$")
        self.assertEqual(strings["Comments"], "Gör om en kort text till ett sifferchiffer och tillbaka")
        return strings

    def test_program(self):
        self.assertEqual(self.check(PROGRAM, "tolvana.exe")["FileDescription"], "Tolvana")

    def test_cipher_tool(self):
        self.assertEqual(self.check(CIPHER, "tolvana-cipher.exe")["FileDescription"],
                         "Tolvanas sifferchiffer för skript")


class Icon(unittest.TestCase):
    def test_every_size_of_the_first_icon_group(self):
        pe = load(PROGRAM)
        groups = resources(pe, RT_GROUP_ICON)
        icons = resources(pe, RT_ICON)
        # Qt's windows take the group named IDI_ICON1; Explorer the first
        # group, and named groups come before numbered ones.
        self.assertEqual(list(groups), ["IDI_ICON1"])
        group = groups["IDI_ICON1"]
        reserved, kind, count = struct.unpack_from("<HHH", group)
        self.assertEqual((reserved, kind), (0, 1))
        sizes = []
        for i in range(count):
            width, height, _, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            width, height = width or 256, height or 256
            image = icons[icon_id]
            self.assertEqual(len(image), size)
            self.assertEqual((width, bits), (height, 32))
            if width == 256:
                # Kept as PNG, as Windows keeps its large icons.
                self.assertEqual(image[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", image[16:24]), (256, 256))
            else:
                # A bitmap with its mask: twice the height.
                header, w, h = struct.unpack_from("<Iii", image)
                self.assertEqual((header, w, h), (40, width, 2 * width))
            sizes.append(width)
        self.assertEqual(sorted(sizes), [16, 20, 24, 32, 40, 48, 64, 256])

    def test_cipher_tool_has_no_icon(self):
        self.assertEqual(resources(load(CIPHER), RT_GROUP_ICON), {})


class Manifest(unittest.TestCase):
    NS = {
        "asm1": "urn:schemas-microsoft-com:asm.v1",
        "asm3": "urn:schemas-microsoft-com:asm.v3",
        "compat": "urn:schemas-microsoft-com:compatibility.v1",
        "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
    }

    def manifest(self, path):
        found = resources(load(path), RT_MANIFEST)
        # Id 1: the manifest Windows reads when it starts the program.
        self.assertEqual(list(found), [1])
        return ElementTree.fromstring(found[1])

    def check_common(self, root):
        level = root.find("asm3:trustInfo/asm3:security/asm3:requestedPrivileges/"
                          "asm3:requestedExecutionLevel", self.NS)
        self.assertEqual(level.get("level"), "asInvoker")
        oses = [e.get("Id") for e in root.findall("compat:compatibility/compat:application/"
                                                   "compat:supportedOS", self.NS)]
        self.assertEqual(oses, [WINDOWS_10_AND_11])

    def test_program(self):
        root = self.manifest(PROGRAM)
        self.check_common(root)
        dpi = root.find("asm3:application/asm3:windowsSettings/ws2016:dpiAwareness", self.NS)
        self.assertEqual(dpi.text, "PerMonitorV2")
        dependencies = [e.attrib for e in root.findall(
            "asm1:dependency/asm1:dependentAssembly/asm1:assemblyIdentity", self.NS)]
        self.assertEqual([(d["name"], d["version"]) for d in dependencies],
                         [("Microsoft.Windows.Common-Controls", "6.0.0.0")])

    def test_cipher_tool(self):
        self.check_common(self.manifest(CIPHER))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
