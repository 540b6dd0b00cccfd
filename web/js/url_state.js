// The map's state in the URL's hash: settings, seeds and view, so that a link reloads the same
// map. Numbers are written as the shortest text of the double the page holds.
import { parse_number, setting_error, settings_error } from './settings.js';
import { FULL_VIEW, view_problem } from './plot.js';

export const MAX_SEEDS = 64;

// #method=classic&chaos=0&n=1000&tol=1e-9&eps=0.000001&h0=0.1&L=1&e=0.4&...&view=x0,x1,y0,y1
//  &seeds=phi0,l0;phi0,l0, with &stability=1 where the stability background is on (links made
// before it existed read as off).
export function state_to_hash(s, seeds, view, background = false) {
  const fields = [['method', s.method], ['chaos', s.chaos ? 1 : 0], ['n', s.n_points],
    ['tol', s.tol], ['eps', s.eps], ['h0', s.h0], ['L', s.L]];
  for (const [name, value] of Object.entries(s.params)) {
    fields.push([name, value]);
  }
  fields.push(['view', [view.x0, view.x1, view.y0, view.y1].join(',')]);
  fields.push(['seeds', seeds.map((p) => p.join(',')).join(';')]);
  if (background) {
    fields.push(['stability', 1]);
  }
  return '#' + fields.map(([k, v]) => `${k}=${v}`).join('&');
}

function numbers(text, count, what) {
  const list = text === '' ? [] : text.split(',').map(parse_number);
  if (list.length !== count || list.some(Number.isNaN)) {
    throw new Error(`${what}: expected ${count} numbers, found "${text}"`);
  }
  return list;
}

// The state of a hash written by state_to_hash, starting from settings `defaults` (whose
// params name the model's constants). Fields it lacks keep their defaults; a bad field throws
// an Error naming it.
export function state_from_hash(hash, defaults) {
  const s = { ...defaults, params: { ...defaults.params } };
  let seeds = [];
  let view = { ...FULL_VIEW };
  let background = false;
  const text = hash.replace(/^#/, '');
  for (const part of text ? text.split('&') : []) {
    const eq = part.indexOf('=');
    const key = decodeURIComponent(eq < 0 ? part : part.slice(0, eq));
    const value = decodeURIComponent(eq < 0 ? '' : part.slice(eq + 1));
    if (key === 'method') {
      s.method = value;
    } else if (key === 'chaos') {
      s.chaos = value === '1';
    } else if (key === 'n') {
      s.n_points = /^\d+$/.test(value) ? Number(value) : NaN;
    } else if (['tol', 'eps', 'h0', 'L'].includes(key)) {
      s[key] = parse_number(value);
    } else if (Object.hasOwn(defaults.params, key)) {
      s.params[key] = parse_number(value);
    } else if (key === 'view') {
      const [x0, x1, y0, y1] = numbers(value, 4, 'view');
      view = { x0, x1, y0, y1 };
      const problem = view_problem(view);
      if (problem) {
        throw new Error(`view: ${problem}`);
      }
    } else if (key === 'stability') {
      background = value === '1';
    } else if (key === 'seeds') {
      seeds = value === '' ? [] : value.split(';').map((p) => numbers(p, 2, 'seeds'));
      const bad = seeds.flat().map((v) => setting_error('a seed', v)).find(Boolean);
      if (bad) {
        throw new Error(bad);
      }
    } else {
      throw new Error(`unknown field "${key}" in the link`);
    }
  }
  const error = settings_error(s);
  if (error) {
    throw new Error(error);
  }
  if (seeds.length > MAX_SEEDS) {
    throw new Error(`the link holds ${seeds.length} seeds; at most ${MAX_SEEDS} are kept`);
  }
  return { settings: s, seeds, view, background };
}
