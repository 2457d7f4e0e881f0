#!/usr/bin/python3
"""What making thumbnails costs the service's other clients: the latency of GET / (p50, p95, max)
while thumbnails of large pictures are asked for, with none asked for beside it, and the growth
of the service process's memory. The aims: GET / within 0.2 s, the process grown by less than
200 MB.

    bench/thumbnail_bench.py [--pictures 12] [--side 4000]

Prints a Markdown table."""

import argparse
import json
import os
import statistics
import sys
import tempfile
import threading
import time
import urllib.request

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, REPO)
from tests.server.harness import Service  # noqa: E402
from tests.server.pngs import picture  # noqa: E402


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(line for line in f if line.startswith("VmRSS")).split()[1]) / 1024


def upload(port, data):
    request = urllib.request.Request(f"http://127.0.0.1:{port}/api/upload", data, {"Content-Type": "image/png"})
    with urllib.request.urlopen(request, timeout=60) as answer:
        return json.load(answer)["thumbnail_url"].split(str(port), 1)[1]


def latencies(port, stop):
    times = []
    while not stop.is_set():
        start = time.monotonic()
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/", timeout=30) as answer:
            answer.read()
        times.append(time.monotonic() - start)
        time.sleep(0.02)
    return times


def row(label, times, grown):
    ordered = sorted(times)
    p95 = ordered[int(len(ordered) * 0.95) - 1]
    return (f"| {label} | {len(times)} | {statistics.median(times) * 1000:.1f} | {p95 * 1000:.1f} | "
            f"{max(times) * 1000:.1f} | {grown:.0f} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--pictures", type=int, default=12)
    parser.add_argument("--side", type=int, default=4000, help="the pictures' width (16:9)")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as data:
        service = Service("--max-uploads", "1000", data=os.path.join(data, "d"))
        try:
            # Screens of grey rows: small files that decode in full (48 MB at 4000 wide) before
            # they are shrunk.
            paths = [upload(service.http_port, picture(seed, args.side, args.side * 9 // 16))
                     for seed in range(args.pictures)]
            print("| GET / while | requests | p50 ms | p95 ms | max ms | process grown MB |")
            print("|---|---|---|---|---|---|")
            for label, work in (("nothing else", []), (f"{args.pictures} thumbnails are made", paths)):
                before = rss_mb(service.proc.pid)
                stop, found = threading.Event(), []
                watcher = threading.Thread(target=lambda: found.extend(latencies(service.http_port, stop)))
                watcher.start()
                askers = [threading.Thread(target=lambda p=p: urllib.request.urlopen(
                    f"http://127.0.0.1:{service.http_port}{p}", timeout=60).read()) for p in work]
                for asker in askers:
                    asker.start()
                for asker in askers:
                    asker.join()
                time.sleep(2 if not work else 0.2)
                stop.set()
                watcher.join()
                print(row(label, found, rss_mb(service.proc.pid) - before))
        finally:
            service.cleanup()


if __name__ == "__main__":
    main()
