"""Checks the macOS programs of the cross builds without running them (nothing
here can): each is a Mach-O executable of the expected architectures that loads
no library but libSystem, records the oldest macOS it runs on, and carries a
code signature whose page hashes match its code where it has one: arm64
slices must (arm64 macOS runs nothing unsigned, and the linker signs them
ad hoc); x86_64 slices are left unsigned by the linker, as Apple's does, and
Intel Macs run them so. Load commands are read with Debian's LLVM tools (llvm-14).
Usage: macos_programs_test.py build BUILD_DIR ARCH
           the three programs of one cross build (scripts/test.sh)
       macos_programs_test.py installed BIN_DIR ARCH...
           universal programs in BIN_DIR, one slice per ARCH (scripts/package.sh)
       macos_programs_test.py archive SOURCE_DIR BUILD_PREFIX
           makes the macOS archive from BUILD_PREFIX-arm64 and BUILD_PREFIX-x86_64
           with scripts/package.sh, unpacks it and checks its files and programs"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tarfile
import tempfile

MINIMUM_MACOS = "11.0"  # README, "On macOS"; cmake/macos/toolchain.cmake
PROGRAMS = {"mivet-mcp": "mcp", "mivet-browser-bridge": "MivetBrowserBridge",
            "mivet-app-sim": "app_sim"}
CPU_TYPES = {"arm64": 0x0100000C, "x86_64": 0x01000007}
MH_MAGIC_64, MH_EXECUTE = 0xFEEDFACF, 2
LIPO, OTOOL = "llvm-lipo-14", "llvm-otool-14"


def tool(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def load_commands(path):
    """llvm-otool -l's load commands, each as a dict of its fields."""
    commands = []
    for line in tool(OTOOL, "-l", path).splitlines():
        if line.startswith("Load command"):
            commands.append({})
        elif commands and (field := line.split(None, 1)) and len(field) == 2:
            commands[-1][field[0]] = field[1].strip()
    return commands


def signature_failures(path, commands, required):
    """Whether the code directory's hashes cover and match the file's code."""
    signature = [command for command in commands if command.get("cmd") == "LC_CODE_SIGNATURE"]
    if not signature:
        return ["no code signature"] if required else []
    data = open(path, "rb").read()
    offset, size = int(signature[0]["dataoff"]), int(signature[0]["datasize"])
    blob = data[offset:offset + size]
    magic, _, count = struct.unpack_from(">III", blob)
    if magic != 0xFADE0CC0:
        return [f"code signature: no superblob (magic {magic:#x})"]
    slots = dict(struct.unpack_from(">II", blob, 12 + 8 * index) for index in range(count))
    if 0 not in slots:
        return ["code signature: no code directory"]
    directory = blob[slots[0]:]
    (magic, _, _, flags, hash_offset, _, special_slots, code_slots, code_limit, hash_size,
     hash_type, _, page_shift) = struct.unpack_from(">IIIIIIIIIBBBB", directory)
    if magic != 0xFADE0C02 or hash_type != 2 or hash_size != 32:
        return [f"code signature: not a SHA-256 code directory (magic {magic:#x}, hash {hash_type})"]
    failures = []
    if not flags & 0x2:
        failures.append("code signature: not ad-hoc")
    if code_limit != offset:
        failures.append(f"code signature covers {code_limit} bytes, the code has {offset}")
    page = 1 << page_shift
    for index in range(code_slots):
        stored = directory[hash_offset + index * 32:hash_offset + (index + 1) * 32]
        actual = hashlib.sha256(data[index * page:min((index + 1) * page, code_limit)]).digest()
        if stored != actual:
            failures.append(f"code signature: page {index} does not match its hash")
            break
    # Special slot -n holds the hash of the blob of type n, or zeros without one.
    for kind in range(1, special_slots + 1):
        stored = directory[hash_offset - kind * 32:hash_offset - (kind - 1) * 32]
        if kind in slots:
            length = struct.unpack_from(">I", blob, slots[kind] + 4)[0]
            if hashlib.sha256(blob[slots[kind]:slots[kind] + length]).digest() != stored:
                failures.append(f"code signature: blob {kind} does not match its hash")
        elif stored.strip(b"\0"):
            failures.append(f"code signature: a hash for blob {kind}, which is missing")
    return failures


def slice_failures(path, arch):
    """What is wrong with the thin Mach-O executable PATH built for ARCH."""
    magic, cpu_type, _, file_type = struct.unpack_from("<IiII", open(path, "rb").read(16))
    if magic != MH_MAGIC_64 or cpu_type != CPU_TYPES[arch] or file_type != MH_EXECUTE:
        return [f"not a 64-bit Mach-O executable for {arch}"]
    failures = []
    libraries = [line.split(" (")[0].strip() for line in tool(OTOOL, "-L", path).splitlines()[1:]]
    if libraries != ["/usr/lib/libSystem.B.dylib"]:
        failures.append(f"loads {', '.join(libraries) or 'nothing'}, not only libSystem")
    commands = load_commands(path)
    versions = [command for command in commands if command.get("cmd") == "LC_BUILD_VERSION"]
    if len(versions) != 1 or versions[0].get("platform") != "macos" \
            or versions[0].get("minos") != MINIMUM_MACOS:
        failures.append(f"records no minimum macOS {MINIMUM_MACOS}: {versions}")
    return failures + signature_failures(path, commands, required=arch == "arm64")


def program_failures(path, archs):
    """What is wrong with PATH, a program holding exactly the given architectures."""
    name = os.path.basename(path)
    held = tool(LIPO, "-archs", path).split()
    if sorted(held) != sorted(archs):
        return [f"{name} holds {' '.join(held)}, not {' '.join(archs)}"]
    failures = []
    if len(archs) == 1:
        failures += [f"{name}: {failure}" for failure in slice_failures(path, archs[0])]
    else:
        with tempfile.TemporaryDirectory() as work:
            for arch in archs:
                thin = os.path.join(work, f"{name}-{arch}")
                tool(LIPO, path, "-thin", arch, "-output", thin)
                failures += [f"{name} ({arch}): {failure}" for failure in slice_failures(thin, arch)]
    print(name, " ".join(archs), "ok" if not failures else "FAILED")
    return failures


def check_archive(source, prefix):
    work = tempfile.mkdtemp()
    made = tool(f"{source}/scripts/package.sh", "--macos", "--reuse", prefix,
                "--out", f"{work}/dist").split()[-1]
    name = re.fullmatch(r"(mivet-companions-[0-9.]+-macos-universal)\.tar\.gz",
                        os.path.basename(made))
    assert name, made
    with tarfile.open(made) as archive:
        archive.extractall(f"{work}/unpacked")
    root = f"{work}/unpacked/{name.group(1)}"
    files = sorted(os.path.relpath(os.path.join(folder, file), root)
                   for folder, _, names in os.walk(root) for file in names)
    assert files == ["README.md", "SHA256SUMS", "bin/mivet-app-sim", "bin/mivet-browser-bridge",
                     "bin/mivet-mcp", "install-browser-host.sh",
                     "share/mivet/com.mivet.browser_bridge.json.in"], files
    sums = dict(reversed(line.split("  ", 1)) for line in open(f"{root}/SHA256SUMS").read().splitlines())
    assert sorted(sums) == [file for file in files if file != "SHA256SUMS"], sums
    for file, digest in sums.items():
        assert hashlib.sha256(open(f"{root}/{file}", "rb").read()).hexdigest() == digest, file
    for file in ("bin/mivet-mcp", "bin/mivet-browser-bridge", "bin/mivet-app-sim",
                 "install-browser-host.sh"):
        assert os.access(f"{root}/{file}", os.X_OK), f"{file} is not executable"
    failures = [failure for program in PROGRAMS
                for failure in program_failures(f"{root}/bin/{program}", ["arm64", "x86_64"])]
    print(f"{os.path.basename(made)}: {os.path.getsize(made)} bytes, {len(sums)} files")
    subprocess.run(["rm", "-rf", work], check=True)
    return failures


if __name__ == "__main__":
    mode, arguments = sys.argv[1], sys.argv[2:]
    if mode == "build":
        build, arch = arguments
        failures = [failure for program, folder in PROGRAMS.items()
                    for failure in program_failures(f"{build}/{folder}/{program}", [arch])]
    elif mode == "installed":
        failures = [failure for program in PROGRAMS
                    for failure in program_failures(f"{arguments[0]}/{program}", arguments[1:])]
    else:
        failures = check_archive(*arguments)
    sys.exit("\n".join(failures) or 0)
