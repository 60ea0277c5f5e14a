#!/usr/bin/env bash
# CI: fleet.yml run against an inventory of four host names on this machine
# (ansible_connection=local) with the orvane-cli of a build: three with a folder of their own,
# whose results must be fetched and merged, and one whose folder does not exist, which
# Ansible must report and the merge must leave out with a note.
# Usage: deploy/ansible/test-fleet.sh [BUILD-DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
cli=$build/cli/orvane-cli
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
ok() { echo "ok: $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/db-1" "$work/db-2" "$work/db-3"
cat >"$work/inventory.ini" <<INVENTORY
[orvane_hosts]
db-1 orvane_dir=$work/db-1
db-2 orvane_dir=$work/db-2
db-3 orvane_dir=$work/db-3
db-9 orvane_dir=$work/missing

[orvane_hosts:vars]
ansible_connection=local
ansible_python_interpreter=$(command -v python3)
INVENTORY
cat >"$work/vars.json" <<VARS
{
  "orvane_cli": "$cli",
  "orvane_report_cli": "$cli",
  "orvane_results": "$work/results",
  "orvane_args": ["--file-size", "1M", "--no-history"],
  "orvane_start_delay": 10,
  "orvane_poll_seconds": 1
}
VARS

# Ansible wants a UTF-8 locale, and its own files out of the user's home.
export LC_ALL=C.UTF-8 ANSIBLE_LOCAL_TEMP=$work/ansible-local ANSIBLE_ASYNC_DIR=$work/ansible-async
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
status=0
ansible-playbook -i "$work/inventory.ini" -e "@$work/vars.json" deploy/ansible/fleet.yml \
    >"$work/log" 2>&1 || status=$?
cat "$work/log"

# A failed host makes the playbook fail (status 2), naming it in the recap.
if [ "$status" -eq 2 ] && grep -Eq '^db-9 +: .*failed=1' "$work/log"; then
    ok "Ansible reports db-9 failed (exit status $status)"
else
    fail "Ansible's exit status $status, or no failed db-9 in its recap"
fi
for host in db-1 db-2 db-3; do
    if grep -q "\"label\": \"$host\"" "$work/results/$host.json" 2>/dev/null; then
        ok "$host.json fetched"
    else
        fail "$host.json not fetched, or not $host's"
    fi
    grep -Eq "^$host +: .*failed=0" "$work/log" || fail "$host failed in the recap"
done
[ ! -e "$work/results/db-9.json" ] || fail "db-9.json exists"
fleet=$work/results/fleet.txt
if [ -s "$fleet" ]; then
    cat "$fleet"
    grep -q '^fleet of 3 hosts: ' "$fleet" || fail "fleet.txt is no fleet of 3 hosts"
    for host in db-1 db-2 db-3; do
        grep -q "^host [1-3]: $host: " "$fleet" || fail "fleet.txt does not name $host"
        grep -q "^$host: write " "$fleet" || fail "fleet.txt has no verdict on $host"
    done
    if grep -q '^note: db-9 is left out of the merge: ' "$fleet" && ! grep -q '^host .*: db-9' "$fleet"; then
        ok "fleet.txt merges db-1, db-2 and db-3 and notes that db-9 is left out"
    else
        fail "fleet.txt has no note on db-9, or merged it"
    fi
else
    fail "no fleet.txt"
fi
if grep -q '<svg' "$work/results/fleet.svg" 2>/dev/null && grep -q 'db-3 read' "$work/results/fleet.svg"; then
    ok "fleet.svg drawn"
else
    fail "no fleet.svg with the hosts' series"
fi
for host in db-1 db-2 db-3; do
    [ -z "$(ls -A "$work/$host")" ] || fail "left in $host's folder: $(ls -A "$work/$host")"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures fleet check(s) failed" >&2
    exit 1
fi
echo "All fleet checks passed."
