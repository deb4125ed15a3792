#!/usr/bin/python3
"""Times the bench (`gauge_preview serve`) on the throttle quadrant from a client on 127.0.0.1:
the round trip from a point to the new frame (POST /api/point, then GET /api/frame.png, on one
kept-open connection), and a frame alone, each over 1,000 requests; prints the median and the
99th percentile. A benchmark, not a test: it checks only that every request succeeds.

Usage: tools/benchmark-bench.py [BIN_FOLDER]   (build/linux-i386/bin unless given)
"""
import http.client
import json
import os
import re
import statistics
import subprocess
import sys
import time

REQUESTS = 1000


def percentile(samples, fraction):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def timed(connection, count, requests):
    samples = []
    for i in range(count):
        start = time.perf_counter()
        for method, path, body in requests(i):
            headers = {"Content-Type": "application/json"} if body else {}
            connection.request(method, path, body=json.dumps(body) if body else None, headers=headers)
            response = connection.getresponse()
            response.read()
            if response.status != 200:
                raise SystemExit(f"{method} {path}: status {response.status}")
        samples.append((time.perf_counter() - start) * 1000)
    return samples


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "linux-i386", "bin")
    server = subprocess.Popen([os.path.join(folder, "gauge_preview"), "serve", os.path.join(folder, "quadrant_gauge.so"),
                               "--link", "0x1011C=128"], stdout=subprocess.PIPE, text=True)
    try:
        line = server.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        if not match:
            raise SystemExit(f"the bench did not start: {line!r}")
        connection = http.client.HTTPConnection("127.0.0.1", int(match.group(1)), timeout=60)
        timed(connection, 50, lambda i: [("GET", "/api/frame.png", None)])  # warm-up
        # Up and down the left throttle's column, so that every frame shows the lever moved.
        point_then_frame = timed(connection, REQUESTS, lambda i: [
            ("POST", "/api/point", {"x": 100, "y": 238 + (i * 7) % 162}), ("GET", "/api/frame.png", None)])
        frame_alone = timed(connection, REQUESTS, lambda i: [("GET", "/api/frame.png", None)])
        connection.close()
    finally:
        server.terminate()
        server.wait(timeout=30)
    print(f"over {REQUESTS} requests each, in milliseconds")
    for name, samples in [("point to new frame", point_then_frame), ("frame alone", frame_alone)]:
        print(f"  {name:20s} median {statistics.median(samples):6.2f}   99th percentile {percentile(samples, 0.99):6.2f}")


if __name__ == "__main__":
    main()
