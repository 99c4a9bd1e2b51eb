// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The live tuning page: one WebSocket to padhost. The server holds the
// controller's state as last read back from padprobe; this page shows it,
// with each action's status where the action was taken and every field the
// controller refused or changed marked. Charts come from batched updates.
// Nothing here builds request text: the server does.
"use strict";

const COMMON = [
  ["scan_int", "scan_interval"], ["avg_samp", "sample_num"], ["etc_en", "etc_enable"],
  ["etc_int", "etc_interval"], ["step", "etc_step"], ["etc_factor", "etc_factor"],
  ["deb_en", "debounce_en"], ["deb_cnt", "debounce_times"],
];
const CHANNEL = ["enable", "mbias", "diff_th", "abs_th", "nn_th", "pn_th"];
const COLOURS = ["#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                 "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22"];
const LOG_SHOWN = 500;
const TOKEN_KEY = "padhost-control";
const RECONNECT_MS = 2000;
const FULL_RETRY_MS = 10000;

const page = {
  ws: null, controls: false, rules: [], channels: 9, state: null, paused: false,
  charts: null, thresholds: {}, undrawn: [], drawScheduled: false,
  // place -> {watch: the action's place, time: its time when asked}: the
  // place's fields are filled from the read-back once that action is done.
  pending: {}, capture: null, retryMs: RECONNECT_MS,
};
// Lag from a frame's arrival at the server to its point on the chart, in
// milliseconds, for the benchmark: the newest and the oldest frame of each
// drawn batch. `transit` is from a batch's sending to its receipt, `draw`
// what drawing the charts took.
window.padLag = { newest: [], oldest: [], transit: [], draw: [], batches: 0, drawn: 0 };
window.padLast = null; // the newest batch's health, for the benchmark

const $ = (id) => document.getElementById(id);

function el(tag, attrs, text) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, v);
  if (text !== undefined) e.textContent = text;
  return e;
}

function send(op) {
  if (page.ws && page.ws.readyState === WebSocket.OPEN) page.ws.send(JSON.stringify(op));
}

// Fills `place` from the read-back that the action at `watch` ends with.
function expect(place, watch) {
  const action = page.state && page.state.actions[watch];
  page.pending[place] = { watch, time: action ? action.time : null };
}

// --- building the page ---------------------------------------------------

function build() {
  const mon = $("monitor-channels");
  for (let ch = 0; ch < page.channels; ch++) {
    const m = el("label", {}, `ch${ch}`);
    const box = el("input", { type: "checkbox", class: "mon-ch control", "data-ch": ch });
    box.checked = true;
    m.prepend(box);
    mon.append(m);
  }
  const form = $("common");
  for (const [member, attribute] of COMMON) {
    const label = el("label", { title: attribute }, member);
    label.append(el("input", { type: "text", inputmode: "numeric", name: member, id: `common-${member}` }));
    form.append(label);
  }
  form.addEventListener("input", () => warnCommon());
  const body = document.querySelector("#channels tbody");
  for (let ch = 0; ch < page.channels; ch++) {
    const row = el("tr", { id: `ch-${ch}` });
    row.append(el("td", {}, `${ch}`));
    for (const member of CHANNEL) {
      const td = el("td");
      td.append(el("input", { type: "text", inputmode: "numeric", name: member, id: `ch${ch}-${member}` }));
      row.append(td);
    }
    const buttons = el("td", { class: "row-buttons" });
    const read = el("button", { class: "control", id: `read-${ch}` }, "Read");
    const apply = el("button", { class: "control", id: `apply-${ch}` }, "Apply");
    const tune = el("button", { class: "control", id: `tune-${ch}`, title: "MBias auto-tune: target 3300, tolerance 300" }, "Tune");
    read.addEventListener("click", () => { expect(`ch${ch}`, `ch${ch}`); send({ op: "query_ch", ch }); });
    apply.addEventListener("click", () => {
      expect(`ch${ch}`, `ch${ch}`);
      send({ op: "config_ch", ch, values: values(`ch${ch}-`, CHANNEL) });
    });
    tune.addEventListener("click", () => { expect(`ch${ch}`, `ch${ch}`); send({ op: "tune", ch }); });
    buttons.append(read, apply, tune);
    row.append(buttons);
    row.addEventListener("input", () => warnChannel(ch));
    const statusRow = el("tr", { id: `ch-status-row-${ch}`, class: "status-row", hidden: "" });
    statusRow.append(el("td"), el("td", { colspan: 7, id: `status-ch${ch}`, class: "status" }));
    body.append(row, statusRow);
  }
  $("common-read").addEventListener("click", () => { expect("common", "common"); send({ op: "query" }); });
  $("common-apply").addEventListener("click", () => {
    expect("common", "common");
    send({ op: "config", values: values("common-", COMMON.map((c) => c[0])) });
  });
  $("refresh").addEventListener("click", () => {
    expect("common", "common");
    for (let ch = 0; ch < page.channels; ch++) expect(`ch${ch}`, "common");
    send({ op: "refresh" });
  });
  $("start").addEventListener("click", () => {
    const channels = [...document.querySelectorAll(".mon-ch")]
      .filter((b) => b.checked).map((b) => Number(b.dataset.ch));
    // Start writes chx_enable of every channel: the table shows what the
    // controller holds after it.
    for (let ch = 0; ch < page.channels; ch++) expect(`ch${ch}`, "monitor");
    send({ op: "start", samp_int: $("samp_int").value, channels });
  });
  $("stop").addEventListener("click", () => send({ op: "stop" }));
  $("reset").addEventListener("click", () => {
    expect("common", "controller");
    for (let ch = 0; ch < page.channels; ch++) expect(`ch${ch}`, "controller");
    send({ op: "reset" });
  });
  $("pause").addEventListener("click", () => {
    page.paused = !page.paused;
    $("pause").textContent = page.paused ? "Resume charts" : "Pause charts";
    if (!page.paused) page.charts.draw();
  });
  for (const radio of document.querySelectorAll("input[name=view]")) {
    radio.addEventListener("change", () => page.charts.setView(radio.value));
  }
  $("window").addEventListener("change", () => {
    page.charts.seconds = Math.max(1, Math.min(60, Number($("window").value) || 10));
  });
  $("record").addEventListener("click", () => {
    const on = !page.state || page.state.recording.state === "off";
    send({ op: "record", on });
  });
  for (const w of ["untouched", "touched"]) {
    $(`snr-${w}`).addEventListener("click", () => send({ op: "snr", window: w, seconds: $("snr-seconds").value }));
  }
  $("ask-control").addEventListener("click", () => send({ op: "ask_control" }));
  $("hand-over").addEventListener("click", () => send({ op: "answer_control", hand_over: true }));
  $("keep-control").addEventListener("click", () => send({ op: "answer_control", hand_over: false }));
  page.charts = new SmallMultiples($("charts"), COLOURS);
  setInterval(countdown, 200);
}

function values(prefix, members) {
  const out = {};
  for (const m of members) out[m] = $(`${prefix}${m}`).value;
  return out;
}

// --- range warnings, shown before anything is sent -------------------------

function warningsFor(type, prefix, members) {
  const found = [];
  for (const m of members) {
    const input = $(`${prefix}${m}`);
    const rule = page.rules.find((r) => r.type === type && r.member === m);
    const text = input.value.trim();
    const v = /^[+-]?[0-9]+$/.test(text) ? Number(text) : NaN;
    const bad = rule && Number.isInteger(v) && v >= rule.limit;
    input.classList.toggle("warn", !!bad);
    input.classList.toggle("edited", input.value !== (input.dataset.loaded || ""));
    if (bad) found.push(`"${rule.attribute}" ${v} is above ${rule.limit - 1}: the controller warns and writes it anyway`);
  }
  return found;
}

function warnCommon() {
  $("common-warnings").textContent = warningsFor("config", "common-", COMMON.map((c) => c[0])).join("\n");
}

function warnChannel(ch) {
  const found = warningsFor("config_ch", `ch${ch}-`, CHANNEL);
  showStatus(`ch${ch}`, found.length ? { level: "warn", text: found.join("; ") } : null, true);
}

// --- state from the server ----------------------------------------------

// The fields of `place` from what was read back; a field the user is
// editing keeps its text unless the place's own action just ended.
function fill(place, prefix, members, valuesFrom, marks) {
  let force = false;
  const pending = page.pending[place];
  if (pending) {
    const action = page.state.actions[pending.watch];
    if (action && action.time !== pending.time && action.level !== "busy") {
      force = true;
      delete page.pending[place];
    }
  }
  for (const m of members) {
    const input = $(`${prefix}${m}`);
    const v = !valuesFrom || valuesFrom[m] === undefined || valuesFrom[m] === null ? "" : String(valuesFrom[m]);
    const edited = input.value !== (input.dataset.loaded || "");
    input.dataset.loaded = v;
    if (force || !edited) input.value = v;
    const mark = marks && marks[m];
    for (const kind of ["refused", "changed", "unconfirmed"]) {
      input.classList.toggle(`mark-${kind}`, !!mark && mark.verdict === kind);
    }
    input.title = mark ? mark.text : "";
  }
}

function showStatus(place, action, warningsOnly) {
  const node = $(`status-${place}`);
  if (!node) return;
  if (!warningsOnly || action) {
    node.textContent = action ? action.text : "";
    node.className = `status ${action ? action.level : ""}`;
  }
  const row = $(`ch-status-row-${place.slice(2)}`);
  if (place.startsWith("ch") && row) row.hidden = node.textContent === "";
}

function onState(s) {
  page.state = s;
  fill("common", "common-", COMMON.map((c) => c[0]), s.common, s.marks.common);
  $("chip_name").textContent = s.common && s.common.chip_name ? `(${s.common.chip_name})` : "";
  warnCommon();
  for (let ch = 0; ch < page.channels; ch++) {
    const v = s.channels[String(ch)];
    fill(`ch${ch}`, `ch${ch}-`, CHANNEL, v, s.marks[`ch${ch}`]);
    page.thresholds[ch] = v ? v.diff_th : undefined;
    page.charts.setThreshold(ch, page.thresholds[ch]);
  }
  for (const place of ["common", "monitor", "controller", "record", "snr"]) {
    showStatus(place, s.actions[place]);
  }
  for (let ch = 0; ch < page.channels; ch++) {
    const action = s.actions[`ch${ch}`];
    showStatus(`ch${ch}`, action);
    if (!action) warnChannel(ch);
  }
  const m = s.monitor;
  const words = {
    running: `running, ${m.samp_int ?? "?"} ms, ch ${m.channels.join(",")}`,
    stopped: "stopped",
    unknown: "unknown: a start or stop went unanswered",
  }[m.state];
  // While the link is in doubt, what is shown is what was last known.
  const doubt = s.link.state !== "ok" && s.link.state !== "reading" ? " (as last known)" : "";
  $("monitor-state").textContent = `monitor ${words}${doubt}`;
  $("monitor-state").className = `state ${m.state}`;
  if (page.charts.channels.length === 0 && m.state === "running") setWatched(m.channels);
  const link = s.link;
  $("link").textContent = `link: ${link.text}`;
  $("link").className = `badge ${link.state === "ok" ? "on" : link.state === "reading" ? "" : "off"}`;
  $("link").dataset.state = link.state;
  const stale = link.stale && m.state !== "stopped";
  $("charts-box").classList.toggle("stale", stale);
  $("stale-note").hidden = !stale;
  $("stale-note").textContent = stale ? `stale: ${link.text}` : "";
  showRecording(s.recording);
  showSnr(s.snr);
  applyRole();
}

function showRecording(r) {
  $("record").textContent = r.state === "off" ? "Record" : "Stop recording";
  $("recorded").title = `recordings are kept in ${r.folder}`;
  showRecorded(r.frames);
  $("download").hidden = !r.file;
}

// The counter runs with every batch; the file and where it is, with it.
function showRecorded(frames) {
  const r = page.state ? page.state.recording : null;
  if (!r) return;
  let words = `recordings go to ${r.folder}`;
  if (r.state === "armed") words = "armed: waiting for frames";
  else if (r.file) words = `${frames} frames ${r.state === "writing" ? "so far " : ""}in ${r.file}`;
  $("recorded").textContent = words;
}

function clock(t) {
  return new Date(t * 1000).toLocaleTimeString();
}

function showSnr(snr) {
  const parts = [];
  for (const name of ["untouched", "touched"]) {
    const w = snr.windows[name];
    parts.push(w ? `${name} window: ${w.seconds} s at samp_int ${w.samp_int ?? "?"} ms from ${clock(w.began)}, ${w.frames} frames`
                 : `${name} window: not taken`);
  }
  $("snr-windows").textContent = parts.join("\n");
  page.capture = snr.capture ? { name: snr.capture.name, ends: performance.now() + 1000 * snr.capture.left_s } : null;
  countdown();
  const body = document.querySelector("#snr-table tbody");
  body.replaceChildren(...snr.rows.map((r) => {
    const tr = el("tr", { id: `snr-${r.ch}` });
    const one = (v) => (v === null || v === undefined ? "-" : v.toFixed(1));
    for (const v of [r.ch, r.threshold ?? "-", r.noise_pp, one(r.noise_rms), r.touched,
                     one(r.signal), one(r.snr), one(r.snr_db)]) {
      tr.append(el("td", {}, String(v)));
    }
    return tr;
  }));
}

function countdown() {
  if (!page.capture) return;
  const left = Math.max(0, (page.capture.ends - performance.now()) / 1000);
  $("status-snr").textContent = `taking the ${page.capture.name} window: ${left.toFixed(1)} s left`;
  $("status-snr").className = "status busy";
}

function applyRole() {
  for (const b of document.querySelectorAll(".control, #common input, #channels input")) {
    b.disabled = !page.controls;
  }
}

function onLog(entry) {
  const cls = { ">": "out", "<": "in", "!": "note", p: "probe" }[entry.dir] || "";
  const line = el("div", { class: cls }, `${entry.time.toFixed(3)} ${entry.dir} ${entry.text}`);
  const log = $("log");
  const atBottom = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.append(line);
  while (log.childElementCount > LOG_SHOWN) log.firstElementChild.remove();
  if (atBottom) log.scrollTop = log.scrollHeight;
}

function onRole(r) {
  page.controls = r.controls;
  $("role").textContent = r.text;
  $("role").className = r.controls ? "badge on" : "badge ro";
  if (r.controls && r.token) sessionStorage.setItem(TOKEN_KEY, r.token);
  if (!r.controls) sessionStorage.removeItem(TOKEN_KEY);
  $("ask-control").hidden = r.controls;
  $("ask-control").disabled = !!r.asking;
  $("ask-control").textContent = r.asking ? `Asked (${Math.round(r.asking.left_s)} s)` : "Ask for control";
  $("asked").hidden = !(r.controls && r.asked);
  if (r.asked) $("asked-left").textContent = `(hands over by itself in ${Math.round(r.asked.left_s)} s)`;
  applyRole();
}

function refusedNote(text) {
  $("refused").textContent = text;
  $("refused").hidden = false;
  clearTimeout(page.refusedTimer);
  page.refusedTimer = setTimeout(() => { $("refused").hidden = true; }, 8000);
}

// --- charts -----------------------------------------------------------------

function setWatched(channels) {
  page.charts.reset(channels);
  for (const ch of channels) page.charts.setThreshold(ch, page.thresholds[ch]);
}

function onBatch(b) {
  window.padLag.batches++;
  window.padLag.transit.push(performance.timeOrigin + performance.now() - b.sent * 1000);
  if (window.padLag.transit.length > 20000) window.padLag.transit.splice(0, 10000);
  const h = b.health;
  window.padLast = h;
  for (const k of ["fps", "frames", "gaps", "missing", "duplicates", "backwards", "restarts",
                   "xor_errors", "length_errors", "junk_bytes"]) {
    $(k).textContent = h[k];
  }
  $("snr").textContent = h.snr === null ? "none" : h.snr.toFixed(2);
  const st = h.stall;
  $("stall").textContent = `${st.recent_ms} ms (own work ${st.recent_busy_ms}); worst ${st.worst_ms} (${st.worst_busy_ms})`;
  const rate = h.rate;
  $("rate").textContent = rate ? rate.text : "";
  $("rate").className = rate && rate.warning ? "rate-warning" : "";
  showRecorded(h.recorded);
  for (const ch of page.charts.channels) {
    page.charts.showPeak(ch, b.peak_diff[String(ch)], page.thresholds[ch]);
  }
  if (b.points.length === 0) return;
  page.charts.add(b.points);
  if (page.paused) return;
  // Batches that come while the browser is busy are drawn together, once
  // per animation frame, so the page never works through a backlog.
  page.undrawn.push([b.points[b.points.length - 1][0] * 1000, b.points[0][0] * 1000]);
  if (!page.drawScheduled) {
    page.drawScheduled = true;
    requestAnimationFrame(draw);
  }
}

function draw() {
  page.drawScheduled = false;
  if (page.paused) {
    page.undrawn = [];
    return;
  }
  const began = performance.now();
  page.charts.draw();
  window.padLag.draw.push(performance.now() - began);
  const marks = page.undrawn;
  page.undrawn = [];
  // The next animation frame begins once this one, with the new points, is
  // on the screen.
  requestAnimationFrame(() => {
    const now = performance.timeOrigin + performance.now();
    const lag = window.padLag;
    lag.drawn++;
    for (const [newest, oldest] of marks) {
      lag.newest.push(now - newest);
      lag.oldest.push(now - oldest);
    }
    for (const list of [lag.newest, lag.oldest, lag.draw]) {
      if (list.length > 20000) list.splice(0, 10000);
    }
  });
}

// --- the socket ---------------------------------------------------------------

function connect() {
  const token = sessionStorage.getItem(TOKEN_KEY);
  const query = token ? `?control=${encodeURIComponent(token)}` : "";
  const ws = new WebSocket(`ws://${location.host}/ws${query}`);
  page.ws = ws;
  ws.addEventListener("open", () => {
    $("conn").textContent = "connected to padhost";
    $("conn").className = "badge on";
    page.retryMs = RECONNECT_MS;
  });
  ws.addEventListener("close", () => {
    $("conn").textContent = `not connected to padhost: trying again every ${page.retryMs / 1000} s`;
    $("conn").className = "badge off";
    page.controls = false;
    applyRole();
    setTimeout(connect, page.retryMs);
  });
  ws.addEventListener("message", (event) => {
    const m = JSON.parse(event.data);
    switch (m.kind) {
      case "hello":
        page.rules = m.rules;
        $("log").replaceChildren();
        m.log.forEach(onLog);
        onRole(m.role);
        onState(m.state);
        break;
      case "role": onRole(m); break;
      case "state": onState(m); break;
      case "log": onLog(m.entry); break;
      case "batch": onBatch(m); break;
      case "restart": setWatched(m.channels); break;
      case "refused": refusedNote(m.text); break;
      case "full":
        refusedNote(m.text);
        page.retryMs = FULL_RETRY_MS;
        break;
    }
  });
}

build();
connect();
