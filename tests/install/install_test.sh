#!/usr/bin/env bash
# Checks of the installed tree (see CMakeLists.txt beside this file):
#   install_test.sh stage|validators|completion BUILD STAGE VERSION APP-ID WITH-UI
set -euo pipefail
check=$1 build=$2 stage=$3 version=$4 id=$5 ui=$6

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Installs into a fresh staging folder, checks that everything is there, and
# runs the installed programs.
stage() {
  rm -rf "$stage"
  cmake --install "$build" --prefix "$stage" >/dev/null
  local files=(bin/ravelin-cli share/bash-completion/completions/ravelin-cli
    share/doc/ravelin/copyright share/doc/ravelin/changelog.gz)
  command -v help2man >/dev/null && files+=(share/man/man1/ravelin-cli.1.gz)
  if [ "$ui" = 1 ]; then
    files+=(bin/ravelin share/applications/$id.desktop share/metainfo/$id.metainfo.xml
      share/icons/hicolor/scalable/apps/$id.svg)
    command -v help2man >/dev/null && files+=(share/man/man1/ravelin.1.gz)
  fi
  for file in "${files[@]}"; do
    [ -s "$stage/$file" ] || fail "not installed: $file"
  done

  local cli=$stage/bin/ravelin-cli
  [ "$("$cli" --version)" = "ravelin-cli $version" ] || fail "ravelin-cli --version: $("$cli" --version)"
  if [ "$ui" = 1 ]; then
    [ "$("$stage/bin/ravelin" --version)" = "ravelin $version" ] || fail "ravelin --version"
  fi
  if command -v help2man >/dev/null; then
    zcat "$stage/share/man/man1/ravelin-cli.1.gz" | grep '^\.SH "EXIT STATUS"' >/dev/null ||
      fail "manual without EXIT STATUS"
  fi

  # A small batch: a sweep, two recordings (copies of it), their responses.
  local work=$stage/batch
  mkdir -p "$work/rec"
  (
    cd "$work"
    "$cli" sweep tone.wav --rate 8000 --duration 0.25
    cp tone.wav rec/a.wav
    cp tone.wav rec/b.wav
    "$cli" deconvolve --tone tone.wav --silence 0.1 --quiet --out out rec
  ) || fail "the installed ravelin-cli failed on the batch"
  [ -s "$work/out/a_rv.wav" ] && [ -s "$work/out/b_rv.wav" ] || fail "no outputs of the batch"
}

validators() {
  [ "$ui" = 1 ] || exit 77
  command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null || {
    echo "desktop-file-validate or appstreamcli is not installed (scripts/install-deps.sh installs them)"
    exit 77
  }
  # Both print only what they find wrong; any output is a finding.
  local found
  found=$(desktop-file-validate "$stage/share/applications/$id.desktop" 2>&1) || fail "$found"
  [ -z "$found" ] || fail "$found"
  # validate-tree also checks that the metadata's launchable is the installed desktop entry.
  appstreamcli validate-tree --no-net "$stage" || fail "appstreamcli validate-tree"
}

# Completes the words given (the last one is being typed) and prints the offers.
complete_words() {
  COMP_WORDS=(ravelin-cli "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _ravelin_cli
  printf '%s\n' "${COMPREPLY[@]}"
}

# Fails unless completing the words offers exactly the expected lines.
expect_offers() {
  local expected=$1
  shift
  local got
  got=$(complete_words "$@" | sort)
  [ "$got" = "$(printf '%b' "$expected" | sort)" ] || fail "completing '$*': got '$got'"
}

completion() {
  source "$stage/share/bash-completion/completions/ravelin-cli"
  cd "$stage/batch"
  expect_offers 'deconvolve\n' de
  expect_offers '1\n12\n' analyze --smoothing 1
  expect_offers '36\n' deconvolve --slope 3
  expect_offers '16\n24\n32\nfloat\n' deconvolve --bits = ''
  expect_offers 'stereo\n' sweep --channels st
  expect_offers 'out\nrec\ntone.wav\n' deconvolve --tone ''
  expect_offers 'rec/a.wav\nrec/b.wav\n' deconvolve --out out rec/
  expect_offers 'out\nrec\n' deconvolve --out ''
  # Every subcommand of the help's usage lines is offered, and every option of
  # its part of the help after it. (grep reads all of its input: with -q it
  # could close the pipe early and pipefail would fail the check.)
  local help part option
  help=$("$stage/bin/ravelin-cli" --help)
  for part in $(grep -o '^  ravelin-cli [a-z]*' <<<"$help" | cut -c15- | sort -u); do
    complete_words '' | grep -x -- "$part" >/dev/null || fail "completion lacks the command $part"
  done
  for part in deconvolve analyze sweep; do
    for option in $(sed -n "/^$part:/,/^\$/p" <<<"$help" | grep -o -- '--[a-z-]*' | sort -u); do
      complete_words "$part" -- | grep -x -- "$option" >/dev/null || fail "completion of $part lacks $option"
    done
  done
}

"$check"
