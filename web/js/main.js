// The explorer's page: connects the map, the settings panel, the orbits and their
// computation, the URL that holds the state, and the buttons.
import { fetch_model } from './api.js';
import { indicator_color, orbit_color } from './colors.js';
import { command_line, download_text, ini_text, points_text } from './exports.js';
import { export_png, export_svg } from './map_pictures.js';
import { show_orbits, status_text } from './orbit_list.js';
import { cancel, compute_pending, dependents, make_orbit, mark_pending } from './orbit_runner.js';
import { state_actions } from './page_state.js';
import { canvas_painter } from './painters.js';
import { draw_periodic_marks } from './periodic_marks.js';
import { cancel_periodic, describe_periodic, make_periodic, search_pending, show_periodic }
  from './periodic_orbits.js';
import { FULL_VIEW, dot_size, draw_map, plot_area } from './plot.js';
import { attach_plot_input, seed_at } from './plot_input.js';
import { make_layer, update_layer } from './point_layer.js';
import { background_status, draw_background, make_background, show_scale, sync_background }
  from './stability_background.js';
import { bind_settings, build_sliders, default_settings, show_settings } from './settings.js';
import { MAX_SEEDS, state_to_hash } from './url_state.js';

const REST = 150; // ms without a view change after which the points are drawn afresh

const canvas = document.getElementById('plot');
const form = document.getElementById('settings');
const el = (id) => document.getElementById(id);

const model = await fetch_model();
const defaults = default_settings(model);
// note: a message about the last action (a bad link or file), shown until the next.
// periodic: the periodic orbits sought by shift-clicks (periodic_orbits.js).
const map = { settings: defaults, orbits: [], view: { ...FULL_VIEW }, busy: false,
  controller: null, note: '', checking: 0, periodic: [], periodic_busy: false,
  periodic_controller: null };
const layer = make_layer();
const background = make_background();
let area = null; // the plot area as last drawn, in CSS pixels
let frame = 0;
let moving = false; // the view is being panned or zoomed
let rest_timer = 0;
let list_key = '';

// The browser tests and the console read the map from here; frames counts drawn frames,
// redraw() asks for one.
const hooks = { map, model, layer, background, frames: 0, area: () => area,
  redraw: () => changed() };
window.trivella_explorer = hooks;

const color_of = (o, i) =>
  map.settings.chaos ? indicator_color(o.chaos ? o.chaos.megno : NaN) : orbit_color(i);

const drawn_orbits = () => map.orbits.map((o, i) =>
  ({ seed: o.seed, points: o.points, color: color_of(o, i) }));

const map_options = (extra) => ({ L: map.settings.L, bar: map.settings.chaos,
  threshold: model.megno_threshold,
  marks: (p, a, view) => draw_periodic_marks(p, a, view, map.periodic), ...extra });

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
  sync_background(background, el('stability').checked ? { settings: s, view: map.view,
    threshold: model.megno_threshold } : null, moving, changed);
  const under = (p, a, v) => draw_background(background, p, a, v);
  area = draw_map(canvas_painter(canvas, w, h, ratio), w, h, map.view, orbits,
    map_options({ layer, under }));
  el('stability-status').textContent = background_status(background);
  el('stability-status').dataset.state = background.state;
  const key = s.n_points + s.chaos + map.orbits.map((o) =>
    `${o.status}${o.points.length}${o.message}${o.chaos && o.chaos.megno}` +
    `${o.rotation && o.rotation.rotation}`).join() + map.periodic.map(describe_periodic).join();
  if (key !== list_key) {
    list_key = key;
    show_orbits(el('orbits'), map.orbits, s.n_points, color_of);
    show_periodic(el('periodic'), map.periodic);
  }
  el('status').textContent = map.note || status_text(map.orbits, s.n_points);
  el('command').textContent = command_line(s, model.defaults);
  const busy = map.checking > 0 || map.periodic_busy ||
    map.orbits.some((o) => o.status === 'pending' || o.status === 'running');
  document.body.dataset.state = busy ? 'busy' : 'idle';
  const hash = state_to_hash(s, map.orbits.map((o) => o.seed), map.view,
    el('stability').checked);
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
  search_pending(map, changed);
  changed();
}

const { apply_checked, load_hash, load_ini_file } =
  state_actions({ map, form, background_toggle: el('stability'), defaults, compute, changed });

// A shift-click seeks the periodic orbit of the period field's period near the click; the
// server checks the period.
function add_periodic(xy) {
  const period = Number(el('period').value);
  map.periodic.push(make_periodic(seed_at(xy, map.view, area, map.settings.L), period));
  compute();
}

function add_seed([x, y]) {
  if (map.orbits.length >= MAX_SEEDS) {
    map.note = `A map holds at most ${MAX_SEEDS} orbits.`;
    changed();
    return;
  }
  map.note = '';
  map.orbits.push(make_orbit(seed_at([x, y], map.view, area, map.settings.L)));
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
  map.note = '';
  compute();
}

function picture() {
  const [width, height] = plot_size();
  return { settings: map.settings, seeds: map.orbits.map((o) => o.seed), orbits: drawn_orbits(),
    view: map.view, width, height, ratio: window.devicePixelRatio || 1,
    threshold: model.megno_threshold, marks: map_options().marks,
    under: el('stability').checked ? (p, a, v) => draw_background(background, p, a, v) : null };
}

build_sliders(el('sliders'), model.names);
bind_settings(form, model.names, () => map.settings, (s) => {
  apply_checked(s, map.orbits.map((o) => o.seed), map.view, '').catch((error) => {
    map.note = error.message;
    show_settings(form, map.settings);
    changed();
  });
}, (error) => {
  map.note = error;
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
  on_click: (xy, event) => (event.shiftKey ? add_periodic(xy) : add_seed(xy)),
});
el('period').max = String(model.max_period);
el('periodic').addEventListener('click', (event) => {
  const b = event.target.closest('button[data-periodic]');
  const k = b ? Number(b.dataset.periodic) : -1;
  if (k >= 0) {
    if (map.periodic[k].status === 'running') {
      cancel_periodic(map);
    }
    map.periodic.splice(k, 1);
    changed();
  }
});
show_scale(el('stability-scale'), model.megno_threshold);
el('stability').addEventListener('change', changed);
el('undo').addEventListener('click', () => redo(map.orbits.length - 1, true));
el('orbits').addEventListener('click', (event) => {
  const b = event.target.closest('button[data-action]');
  if (b) {
    redo(Number(b.dataset.orbit), b.dataset.action === 'remove');
  }
});
el('clear').addEventListener('click', () => {
  cancel(map);
  cancel_periodic(map);
  map.periodic = [];
  map.orbits = [];
  map.note = '';
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
el('export-png').addEventListener('click', () => export_png('trivella-map.png', picture()));
el('export-svg').addEventListener('click', () => export_svg('trivella-map.svg', picture()));
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
