"""What the bench's tests share: starting `gauge_preview serve` on a free port of 127.0.0.1,
talking to its API, and ending it again. Every request goes to 127.0.0.1 only."""
import contextlib
import http.client
import json
import os
import queue
import re
import subprocess
import threading

URL_LINE = re.compile(r'^gauge_preview: serving "(.*)" at http://127\.0\.0\.1:(\d+)/$')


class Bench:
    """A running `gauge_preview serve MODULE OPTIONS...`; a context manager that ends it."""

    def __init__(self, tool, module, *options, start_timeout=60, environment=None, folder=None):
        self.process = subprocess.Popen([tool, "serve", module, *options], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True,
                                        env=dict(os.environ, **(environment or {})), cwd=folder)
        lines = queue.Queue()
        threading.Thread(target=lambda: lines.put(self.process.stdout.readline()), daemon=True).start()
        try:
            line = lines.get(timeout=start_timeout)
        except queue.Empty:
            self.stop()
            raise AssertionError("serve printed no URL")
        match = URL_LINE.match(line.rstrip("\n"))
        if not match:
            self.stop()
            raise AssertionError(f"serve did not start: {line!r} {self.process.stderr.read()!r}")
        self.gauge_name, self.port = match.group(1), int(match.group(2))

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait(timeout=30)
        self.process.stdout.close()
        self.process.stderr.close()

    def worker_pid(self):
        """The process that runs the module: the tool's one child."""
        with open(f"/proc/{self.process.pid}/task/{self.process.pid}/children") as children:
            return int(children.read().split()[0])

    def request(self, method, path, body=None, headers=None, connection=None):
        """(status, body bytes, headers); `body` may be bytes, or anything JSON can hold. Without a
        connection of the caller's, the request goes on a new one of its own (one kept open
        between far-apart requests would be closed by the server meanwhile)."""
        if connection is None:
            with contextlib.closing(self.connect()) as own:
                return self.request(method, path, body, headers, own)
        sent_headers = {"Content-Type": "application/json"} if body is not None else {}
        sent_headers.update(headers or {})
        if body is not None and not isinstance(body, bytes):
            body = json.dumps(body).encode()
        connection.request(method, path, body=body, headers=sent_headers)
        response = connection.getresponse()
        return response.status, response.read(), dict(response.getheaders())

    def connect(self, timeout=60):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def state(self):
        status, body, _ = self.request("GET", "/api/state")
        assert status == 200, (status, body)
        return json.loads(body)

    def frame(self):
        status, body, headers = self.request("GET", "/api/frame.png")
        assert status == 200 and headers["Content-Type"] == "image/png", (status, headers)
        return body

    def point(self, x, y, drag=False):
        status, body, _ = self.request("POST", "/api/point", {"x": x, "y": y, "drag": drag})
        assert status == 200, (status, body)
        return json.loads(body)

    def set_variable(self, var_id, value):
        status, body, _ = self.request("POST", "/api/variables", {"id": var_id, "value": value})
        assert status == 200, (status, body)
        return json.loads(body)


def variable(state, var_id):
    return next(entry["value"] for entry in state["variables"] if entry["id"] == var_id)


def rendered(tool, folder, module, *options):
    """The PNG bytes `gauge_preview render` writes for these options: the same drawing and the
    same encoder as the bench's frames, so equal inputs give equal bytes."""
    out = os.path.join(folder, "render.png")
    subprocess.run([tool, "render", module, *options, "--out", out], check=True, timeout=60)
    with open(out, "rb") as file:
        return file.read()
