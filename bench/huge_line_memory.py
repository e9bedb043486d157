#!/usr/bin/env python3
"""Resident memory of mivet-mcp around one huge request line.

For each line shape and size: start mivet-mcp, send the huge line (a ping
whose params hold the bulk, or a line that is not JSON) and then a plain
ping, wait for the answers, and read the process's peak and current resident
memory from /proc (Linux only).
Prints the peak as a multiple of the line size and the resident size left
afterwards next to the idle size of a server that only answered a ping.

Usage: bench/huge_line_memory.py PATH/TO/mivet-mcp
"""
import os
import subprocess
import sys
import tempfile

PING = b'{"jsonrpc":"2.0","id":2,"method":"ping"}\n'


def line(shape, megabytes):
    size = megabytes << 20
    head = b'{"jsonrpc":"2.0","id":1,"method":"ping","params":{"bulk":'
    if shape == "dense":  # numbers and brackets: many parsed values per byte
        body = b"[" + b"[1,2]," * (size // 6) + b"0]"
    else:  # one long string: few values, many bytes
        body = b'"' + b"x" * size + b'"'
    if shape == "invalid":  # the long string, one brace short: refused
        return head + body + b"}\n"
    return head + body + b"}}\n"


def status_kib(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for entry in status:
            if entry.startswith(field + ":"):
                return int(entry.split()[1])
    raise RuntimeError(field + " missing")


def measure(binary, request, answered):
    with tempfile.TemporaryDirectory() as home:
        server = subprocess.Popen([binary, "--socket", home + "/none.sock"],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  env={"HOME": home})
        server.stdin.write(request + PING)
        server.stdin.flush()
        answers = [server.stdout.readline() for _ in range(answered)]
        if not all(answers):
            raise RuntimeError("mivet-mcp gave fewer answers than expected")
        peak = status_kib(server.pid, "VmHWM")
        now = status_kib(server.pid, "VmRSS")
        server.stdin.close()
        server.wait()
        return peak / 1024, now / 1024


def main():
    if len(sys.argv) != 2 or not sys.platform.startswith("linux"):
        sys.exit("usage (Linux): bench/huge_line_memory.py PATH/TO/mivet-mcp")
    binary = sys.argv[1]
    _, idle = measure(binary, b"", 1)
    print(f"idle after one ping: {idle:.1f} MiB resident")
    print(f"{'line':>22} {'peak MiB':>9} {'peak/line':>9} {'after MiB':>9}")
    for shape, megabytes in (("dense", 20), ("string-heavy", 20), ("string-heavy", 100),
                             ("invalid", 100)):
        request = line(shape, megabytes)
        # A line that is not JSON gets no answer, the ping after it does.
        peak, after = measure(binary, request, 1 if shape == "invalid" else 2)
        mib = len(request) / (1 << 20)
        print(f"{shape + ' ' + str(megabytes) + ' MB':>22} {peak:9.1f} {peak / mib:9.2f} {after:9.1f}")


if __name__ == "__main__":
    main()
