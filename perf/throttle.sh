# shellcheck shell=sh
# A device of known speed for the perf scripts: the disk under a directory throttled to a
# fixed rate by the block cgroup (v1 blkio or v2 io.max) for the processes run in it, so that
# a figure that really came from the device lands just under the rate and one from the page
# cache far above it. Source it from a POSIX shell, as root:
#
#   throttle_make DIR BYTES_PER_S   a cgroup of this shell's own (orvane-perf-PID), rate set
#   throttled CMD...                runs CMD in it
#   throttle_remove                 removes it again; call it from the EXIT trap
#
# The cgroup is named after this shell, so that two scripts (or developers) never share one.

throttle_group=

# MAJ:MIN of the whole disk under DIR: a throttle is set on a disk, never on a partition.
throttle_disk() {
    block=/sys/dev/block/$(stat -c '%Hd:%Ld' "$1")
    [ -e "$block" ] || { echo "no block device under $1" >&2; return 1; }
    if [ -e "$block/partition" ]; then cat "$block/../dev"; else cat "$block/dev"; fi
}

throttle_make() {
    disk=$(throttle_disk "$1") || return 1
    if [ -d /sys/fs/cgroup/blkio ]; then
        throttle_group=/sys/fs/cgroup/blkio/orvane-perf-$$
        mkdir "$throttle_group"
        echo "$disk $2" >"$throttle_group/blkio.throttle.read_bps_device"
        echo "$disk $2" >"$throttle_group/blkio.throttle.write_bps_device"
    elif [ -f /sys/fs/cgroup/cgroup.controllers ]; then
        throttle_group=/sys/fs/cgroup/orvane-perf-$$
        grep -qw io /sys/fs/cgroup/cgroup.subtree_control ||
            echo +io >/sys/fs/cgroup/cgroup.subtree_control
        mkdir "$throttle_group"
        echo "$disk rbps=$2 wbps=$2" >"$throttle_group/io.max"
    else
        echo "neither cgroup v1 blkio nor v2 io is mounted under /sys/fs/cgroup" >&2
        return 1
    fi
}

throttled() {
    sh -c 'echo $$ >"$1/cgroup.procs" && shift && exec "$@"' throttled "$throttle_group" "$@"
}

# A process still in the group (a job cut short by a signal) is moved out first, since a
# cgroup with members can't be removed.
throttle_remove() {
    [ -n "$throttle_group" ] && [ -d "$throttle_group" ] || return 0
    while read -r pid; do
        echo "$pid" >"${throttle_group%/*}/cgroup.procs" 2>/dev/null || :
    done <"$throttle_group/cgroup.procs"
    rmdir "$throttle_group" || echo "could not remove the cgroup $throttle_group" >&2
    throttle_group=
}
