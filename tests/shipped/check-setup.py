#!/usr/bin/env python3
"""Checks SETUP.EXE as it ships against the machines it is for.

  check-setup.py imports EXE EXPORTS_LIST
      Every function the program imports is one that Windows 95 (with
      msvcrt.dll), 98, ME and NT 4.0 all export, by the list, from a DLL
      that every Windows protects from a copy planted beside the program.
  check-setup.py header EXE
      The image, operating system and subsystem versions in the header are
      4.0 or less, and the program is a Windows GUI program.
  check-setup.py shipped EXE LIMIT
      The file is at most LIMIT bytes and carries no symbols or debug
      sections (its debug information stays in the build tree).
  check-setup.py manifest EXE
      The one manifest resource (type 24, id 1) parses, asks for
      administrator rights without UI access, names Windows Vista to 10 as
      supported, declares the program DPI-aware, declares one namespace in
      its trustInfo, and depends on no version of the common controls.
  check-setup.py instructions EXE DEBUG_FILE OBJDUMP NM
      No instruction beyond the i486 in any function reachable from the
      entry point, and no static initialiser that nothing would run.

Each prints what it found and exits 1 on the first kind of problem, naming
every function or import at fault.
"""
import re
import struct
import subprocess
import sys
import xml.parsers.expat
import zlib


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


class PeImage:
    """The parts of a PE image the checks read, from the file itself."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            fail(f"{path} is not a Windows program (no MZ header)")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            fail(f"{path} is not a PE image")
        self.machine, sections, _, symbols, self.symbol_count, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", d, pe + 4)
        # Names longer than eight characters stand in the string table that
        # follows the symbols, as "/offset".
        strings = symbols + 18 * self.symbol_count
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        self.pe32plus = magic == 0x20B
        self.entry = struct.unpack_from("<I", d, opt + 16)[0]
        if self.pe32plus:
            self.image_base = struct.unpack_from("<Q", d, opt + 24)[0]
        else:
            self.image_base = struct.unpack_from("<I", d, opt + 28)[0]
        (self.os_major, self.os_minor, self.image_major, self.image_minor, self.subsystem_major,
         self.subsystem_minor) = struct.unpack_from("<HHHHHH", d, opt + 40)
        self.subsystem = struct.unpack_from("<H", d, opt + 68)[0]
        directories = opt + (112 if self.pe32plus else 96)
        count = struct.unpack_from("<I", d, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", d, directories + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            raw = d[table + 40 * i:table + 40 * (i + 1)]
            name = raw[:8].rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and symbols:
                at = strings + int(name[1:])
                name = d[at:d.index(b"\0", at)].decode("latin-1")
            vsize, va, rsize, roff = struct.unpack_from("<IIII", raw, 8)
            flags = struct.unpack_from("<I", raw, 36)[0]
            self.sections.append((name, va, vsize, roff, rsize, flags))

    def section_bytes(self, section):
        _, _, vsize, roff, rsize, _ = section
        return self.data[roff:roff + min(vsize, rsize) if vsize else rsize]

    def read(self, rva, size):
        for name, va, vsize, roff, rsize, _ in self.sections:
            if va <= rva < va + max(vsize, rsize):
                at = roff + rva - va
                return self.data[at:at + size]
        fail(f"address 0x{rva:x} lies in no section")

    def string(self, rva):
        out = b""
        while True:
            chunk = self.read(rva + len(out), 64)
            end = chunk.find(b"\0")
            if end >= 0:
                return (out + chunk[:end]).decode("latin-1")
            out += chunk

    def imports(self):
        """(dll, function) pairs; a function imported by ordinal is '#N'."""
        rva, size = self.directories[1]
        found = []
        pointer = 8 if self.pe32plus else 4
        ordinal_flag = 1 << (63 if self.pe32plus else 31)
        while size:
            lookup, _, _, name, thunks = struct.unpack("<IIIII", self.read(rva, 20))
            if name == 0:
                break
            dll = self.string(name)
            at = lookup or thunks
            while True:
                entry = int.from_bytes(self.read(at, pointer), "little")
                if entry == 0:
                    break
                found.append((dll, f"#{entry & 0xFFFF}" if entry & ordinal_flag else self.string(entry + 2)))
                at += pointer
            rva += 20
        return found


    def resources(self):
        """{(type, name): [data of each language]}; numbered ones as ints."""
        base, size = self.directories[2] if len(self.directories) > 2 else (0, 0)
        found = {}
        if not size:
            return found

        def name_of(field):
            if not field & 0x80000000:
                return field
            at = base + (field & 0x7FFFFFFF)
            length = struct.unpack("<H", self.read(at, 2))[0]
            return self.read(at + 2, 2 * length).decode("utf-16-le")

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", self.read(base + offset, 16), 12)
            for i in range(named + numbered):
                field, target = struct.unpack("<II", self.read(base + offset + 16 + 8 * i, 8))
                yield name_of(field), target

        # Three levels: type, name, language; then the data's place.
        for kind, names in entries(0):
            for name, languages in entries(names & 0x7FFFFFFF):
                for _, leaf in entries(languages & 0x7FFFFFFF):
                    rva, length = struct.unpack("<II", self.read(base + leaf, 8))
                    found.setdefault((kind, name), []).append(self.read(rva, length))
        return found


def read_exports_list(path):
    allowed = {}
    dll = None
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            m = re.fullmatch(r"\[(.+)\]", line)
            if m:
                dll = m.group(1).lower()
                allowed.setdefault(dll, set())
            elif dll is None:
                fail(f"{path}: functions before the first [dll] line")
            else:
                allowed[dll].update(line.split())
    return allowed


# The DLLs that Windows loads only from the system directory, whatever lies
# beside the program (its known DLLs), and that every Windows has. Any other
# DLL imported by name would be taken from the program's own folder first
# (a kit's download folder, a copied CD) before the program's code runs.
PROTECTED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}


def check_imports(exe, exports_list):
    allowed = read_exports_list(exports_list)
    imports = PeImage(exe).imports()
    if not imports:
        fail(f"{exe} imports nothing: its import table was not read")
    dlls = sorted({d.lower() for d, _ in imports})
    print(f"{exe}: {len(imports)} imports from {len(dlls)} DLLs: " + ", ".join(dlls))
    unprotected = [dll for dll in dlls if dll not in PROTECTED_DLLS]
    if unprotected:
        fail(f"{exe} imports from DLLs that a copy planted beside it would stand in for: " +
             ", ".join(unprotected) + " (load them by their full path in the system directory)")
    missing = [f"{dll}!{function}" for dll, function in imports
               if function not in allowed.get(dll.lower(), set())]
    if missing:
        fail(f"{exe} imports what Windows 95, 98, ME or NT 4.0 does not export "
             f"(not in {exports_list}):\n  " + "\n  ".join(missing))


def check_header(exe):
    image = PeImage(exe)
    print(f"{exe}: OS version {image.os_major}.{image.os_minor}, "
          f"subsystem {image.subsystem} version {image.subsystem_major}.{image.subsystem_minor}")
    problems = []
    if (image.image_major, image.image_minor) > (4, 0):
        problems.append(f"it states image version {image.image_major}.{image.image_minor}")
    if (image.os_major, image.os_minor) > (4, 0):
        problems.append(f"it asks for operating system version {image.os_major}.{image.os_minor}")
    if (image.subsystem_major, image.subsystem_minor) > (4, 0):
        problems.append(f"it asks for subsystem version {image.subsystem_major}.{image.subsystem_minor}")
    if image.subsystem != 2:
        problems.append(f"its subsystem is {image.subsystem}, not 2 (Windows GUI)")
    if problems:
        fail(f"{exe} will not load on Windows 95 or NT 4.0: " + "; ".join(problems))


def check_shipped(exe, limit):
    image = PeImage(exe)
    size = len(image.data)
    print(f"{exe}: {size} bytes (limit {limit})")
    for name, va, vsize, roff, rsize, _ in image.sections:
        print(f"  {name:<16} {vsize:>7} bytes in memory, {rsize:>7} in the file")
    problems = []
    if size > limit:
        problems.append(f"it is {size} bytes, over the limit of {limit}")
    debug = [s[0] for s in image.sections if s[0].startswith((".debug", ".zdebug"))]
    if debug:
        problems.append("it carries debug sections: " + ", ".join(debug))
    if image.symbol_count:
        problems.append(f"it carries a symbol table of {image.symbol_count} symbols")
    if problems:
        fail(f"{exe} is not as it should ship: " + "; ".join(problems))


class XmlNode:
    """An element of a parsed document: its namespace and local name, its
    attributes, the namespaces it declares, its text and its children."""

    def __init__(self, name, attributes, declared):
        self.namespace, _, self.local = name.rpartition(" ")
        self.attributes = {key.rpartition(" ")[2]: value for key, value in attributes.items()}
        self.declared = declared
        self.text = ""
        self.children = []

    def walk(self):
        yield self
        for child in self.children:
            yield from child.walk()

    def find(self, namespaces, local):
        return [n for n in self.walk() if n.local == local and n.namespace in namespaces]


def parse_xml(data):
    """The root XmlNode; namespaces resolved, each declaration counted on the
    element that makes it."""
    parser = xml.parsers.expat.ParserCreate(namespace_separator=" ")
    stack, declarations, root = [], [], []

    def start(name, attributes):
        node = XmlNode(name, attributes, len(declarations))
        declarations.clear()
        (stack[-1].children if stack else root).append(node)
        stack.append(node)

    parser.StartNamespaceDeclHandler = lambda prefix, uri: declarations.append(uri)
    parser.StartElementHandler = start
    parser.EndElementHandler = lambda name: stack.pop()
    parser.CharacterDataHandler = lambda text: stack and setattr(stack[-1], "text", stack[-1].text + text)
    parser.Parse(data, True)
    return root[0]


ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V2_V3 = {"urn:schemas-microsoft-com:asm.v2", "urn:schemas-microsoft-com:asm.v3"}
COMPATIBILITY = {"urn:schemas-microsoft-com:compatibility.v1"}
WINDOWS_SETTINGS_2005 = {"http://schemas.microsoft.com/SMI/2005/WindowsSettings"}
# The systems' identifiers in the compatibility section.
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


def manifest_problems(data):
    try:
        root = parse_xml(data)
    except xml.parsers.expat.ExpatError as e:
        return [f"it does not parse: {e}"]
    problems = []
    if (root.namespace, root.local) != (ASM_V1, "assembly"):
        problems.append(f"its root is {root.local} in '{root.namespace}', not assembly in '{ASM_V1}'")
    levels = [(n.attributes.get("level"), n.attributes.get("uiAccess"))
              for t in root.find(ASM_V2_V3, "trustInfo") for n in t.find(ASM_V2_V3, "requestedExecutionLevel")]
    if levels != [("requireAdministrator", "false")]:
        problems.append(f"its execution levels (level, uiAccess) are {levels}, "
                        "not one requireAdministrator with uiAccess false inside trustInfo")
    for trust in root.find(ASM_V2_V3 | {ASM_V1}, "trustInfo"):
        count = sum(n.declared for n in trust.walk())
        if count != 1:
            problems.append(f"its trustInfo declares {count} namespaces, not one")
    systems = sorted(n.attributes.get("Id", "").lower() for c in root.find(COMPATIBILITY, "compatibility")
                     for n in c.find(COMPATIBILITY, "supportedOS"))
    if systems != sorted(SUPPORTED_OS):
        named = [SUPPORTED_OS.get(s, s) for s in systems]
        problems.append(f"it names as supported {named}, not {list(SUPPORTED_OS.values())}")
    aware = [n.text.strip().lower() for n in root.find(WINDOWS_SETTINGS_2005, "dpiAware")]
    if aware != ["true"]:
        problems.append(f"its dpiAware settings are {aware}, not one true")
    controls = [n for n in root.find({ASM_V1}, "assemblyIdentity")
                if n.attributes.get("name", "").lower() == "microsoft.windows.common-controls"]
    if controls:
        problems.append("it depends on the common controls of version " + controls[0].attributes.get("version", "?"))
    return problems


def check_manifest(exe):
    manifests = {name: data for (kind, name), data in PeImage(exe).resources().items() if kind == 24}
    if list(manifests) != [1] or len(manifests[1]) != 1:
        fail(f"{exe} has not one manifest with id 1 in one language: its manifests are "
             f"{[(name, len(data)) for name, data in manifests.items()]} (id, languages)")
    data = manifests[1][0]
    print(f"{exe}: a manifest of {len(data)} bytes")
    print(data.decode("utf-8", "replace"))
    problems = manifest_problems(data)
    if problems:
        fail(f"{exe}'s manifest is not what the program must tell Windows:\n  " + "\n  ".join(problems))


# Instructions no i486 has: conditional moves (Pentium Pro), the FPU's
# compares into flags and conditional moves (Pentium Pro), the time-stamp and
# performance counters, the 8-byte compare-exchange and the model registers
# (Pentium), cpuid (only late i486s have it), multi-byte nops (Pentium Pro),
# fast system calls, and everything of MMX, SSE and later.
FORBIDDEN = re.compile(
    r"^(cmov\w*|fcmov\w*|f(u)?comip?|rdtscp?|rdpmc|cmpxchg(8|16)b|rdmsr|wrmsr|rsm|cpuid|"
    r"nop[wlq]|sysenter|sysexit|syscall|sysret|emms|femms|fxsave\w*|fxrstor\w*|ldmxcsr|stmxcsr|"
    r"[lsm]fence|clflush\w*|prefetch\w*|movnti|popcnt|lzcnt|tzcnt|movbe|crc32|fisttp\w*|"
    r"xgetbv|xsave\w*|xrstor\w*|rdrand|rdseed)$")
# Every MMX, SSE and AVX instruction but those listed above names one of
# their registers.
VECTOR_REGISTER = re.compile(r"%(mm|xmm|ymm|zmm)[0-9]+\b")


def disassemble(objdump, exe):
    """Every instruction of the code sections: address, mnemonic, operands."""
    out = subprocess.run([objdump, "-d", "-w", "--no-show-raw-insn", exe], check=True, capture_output=True,
                         text=True).stdout
    instructions = []
    for line in out.splitlines():
        m = re.match(r"^\s*([0-9a-f]+):\s+(\S.*)$", line)
        if not m:
            continue
        text = m.group(2).split("#", 1)[0].strip()
        parts = text.split(None, 1)
        # Prefixes stand before the instruction they change.
        while parts and parts[0] in ("rep", "repz", "repnz", "repe", "repne", "lock", "data16", "addr16", "cs",
                                     "ds", "es", "fs", "gs", "ss", "notrack", "bnd"):
            parts = parts[1].split(None, 1) if len(parts) > 1 else []
        if not parts:
            continue
        instructions.append((int(m.group(1), 16), parts[0], parts[1] if len(parts) > 1 else ""))
    if not instructions:
        fail(f"{objdump} -d found no code in {exe}")
    return instructions


def check_instructions(exe, debug_file, objdump, nm):
    image = PeImage(exe)
    base = image.image_base

    # The debug file must be the one the program was stripped from: the link
    # carries its CRC.
    link = [s for s in image.sections if s[0] == ".gnu_debuglink"]
    if not link:
        fail(f"{exe} has no debug link: the names of its functions cannot be known")
    raw = image.section_bytes(link[0])
    stored = struct.unpack_from("<I", raw, (raw.index(b"\0") + 4) & ~3)[0]
    with open(debug_file, "rb") as f:
        actual = zlib.crc32(f.read())
    if stored != actual:
        fail(f"{debug_file} is not the debug information of {exe} (CRC {actual:08x}, the link says {stored:08x})")

    code = [(base + va, base + va + max(vsize, rsize)) for name, va, vsize, _, rsize, flags in image.sections
            if flags & 0x20]

    def in_code(address):
        return any(lo <= address < hi for lo, hi in code)

    # Functions, from the symbol table of the debug file.
    symbols = subprocess.run([nm, "-n", "-C", debug_file], check=True, capture_output=True, text=True).stdout
    starts = {}
    for line in symbols.splitlines():
        m = re.match(r"^([0-9a-f]+) [tT] (.+)$", line)
        if m and not m.group(2).startswith("."):
            address = int(m.group(1), 16)
            if in_code(address):
                starts.setdefault(address, m.group(2))
    if not starts:
        fail(f"{nm} found no functions in {debug_file}")
    static_init = [name for name in starts.values() if "_GLOBAL__sub_" in name]
    if static_init:
        fail(f"{exe} has static initialisers or destructors, which nothing runs without the runtime's "
             f"start-up code: " + ", ".join(static_init))
    ordered = sorted(starts)

    def function_of(address):
        lo, hi = 0, len(ordered)
        while lo < hi:
            mid = (lo + hi) // 2
            if ordered[mid] <= address:
                lo = mid + 1
            else:
                hi = mid
        return ordered[lo - 1] if lo else None

    instructions = disassemble(objdump, exe)
    body = {}
    for address, mnemonic, operands in instructions:
        start = function_of(address)
        if start is not None:
            body.setdefault(start, []).append((address, mnemonic, operands))

    # Where control can start: the entry point, TLS callbacks, and every code
    # address written in a data section (dialog procedures, tables).
    roots = {base + image.entry}
    tls_rva, tls_size = image.directories[9] if len(image.directories) > 9 else (0, 0)
    if tls_size:
        pointer = 8 if image.pe32plus else 4
        callbacks = int.from_bytes(image.read(tls_rva + 3 * pointer, pointer), "little")
        while callbacks:
            callback = int.from_bytes(image.read(callbacks - base, pointer), "little")
            if not callback:
                break
            roots.add(callback)
            callbacks += pointer
    for section in image.sections:
        if section[5] & 0x20:
            continue
        data = image.section_bytes(section)
        for offset in range(0, len(data) - 3, 4):
            value = struct.unpack_from("<I", data, offset)[0]
            if in_code(value):
                roots.add(value)

    # Whatever those call or jump to, and every code address an instruction
    # names (a function whose address is taken).
    number = re.compile(r"(?:\$|\b)0x([0-9a-f]+)\b|^([0-9a-f]+)\b")
    reachable = set()
    pending = [f for f in (function_of(r) for r in roots) if f is not None]
    while pending:
        start = pending.pop()
        if start in reachable:
            continue
        reachable.add(start)
        for _, mnemonic, operands in body.get(start, []):
            for m in number.finditer(operands):
                value = int(m.group(1) or m.group(2), 16)
                if in_code(value):
                    target = function_of(value)
                    if target is not None and target not in reachable:
                        pending.append(target)

    problems = []
    checked = 0
    for start in sorted(reachable):
        for address, mnemonic, operands in body.get(start, []):
            checked += 1
            bad = mnemonic == "(bad)" or FORBIDDEN.match(mnemonic) or VECTOR_REGISTER.search(operands)
            if bad:
                problems.append(f"{starts[start]} at 0x{address:x}: {mnemonic} {operands}".rstrip())
    print(f"{exe}: {len(reachable)} of {len(starts)} functions reachable from the entry point, "
          f"{checked} instructions checked")
    if problems:
        fail(f"{exe} holds instructions that no i486 has, in code reachable from its entry point:\n  " +
             "\n  ".join(problems))


def main(argv):
    usage = "usage: check-setup.py imports EXE LIST | header EXE | shipped EXE LIMIT | manifest EXE | " \
            "instructions EXE DEBUG_FILE OBJDUMP NM"
    if len(argv) < 3:
        fail(usage)
    what, exe = argv[1], argv[2]
    if what == "imports" and len(argv) == 4:
        check_imports(exe, argv[3])
    elif what == "header" and len(argv) == 3:
        check_header(exe)
    elif what == "shipped" and len(argv) == 4:
        check_shipped(exe, int(argv[3]))
    elif what == "manifest" and len(argv) == 3:
        check_manifest(exe)
    elif what == "instructions" and len(argv) == 6:
        check_instructions(exe, argv[3], argv[4], argv[5])
    else:
        fail(usage)


if __name__ == "__main__":
    main(sys.argv)
