#!/usr/bin/env python3
"""Shares of a path's time, from `perf script` on stdin.

  stack_shares.py --within FRAME [--except FRAME] [--real-time] NAME=PATTERN ...

Looks at the process's main thread (Outlook's thread, the one that calls the
add-in) and, of it, at the stacks that hold FRAME and no --except frame.
Without --real-time, stdin is `perf script -F pid,tid,ip,sym` of CPU samples,
and it prints "path_samples N" and "NAME_samples N": the samples on the path
and those among them whose stack matches NAME's regular expression. With
--real-time, stdin is `perf script -F pid,tid,time,event,ip,sym` of CPU
samples at 997 per second and sched:sched_switch events, and it prints
"path_ms" and "NAME_ms": a sample stands for a thousandth of a second of
CPU, and the time from the thread's switching out to its next event stands
for the wait at the stack it switched out with. A stack may count for
several names when their frames nest.
"""
import argparse
import re
import sys

HEAD = re.compile(r"^\s*(\d+)/(\d+)(?:\s+([\d.]+):\s+(?:\d+\s+)?(\S+?):?\s)?")
SAMPLE_SECONDS = 1 / 997


def events(lines):
    """Yields (pid, tid, time or None, event or None, stack text) per event."""
    head, frames = None, []
    for line in lines:
        match = HEAD.match(line) if not line.startswith(("\t", "        ")) else None
        if match:
            if head:
                yield head + ("\n".join(frames),)
            pid, tid, time, event = match.groups()
            head, frames = (pid, tid, float(time) if time else None, event), []
        elif line.strip():
            frames.append(line.strip())
    if head:
        yield head + ("\n".join(frames),)


def weighed(stream, real_time):
    """Yields (weight, stack) for the main thread's events."""
    switched = None  # (time, stack) of the last switch out
    for pid, tid, time, event, stack in stream:
        if pid != tid:
            continue
        if real_time and switched and time is not None:
            yield (time - switched[0]) * 1000, switched[1]
            switched = None
        if real_time and event and event.startswith("sched:sched_switch"):
            switched = (time, stack)
        else:
            yield (SAMPLE_SECONDS * 1000 if real_time else 1), stack


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--within", required=True)
    parser.add_argument("--except", dest="excluded", action="append", default=[])
    parser.add_argument("--real-time", action="store_true")
    parser.add_argument("shares", nargs="*")
    args = parser.parse_args()
    patterns = [(name, re.compile(pattern))
                for name, pattern in (share.split("=", 1) for share in args.shares)]
    totals = {"path": 0.0, **{name: 0.0 for name, _ in patterns}}
    for weight, stack in weighed(events(sys.stdin), args.real_time):
        if args.within not in stack or any(frame in stack for frame in args.excluded):
            continue
        totals["path"] += weight
        for name, pattern in patterns:
            if pattern.search(stack):
                totals[name] += weight
    unit = "_ms" if args.real_time else "_samples"
    for name, total in totals.items():
        print(name + unit, ("%.1f" % total) if args.real_time else int(total))


if __name__ == "__main__":
    main()
