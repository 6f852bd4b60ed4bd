#!/usr/bin/env bash
# The manual page, looked up by name as `man treadbrawl` does, lists exactly the options that
# `treadbrawl --help` lists, with the same words. Also: --help and --version exit 0, and an
# unknown argument gives one line on stderr and exit status 2.
# Usage: manpage_check.sh GAME MANDIR
set -euo pipefail
game=$1
mandir=$2

"$game" --version | grep -qE '^treadbrawl [0-9]' || { echo "--version failed" >&2; exit 1; }
set +e
err=$("$game" --no-such-option 2>&1 > /dev/null)
status=$?
set -e
if [ "$status" -ne 2 ] || [ "$(printf '%s\n' "$err" | wc -l)" -ne 1 ]; then
  echo "an unknown argument gave status $status and: $err" >&2
  exit 1
fi

command -v man > /dev/null || { echo "man is not installed: skipped"; exit 77; }

# One line per option: name, value name and help, spaces collapsed.
help_rows=$("$game" --help | grep -E '^  -' | tr -s ' \t' ' ' | sed 's/^ //')
[ -n "$help_rows" ] || { echo "--help lists no options" >&2; exit 1; }

page=$(MANWIDTH=250 MANPAGER=cat PAGER=cat man -M "$mandir" 6 treadbrawl 2> /dev/null | col -bx)
# In OPTIONS each option starts at the section's indent; its text is indented further.
man_rows=$(printf '%s\n' "$page" | awk '
  /^[A-Z]/ { inside = ($0 == "OPTIONS"); next }
  !inside || /^$/ { next }
  /^       [^ ]/ { if ($1 !~ /^-/) { inside = 0; next }
                   if (row != "") print row; row = $0; next }
  { row = row " " $0 }
  END { if (row != "") print row }' | tr -s ' \t' ' ' | sed 's/^ //')

if [ "$help_rows" != "$man_rows" ]; then
  echo "the manual page's options differ from --help:" >&2
  diff <(printf '%s\n' "$help_rows") <(printf '%s\n' "$man_rows") >&2 || true
  exit 1
fi
printf '%s\n' "$page" | grep -q '^EXIT STATUS' || { echo "no EXIT STATUS section" >&2; exit 1; }
echo "man page and --help agree on $(printf '%s\n' "$help_rows" | wc -l) options"
