#!/usr/bin/env bash
# Fails when a Linux-only name appears in code that macOS compiles: the
# programs, the tests and the benchmarks (the fuzzers are Linux-only). Each
# file is first cut down to what a macOS compiler sees of it: unifdef drops
# the branches of __linux__ and of the Linux-only feature macros, then the
# comments go; the names are looked for in what is left, string literals
# included (a "/proc/..." path is one).
# Usage: scripts/check_linux_names.sh [FILE...]   (default: every C++ file git tracks, fuzz/ aside)
#        scripts/check_linux_names.sh --self-test (shows that a planted use is found)
set -euo pipefail
cd "$(dirname "$0")/.."

# What macOS defines and what it lacks, as unifdef options.
macos_symbols=(-D__APPLE__ -D__MACH__ -U__linux__ -U__linux -Ulinux -U__gnu_linux__ -U__GLIBC__
  -USOCK_CLOEXEC -USOCK_NONBLOCK -UMSG_NOSIGNAL -UO_TMPFILE -DSO_NOSIGPIPE -DF_FULLFSYNC)
names='pipe2|accept4|memfd_create|SOCK_CLOEXEC|SOCK_NONBLOCK|MSG_NOSIGNAL|O_TMPFILE|getrandom|epoll[A-Za-z0-9_]*|signalfd|prctl'
pattern="(^|[^A-Za-z0-9_])($names)([^A-Za-z0-9_]|\$)|/proc/"

# Blanks comments out, drops digit separators (30'000) and rewrites raw string
# literals as one ordinary literal per line, all of which unifdef cannot read;
# line numbers and the rest of the text stay.
strip_comments() {
  perl -0777 -pe '
    sub ordinary { my $text = shift; $text =~ s/([\\"])/\\$1/g;
                   join("\n", map { "\"$_\"" } split(/\n/, $text, -1)) }
    s{ (?<![\w\x27])(\d(?:\w|\x27(?=\w))*) }{ (my $number = $1) =~ tr/\x27//d; $number }gex;
    s{ (//[^\n]*|/\*.*?\*/)
     | (?<![A-Za-z0-9_])(?:u8|[uUL])?R"([^(\s]*)\((.*?)\)\2"
     | ("(?:\\.|[^"\\\n])*"|\x27(?:\\.|[^\x27\\\n])*\x27) }
     { defined $1 ? "\n" x ($1 =~ tr/\n//) : defined $3 ? ordinary($3) : $4 }gsex'
}

# Prints FILE:LINE: CODE for each use macOS would compile.
scan() {
  local file=$1 reduced
  # -b keeps a removed line as an empty one, so line numbers stay true.
  reduced=$(strip_comments <"$file" | unifdef -x2 -b "${macos_symbols[@]}") || {
    echo "unifdef cannot read $file" >&2
    exit 2
  }
  printf '%s\n' "$reduced" | grep -nE "$pattern" | sed "s|^|$file:|" || true
}

# Plants each kind of use, guarded and not, and compares the lines found with
# the lines marked "found" (the markers are comments, which the scan ignores).
self_test() {
  local found expected
  planted=$(mktemp -d)
  trap 'rm -rf "$planted"' EXIT
  cat >"$planted/planted.cpp" <<'EOF'
#include <sys/epoll.h>  // found
int a = pipe2(fds, O_CLOEXEC);  // found
const char* self = "/proc/self/exe";  // found
int b = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);  // found
#if defined(__APPLE__) || defined(__FreeBSD__)
int c = getrandom(buffer, 16, 0);  // found
#endif
#ifdef __linux__
int d = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
#else
int d = accept(fd, nullptr, nullptr);
#endif
#if defined(__linux__) && defined(MFD_CLOEXEC)
int e = memfd_create("x", 0);
#endif
#ifdef MSG_NOSIGNAL
int f = MSG_NOSIGNAL;
#endif
#ifndef __APPLE__
int g = prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
#ifdef __APPLE__
int h = fcntl(fd, F_FULLFSYNC);
#else
int h = open(".", O_TMPFILE | O_RDWR);
#endif
// signalfd would be simpler here
/* SOCK_NONBLOCK,
   epoll_wait */
int pipe2_count = accept40;
const char* status = R"({"path": "/proc/self/status", "note": "it's"})";  // found
int limit = 30'000 + '0';
EOF
  found=$(scan "$planted/planted.cpp" | cut -d: -f2 | tr '\n' ' ')
  expected=$(grep -n '// found$' "$planted/planted.cpp" | cut -d: -f1 | tr '\n' ' ')
  if [ "$found" != "$expected" ]; then
    echo "check_linux_names self-test: found lines [$found], expected [$expected]" >&2
    scan "$planted/planted.cpp" >&2
    exit 1
  fi
  echo "check_linux_names self-test: the planted uses on lines ${expected}were found, no others"
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
  exit 0
fi

files=()
if [ $# -gt 0 ]; then
  files=("$@")
else
  while IFS= read -r file; do files+=("$file"); done < <(
    git ls-files '*.cpp' '*.cc' '*.c' '*.h' '*.hpp' '*.mm' | grep -v '^fuzz/')
fi
uses=$(for file in "${files[@]}"; do scan "$file"; done)
if [ -n "$uses" ]; then
  printf '%s\n' "$uses"
  echo "Linux-only names outside a Linux guard in code that macOS compiles: put each behind" \
    "#ifdef __linux__ (or a test of the feature macro) with a portable fallback" >&2
  exit 1
fi
echo "No Linux-only names in the ${#files[@]} files that macOS compiles"
