#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The set-up leaves the machine's own packages alone: `make run` asks only for what building and
# running need, `make test` adds the test tools, every install is told to remove nothing, and on
# a desktop whose sound is PipeWire's (pipewire-audio) what the tests ask for takes no package
# away. Reads what make would do (make -n) and what apt-get would do (apt-get -s); installs
# nothing.
# Usage: check_packages.sh SOURCE-DIR
set -u
source=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# What a make target would run, as its dry run prints it, and the packages it would install.
dry_run() { env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -n --no-print-directory -C "$source" "$@" 2>&1; }
asked_for() { dry_run "$@" | sed -n 's/.*packages="\([^"]*\)".*/\1/p' | tr ' ' '\n' | sed '/^$/d' | sort -u; }
has() { grep -qx -- "$2" <<<"$1"; }

test_tools="xvfb imagemagick xdotool clang ffmpeg lintian dpkg-dev file desktop-file-utils appstream
            pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber mpv"

for machine in no yes; do
  run=$(asked_for run HAS_PIPEWIRE_PULSE=$machine)
  for p in g++ cmake qt6-base-dev libsdl2-dev libavcodec-dev libfluidsynth-dev fluid-soundfont-gm fonts-liberation; do
    has "$run" $p || fail "make run (PipeWire: $machine) does not install $p: $(echo $run)"
  done
  for p in $test_tools; do
    has "$run" $p && fail "make run (PipeWire: $machine) installs the test tool $p"
  done
  for target in run test package; do
    installs=$(dry_run $target HAS_PIPEWIRE_PULSE=$machine | grep -o 'apt-get install[^;&|]*')
    [ -n "$installs" ] || fail "make -n $target shows no apt-get install"
    grep -v -- '--no-remove' <<<"$installs" | grep -q . && fail "make $target may remove packages: $installs"
  done
done

bare=$(asked_for test HAS_PIPEWIRE_PULSE=no)
for p in xvfb imagemagick xdotool clang ffmpeg lintian dpkg-dev desktop-file-utils appstream pulseaudio pulseaudio-utils g++; do
  has "$bare" $p || fail "make test on a machine without PipeWire does not install $p"
done
pipewire=$(asked_for test HAS_PIPEWIRE_PULSE=yes)
for p in pipewire pipewire-pulse wireplumber pulseaudio-utils xvfb lintian; do
  has "$pipewire" $p || fail "make test on a PipeWire machine does not install $p"
done
has "$pipewire" pulseaudio && fail "make test on a PipeWire machine installs pulseaudio"

# What apt-get would do with them: nothing removed on this machine, and on a PipeWire desktop
# (pipewire-audio installed alongside, as the simulation sees it) nothing removed beyond what
# pipewire-audio itself replaces here.
if ! apt-cache policy pipewire-audio 2>/dev/null | grep -q 'Candidate: [0-9]'; then
  echo "apt-get has no package lists (apt-get update first): its simulation is left out"
  [ $failures = 0 ] && exit 77
  exit 1
fi
removed() { LC_ALL=C apt-get -s -o Debug::NoLocking=1 install "$@" 2>&1 >"$work_out" ; local rc=$?; grep '^Remv ' "$work_out" | sort; return $rc; }
work_out=$(mktemp)
trap 'rm -f "$work_out"' EXIT

here=$(asked_for test)
if here_removed=$(removed $here); then
  [ -z "$here_removed" ] || fail "make test would remove on this machine:
$here_removed"
else
  fail "apt-get -s install (this machine) failed: $(tail -5 "$work_out")"
fi

pipewire_alone=$(removed pipewire-audio) || fail "apt-get -s install pipewire-audio failed: $(tail -5 "$work_out")"
if with_tests=$(removed pipewire-audio $pipewire); then
  echo "a PipeWire desktop as apt-get -s sees it: pipewire-audio alone removes: ${pipewire_alone:-nothing}"
  echo "  with the test packages: ${with_tests:-nothing}"
  added=$(comm -13 <(echo "$pipewire_alone") <(echo "$with_tests") | sed '/^$/d')
  [ -z "$added" ] || fail "make test on a PipeWire desktop would remove:
$added"
else
  fail "apt-get -s install pipewire-audio with the test packages failed: $(tail -5 "$work_out")"
fi

[ $failures = 0 ] && echo "set-up: all checks passed"
exit $((failures > 0))
