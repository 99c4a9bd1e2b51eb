// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The live tuning page: one WebSocket to padhost, batched updates drawn
// into two charts, tiles and the link's health; forms that become requests
// on the server. Nothing here builds request text: the server does.
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

const page = {
  ws: null, controls: false, rules: [], channels: 9, state: null,
  watched: [], shown: new Set([0, 1, 2, 3, 4, 5, 6, 7, 8]), paused: false,
  t0: null, avgRows: [], diffRows: [], charts: null, thresholds: {},
  forceFill: new Set(), undrawn: [], drawScheduled: false,
};
// Lag from a frame's arrival at the server to its point on the chart, in
// milliseconds, for the benchmark: the newest and the oldest frame of each
// drawn batch.
// `transit` is from a batch's sending to its receipt, `draw` what drawing
// both charts took.
window.padLag = { newest: [], oldest: [], transit: [], draw: [], batches: 0, drawn: 0 };

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

// --- building the page ---------------------------------------------------

function build() {
  const mon = $("monitor-channels"), show = $("show-channels"), tiles = $("tiles");
  for (let ch = 0; ch < page.channels; ch++) {
    const m = el("label", {}, `ch${ch}`);
    const box = el("input", { type: "checkbox", class: "mon-ch control", "data-ch": ch });
    box.checked = true;
    m.prepend(box);
    mon.append(m);
    const s = el("label", {}, `${ch}`);
    const sbox = el("input", { type: "checkbox", class: "show-ch", "data-ch": ch });
    sbox.checked = true;
    sbox.addEventListener("change", () => {
      if (sbox.checked) page.shown.add(ch); else page.shown.delete(ch);
      applyVisibility();
    });
    s.prepend(sbox);
    show.append(s);
    const tile = el("div", { id: `tile-${ch}`, class: "tile" });
    tile.append(el("b", {}, `ch${ch}`), el("span", { id: `tile-diff-${ch}` }, "-"));
    tiles.append(tile);
  }
  const form = $("common");
  for (const [member, attribute] of COMMON) {
    const label = el("label", { title: attribute }, member);
    label.append(el("input", { type: "number", name: member, id: `common-${member}` }));
    form.append(label);
  }
  form.addEventListener("input", () => warnCommon());
  const body = document.querySelector("#channels tbody");
  for (let ch = 0; ch < page.channels; ch++) {
    const row = el("tr", { id: `ch-${ch}` });
    row.append(el("td", {}, `${ch}`));
    for (const member of CHANNEL) {
      const td = el("td");
      td.append(el("input", { type: "number", name: member, id: `ch${ch}-${member}` }));
      row.append(td);
    }
    const buttons = el("td");
    const read = el("button", { class: "control", id: `read-${ch}` }, "Read");
    const apply = el("button", { class: "control", id: `apply-${ch}` }, "Apply");
    const tune = el("button", { class: "control", id: `tune-${ch}` }, "Tune");
    read.addEventListener("click", () => { page.forceFill.add(`ch${ch}`); send({ op: "query_ch", ch }); });
    apply.addEventListener("click", () => {
      page.forceFill.add(`ch${ch}`);
      send({ op: "config_ch", ch, values: values(`ch${ch}-`, CHANNEL) });
    });
    tune.addEventListener("click", () => { page.forceFill.add(`ch${ch}`); send({ op: "tune", ch }); });
    buttons.append(read, apply, tune);
    row.append(buttons, el("td", { class: "tune", id: `tune-result-${ch}` }),
               el("td", { class: "note", id: `ch-warn-${ch}` }));
    row.addEventListener("input", () => warnChannel(ch));
    body.append(row);
  }
  $("common-read").addEventListener("click", () => { page.forceFill.add("common"); send({ op: "query" }); });
  $("common-apply").addEventListener("click", () => {
    page.forceFill.add("common");
    send({ op: "config", values: values("common-", COMMON.map((c) => c[0])) });
  });
  $("start").addEventListener("click", () => {
    const channels = [...document.querySelectorAll(".mon-ch")]
      .filter((b) => b.checked).map((b) => Number(b.dataset.ch));
    send({ op: "start", samp_int: $("samp_int").value, channels });
  });
  $("stop").addEventListener("click", () => send({ op: "stop" }));
  $("pause").addEventListener("click", () => {
    page.paused = !page.paused;
    $("pause").textContent = page.paused ? "Resume charts" : "Pause charts";
    if (!page.paused) redraw();
  });
  $("record").addEventListener("click", () => send({ op: "record", on: !page.state.recording }));
  for (const w of ["untouched", "touched"]) {
    $(`snr-${w}`).addEventListener("click", () => send({ op: "snr", window: w, seconds: $("snr-seconds").value }));
  }
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
    const v = Number(input.value);
    const bad = rule && input.value !== "" && Number.isInteger(v) && v >= rule.limit;
    input.classList.toggle("warn", !!bad);
    input.classList.toggle("edited", input.value !== (input.dataset.loaded || ""));
    if (bad) found.push(`"${rule.attribute}" ${v} is above ${rule.limit - 1}: the controller warns and writes it anyway`);
  }
  return found;
}

function warnCommon() {
  const found = warningsFor("config", "common-", COMMON.map((c) => c[0]));
  $("common-warnings").textContent = found.join("\n");
}

function warnChannel(ch) {
  const found = warningsFor("config_ch", `ch${ch}-`, CHANNEL);
  $(`ch-warn-${ch}`).textContent = found.join("; ");
}

// --- state from the server ----------------------------------------------

function fill(prefix, members, valuesFrom, key) {
  const force = page.forceFill.delete(key);
  for (const m of members) {
    const input = $(`${prefix}${m}`);
    const v = valuesFrom[m] === undefined || valuesFrom[m] === null ? "" : String(valuesFrom[m]);
    const edited = input.value !== (input.dataset.loaded || "");
    input.dataset.loaded = v;
    if (force || !edited) input.value = v;
  }
}

function onState(s) {
  page.state = s;
  if (s.common) {
    fill("common-", COMMON.map((c) => c[0]), s.common, "common");
    $("chip_name").textContent = s.common.chip_name ? `(${s.common.chip_name})` : "";
    warnCommon();
  }
  for (const [ch, v] of Object.entries(s.channels)) {
    fill(`ch${ch}-`, CHANNEL, v, `ch${ch}`);
    page.thresholds[ch] = v.diff_th;
    warnChannel(Number(ch));
  }
  for (let ch = 0; ch < page.channels; ch++) {
    $(`tune-result-${ch}`).textContent = s.tunes[String(ch)] || "";
  }
  const m = s.monitor;
  $("monitor-state").textContent = m.running ? `running, ${m.samp_int} ms, ch ${m.channels.join(",")}` : "stopped";
  if (page.watched.length === 0 && m.channels) setWatched(m.channels);
  $("record").textContent = s.recording ? "Stop recording" : "Record";
  $("recorded").textContent = `${s.recorded} frames${s.recording ? " (recording)" : ""}` +
    (s.recording_full ? ", full" : "");
  const w = s.windows;
  $("snr-state").textContent = s.capturing ? `taking the ${s.capturing} window...` :
    `untouched window: ${w.untouched || 0} frames, touched window: ${w.touched || 0} frames`;
  const body = document.querySelector("#snr-table tbody");
  body.replaceChildren(...s.snr.map((r) => {
    const tr = el("tr", { id: `snr-${r.ch}` });
    for (const v of [r.ch, r.noise, r.touched, r.signal ?? "-", r.snr ?? "-"]) tr.append(el("td", {}, String(v)));
    return tr;
  }));
  applyRole();
}

function applyRole() {
  for (const b of document.querySelectorAll(".control, #common input, #channels input")) {
    b.disabled = !page.controls;
  }
}

function onLog(entry) {
  const cls = { ">": "out", "<": "in", "!": "note" }[entry.dir] || "";
  const line = el("div", { class: cls }, `${entry.time.toFixed(3)} ${entry.dir} ${entry.text}`);
  const log = $("log");
  const atBottom = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.append(line);
  while (log.childElementCount > LOG_SHOWN) log.firstElementChild.remove();
  if (atBottom) log.scrollTop = log.scrollHeight;
}

// --- charts -----------------------------------------------------------------

function setWatched(channels) {
  page.watched = channels.slice();
  page.t0 = null;
  page.avgRows = [];
  page.diffRows = [];
  for (let ch = 0; ch < page.channels; ch++) {
    $(`tile-${ch}`).classList.toggle("watched", channels.includes(ch));
    $(`tile-${ch}`).classList.remove("lit");
    $(`tile-diff-${ch}`).textContent = "-";
  }
  makeCharts();
}

function makeCharts() {
  const avgLabels = ["t"], diffLabels = ["t"], avgSeries = {}, colours = [], diffColours = [];
  for (const ch of page.watched) {
    avgLabels.push(`ch${ch} avg`, `ch${ch} base`);
    avgSeries[`ch${ch} base`] = { strokePattern: [4, 3] };
    colours.push(COLOURS[ch], COLOURS[ch]);
    diffLabels.push(`ch${ch}`);
    diffColours.push(COLOURS[ch]);
  }
  const common = { xlabel: "s", legend: "always", labelsSeparateLines: false, animatedZooms: false,
                   strokeWidth: 1, drawPoints: false, connectSeparatedPoints: true };
  const empty = (n) => [[0, ...new Array(n).fill(null)]];
  page.charts = {
    avg: new Dygraph($("chart-avg"), empty(avgLabels.length - 1),
                     { ...common, labels: avgLabels, series: avgSeries, colors: colours,
                       labelsDiv: $("legend-avg") }),
    diff: new Dygraph($("chart-diff"), empty(diffLabels.length - 1),
                      { ...common, labels: diffLabels, colors: diffColours,
                       labelsDiv: $("legend-diff") }),
  };
  applyVisibility();
}

function applyVisibility() {
  if (!page.charts) return;
  const avgVis = [], diffVis = [];
  for (const ch of page.watched) {
    const on = page.shown.has(ch);
    avgVis.push(on, on);
    diffVis.push(on);
  }
  page.charts.avg.updateOptions({ visibility: avgVis });
  page.charts.diff.updateOptions({ visibility: diffVis });
}

function redraw() {
  if (!page.charts || page.avgRows.length === 0) return;
  page.charts.avg.updateOptions({ file: page.avgRows });
  page.charts.diff.updateOptions({ file: page.diffRows });
}

function onBatch(b) {
  window.padLag.batches++;
  window.padLag.transit.push(performance.timeOrigin + performance.now() - b.sent * 1000);
  if (window.padLag.transit.length > 20000) window.padLag.transit.splice(0, 10000);
  const h = b.health;
  for (const k of ["fps", "frames", "gaps", "missing", "duplicates", "xor_errors", "length_errors", "junk_bytes"]) {
    $(k).textContent = h[k];
  }
  $("snr").textContent = h.snr === null ? "none" : h.snr.toFixed(2);
  for (let ch = 0; ch < page.channels; ch++) {
    const d = b.peak_diff[String(ch)];
    const th = page.thresholds[String(ch)];
    $(`tile-${ch}`).classList.toggle("lit", d !== undefined && th !== undefined && d > th);
    if (d !== undefined) $(`tile-diff-${ch}`).textContent = `${d} / ${th ?? "?"}`;
  }
  if (b.points.length === 0) return;
  const index = new Map(page.watched.map((ch, i) => [ch, i]));
  for (const [arrival, , records] of b.points) {
    if (page.t0 === null) page.t0 = arrival;
    const x = arrival - page.t0;
    const avg = new Array(1 + 2 * page.watched.length).fill(null);
    const diff = new Array(1 + page.watched.length).fill(null);
    avg[0] = diff[0] = x;
    for (const [ch, a, base, d] of records) {
      const i = index.get(ch);
      if (i === undefined) continue;
      avg[1 + 2 * i] = a;
      avg[2 + 2 * i] = base;
      diff[1 + i] = d;
    }
    page.avgRows.push(avg);
    page.diffRows.push(diff);
  }
  const since = page.avgRows[page.avgRows.length - 1][0] - Number($("window").value || 10);
  let drop = 0;
  while (drop < page.avgRows.length && page.avgRows[drop][0] < since) drop++;
  if (drop) {
    page.avgRows.splice(0, drop);
    page.diffRows.splice(0, drop);
  }
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
  redraw();
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
  const ws = new WebSocket(`ws://${location.host}/ws`);
  page.ws = ws;
  ws.addEventListener("open", () => { $("conn").textContent = "connected"; $("conn").className = "badge on"; });
  ws.addEventListener("close", () => {
    $("conn").textContent = "disconnected"; $("conn").className = "badge off";
    page.controls = false; applyRole();
    setTimeout(connect, 2000);
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
      case "result":
        $("status").textContent = `${m.op}: ${m.ok ? "" : "failed: "}${m.text}`;
        $("status").className = m.ok ? "" : "warnings";
        break;
    }
  });
}

function onRole(r) {
  page.controls = r.controls;
  $("role").textContent = r.text;
  $("role").className = r.controls ? "badge on" : "badge ro";
  applyRole();
}

build();
connect();
