// The explorer's page: connects the map, the settings panel, the orbits and their
// computation, the URL that holds the state, and the buttons.
import { indicator_color, orbit_color } from './colors.js';
import { command_line, download_png, download_text, ini_text, points_text } from './exports.js';
import { read_ini } from './ini_file.js';
import { show_orbits, status_text } from './orbit_list.js';
import { cancel, compute_pending, make_orbit } from './orbit_runner.js';
import { canvas_painter, svg_painter } from './painters.js';
import { FULL_VIEW, draw_map } from './plot.js';
import { attach_plot_input } from './plot_input.js';
import { DEFAULT_SETTINGS, bind_settings, build_sliders, settings_error, show_settings }
  from './settings.js';
import { MAX_SEEDS, state_from_hash, state_to_hash } from './url_state.js';

const canvas = document.getElementById('plot');
const form = document.getElementById('settings');
const el = (id) => document.getElementById(id);

const map = { settings: DEFAULT_SETTINGS, orbits: [], view: { ...FULL_VIEW }, busy: false,
  controller: null };
let area = null; // the plot area as last drawn, in CSS pixels
let note = ''; // a message about the last action (a bad link or file), shown until the next
let frame = 0;

// The browser tests and the console read the map from here.
window.trivella_explorer = { map, area: () => area };

const color_of = (o, i) =>
  map.settings.chaos ? indicator_color(o.chaos ? o.chaos.megno : NaN) : orbit_color(i);

function draw_to(painter, width, height) {
  const orbits = map.orbits.map((o, i) =>
    ({ seed: o.seed, points: o.points, color: color_of(o, i) }));
  return draw_map(painter, width, height, map.view, orbits,
    { L: map.settings.L, bar: map.settings.chaos });
}

function plot_size() {
  const box = canvas.parentElement.getBoundingClientRect();
  return [Math.floor(box.width), Math.floor(box.height)];
}

function render() {
  frame = 0;
  const [w, h] = plot_size();
  area = draw_to(canvas_painter(canvas, w, h), w, h);
  const s = map.settings;
  show_orbits(el('orbits'), map.orbits, s.n_points, color_of);
  el('status').textContent = note || status_text(map.orbits, s.n_points);
  el('command').textContent = command_line(s);
  // Idle once every orbit is complete, or the next one to compute failed or was stopped.
  const next = map.orbits.find((o) => o.status !== 'complete');
  document.body.dataset.state = !next || next.status === 'failed' || next.status === 'stopped'
    ? 'idle' : 'busy';
  const hash = state_to_hash(s, map.orbits.map((o) => o.seed), map.view);
  if (location.hash !== hash) {
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

// Replaces settings, seeds and view; every orbit is computed again from its seed.
function apply_state(settings, seeds, view) {
  cancel(map);
  map.settings = settings;
  map.orbits = seeds.map(make_orbit);
  map.view = view;
  show_settings(form, settings);
  compute();
}

function load_hash() {
  try {
    const { settings, seeds, view } = state_from_hash(location.hash);
    note = '';
    apply_state(settings, seeds, view);
  } catch (error) {
    note = `The link could not be read: ${error.message}.`;
    apply_state(DEFAULT_SETTINGS, [], { ...FULL_VIEW });
  }
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

function undo() {
  const last = map.orbits.pop();
  if (last && last.status === 'running') {
    cancel(map);
  }
  note = '';
  compute();
}

function load_ini_file(file) {
  file.text().then((text) => {
    const ini = read_ini(text);
    const { seeds, ...numbers } = ini;
    const settings = { ...map.settings, ...numbers };
    const error = settings_error(settings);
    if (error) {
      throw new Error(error);
    }
    note = seeds.length > MAX_SEEDS ? `Only the first ${MAX_SEEDS} conditions were kept.` : '';
    apply_state(settings, seeds.slice(0, MAX_SEEDS), map.view);
  }).catch((error) => {
    note = `${file.name} was not loaded: ${error.message}`;
    changed();
  });
}

build_sliders(el('sliders'));
bind_settings(form, () => map.settings, (s) => {
  note = '';
  apply_state(s, map.orbits.map((o) => o.seed), map.view);
}, (error) => {
  note = error;
  changed();
});
attach_plot_input(canvas, {
  area_of: () => area,
  view_of: () => map.view,
  set_view: (view) => {
    map.view = view;
    changed();
  },
  on_click: add_seed,
});
el('undo').addEventListener('click', undo);
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
el('export-png').addEventListener('click', () => download_png('trivella-map.png', canvas));
el('export-svg').addEventListener('click', () => {
  const [w, h] = plot_size();
  const painter = svg_painter(w, h);
  draw_to(painter, w, h);
  download_text('trivella-map.svg', painter.finish(), 'image/svg+xml');
});
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
