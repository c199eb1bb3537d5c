#!/usr/bin/python3
"""Counts what a benchmark asked of the share, pass by pass, from a trace:

    strace -f -y -o trace.txt build/bench/bench_control --benchmark_filter=WatchPassOnAShopOfFifty
    bench/count_share_calls.py trace.txt [share path part, default /products]

The benchmark marks where each pass begins with access("/ziv-bench-mark/<name>").
A call counts for the share when a path it names, or the file its descriptor
stands for (strace -y), holds the share's path part; bytes are what the reads
returned."""
import collections
import re
import sys

CALL = re.compile(r'^(?:\d+\s+)?(\w+)\((.*)\)\s+=\s+(-?\d+)')
MARK = re.compile(r'access\("/ziv-bench-mark/([\w-]+)"')
KINDS = {
    'openat': 'opens', 'open': 'opens',
    'read': 'reads', 'pread64': 'reads', 'readv': 'reads', 'preadv': 'reads',
    'stat': 'stats', 'lstat': 'stats', 'newfstatat': 'stats', 'statx': 'stats', 'fstat': 'stats',
    'access': 'stats', 'faccessat': 'stats', 'faccessat2': 'stats',
    'getdents64': 'listings', 'getdents': 'listings',
    'close': 'closes',
}


def main():
    trace, part = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else '/products')
    passes = collections.OrderedDict()
    current = None
    with open(trace, encoding='utf-8', errors='replace') as lines:
        for line in lines:
            mark = MARK.search(line)
            if mark:
                current = passes.setdefault(mark.group(1), collections.Counter())
                continue
            call = CALL.match(line)
            if current is None or not call or part not in line:
                continue
            name, result = call.group(1), int(call.group(3))
            current[KINDS.get(name, name)] += 1
            if KINDS.get(name) == 'reads' and result > 0:
                current['bytes'] += result
    for name, counts in passes.items():
        if name in ('setup', 'end'):
            continue
        calls = sum(v for k, v in counts.items() if k != 'bytes')
        shown = ', '.join(f'{k} {v}' for k, v in sorted(counts.items()) if k != 'bytes')
        print(f'{name}: {counts["bytes"]:,} bytes, {calls} calls ({shown})')


if __name__ == '__main__':
    main()
