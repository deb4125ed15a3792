"""`gauge_preview serve` under load: 8 clients, each on its own connection to 127.0.0.1, make 250
mixed requests (points into the left throttle's column, settings of a variable of the client's
own, frames). No request may fail, no two calls into the module may overlap, every client's
variable must hold that client's last value, every point's event must be counted, and the
worker's memory must stay flat over the run. Bounded in count, and in time by each request's
timeout and the whole run's limit.

Usage: bench_load_test.py TOOL BIN_FOLDER
"""
import os
import random
import sys
import threading
import time
import unittest

from bench_support import Bench, variable

TOOL = None
BIN = None

CLIENTS = 8
REQUESTS_EACH = 250
SERVER_THREADS = 32  # kServerThreads: the threads the server answers on
RUN_LIMIT_SECONDS = 600
# The worker's resident memory may grow by this much from after the warm-up to the end: less than
# 2,000 requests would leave behind if each kept a frame, a body or even a kilobyte and a half.
# (What the allocator's heap holds at the end still depends on how many frames happened to be
# drawn at once at the busiest moment, which moves it by up to about 1.5 MiB between runs.)
MEMORY_GROWTH_LIMIT_KIB = 3072
# The C library's allocator keeps caches of freed blocks per thread and per arena, which fill over
# thousands of requests as the server's 32 threads take turns: memory that is the allocator's, and
# would be there without a single leak. The run turns them off, so what grows is what is kept.
ALLOCATOR_WITHOUT_CACHES = {"GLIBC_TUNABLES": "glibc.malloc.tcache_count=0:glibc.malloc.arena_max=1"}


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


class Client(threading.Thread):
    def __init__(self, bench, number, deadline, requests=REQUESTS_EACH):
        super().__init__(daemon=True)
        self.bench, self.number, self.deadline, self.requests = bench, number, deadline, requests
        self.variable = 2000 + number
        self.random = random.Random(number)
        self.failures, self.points, self.last_value = [], 0, None

    def run(self):
        connection = self.bench.connect(timeout=60)
        try:
            for i in range(self.requests):
                if time.monotonic() > self.deadline:
                    self.failures.append("the run's time limit passed")
                    return
                self.one_request(connection, i)
        except Exception as error:  # a failure of the run, reported, not a crashed thread
            self.failures.append(repr(error))
        finally:
            connection.close()

    def one_request(self, connection, i):
        kind = i % 5
        if kind in (0, 1):
            request = ("POST", "/api/point", {"x": self.random.randint(84, 128), "y": self.random.randint(238, 399),
                                              "drag": kind == 1})
            self.points += 1
        elif kind in (2, 3):
            value = self.number * 1000 + i
            request = ("POST", "/api/variables", {"id": self.variable, "value": value})
            self.last_value = value
        else:
            request = ("GET", "/api/frame.png", None)
        status, body, _ = self.bench.request(*request, connection=connection)
        if status != 200:
            self.failures.append(f"{request[:2]}: {status} {body[:80]!r}")


class Load(unittest.TestCase):
    def test_eight_clients_at_once(self):
        with Bench(TOOL, os.path.join(BIN, "quadrant_gauge.so"), "--link", "0x1011C=128",
                   environment=ALLOCATOR_WITHOUT_CACHES) as bench:
            worker = bench.worker_pid()
            deadline = time.monotonic() + RUN_LIMIT_SECONDS
            # The warm-up: every thread of the server answers once (a connection kept open holds
            # its thread, so that many open at once take every one), then as many clients at once as
            # the run make a few requests. Every path and thread the run uses has been through once,
            # so what the run measures is what stays.
            held = [bench.connect() for _ in range(SERVER_THREADS)]
            for number, connection in enumerate(held):
                warm_up = Client(bench, number, deadline, requests=5)
                for i in range(warm_up.requests):
                    warm_up.one_request(connection, i)
                self.assertEqual(warm_up.failures, [])
            for connection in held:
                connection.close()
            warm_up = self.run_clients([Client(bench, number, deadline, requests=50) for number in range(CLIENTS)], deadline)
            self.assertEqual([client.failures for client in warm_up], [[]] * CLIENTS)
            memory_before = resident_kib(worker)
            events_before = bench.state()["events_sent"]

            clients = self.run_clients([Client(bench, number, deadline) for number in range(CLIENTS)], deadline)
            state = bench.state()
            memory_after = resident_kib(worker)
        for client in clients:
            with self.subTest(client=client.number):
                self.assertEqual(client.failures, [])
                self.assertEqual(variable(state, client.variable), client.last_value)
        # Every point lands in the left throttle's column, and each sends its one event.
        self.assertEqual(state["events_sent"] - events_before, sum(client.points for client in clients))
        self.assertEqual(len(state["events"]), 64)
        self.assertEqual(state["module_calls"]["overlapping"], 0)
        self.assertEqual(state["module_calls"]["most_at_once"], 1)
        self.assertLessEqual(memory_after - memory_before, MEMORY_GROWTH_LIMIT_KIB,
                             f"resident memory {memory_before} KiB after the warm-up, {memory_after} KiB after the run")

    def run_clients(self, clients, deadline):
        for client in clients:
            client.start()
        for client in clients:
            client.join(timeout=max(1, deadline - time.monotonic() + 60))
            self.assertFalse(client.is_alive(), "a client did not finish")
        return clients


if __name__ == "__main__":
    TOOL, BIN = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    unittest.main(verbosity=2)
