// The stability background: the view cut into cells, each computed by the server from its centre
// with the precise method and the chaos indicator (api/stability), coarse cells first and finer
// ones over them, drawn muted under the orbits. A new view or new settings stop the computation
// at once and start it afresh once the view rests; turning it off stops it.
import { stream_records } from './api.js';
import { layer_placement, new_canvas } from './point_layer.js';
import { cell_rgb, scale_gradient, scale_ticks } from './stability_colors.js';

// Cells [across, up] of each pass; each divides the last, whose cells are the image's pixels.
export const LEVELS = [[30, 20], [60, 40], [120, 80]];
// Periods one request computes at most, a few seconds of a core: a pass goes a few rows at a
// time, so that no request meets the server's time limit. Cells in a request stay below the
// server's bound also when it raises n_points to give verdicts.
const PERIODS_PER_REQUEST = 600000;
const CELLS_PER_REQUEST = 2400;
const ALPHA = 115; // of 255: muted, so that the orbits drawn over the cells stay plain

// The background, off. levels may be replaced (before it is turned on) by a console or a test.
export function make_background() {
  return { levels: LEVELS, key: '', settings_key: '', controller: null, state: 'off',
    message: '', canvas: null, image: null, words: null, megno: null, verdict: null,
    view: null, previous: null, dirty: false, pass: 0, cells: 0, n_points: 0 };
}

// The rows [first, end) of each request of a pass of nx x ny cells.
export function pass_rows(nx, ny, n_points) {
  const step = Math.max(1, Math.min(Math.floor(CELLS_PER_REQUEST / nx),
    Math.floor(PERIODS_PER_REQUEST / (n_points * nx))));
  const rows = [];
  for (let j = 0; j < ny; j += step) {
    rows.push([j, Math.min(ny, j + step)]);
  }
  return rows;
}

function stability_request(s, view, cells, rows) {
  return { n_points: s.n_points, tol: s.tol, h0: s.h0, L: s.L, params: { ...s.params },
    view: [view.x0, view.x1, view.y0, view.y1], cells, rows };
}

const settings_key = (s) => JSON.stringify([s.n_points, s.tol, s.h0, s.L, s.params]);

function stop(bg) {
  if (bg.controller) {
    bg.controller.abort();
    bg.controller = null;
  }
}

// A transparent image of the finest pass's cells for `view`.
function clear_image(bg, view) {
  const [w, h] = bg.levels[bg.levels.length - 1];
  bg.canvas = new_canvas(w, h);
  bg.image = new ImageData(w, h);
  bg.words = new Uint32Array(bg.image.data.buffer);
  bg.megno = new Float64Array(w * h).fill(NaN);
  bg.verdict = new Array(w * h).fill('');
  bg.view = { ...view };
}

// Paints cell [i, j] (j up from the bottom) of a pass of nx x ny over the pixels it covers.
function paint_cell(bg, nx, ny, record, threshold) {
  const w = bg.image.width;
  const sx = w / nx;
  const sy = bg.image.height / ny;
  const [i, j] = record.cell;
  const [r, g, b] = cell_rgb(record.verdict, record.megno, threshold);
  // Little-endian RGBA bytes of ImageData, read as one 32-bit word.
  const word = ((ALPHA << 24) | (b << 16) | (g << 8) | r) >>> 0;
  for (let y = (ny - 1 - j) * sy; y < (ny - j) * sy; y += 1) {
    for (let x = i * sx; x < (i + 1) * sx; x += 1) {
      bg.words[y * w + x] = word;
      bg.megno[y * w + x] = record.megno ?? NaN;
      bg.verdict[y * w + x] = record.verdict;
    }
  }
  bg.dirty = true;
}

async function compute(bg, { settings, view, threshold }, changed) {
  const controller = new AbortController();
  bg.controller = controller;
  try {
    for (const [pass, [nx, ny]] of bg.levels.entries()) {
      Object.assign(bg, { pass, cells: 0 });
      for (const rows of pass_rows(nx, ny, settings.n_points)) {
        const done = await stream_records('api/stability',
          stability_request(settings, view, [nx, ny], rows), (record) => {
            if (record.n_points) {
              bg.n_points = record.n_points;
              return;
            }
            paint_cell(bg, nx, ny, record, threshold);
            bg.cells += 1;
            changed();
          }, controller.signal);
        if (done.stopped) {
          Object.assign(bg, { state: 'stopped', message: done.stopped });
          return;
        }
      }
      bg.previous = null; // the whole view is covered
    }
    bg.state = 'done';
  } catch (error) {
    if (!controller.signal.aborted) {
      Object.assign(bg, { state: 'stopped', message: error.message });
    }
  } finally {
    if (bg.controller === controller) {
      bg.controller = null;
    }
    changed();
  }
}

// Brings the background in line with what the page wants: null (off) or { settings, view,
// threshold }. A change stops the computation at once; a new one starts once the view rests
// (moving false). While a new view is computed the last one's image stays under it.
export function sync_background(bg, wanted, moving, changed) {
  const key = wanted ? JSON.stringify([settings_key(wanted.settings), wanted.view]) : '';
  if (key === bg.key) {
    return;
  }
  stop(bg);
  bg.key = '';
  if (!wanted) {
    Object.assign(bg, { state: 'off', canvas: null, previous: null, settings_key: '' });
    return;
  }
  bg.state = 'waiting';
  if (moving) {
    return;
  }
  const same = settings_key(wanted.settings) === bg.settings_key;
  bg.previous = same && bg.canvas ? bg.previous || { canvas: bg.canvas, view: bg.view } : null;
  Object.assign(bg, { key, settings_key: settings_key(wanted.settings), state: 'running',
    message: '', n_points: 0 });
  clear_image(bg, wanted.view);
  compute(bg, wanted, changed);
}

// Draws the background on painter p over the plot area showing `view`.
export function draw_background(bg, p, area, view) {
  if (!bg.canvas) {
    return;
  }
  if (bg.dirty) {
    bg.canvas.getContext('2d').putImageData(bg.image, 0, 0);
    bg.dirty = false;
  }
  for (const drawn of [bg.previous, bg]) {
    if (drawn) {
      p.image(drawn.canvas, ...layer_placement(drawn, area, view));
    }
  }
}

// One line on what the background shows.
export function background_status(bg) {
  const [nx, ny] = bg.levels[bg.pass] || [0, 0];
  const points = bg.n_points ? `, n_points ${bg.n_points}` : '';
  return {
    off: '',
    waiting: 'waits for the view to rest',
    running: `${nx} × ${ny} cells: ${bg.cells} of ${nx * ny}${points}`,
    done: `${nx} × ${ny} cells${points}; grey: no verdict`,
    stopped: `stopped: ${bg.message}`,
  }[bg.state];
}

// The colour scale's legend in `box`: a gradient and the values under it.
export function show_scale(box, threshold) {
  const caption = document.createElement('div');
  caption.textContent = `MEGNO \u27e8Y\u27e9 of each cell, log scale; chaotic above ${threshold}`;
  const bar = document.createElement('div');
  bar.className = 'scale-bar';
  bar.style.background = scale_gradient();
  const ticks = document.createElement('div');
  ticks.className = 'scale-ticks';
  for (const [value, u] of scale_ticks(threshold)) {
    const t = document.createElement('span');
    t.style.left = `${100 * u}%`;
    t.textContent = String(value);
    t.className = value === threshold ? 'threshold' : '';
    ticks.append(t);
  }
  box.replaceChildren(caption, bar, ticks);
}
