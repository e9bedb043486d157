#!/usr/bin/env python3
"""How much another program's writes survive `mivet-mcp --install` and
`--uninstall` running in a loop on the same configuration file, and how long
one install takes when nobody else writes.

  claude: the real Claude Code CLI (tests/clients, pinned) adds N user-scope
          servers one after another while install/uninstall of claude loop;
          prints how many of the N are still in ~/.claude.json.
  codex:  a writer that edits ~/.codex/config.toml the way Codex does (read,
          write a temporary file, rename; no lock) adds M settings while
          install/uninstall of codex loop; prints how many are still there.
  time:   the median time of one `--install claude` on a quiet home.

Usage: bench/registration_race.py MIVET_MCP [MIVET_MCP ...]
       [--rounds 3] [--servers 25] [--settings 300] [--installs 100]
Each program given is measured in turn, so a build before and after a change
can be compared in one run.
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import tomllib

ROOT = pathlib.Path(__file__).resolve().parent.parent
CLAUDE = ROOT / "tests" / "clients" / "node_modules" / ".bin" / "claude"


def environment(home):
    return {"HOME": home, "PATH": os.environ["PATH"], "LANG": "C.UTF-8",
            "CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC": "1", "DISABLE_AUTOUPDATER": "1"}


class InstallLoop:
    """Runs --install and --uninstall of one client, alternately, until stopped."""

    def __init__(self, program, home, client):
        self.command = [program, None, client]
        self.env = environment(home)
        self.stopping = threading.Event()
        self.runs = 0
        self.thread = threading.Thread(target=self.loop)

    def loop(self):
        while not self.stopping.is_set():
            self.command[1] = "--install" if self.runs % 2 == 0 else "--uninstall"
            subprocess.run(self.command, env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False)
            self.runs += 1

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exception):
        self.stopping.set()
        self.thread.join()


def claude_round(program, servers, round_number):
    with tempfile.TemporaryDirectory(prefix="mivet-race-") as home:
        with InstallLoop(program, home, "claude"):
            for i in range(servers):
                subprocess.run([str(CLAUDE), "mcp", "add", "-s", "user", f"srv{round_number}_{i}",
                                "--", "/bin/true"], env=environment(home), cwd=home,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        config = json.loads(pathlib.Path(home, ".claude.json").read_text())
        return sum(1 for name in config.get("mcpServers", {}) if name.startswith("srv"))


def codex_style_write(path, line):
    """Read, write a temporary file beside it, rename over it; no lock."""
    text = path.read_text() if path.exists() else ""
    temporary = path.with_name(f".{path.name}.writer-{os.getpid()}")
    temporary.write_text(line + "\n" + text)
    os.rename(temporary, path)


def codex_round(program, settings):
    with tempfile.TemporaryDirectory(prefix="mivet-race-") as home:
        path = pathlib.Path(home, ".codex", "config.toml")
        path.parent.mkdir()
        with InstallLoop(program, home, "codex"):
            for i in range(settings):
                codex_style_write(path, f"setting_{i} = {i}")
                time.sleep(0.002)
        document = tomllib.loads(path.read_text())
        return sum(1 for key in document if key.startswith("setting_"))


def install_time(program, installs):
    with tempfile.TemporaryDirectory(prefix="mivet-race-") as home:
        pathlib.Path(home, ".claude.json").write_text('{"projects": {}}\n')
        times = []
        for _ in range(installs):
            started = time.perf_counter()
            subprocess.run([program, "--install", "claude"], env=environment(home),
                           stdout=subprocess.DEVNULL, check=True)
            times.append(time.perf_counter() - started)
        return statistics.median(times) * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--servers", type=int, default=25)
    parser.add_argument("--settings", type=int, default=300)
    parser.add_argument("--installs", type=int, default=100)
    options = parser.parse_args()
    if not CLAUDE.exists():
        sys.exit(f"{CLAUDE} is missing: run tests/clients/install.sh")
    for program in options.programs:
        kept = [claude_round(program, options.servers, r) for r in range(options.rounds)]
        print(f"{program}")
        print(f"  Claude Code entries kept: {sum(kept)} of {options.servers * options.rounds}"
              f" (rounds: {', '.join(map(str, kept))})")
        kept = [codex_round(program, options.settings) for _ in range(options.rounds)]
        print(f"  Codex-style settings kept: {', '.join(f'{k} of {options.settings}' for k in kept)}")
        print(f"  one --install claude, median of {options.installs}: "
              f"{install_time(program, options.installs):.2f} ms")


if __name__ == "__main__":
    main()
