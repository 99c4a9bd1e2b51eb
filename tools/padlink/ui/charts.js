// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
//
// Small multiples: one chart per watched channel, each on its own scale in
// counts, so one channel far off scale flattens no other. The difference
// view draws the channel's diff_th as a dashed line and keeps it in range;
// the other view draws average (solid) and baseline (dashed). A point the
// server marks as coming after a break (a sequence gap, a restart, frames
// that stopped) starts a new line: gaps are drawn as gaps.
"use strict";

class SmallMultiples {
  constructor(container, colours) {
    this.container = container;
    this.colours = colours;
    this.view = "diff";
    this.seconds = 10;
    this.thresholds = {};
    this.channels = [];
    this.reset([]);
  }

  // A new run: these channels, no points.
  reset(channels) {
    this.channels = channels.slice();
    this.t0 = null;
    this.diff = {};
    this.avg = {};
    this.lastX = {};
    for (const ch of this.channels) {
      this.diff[ch] = [];
      this.avg[ch] = [];
    }
    this.build();
  }

  build() {
    this.container.replaceChildren();
    // Three across at most, so each chart keeps some width.
    const across = Math.max(1, Math.min(3, this.channels.length));
    this.container.style.gridTemplateColumns = `repeat(${across}, minmax(0, 1fr))`;
    this.cells = {};
    for (const ch of this.channels) {
      const cell = document.createElement("div");
      cell.className = "small";
      cell.id = `small-${ch}`;
      const head = document.createElement("div");
      head.className = "small-head";
      const name = document.createElement("b");
      name.textContent = `ch${ch}`;
      const peak = document.createElement("span");
      peak.id = `peak-${ch}`;
      peak.title = "the largest difference of the last update, against the channel's diff_th";
      peak.textContent = "peak diff / diff_th: - / -";
      const legend = document.createElement("span");
      legend.className = "small-legend";
      head.append(name, peak, legend);
      const plot = document.createElement("div");
      plot.className = "small-chart";
      cell.append(head, plot);
      this.container.append(cell);
      this.cells[ch] = { cell, peak, plot, legend, graph: null };
    }
    for (const ch of this.channels) this.makeGraph(ch);
  }

  makeGraph(ch) {
    const c = this.cells[ch];
    const colour = this.colours[ch % this.colours.length];
    const diffView = this.view === "diff";
    const self = this;
    const options = {
      labels: diffView ? ["s", "diff"] : ["s", "average", "baseline"],
      colors: diffView ? [colour] : [colour, colour],
      series: diffView ? {} : { baseline: { strokePattern: [4, 3] } },
      ylabel: "counts",
      yLabelWidth: 12,
      axisLabelFontSize: 10,
      axisLabelWidth: 40,
      xAxisHeight: 16,
      strokeWidth: 1,
      drawPoints: false,
      connectSeparatedPoints: false,
      animatedZooms: false,
      legend: "onmouseover",
      labelsDiv: c.legend,
      labelsSeparateLines: false,
      interactionModel: {},
      axes: {
        x: { axisLabelFormatter: (x) => `${x}s`, pixelsPerLabel: 40 },
        y: { pixelsPerLabel: 18 },
      },
      underlayCallback: diffView ? (ctx, area, g) => self.drawThreshold(ch, ctx, area, g) : null,
    };
    const empty = diffView ? [[0, null]] : [[0, null, null]];
    c.graph = new Dygraph(c.plot, empty, options);
  }

  drawThreshold(ch, ctx, area, g) {
    const th = this.thresholds[ch];
    if (th === undefined || th === null) return;
    const y = g.toDomYCoord(th);
    if (y < area.y || y > area.y + area.h) return;
    ctx.save();
    ctx.strokeStyle = "#c0392b";
    ctx.setLineDash([5, 4]);
    ctx.beginPath();
    ctx.moveTo(area.x, y);
    ctx.lineTo(area.x + area.w, y);
    ctx.stroke();
    ctx.setLineDash([]);
    ctx.fillStyle = "#c0392b";
    ctx.font = "10px sans-serif";
    // Above the line, or below it when the line runs along the top.
    ctx.fillText(`diff_th ${th}`, area.x + 4, y - area.y < 12 ? y + 11 : y - 3);
    ctx.restore();
  }

  setView(view) {
    if (view === this.view) return;
    this.view = view;
    for (const ch of this.channels) {
      this.cells[ch].graph.destroy();
      this.makeGraph(ch);
    }
    this.draw();
  }

  setThreshold(ch, th) {
    this.thresholds[ch] = th;
  }

  // Points as the server batches them: [arrival, seq, records, break].
  add(points) {
    for (const [arrival, , records, broken] of points) {
      if (this.t0 === null) this.t0 = arrival;
      const x = arrival - this.t0;
      for (const [ch, average, baseline, difference] of records) {
        if (!(ch in this.diff)) continue;
        const last = this.lastX[ch];
        if (broken && last !== undefined) {
          // A row without values between the two points breaks the line.
          const between = (last + x) / 2;
          this.diff[ch].push([between, null]);
          this.avg[ch].push([between, null, null]);
        }
        this.diff[ch].push([x, difference]);
        this.avg[ch].push([x, average, baseline]);
        this.lastX[ch] = x;
      }
    }
    this.trim();
  }

  trim() {
    for (const ch of this.channels) {
      const rows = this.diff[ch];
      if (rows.length === 0) continue;
      const since = rows[rows.length - 1][0] - this.seconds;
      let drop = 0;
      while (drop < rows.length && rows[drop][0] < since) drop++;
      if (drop) {
        rows.splice(0, drop);
        this.avg[ch].splice(0, drop);
      }
    }
  }

  // The range shown: the data's, and in the difference view the threshold
  // and zero as well, with a little room.
  range(ch) {
    let low = Infinity;
    let high = -Infinity;
    const rows = this.view === "diff" ? this.diff[ch] : this.avg[ch];
    for (const row of rows) {
      for (let i = 1; i < row.length; i++) {
        const v = row[i];
        if (v === null) continue;
        if (v < low) low = v;
        if (v > high) high = v;
      }
    }
    if (this.view === "diff") {
      const th = this.thresholds[ch];
      for (const v of [0, th]) {
        if (v === undefined || v === null) continue;
        low = Math.min(low, v);
        high = Math.max(high, v);
      }
    }
    if (low === Infinity) return null;
    const room = Math.max(2, (high - low) * 0.08);
    return [low - room, high + room];
  }

  draw() {
    for (const ch of this.channels) {
      const rows = this.view === "diff" ? this.diff[ch] : this.avg[ch];
      if (rows.length === 0) continue;
      this.cells[ch].graph.updateOptions({ file: rows, valueRange: this.range(ch) });
    }
  }

  // The largest difference of a batch; a batch without frames keeps the
  // last one shown.
  showPeak(ch, peak, th) {
    const c = this.cells[ch];
    if (!c || peak === undefined) return;
    c.peak.textContent = `peak diff / diff_th: ${peak ?? "-"} / ${th ?? "?"}`;
    c.cell.classList.toggle("lit", peak !== undefined && th !== undefined && th !== null && peak > th);
  }
}

window.SmallMultiples = SmallMultiples;
