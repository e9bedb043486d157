"""Checks that mivet-mcp and mivet-browser-bridge need no shared library but
the C library's own: libc, libm and the loader.
Usage: linked_libraries_test.py CMAKE BUILD_DIR SYSTEM_NAME STATIC_RUNTIME
           installs this build into a temporary prefix and checks it (the CTest test)
       linked_libraries_test.py --installed PREFIX
           checks the programs installed under PREFIX (scripts/package.sh, on Linux)"""
import re
import subprocess
import sys
import tempfile

# The C library, its maths library and the loader (the vDSO is never listed).
C_LIBRARY = re.compile(r"(libc|libm)\.so\.\d+|ld-linux[-\w.]*\.so\.\d+")


def loads_beyond_c_library(prefix):
    """What the programs under PREFIX/bin load besides the C library."""
    failures = []
    for program in ("mivet-mcp", "mivet-browser-bridge"):
        dynamic = subprocess.run(["readelf", "--dynamic", f"{prefix}/bin/{program}"],
                                 check=True, capture_output=True, text=True).stdout
        needed = re.findall(r"\(NEEDED\).*\[(.+)\]", dynamic)
        print(program, "needs", ", ".join(needed))
        failures += [f"{program} needs {name}" for name in needed if not C_LIBRARY.fullmatch(name)]
        if not needed:
            failures.append(f"{program}: no NEEDED entries read")
    return failures


def check_build(cmake, build, system, static_runtime):
    if system != "Linux":
        print(f"skipped: the programs link the system's C++ runtime on {system}")
        return 77
    if static_runtime.upper() not in ("ON", "TRUE", "1"):
        print("skipped: this build links the C++ runtime dynamically (Linux builds but Debug and sanitizer ones link it statically)")
        return 77
    with tempfile.TemporaryDirectory() as prefix:
        subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        return "\n".join(loads_beyond_c_library(prefix)) or 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["--installed"]:
        sys.exit("\n".join(loads_beyond_c_library(sys.argv[2])) or 0)
    sys.exit(check_build(*sys.argv[1:5]))
