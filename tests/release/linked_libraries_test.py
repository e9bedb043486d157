"""Installs this build into a temporary prefix and checks that mivet-mcp and
mivet-browser-bridge need no shared library but the C library's own.
Usage: linked_libraries_test.py CMAKE BUILD_DIR SYSTEM_NAME STATIC_RUNTIME"""
import re
import subprocess
import sys
import tempfile

cmake, build, system, static_runtime = sys.argv[1:5]
if system != "Linux":
    print(f"skipped: the programs link the system's C++ runtime on {system}")
    sys.exit(77)
if static_runtime.upper() not in ("ON", "TRUE", "1"):
    print("skipped: this build links the C++ runtime dynamically (Linux builds but Debug and sanitizer ones link it statically)")
    sys.exit(77)

# The C library, its maths library and the loader (the vDSO is never listed).
C_LIBRARY = re.compile(r"(libc|libm)\.so\.\d+|ld-linux[-\w.]*\.so\.\d+")

with tempfile.TemporaryDirectory() as prefix:
    subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
    failures = []
    for program in ("mivet-mcp", "mivet-browser-bridge"):
        dynamic = subprocess.run(["readelf", "--dynamic", f"{prefix}/bin/{program}"],
                                 check=True, capture_output=True, text=True).stdout
        needed = re.findall(r"\(NEEDED\).*\[(.+)\]", dynamic)
        print(program, "needs", ", ".join(needed))
        failures += [f"{program} needs {name}" for name in needed if not C_LIBRARY.fullmatch(name)]
        if not needed:
            failures.append(f"{program}: no NEEDED entries read")
sys.exit("\n".join(failures) if failures else 0)
