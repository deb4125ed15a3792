"""`gauge_preview serve` through its JSON API, on the built modules: the throttle's round trip
from a point to the drawn lever, the switch and the needle, the variables the bench finds, every
body it must refuse (each a 400 with one line that changes nothing), unknown paths, where it
listens, its command line, and a module that crashes it.

Usage: bench_api_test.py TOOL BIN_FOLDER
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import unittest

from bench_support import Bench, rendered, variable

TOOL = None
BIN = None

LEFT_THROTTLE_LINK = "0x1011C=128"
SWITCH = (110, 270)  # inside the ammeter's switch box, x 103..120, y 244..299


def module(name):
    return os.path.join(BIN, name + ".so")


def element(state, kind):
    return next(shown for shown in state["elements"] if shown["kind"] == kind)


class Throttle(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.bench = Bench(TOOL, module("quadrant_gauge"), "--link", LEFT_THROTTLE_LINK)

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()
        cls.folder.cleanup()

    def test_a_point_in_the_left_throttle_column_moves_its_lever_in_the_next_frame(self):
        before = self.bench.state()
        # Row 278 is y = 40 in the column that starts at row 238: (120 - 40) x 16383 / 120 = 10922.
        state = self.bench.point(100, 278)
        self.assertEqual(state["last_point"], {"x": 100, "y": 278, "drag": False, "delivered": True, "record": 8})
        self.assertEqual(state["events_sent"], before["events_sent"] + 1)
        self.assertEqual(state["events"][-1], {"number": state["events_sent"], "id": "0x1011C", "value": 10922,
                                               "set_variables": [128]})
        self.assertEqual(variable(state, 128), 10922)
        # The knob, bitmap 300, is lifted 10922 x 117/16384 = 77.99 pixels, rounded to 78.
        knob = next(shown for shown in state["elements"] if shown["bitmap"] == 300)
        self.assertEqual(knob["reading"]["shift"], [0, -78])
        frame = self.bench.frame()
        self.assertEqual(frame, rendered(TOOL, self.folder.name, module("quadrant_gauge"), "--set", "128=10922"))
        self.assertEqual(frame, rendered(TOOL, self.folder.name, module("quadrant_gauge"),
                                         "--point", "100,278", "--link", LEFT_THROTTLE_LINK))
        self.assertNotEqual(frame, rendered(TOOL, self.folder.name, module("quadrant_gauge")))

    def test_every_move_while_held_is_one_point_on_a_lever(self):
        before = self.bench.state()["events_sent"]
        rows = [399, 380, 318, 298, 278]  # from the bottom of the column up: y 161, 142, 80, 60, 40
        for number, row in enumerate(rows):
            state = self.bench.point(100, row, drag=number > 0)
            self.assertTrue(state["last_point"]["delivered"])
        self.assertEqual(state["events_sent"], before + len(rows))
        self.assertEqual([event["value"] for event in state["events"][-len(rows):]], [0, 0, 5461, 8191, 10922])

    def test_a_point_outside_every_column_reaches_no_handler(self):
        before = self.bench.state()
        state = self.bench.point(90, 180)  # the middle block, rows 114 to 237
        self.assertEqual(state["last_point"], {"x": 90, "y": 180, "drag": False, "delivered": False, "record": None})
        self.assertEqual(state["events_sent"], before["events_sent"])

    def test_the_state_names_the_gauge_its_lever_variables_and_columns(self):
        state = self.bench.state()
        self.assertEqual(state["gauge"], {"name": "Varn Throttle Quadrant", "module": module("quadrant_gauge"),
                                          "width": 180, "height": 400})
        self.assertEqual([entry["id"] for entry in state["variables"]], [128, 129, 130, 163, 164, 165])
        for entry in state["variables"]:
            self.assertEqual(entry["range"], [0, 16383])
        self.assertIn("set by event 0x1011C", next(e for e in state["variables"] if e["id"] == 128)["roles"])
        self.assertEqual(len(state["mouse_columns"]), 6)
        self.assertEqual(state["mouse_columns"][4], {"record": 8, "box": {"x": 84, "y": 238, "width": 45, "height": 162},
                                                     "mask": "0x00800000", "takes_drags": True})
        self.assertEqual(state["links"], [{"event": "0x1011C", "variable": 128}])
        self.assertEqual(state["module_calls"]["overlapping"], 0)


class Ammeter(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        # The gate open (171 at 2500), the input at 10 A (6550 = 10 x 655).
        self.settings = ["--set", "171=2500", "--set", "352=6550"]
        self.bench = Bench(TOOL, module("ammeter_gauge"), *self.settings)

    def tearDown(self):
        self.bench.stop()
        self.folder.cleanup()

    def readings(self, state):
        return element(state, "needle")["reading"]["value"], element(state, "icon")["reading"]

    def test_a_click_on_the_switch_turns_it_off_and_the_needle_rests_at_minus_20(self):
        self.assertEqual(self.readings(self.bench.state())[0], 10.0)
        state = self.bench.point(*SWITCH)
        needle, icon = self.readings(state)
        self.assertEqual(needle, -20.0)
        self.assertEqual(icon, {"bitmap": 503, "picture": 1, "callback_result": 1.0})
        self.assertEqual(state["events_sent"], 0)  # the switch sends no event
        self.assertEqual(self.bench.frame(), rendered(TOOL, self.folder.name, module("ammeter_gauge"), *self.settings,
                                                      "--point", f"{SWITCH[0]},{SWITCH[1]}"))
        # The switch toggles once per click: a move with the button held does not reach it.
        state = self.bench.point(SWITCH[0], SWITCH[1] + 5, drag=True)
        self.assertFalse(state["last_point"]["delivered"])
        self.assertEqual(self.readings(state)[0], -20.0)
        state = self.bench.point(*SWITCH)
        self.assertEqual(self.readings(state), (10.0, {"bitmap": 500, "picture": 0, "callback_result": 0.0}))

    def test_setting_the_needles_input_moves_it(self):
        cases = [(-6550, -10.0), (32750, 50.0), (40000, 50.0), (0, 0.0)]
        for value, amperes in cases:
            with self.subTest(value=value):
                state = self.bench.set_variable(352, value)
                self.assertEqual(variable(state, 352), value)
                self.assertEqual(self.readings(state)[0], amperes)
        state = self.bench.set_variable(171, 1999.5)  # the gate closes below 2000
        self.assertEqual(self.readings(state)[0], -20.0)

    def test_the_gauges_own_variables_and_the_set_ones_get_controls(self):
        with Bench(TOOL, module("ammeter_gauge"), "--set", "999=1.5") as bench:
            variables = {entry["id"]: entry for entry in bench.state()["variables"]}
        self.assertEqual(sorted(variables), [171, 352, 999])
        self.assertEqual(variables[352]["roles"], ["input of needle 1 (bitmap 300)"])
        self.assertEqual(variables[171]["roles"], ["bound by the module"])
        self.assertEqual(variables[999]["roles"], ["set on the command line"])
        self.assertEqual(variables[999]["value"], 1.5)
        self.assertEqual(variables[352]["range"], [-32768, 32767])


class RefusedRequests(unittest.TestCase):
    """Each refused request gets a 400 (an unknown path a 404) with one line, and the state, read
    before and after, is the same to the last field."""

    @classmethod
    def setUpClass(cls):
        cls.bench = Bench(TOOL, module("quadrant_gauge"), "--link", LEFT_THROTTLE_LINK)
        cls.bench.point(100, 278)

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()

    def assertRefused(self, status, method, path, body, reason, headers=None):
        before = self.bench.state()
        got_status, got_body, got_headers = self.bench.request(method, path, body, headers)
        self.assertEqual((got_status, got_body.decode()), (status, reason + "\n"))
        self.assertTrue(got_headers["Content-Type"].startswith("text/plain"))
        self.assertEqual(self.bench.state(), before)

    def test_bad_points(self):
        cases = [
            (b'{"x": 100', "the body is not well-formed JSON"),
            (b"", "the body is not well-formed JSON"),
            (b'{"x": 1, "y": 2}{}', "the body is not well-formed JSON"),
            (b'{"x": 1e400, "y": 2}', "the body is not well-formed JSON"),
            (b'\xff{"x": 1, "y": 2}', "the body is not well-formed JSON"),
            ([100, 278], "the body must be a JSON object"),
            ({"x": 100, "y": 278, "z": 1}, 'unknown field "z"'),
            ({"x": 100, "y": 278, "\u0007" * 60: 1}, 'unknown field "' + "\\u0007" * 32 + '..."'),
            ({"y": 278}, 'the field "x" is missing'),
            ({"x": 100}, 'the field "y" is missing'),
            ({"x": "100", "y": 278}, "x must be a number"),
            ({"x": None, "y": 278}, "x must be a number"),
            ({"x": True, "y": 278}, "x must be a number"),
            ({"x": 100.5, "y": 278}, "x must be a whole number"),
            ({"x": 100.0, "y": 278}, "x must be a whole number"),
            ({"x": 100, "y": 1e3}, "y must be a whole number"),
            ({"x": -1, "y": 278}, "x -1 is outside 0..179"),
            ({"x": 180, "y": 278}, "x 180 is outside 0..179"),
            ({"x": 100, "y": 400}, "y 400 is outside 0..399"),
            ({"x": 2**64 - 1, "y": 278}, f"x {2**64 - 1} is outside 0..179"),
            ({"x": -2**63, "y": 278}, f"x {-2**63} is outside 0..179"),
            ({"x": 100, "y": 278, "drag": 1}, "drag must be true or false"),
            ({"x": 100, "y": 278, "drag": "yes"}, "drag must be true or false"),
        ]
        for body, reason in cases:
            with self.subTest(body=body):
                self.assertRefused(400, "POST", "/api/point", body, reason)

    def test_bad_variables(self):
        cases = [
            ({"id": 128}, 'the field "value" is missing'),
            ({"value": 1}, 'the field "id" is missing'),
            ({"id": 128, "value": 1, "unit": "ft"}, 'unknown field "unit"'),
            ({"id": 0, "value": 1}, "id 0 is outside 1..4294967295"),
            ({"id": 2**32, "value": 1}, "id 4294967296 is outside 1..4294967295"),
            ({"id": -5, "value": 1}, "id -5 is outside 1..4294967295"),
            ({"id": 128.0, "value": 1}, "id must be a whole number"),
            ({"id": "128", "value": 1}, "id must be a number"),
            ({"id": 128, "value": "5"}, "value must be a number"),
            ({"id": 128, "value": None}, "value must be a number"),
            ({"id": 128, "value": [5]}, "value must be a number"),
            ({"id": 128, "value": 1e9 + 1}, "value 1000000001.0 is outside -1e9..1e9"),
            ({"id": 128, "value": -2e9}, "value -2000000000.0 is outside -1e9..1e9"),
            ({"id": 128, "value": 2**64}, "value 1.8446744073709552e+19 is outside -1e9..1e9"),
        ]
        for body, reason in cases:
            with self.subTest(body=body):
                self.assertRefused(400, "POST", "/api/variables", body, reason)

    def test_bodies_over_the_limit_and_undeclared_ones(self):
        padded = b'{"x": 100, "y": 278' + b" " * 1100 + b"}"
        for path in ("/api/point", "/api/variables"):
            with self.subTest(path=path):
                self.assertRefused(400, "POST", path, padded, "the body is over 1024 bytes")
                # Beyond what the server reads at all.
                self.assertRefused(400, "POST", path, b" " * 200_000, "the body is over 1024 bytes")
                self.assertRefused(400, "POST", path, b'{"x": 100, "y": 278}', "the body must be declared application/json",
                                   headers={"Content-Type": "text/plain"})

    def test_another_host_name(self):
        self.assertRefused(400, "GET", "/api/state", None, f"the Host header must be 127.0.0.1:{self.bench.port}",
                           headers={"Host": "bench.example:80"})

    def test_unknown_paths(self):
        cases = [("GET", "/nope"), ("GET", "/api/frame"), ("GET", "/api/state/1"), ("POST", "/api/state"),
                 ("POST", "/api/nope"), ("DELETE", "/api/point"), ("GET", "/bench_page.html")]
        for method, path in cases:
            with self.subTest(method=method, path=path):
                self.assertRefused(404, method, path, {} if method == "POST" else None, f"no such page: {method} {path}")


class TooManyVariables(unittest.TestCase):
    def test_the_bench_keeps_256_variables_and_refuses_one_more(self):
        with Bench(TOOL, module("quadrant_gauge")) as bench:
            held = len(bench.state()["variables"])
            for var_id in range(1000, 1000 + 256 - held):
                bench.set_variable(var_id, 1)
            before = bench.state()
            self.assertEqual(len(before["variables"]), 256)
            status, body, _ = bench.request("POST", "/api/variables", {"id": 5000, "value": 1})
            self.assertEqual((status, body), (400, b"the bench holds 256 variables already, and 5000 is not one of them\n"))
            self.assertEqual(bench.state(), before)
            self.assertEqual(variable(bench.set_variable(1000, 7), 1000), 7)  # one it holds can still change


class Page(unittest.TestCase):
    def test_the_page_and_its_files_are_served_from_the_program_and_fetch_nothing_else(self):
        with Bench(TOOL, module("ammeter_gauge")) as bench:
            for path, content_type in [("/", "text/html"), ("/bench_page.css", "text/css"), ("/bench_page.js", "text/javascript")]:
                with self.subTest(path=path):
                    status, body, headers = bench.request("GET", path)
                    self.assertEqual(status, 200)
                    self.assertTrue(headers["Content-Type"].startswith(content_type))
                    self.assertIn("default-src 'self'", headers["Content-Security-Policy"])
                    self.assertNotRegex(body.decode(), r"(?i)(https?:)?//[a-z0-9.-]+\.[a-z]{2,}/")


class Listening(unittest.TestCase):
    def test_it_listens_on_127_0_0_1_only(self):
        with Bench(TOOL, module("quadrant_gauge")) as bench:
            listening = []
            for table in ("/proc/net/tcp", "/proc/net/tcp6"):
                with open(table) as lines:
                    for line in list(lines)[1:]:
                        local, state = line.split()[1], line.split()[3]
                        address, port = local.split(":")
                        if state == "0A" and int(port, 16) == bench.port:
                            listening.append(address)
            self.assertEqual(listening, ["0100007F"])

    def test_the_port_given_is_the_port_served_and_a_taken_one_is_one_error_line(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            result = subprocess.run([TOOL, "serve", module("quadrant_gauge"), "--port", str(port)],
                                    capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"gauge_preview: {module('quadrant_gauge')}: cannot listen on 127.0.0.1:{port}\n")
        with Bench(TOOL, module("quadrant_gauge"), "--port", str(port)) as bench:
            self.assertEqual(bench.port, port)
            self.assertEqual(bench.gauge_name, "Varn Throttle Quadrant")


class CommandLine(unittest.TestCase):
    def test_bad_command_lines_and_modules(self):
        quadrant = module("quadrant_gauge")
        cases = [
            (["serve", quadrant, "--port", "65536"], 2, "--port: 65536 is not a port, 0 to 65535"),
            (["serve", quadrant, "--port", "80x"], 2, '--port: "80x" is not a whole number'),
            (["serve", quadrant, "--port", "0", "--port", "0"], 2, "--port is given twice"),
            (["serve", quadrant, "--out", "x.png"], 2, '"--out" is not an option of serve'),
            (["serve", quadrant, "--time-limit", "5"], 2, '"--time-limit" is not an option of serve'),
            (["serve", quadrant, "--point", "1,1"], 2, '"--point" is not an option of serve'),
            (["render", quadrant, "--port", "0", "--out", "x.png"], 2, '"--port" is not an option of render'),
            (["serve", module("plain_library")], 1, f"{module('plain_library')}: "),
            (["serve", module("broken_gauge_crashing_install")], 1,
             f"{module('broken_gauge_crashing_install')}: the module crashed the host (signal 11) in its install routine"),
        ]
        for arguments, status, message in cases:
            with self.subTest(arguments=arguments[2:] or arguments[1]):
                result = subprocess.run([TOOL, *arguments], capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(result.stdout, "")
                first = result.stderr.splitlines()[0]
                self.assertTrue(first.startswith("gauge_preview: " + message), result.stderr)
                if status == 1:
                    self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)


if __name__ == "__main__":
    TOOL, BIN = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    unittest.main(verbosity=2)
