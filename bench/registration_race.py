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
  json:   the same writer, taking no lock either, adds M keys to
          ~/.claude.json while install/uninstall of claude loop.
  time:   the median time of one `--install claude` on a quiet home.

Usage: bench/registration_race.py MIVET_MCP [MIVET_MCP ...]
       [--rounds 3] [--servers 25] [--settings 300] [--installs 100]
       [--without-swap BUILD/bench/libwithout_rename_swap.so]
Each program given is measured in turn, so a build before and after a change
can be compared in one run. --without-swap runs each once more with that
library preloaded, which makes renameat2 fail as on a file system that
cannot swap two files (Linux). The claude round is left out when the real
CLI is not installed.
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

    def __init__(self, program, home, client, preload=None):
        self.command = [program, None, client]
        self.env = environment(home)
        if preload:
            self.env["LD_PRELOAD"] = preload
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


def write_without_lock(path, edit):
    """Read, write a temporary file beside it, rename over it; no lock."""
    text = path.read_text() if path.exists() else ""
    temporary = path.with_name(f".{path.name}.writer-{os.getpid()}")
    temporary.write_text(edit(text))
    os.rename(temporary, path)


def add_json_key(text, key):
    document = json.loads(text) if text.strip() else {}
    document[key] = 1
    return json.dumps(document, indent=2) + "\n"


def unlocked_writer_round(program, client, settings, preload):
    """How many of the writer's additions survive, for codex or claude."""
    with tempfile.TemporaryDirectory(prefix="mivet-race-") as home:
        if client == "codex":
            path = pathlib.Path(home, ".codex", "config.toml")
            path.parent.mkdir()
            edit = lambda text, i: f"setting_{i} = {i}\n" + text
        else:
            path = pathlib.Path(home, ".claude.json")
            edit = lambda text, i: add_json_key(text, f"setting_{i}")
        with InstallLoop(program, home, client, preload):
            for i in range(settings):
                write_without_lock(path, lambda text: edit(text, i))
                time.sleep(0.002)
        text = path.read_text()
        document = tomllib.loads(text) if client == "codex" else json.loads(text)
        return sum(1 for key in document if key.startswith("setting_"))


def install_time(program, installs, preload):
    with tempfile.TemporaryDirectory(prefix="mivet-race-") as home:
        pathlib.Path(home, ".claude.json").write_text('{"projects": {}}\n')
        env = environment(home)
        if preload:
            env["LD_PRELOAD"] = preload
        times = []
        for _ in range(installs):
            started = time.perf_counter()
            subprocess.run([program, "--install", "claude"], env=env,
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
    parser.add_argument("--without-swap", metavar="LIBRARY")
    options = parser.parse_args()
    runs = [(program, None) for program in options.programs]
    if options.without_swap:
        library = str(pathlib.Path(options.without_swap).resolve())
        runs += [(program, library) for program in options.programs]
    for program, preload in runs:
        print(f"{program}" + (" (rename fallback)" if preload else ""))
        if CLAUDE.exists() and not preload:
            kept = [claude_round(program, options.servers, r) for r in range(options.rounds)]
            print(f"  Claude Code entries kept: {sum(kept)} of {options.servers * options.rounds}"
                  f" (rounds: {', '.join(map(str, kept))})")
        for client, label in (("codex", "Codex-style settings"), ("claude", "~/.claude.json keys")):
            kept = [unlocked_writer_round(program, client, options.settings, preload)
                    for _ in range(options.rounds)]
            print(f"  {label} kept (writer without a lock): "
                  f"{', '.join(f'{k} of {options.settings}' for k in kept)}")
        print(f"  one --install claude, median of {options.installs}: "
              f"{install_time(program, options.installs, preload):.2f} ms")


if __name__ == "__main__":
    main()
