#!/usr/bin/env bash
# Checks the README's quick start as a new contributor meets it, on a machine that has nothing yet:
# makes a fresh Debian bookworm root in build/fresh-machine/root with this machine's package
# sources plus one line naming a suite the archive does not have (an index that fails to
# download, as when a mirror is mid-sync), clones the current commit into it (committed files
# only) and runs the quick start's two commands there, each with its exit code and time. Ends 0
# when both did. The root is made and entered by scripts/debian-root.sh: nothing stays mounted.
# Needs root.
#
#   scripts/fresh-machine.sh [--keep]     --keep leaves the root in place afterwards
set -euo pipefail
cd "$(dirname "$0")/.."
work=$PWD/build/fresh-machine
root=$work/root
keep=false
[ "${1:-}" != --keep ] || keep=true
if [ "$(id -u)" -ne 0 ]; then
  echo "fresh-machine.sh needs root (debootstrap, chroot, private namespaces): run it with sudo" >&2
  exit 1
fi
commit=$(git rev-parse HEAD)
mkdir -p "$work"
echo "=== a fresh Debian bookworm root in $root"
scripts/debian-root.sh make "$root" bookworm
missing_suite="deb http://deb.debian.org/debian bookworm-no-such-suite main"
echo "$missing_suite" >"$root/etc/apt/sources.list.d/no-such-suite.list"
echo "sources: this machine's, and \"$missing_suite\""
git clone --quiet --no-hardlinks . "$root/root/QuilletSetup"
git -C "$root/root/QuilletSetup" checkout --quiet --detach "$commit"

results=()
outcome=0
for command in scripts/run-setup.sh scripts/test-all.sh; do
  log=$work/$(basename "$command" .sh).log
  echo "=== $command"
  started=$(date +%s)
  status=0
  scripts/debian-root.sh run "$root" bash -c "cd /root/QuilletSetup && $command" 2>&1 |
    tee "$log" || status=$?
  results+=("$(printf '%-22s exit %d after %d s (its output: %s)' "$command" "$status" \
               "$(($(date +%s) - started))" "$log")")
  [ "$status" -eq 0 ] || outcome=1
done

echo "=== the quick start on a fresh bookworm machine, commit $commit"
printf '%s\n' "${results[@]}"
grep -h -e '^apt: ' -e '^apt found' -e '^no 32-bit Wine' -e '^running the ' "$work"/*.log || true
$keep || rm -rf --one-file-system "$root"
exit "$outcome"
