#!/usr/bin/env python3
"""Resident memory of mivet-mcp around one huge request line.

For each line shape and size: start mivet-mcp, send the huge line (a ping
whose params hold the bulk, or a line that is not JSON) and then a plain
ping, wait for the answers, and read the process's peak and current resident
memory from /proc (Linux only).
Prints the peak as a multiple of the line size and the resident size left
afterwards next to the idle size of a server that only answered a ping; then
the same for several huge lines one after another.

With --bridge, the same for mivet-browser-bridge around one huge answer of
the application that the bridge has to rewrite (it is not written compactly,
so it cannot go back as it came): it fails when the resident size left
afterwards exceeds the idle size by more than BRIDGE_BOUND_MIB.

Usage: bench/huge_line_memory.py PATH/TO/mivet-mcp
       bench/huge_line_memory.py --bridge PATH/TO/mivet-browser-bridge
"""
import os
import socket
import struct
import subprocess
import sys
import tempfile
import threading

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


BRIDGE_ANSWER_MB = 40
BRIDGE_BOUND_MIB = 8
ORIGIN = "chrome-extension://abcdefghijklmnopabcdefghijklmnop/"


def answer_each_connection(listener, answers):
    """Gives each connection the next answer line once its request line is in."""
    for answer in answers:
        connection, _ = listener.accept()
        with connection:
            request = b""
            while not request.endswith(b"\n"):
                piece = connection.recv(65536)
                if not piece:
                    break
                request += piece
            connection.sendall(answer)


def bridge_frames(bridge, count):
    for _ in range(count):
        length = bridge.stdout.read(4)
        if len(length) != 4:
            raise RuntimeError("mivet-browser-bridge gave fewer answers than expected")
        bridge.stdout.read(struct.unpack("=I", length)[0])


def measure_bridge(binary, answers):
    """Peak and resident MiB of the bridge after one ping per answer line."""
    with tempfile.TemporaryDirectory() as home:
        path = home + "/app.sock"
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        listener.bind(path)
        listener.listen(8)
        app = threading.Thread(target=answer_each_connection, args=(listener, answers))
        app.start()
        bridge = subprocess.Popen([binary, ORIGIN, "--socket", path], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, env={"HOME": home})
        ping = b'{"type":"ping"}'
        bridge.stdin.write((struct.pack("=I", len(ping)) + ping) * len(answers))
        bridge.stdin.flush()
        bridge_frames(bridge, len(answers))
        peak = status_kib(bridge.pid, "VmHWM")
        now = status_kib(bridge.pid, "VmRSS")
        bridge.stdin.close()
        bridge.wait()
        app.join()
        listener.close()
        return peak / 1024, now / 1024


def bridge_main(binary):
    small = b'{"ok":true}\n'
    # Spaces after the colons: the bridge copies the answer compact before it goes back.
    huge = b'{"ok": true, "result": "' + b"x" * (BRIDGE_ANSWER_MB << 20) + b'"}\n'
    _, idle = measure_bridge(binary, [small])
    peak, after = measure_bridge(binary, [huge, small])
    print(f"bridge idle after one ping: {idle:.1f} MiB resident")
    print(f"bridge after a {BRIDGE_ANSWER_MB} MB answer to rewrite: peak {peak:.1f} MiB, "
          f"{after:.1f} MiB resident afterwards")
    if after > idle + BRIDGE_BOUND_MIB:
        sys.exit(f"the bridge kept {after - idle:.1f} MiB over its idle size "
                 f"(bound {BRIDGE_BOUND_MIB} MiB)")


def main():
    if not sys.platform.startswith("linux"):
        sys.exit("bench/huge_line_memory.py reads /proc: Linux only")
    if len(sys.argv) == 3 and sys.argv[1] == "--bridge":
        bridge_main(sys.argv[2])
        return
    if len(sys.argv) != 2:
        sys.exit("usage: bench/huge_line_memory.py PATH/TO/mivet-mcp\n"
                 "       bench/huge_line_memory.py --bridge PATH/TO/mivet-browser-bridge")
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
    # After the first large block it frees, glibc takes the next ones of up to
    # 32 MiB from its heap, which it keeps unless the server trims it.
    for sizes in ((2, 4, 8, 16), (30, 30)):
        request = b"".join(line("dense", megabytes) for megabytes in sizes)
        peak, after = measure(binary, request)
        name = "dense " + "+".join(map(str, sizes)) + " MB"
        print(f"{name:>22} {peak:9.1f} {'':>9} {after:9.1f}")


if __name__ == "__main__":
    main()
