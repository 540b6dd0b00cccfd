// The section map: axes and ticks, every orbit's points and seed, the indicator's colour bar,
// and the mapping between data (phi, l/L) and pixels of the plot area.
import { INDICATOR_RANGE, indicator_stops } from './colors.js';
import { layer_placement } from './point_layer.js';
import { decimal_ticks, phi_ticks } from './ticks.js';

export const TWO_PI = 2 * Math.PI;
export const FULL_VIEW = Object.freeze({ x0: 0, x1: TWO_PI, y0: -2, y1: 2 });
// The views the map can show: a span below MIN_SPAN has no ticks a double can tell apart,
// and far-off centres lose the points' digits.
export const MIN_SPAN = 1e-6;
export const MAX_SPAN = 1e3;
const MAX_CENTRE = 1e4;
const MARGIN = { left: 62, right: 16, top: 12, bottom: 44 };
const BAR_ROOM = 84; // the colour bar, its ticks and its title
const CAPTION_ROOM = 20; // the settings written under an exported map

export function plot_area(width, height, with_bar, with_caption = false) {
  const right = MARGIN.right + (with_bar ? BAR_ROOM : 0);
  const bottom = MARGIN.bottom + (with_caption ? CAPTION_ROOM : 0);
  return {
    left: MARGIN.left,
    top: MARGIN.top,
    width: Math.max(10, width - MARGIN.left - right),
    height: Math.max(10, height - MARGIN.top - bottom),
  };
}

// What keeps `view` from being shown, or ''.
export function view_problem(v) {
  const all = [v.x0, v.x1, v.y0, v.y1];
  if (!all.every(Number.isFinite) || all.some((x) => Math.abs(x) > MAX_CENTRE)) {
    return `expected finite numbers within ±${MAX_CENTRE}`;
  }
  if (!(v.x0 < v.x1 && v.y0 < v.y1)) {
    return 'expected x0 < x1 and y0 < y1';
  }
  const spans = [v.x1 - v.x0, v.y1 - v.y0];
  if (spans.some((s) => s < MIN_SPAN || s > MAX_SPAN)) {
    return `each span must lie between ${MIN_SPAN} and ${MAX_SPAN}`;
  }
  return '';
}

export function to_pixel(area, view, x, y) {
  return [
    area.left + ((x - view.x0) / (view.x1 - view.x0)) * area.width,
    area.top + ((view.y1 - y) / (view.y1 - view.y0)) * area.height,
  ];
}

export function to_data(area, view, px, py) {
  return [
    view.x0 + ((px - area.left) / area.width) * (view.x1 - view.x0),
    view.y1 - ((py - area.top) / area.height) * (view.y1 - view.y0),
  ];
}

// The seed shown on the map: its angle reduced as the points' are, and l0 / L.
function seed_point(seed, L) {
  return [((seed[0] % TWO_PI) + TWO_PI) % TWO_PI, seed[1] / L];
}

function draw_axes(p, area, view) {
  const xt = phi_ticks(view.x0, view.x1, Math.max(2, Math.floor(area.width / 70)));
  const yt = decimal_ticks(view.y0, view.y1, Math.max(2, Math.floor(area.height / 45)));
  const bottom = area.top + area.height;
  for (const [x, label] of xt) {
    const [px] = to_pixel(area, view, x, 0);
    p.line(px, area.top, px, bottom, '#ececec');
    p.line(px, bottom, px, bottom + 5, '#444');
    p.text(px, bottom + 8, label, { baseline: 'top' });
  }
  for (const [y, label] of yt) {
    const [, py] = to_pixel(area, view, 0, y);
    p.line(area.left, py, area.left + area.width, py, '#ececec');
    p.line(area.left - 5, py, area.left, py, '#444');
    p.text(area.left - 8, py, label.replace('-', '\u2212'), { align: 'right' });
  }
  p.text(area.left + area.width / 2, bottom + 30, 'φ', { baseline: 'top' });
  p.text(16, area.top + area.height / 2, 'l / L', { rotate: true });
}

// The colour bar, with a mark across it at `threshold`, the value above which an orbit is
// called chaotic.
function draw_bar(p, area, threshold) {
  const x = area.left + area.width + 22;
  const { lo, hi, label } = INDICATOR_RANGE;
  const y_of = (v) => area.top + ((hi - v) / (hi - lo)) * area.height;
  p.gradient_rect(x, area.top, 14, area.height, indicator_stops());
  p.rect(x, area.top, 14, area.height, null, '#444');
  for (let v = lo; v <= hi; v += 2) {
    if (v !== threshold) {
      p.line(x + 14, y_of(v), x + 18, y_of(v), '#444');
      p.text(x + 21, y_of(v), v === hi ? `≥${v}` : String(v), { align: 'left' });
    }
  }
  if (Number.isFinite(threshold) && threshold >= lo && threshold <= hi) {
    const py = y_of(threshold);
    p.line(x - 4, py, x + 18, py, '#d0021b', 2);
    p.text(x + 21, py, String(threshold), { align: 'left', color: '#d0021b' });
  }
  p.text(x + 56, area.top + area.height / 2, `${label}; chaotic above the red mark`,
    { rotate: true });
}

// Where every orbit's points fall in pixels of `area`, for a painter that draws each dot.
function draw_dots(p, area, view, orbits, size) {
  for (const o of orbits) {
    const xy = [];
    for (const [x, y] of o.points) {
      if (x >= view.x0 && x <= view.x1 && y >= view.y0 && y <= view.y1) {
        const [px, py] = to_pixel(area, view, x, y);
        xy.push(px, py);
      }
    }
    p.dots(o.color, xy, size);
  }
}

// Dots of `size` CSS pixels: smaller once the map is crowded.
export function dot_size(orbits) {
  return orbits.reduce((n, o) => n + o.points.length, 0) > 60000 ? 1.5 : 2;
}

// Draws the whole map on painter p of size width x height. Each orbit holds seed [phi0, l0],
// points [[phi, l/L], ...] and its colour. options: L; bar (draw the colour bar) and
// threshold (marked on it); caption (a line of text under the map); layer (the points
// rasterised by point_layer.js, drawn as one image instead of dot by dot); under (a function
// (p, area, view) that draws beneath the points); marks (a function (p, area, view) that draws
// over the points, inside the plot area).
export function draw_map(p, width, height, view, orbits, options) {
  const area = plot_area(width, height, options.bar, Boolean(options.caption));
  p.rect(0, 0, width, height, '#ffffff');
  draw_axes(p, area, view);
  p.clip(area.left, area.top, area.width, area.height);
  if (options.under) {
    options.under(p, area, view);
  }
  if (options.layer) {
    p.image(options.layer.canvas, ...layer_placement(options.layer, area, view));
  } else {
    draw_dots(p, area, view, orbits, dot_size(orbits));
  }
  for (const o of orbits) {
    const [sx, sy] = to_pixel(area, view, ...seed_point(o.seed, options.L));
    p.line(sx - 5, sy, sx + 5, sy, o.color, 1.5);
    p.line(sx, sy - 5, sx, sy + 5, o.color, 1.5);
  }
  if (options.marks) {
    options.marks(p, area, view);
  }
  p.unclip();
  p.rect(area.left, area.top, area.width, area.height, null, '#444');
  if (options.bar) {
    draw_bar(p, area, options.threshold);
  }
  if (options.caption) {
    p.text(6, height - 6, options.caption, { align: 'left', baseline: 'bottom', color: '#444' });
  }
  return area;
}
