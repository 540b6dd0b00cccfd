// The explorer's page: connects the map, the settings panel, the orbits and their
// computation, the URL that holds the state, and the buttons.
import { fetch_model } from './api.js';
import { indicator_color, orbit_color } from './colors.js';
import { caption_text, command_line, download_png, download_text, ini_text, points_text,
  settings_record } from './exports.js';
import { read_ini } from './ini_file.js';
import { show_orbits, status_text } from './orbit_list.js';
import { cancel, compute_pending, dependents, make_orbit, mark_pending } from './orbit_runner.js';
import { canvas_painter, svg_painter } from './painters.js';
import { FULL_VIEW, dot_size, draw_map, plot_area } from './plot.js';
import { attach_plot_input } from './plot_input.js';
import { make_layer, update_layer } from './point_layer.js';
import { bind_settings, build_sliders, default_settings, settings_error, show_settings }
  from './settings.js';
import { MAX_SEEDS, state_from_hash, state_to_hash } from './url_state.js';

const REST = 150; // ms without a view change after which the points are drawn afresh

const canvas = document.getElementById('plot');
const form = document.getElementById('settings');
const el = (id) => document.getElementById(id);

const model = await fetch_model();
const defaults = default_settings(model);
const map = { settings: defaults, orbits: [], view: { ...FULL_VIEW }, busy: false,
  controller: null };
const layer = make_layer();
let area = null; // the plot area as last drawn, in CSS pixels
let note = ''; // a message about the last action (a bad link or file), shown until the next
let frame = 0;
let moving = false; // the view is being panned or zoomed
let rest_timer = 0;
let list_key = '';

// The browser tests and the console read the map from here; frames counts drawn frames.
const hooks = { map, model, frames: 0, area: () => area };
window.trivella_explorer = hooks;

const color_of = (o, i) =>
  map.settings.chaos ? indicator_color(o.chaos ? o.chaos.megno : NaN) : orbit_color(i);

const drawn_orbits = () => map.orbits.map((o, i) =>
  ({ seed: o.seed, points: o.points, color: color_of(o, i) }));

const map_options = (extra) => ({ L: map.settings.L, bar: map.settings.chaos,
  threshold: model.megno_threshold, ...extra });

function plot_size() {
  const box = canvas.parentElement.getBoundingClientRect();
  return [Math.floor(box.width), Math.floor(box.height)];
}

function render() {
  frame = 0;
  hooks.frames += 1;
  const [w, h] = plot_size();
  const ratio = window.devicePixelRatio || 1;
  const orbits = drawn_orbits();
  const s = map.settings;
  // While the view moves the layer drawn for the last resting view is stretched over it.
  if (!moving || !layer.view) {
    update_layer(layer, plot_area(w, h, s.chaos), map.view, orbits, dot_size(orbits), ratio);
  }
  area = draw_map(canvas_painter(canvas, w, h, ratio), w, h, map.view, orbits,
    map_options({ layer }));
  const key = s.n_points + s.chaos + map.orbits.map((o) =>
    `${o.status}${o.points.length}${o.message}${o.chaos && o.chaos.megno}`).join();
  if (key !== list_key) {
    list_key = key;
    show_orbits(el('orbits'), map.orbits, s.n_points, color_of);
  }
  el('status').textContent = note || status_text(map.orbits, s.n_points);
  el('command').textContent = command_line(s, model.defaults);
  const busy = map.orbits.some((o) => o.status === 'pending' || o.status === 'running');
  document.body.dataset.state = busy ? 'busy' : 'idle';
  const hash = state_to_hash(s, map.orbits.map((o) => o.seed), map.view);
  if (!moving && location.hash !== hash) {
    history.replaceState(null, '', hash);
  }
}

function changed() {
  if (!frame) {
    frame = requestAnimationFrame(render);
  }
}

function compute() {
  compute_pending(map, changed);
  changed();
}

// Replaces settings, seeds and view; every orbit is computed again from its seed, all of
// them in one request.
function apply_state(settings, seeds, view) {
  cancel(map);
  map.settings = settings;
  map.orbits = seeds.map(make_orbit);
  map.view = view;
  show_settings(form, settings);
  compute();
}

// The server's word on the constants: what makes the equations meaningless, or ''.
async function params_problem(params) {
  try {
    return (await fetch_model(params)).problem;
  } catch (error) {
    return error.message;
  }
}

async function apply_checked(settings, seeds, view, what) {
  const problem = settings_error(settings) || await params_problem(settings.params);
  if (problem) {
    throw new Error(problem);
  }
  note = what;
  apply_state(settings, seeds, view);
}

function load_hash() {
  let state;
  try {
    state = state_from_hash(location.hash, defaults);
  } catch (error) {
    state = { error };
  }
  (state.error ? Promise.reject(state.error)
    : apply_checked(state.settings, state.seeds, state.view, '')).catch((error) => {
    note = `The link could not be read: ${error.message}.`;
    apply_state(defaults, [], { ...FULL_VIEW });
  });
}

// A clicked value rounded to a tenth of what one pixel spans, so that seeds read well.
function round_to_pixel(value, per_pixel) {
  const digits = Math.min(12, Math.max(0, Math.ceil(-Math.log10(per_pixel)) + 1));
  return Number(value.toFixed(digits));
}

function add_seed([x, y]) {
  if (map.orbits.length >= MAX_SEEDS) {
    note = `A map holds at most ${MAX_SEEDS} orbits.`;
    changed();
    return;
  }
  note = '';
  const L = map.settings.L;
  const phi0 = round_to_pixel(x, (map.view.x1 - map.view.x0) / area.width);
  const l0 = round_to_pixel(y * L, ((map.view.y1 - map.view.y0) / area.height) * Math.abs(L));
  map.orbits.push(make_orbit([phi0, l0]));
  compute();
}

// Orbit k and the orbits whose points descend from it are computed again, or (remove) k
// goes and its dependents are computed again without it.
function redo(k, remove) {
  const o = map.orbits[k];
  if (!o) {
    return;
  }
  const affected = [o, ...dependents(map.settings.method, map.orbits, k)];
  if (affected.some((a) => a.status === 'running')) {
    cancel(map);
  }
  if (remove) {
    map.orbits.splice(k, 1);
    affected.shift();
  }
  mark_pending(affected);
  note = '';
  compute();
}

function load_ini_file(file) {
  file.text().then((text) => {
    const { seeds, ...numbers } = read_ini(text);
    const settings = { ...map.settings, ...numbers };
    return apply_checked(settings, seeds.slice(0, MAX_SEEDS), map.view,
      seeds.length > MAX_SEEDS ? `Only the first ${MAX_SEEDS} conditions were kept.` : '');
  }).catch((error) => {
    note = `${file.name} was not loaded: ${error.message}`;
    changed();
  });
}

function export_png() {
  const [w, h] = plot_size();
  const ratio = window.devicePixelRatio || 1;
  const picture = document.createElement('canvas');
  const orbits = drawn_orbits();
  const options = map_options({ caption: caption_text(map.settings), layer: make_layer() });
  update_layer(options.layer, plot_area(w, h, map.settings.chaos, true), map.view, orbits,
    dot_size(orbits), ratio);
  draw_map(canvas_painter(picture, w, h, ratio), w, h, map.view, orbits, options);
  download_png('trivella-map.png', picture);
}

function export_svg() {
  const [w, h] = plot_size();
  const painter = svg_painter(w, h);
  draw_map(painter, w, h, map.view, drawn_orbits(),
    map_options({ caption: caption_text(map.settings) }));
  const record = settings_record(map.settings, map.orbits.map((o) => o.seed));
  download_text('trivella-map.svg', painter.finish(record), 'image/svg+xml');
}

build_sliders(el('sliders'), model.names);
bind_settings(form, model.names, () => map.settings, (s) => {
  apply_checked(s, map.orbits.map((o) => o.seed), map.view, '').catch((error) => {
    note = error.message;
    show_settings(form, map.settings);
    changed();
  });
}, (error) => {
  note = error;
  changed();
});
attach_plot_input(canvas, {
  area_of: () => area,
  view_of: () => map.view,
  set_view: (view) => {
    map.view = view;
    moving = true;
    clearTimeout(rest_timer);
    rest_timer = setTimeout(() => {
      moving = false;
      changed();
    }, REST);
    changed();
  },
  on_click: add_seed,
});
el('undo').addEventListener('click', () => redo(map.orbits.length - 1, true));
el('orbits').addEventListener('click', (event) => {
  const b = event.target.closest('button[data-action]');
  if (b) {
    redo(Number(b.dataset.orbit), b.dataset.action === 'remove');
  }
});
el('clear').addEventListener('click', () => {
  cancel(map);
  map.orbits = [];
  note = '';
  changed();
});
el('reset-view').addEventListener('click', () => {
  map.view = { ...FULL_VIEW };
  changed();
});
el('export-ini').addEventListener('click', () =>
  download_text('ini.txt', ini_text(map.settings, map.orbits.map((o) => o.seed))));
el('export-points').addEventListener('click', () =>
  download_text('lL.txt', points_text(map.orbits)));
el('export-png').addEventListener('click', export_png);
el('export-svg').addEventListener('click', export_svg);
el('ini-file').addEventListener('change', (event) => {
  const [file] = event.target.files;
  if (file) {
    load_ini_file(file);
  }
  event.target.value = '';
});
window.addEventListener('hashchange', load_hash);
new ResizeObserver(changed).observe(canvas.parentElement);
load_hash();
