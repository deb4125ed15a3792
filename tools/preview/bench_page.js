// The bench page: shows the gauge as the module draws it, points at it as the host does while the
// button is held, and sets the host variables the gauge reads. Everything goes through the JSON
// API the program serves beside the page.
"use strict";

const bench = {
  width: 0,
  height: 0,
  zoom: 2,
  pressed: false,     // the pointer button is held on the gauge
  lastSent: null,     // the pixel last pointed at while held
  cursor: { x: 0, y: 0 },
  work: Promise.resolve(),  // points and variable settings, sent one after another in order
  pending: 0,         // requests queued or on their way
  frameLoading: false,
  frameWanted: false,
  frameUrl: null,
  variableIds: "",
};

const $ = (id) => document.getElementById(id);

function setBusy() {
  document.body.dataset.busy = bench.pending > 0 || bench.frameLoading || bench.frameWanted ? "1" : "0";
}

function say(text) { $("status").textContent = text; }

async function call(method, path, body) {
  const options = { method, headers: {} };
  if (body !== undefined) {
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
  if (!response.ok) throw new Error((await response.text()).trim() || response.statusText);
  return response;
}

// Queues a request that changes the bench; its answer, the new state, is shown, then a new frame.
function send(path, body) {
  bench.pending += 1;
  setBusy();
  bench.work = bench.work.then(async () => {
    try {
      const state = await (await call("POST", path, body)).json();
      showState(state);
      say("");
    } catch (error) {
      say(error.message);
    } finally {
      bench.pending -= 1;
      refreshFrame();
    }
  });
}

// Fetches a frame; while one is on its way, asking again fetches one more after it, not one each.
async function refreshFrame() {
  if (bench.frameLoading) { bench.frameWanted = true; setBusy(); return; }
  bench.frameLoading = true;
  bench.frameWanted = false;
  setBusy();
  try {
    const blob = await (await call("GET", "/api/frame.png")).blob();
    const url = URL.createObjectURL(blob);
    await Promise.all([showImage($("frame-actual"), url), showImage($("frame-enlarged"), url)]);
    if (bench.frameUrl) URL.revokeObjectURL(bench.frameUrl);
    bench.frameUrl = url;
    document.body.dataset.frames = String(Number(document.body.dataset.frames) + 1);
  } catch (error) {
    say(error.message);
  } finally {
    bench.frameLoading = false;
    if (bench.frameWanted) refreshFrame(); else setBusy();
  }
}

function showImage(image, url) {
  return new Promise((resolve) => {
    image.onload = image.onerror = () => resolve();
    image.src = url;
  });
}

function element(tag, text, attributes = {}) {
  const made = document.createElement(tag);
  if (text !== undefined && text !== null) made.textContent = text;
  for (const [name, value] of Object.entries(attributes)) made.setAttribute(name, value);
  return made;
}

function row(cells) {
  const tr = document.createElement("tr");
  for (const cell of cells) tr.append(element("td", cell));
  return tr;
}

function number(value) {
  return Number.isInteger(value) ? String(value) : String(Math.round(value * 1e6) / 1e6);
}

function reading(shown) {
  const read = shown.reading;
  if (!read) return "";
  if (shown.kind === "needle") return "value " + number(read.value);
  if (shown.kind === "icon") return "picture " + read.picture + " (bitmap " + read.bitmap + "), callback " + number(read.callback_result);
  if (shown.kind === "slider") return "shifted (" + read.shift.join(", ") + ")";
  return "";
}

function showState(state) {
  if (bench.width !== state.gauge.width || bench.height !== state.gauge.height) {
    bench.width = state.gauge.width;
    bench.height = state.gauge.height;
    document.title = "Gauge bench: " + state.gauge.name;
    $("gauge-name").textContent = state.gauge.name;
    $("module-path").textContent = state.gauge.module;
    $("point-x").max = String(bench.width - 1);
    $("point-y").max = String(bench.height - 1);
    layOut();
  }

  const elements = $("elements").tBodies[0];
  elements.replaceChildren(...state.elements.map((shown) => {
    const inputs = Object.entries(shown.inputs).map(([role, id]) => role + ": var " + id).join(", ");
    const tr = row([shown.index, shown.kind, shown.bitmap, "(" + shown.position.join(", ") + ")", inputs, reading(shown)]);
    tr.dataset.kind = shown.kind;
    tr.lastChild.className = "reading";
    return tr;
  }));

  showVariables(state.variables);

  $("events-sent").textContent = "(" + state.events_sent + " in all)";
  $("events").replaceChildren(...state.events.slice().reverse().map((event) => {
    const sets = event.set_variables.length ? ", sets variable " + event.set_variables.join(", ") : "";
    const item = element("li", "event " + event.id + " value " + event.value + sets, { value: event.number });
    item.dataset.id = event.id;
    item.dataset.value = event.value;
    return item;
  }));

  $("columns").tBodies[0].replaceChildren(...state.mouse_columns.map((column) => row([
    column.record,
    column.box.x + ".." + (column.box.x + column.box.width - 1),
    column.box.y + ".." + (column.box.y + column.box.height - 1),
    column.mask,
    column.takes_drags ? "press and drag" : "press only",
  ])));
  const calls = state.module_calls;
  $("module-calls").textContent = calls.made + " calls into the module, " + calls.overlapping +
    " of them overlapping another; " + state.frames_drawn + " frames drawn";
}

// One fieldset a variable: a slider over its range and a number box, both labelled.
function showVariables(variables) {
  const ids = variables.map((variable) => variable.id).join(",");
  if (ids !== bench.variableIds) {
    bench.variableIds = ids;
    $("variables").replaceChildren(...variables.map(variableControl));
  }
  for (const variable of variables) {
    const range = $("var-" + variable.id + "-range");
    const box = $("var-" + variable.id + "-number");
    range.min = String(variable.range[0]);
    range.max = String(variable.range[1]);
    if (document.activeElement !== range) range.value = String(variable.value);
    if (document.activeElement !== box) box.value = String(variable.value);
  }
}

function variableControl(variable) {
  const set = element("fieldset");
  const legend = element("legend", "Variable " + variable.id + " ");
  legend.append(element("small", variable.roles.join("; ")));
  set.append(legend);
  const name = "Variable " + variable.id;
  const range = element("input", null, { type: "range", id: "var-" + variable.id + "-range", step: "1", "aria-label": name + " slider" });
  const box = element("input", null, { type: "number", id: "var-" + variable.id + "-number", step: "any", "aria-label": name + " value" });
  const sliderLabel = element("label", "slider ");
  sliderLabel.append(range);
  const boxLabel = element("label", "value ");
  boxLabel.append(box);
  set.append(sliderLabel, boxLabel);
  range.addEventListener("input", () => setVariable(variable.id, Number(range.value)));
  box.addEventListener("change", () => {
    if (box.value.trim() === "" || !Number.isFinite(Number(box.value))) { say("variable " + variable.id + ": not a number"); return; }
    setVariable(variable.id, Number(box.value));
  });
  return set;
}

function setVariable(id, value) { send("/api/variables", { id, value }); }

function point(x, y, drag) {
  $("pointer-at").textContent = "pointed at (" + x + ", " + y + ")";
  send("/api/point", drag ? { x, y, drag: true } : { x, y });
}

// The gauge pixel under a pointer event, or null outside the gauge.
function pixelAt(event) {
  const box = $("frame-enlarged").getBoundingClientRect();
  const x = Math.floor((event.clientX - box.left) / bench.zoom);
  const y = Math.floor((event.clientY - box.top) / bench.zoom);
  return x >= 0 && y >= 0 && x < bench.width && y < bench.height ? { x, y } : null;
}

function layOut() {
  const enlarged = $("frame-enlarged");
  enlarged.style.width = bench.width * bench.zoom + "px";
  enlarged.style.height = bench.height * bench.zoom + "px";
  $("frame-actual").style.width = bench.width + "px";
  $("frame-actual").style.height = bench.height + "px";
  showCursor();
}

function showCursor() {
  const cursor = $("cursor");
  cursor.style.left = bench.cursor.x * bench.zoom + "px";
  cursor.style.top = bench.cursor.y * bench.zoom + "px";
  cursor.style.width = cursor.style.height = bench.zoom + "px";
}

function listen() {
  const view = $("enlarged");
  view.addEventListener("pointerdown", (event) => {
    if (event.button !== 0) return;
    const at = pixelAt(event);
    if (!at) return;
    event.preventDefault();
    view.focus();
    view.setPointerCapture(event.pointerId);
    bench.pressed = true;
    bench.lastSent = at;
    point(at.x, at.y, false);
  });
  // Every move while the button is held is one point, as the host gives it; a move within the
  // same gauge pixel is no move.
  view.addEventListener("pointermove", (event) => {
    if (!bench.pressed) return;
    const at = pixelAt(event);
    if (!at || (bench.lastSent && at.x === bench.lastSent.x && at.y === bench.lastSent.y)) return;
    bench.lastSent = at;
    point(at.x, at.y, true);
  });
  const release = () => { bench.pressed = false; bench.lastSent = null; };
  view.addEventListener("pointerup", release);
  view.addEventListener("pointercancel", release);

  view.addEventListener("keydown", (event) => {
    const step = event.shiftKey ? 10 : 1;
    const moves = { ArrowLeft: [-step, 0], ArrowRight: [step, 0], ArrowUp: [0, -step], ArrowDown: [0, step] };
    if (moves[event.key]) {
      const [dx, dy] = moves[event.key];
      bench.cursor.x = Math.min(Math.max(bench.cursor.x + dx, 0), bench.width - 1);
      bench.cursor.y = Math.min(Math.max(bench.cursor.y + dy, 0), bench.height - 1);
      $("cursor").hidden = false;
      showCursor();
      $("pointer-at").textContent = "pointer at (" + bench.cursor.x + ", " + bench.cursor.y + ")";
    } else if (event.key === " " || event.key === "Enter") {
      point(bench.cursor.x, bench.cursor.y, false);
    } else {
      return;
    }
    event.preventDefault();
  });

  $("zoom").addEventListener("change", () => { bench.zoom = Number($("zoom").value); layOut(); });
  $("point-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const x = Number($("point-x").value), y = Number($("point-y").value);
    if (!Number.isInteger(x) || !Number.isInteger(y)) { say("x and y are whole pixels"); return; }
    point(x, y, false);
  });
}

async function start() {
  listen();
  try {
    showState(await (await call("GET", "/api/state")).json());
  } catch (error) {
    say(error.message);
  }
  refreshFrame();
}

start();
