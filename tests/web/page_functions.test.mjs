// The page's pure functions under node --test: axis ticks at every zoom, the view guard, the
// link's state, ini.txt reading, the next request's orbits, and the export captions.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { next_batch } from '../../web/js/orbit_runner.js';
import { caption_text, command_line, settings_record } from '../../web/js/exports.js';
import { FULL_VIEW, MAX_SPAN, MIN_SPAN, view_problem } from '../../web/js/plot.js';
import { default_settings } from '../../web/js/settings.js';
import { LEVELS, pass_rows } from '../../web/js/stability_background.js';
import { decimal_ticks, phi_ticks } from '../../web/js/ticks.js';
import { state_from_hash, state_to_hash } from '../../web/js/url_state.js';

const MODEL = { names: ['a', 'b', 'c', 'd', 'e', 'omega'],
  defaults: { a: 6, b: 5, c: 8, d: 15, e: 0.4, omega: 1 } };
const DEFAULTS = default_settings(MODEL);

test('every view within the guard gets three or more distinct ticks inside it', () => {
  const spans = [MIN_SPAN, 3.3e-6, 1e-4, 0.05, 1.9, 2 * Math.PI, 40, MAX_SPAN];
  for (const span of spans) {
    for (const centre of [0, Math.PI, -7.77, 9999 - span]) {
      for (const count of [3, 8, 15]) {
        for (const ticks of [phi_ticks, decimal_ticks]) {
          const lo = centre - span / 2;
          const hi = centre + span / 2;
          const t = ticks(lo, hi, count);
          const labels = t.map(([, label]) => label);
          const where = `${ticks.name}(${lo}, ${hi}, ${count})`;
          assert.ok(t.length >= 3 && t.length <= 3 * count, `${where}: ${labels}`);
          assert.equal(new Set(labels).size, labels.length, `${where}: ${labels}`);
          assert.ok(t.every(([v]) => v >= lo - span * 1e-9 && v <= hi + span * 1e-9), where);
        }
      }
    }
  }
  // catches: two labels on the phi axis at a zoom of 1.9 rad
  assert.ok(phi_ticks(2.2, 4.1, 12).length >= 5);
  assert.deepEqual(phi_ticks(0, 2 * Math.PI, 12).map(([, l]) => l),
    ['0', 'π/4', 'π/2', '3π/4', 'π', '5π/4', '3π/2', '7π/4', '2π']);
});

test('the view guard refuses what cannot be drawn', () => {
  assert.equal(view_problem(FULL_VIEW), '');
  for (const v of [{ x0: 1, x1: 1 + 1e-9, y0: 0, y1: 1 }, { x0: 0, x1: 1, y0: 0, y1: 5e3 },
    { x0: 2, x1: 1, y0: 0, y1: 1 }, { x0: NaN, x1: 1, y0: 0, y1: 1 },
    { x0: 1e6, x1: 1e6 + 1, y0: 0, y1: 1 }]) {
    assert.notEqual(view_problem(v), '', JSON.stringify(v));
  }
});

test('a link gives back the state it was written from, and a bad one names its field', () => {
  const s = { ...DEFAULTS, method: 'precise', chaos: true, n_points: 250, tol: 1e-8, L: -2.5,
    params: { ...DEFAULTS.params, e: 0.55, omega: 1.1 } };
  const seeds = [[0.1, 0.2], [6.2831853, -1e-7]];
  const view = { x0: 1.25, x1: 3.5, y0: -0.125, y1: 0.75 };
  for (const background of [false, true]) {
    const back = state_from_hash(state_to_hash(s, seeds, view, background), DEFAULTS);
    assert.deepEqual(back, { settings: s, seeds, view, background });
  }
  // A link made before the background existed keeps it off.
  assert.deepEqual(state_from_hash('', DEFAULTS).settings, DEFAULTS);
  assert.equal(state_from_hash('#n=500', DEFAULTS).background, false);
  for (const [hash, words] of [['#view=1,1.0000000001,0,1', /view: each span/],
    ['#view=0,1,0', /view: expected 4 numbers/], ['#n=0', /n_points/], ['#tol=-1', /tol/],
    ['#colour=red', /unknown field "colour"/], ['#e=1e39', /e must be a finite/],
    ['#seeds=1,2;3', /seeds/], ['#method=euler', /method/]]) {
    assert.throws(() => state_from_hash(hash, DEFAULTS), words, hash);
  }
});

test('the next request takes the stretch of pending orbits and the step size before it', () => {
  const o = (status, end_h = null) => ({ status, end_h });
  const orbits = [o('complete', 0.01), o('pending'), o('pending'), o('failed'), o('pending')];
  assert.deepEqual(next_batch('classic', orbits), { start: 1, end: 3, h_start: 0.01 });
  assert.deepEqual(next_batch('precise', orbits), { start: 1, end: 3, h_start: null });
  // After a failed orbit the classic chain starts afresh from h0.
  assert.deepEqual(next_batch('classic', [o('failed'), o('pending')]),
    { start: 1, end: 2, h_start: null });
  // A complete orbit inside an earlier request left no known step size: it is redone.
  assert.deepEqual(next_batch('classic', [o('complete', 0.02), o('complete'), o('pending')]),
    { start: 1, end: 3, h_start: 0.02 });
  assert.deepEqual(next_batch('precise', [o('complete'), o('pending')]),
    { start: 1, end: 2, h_start: null });
  assert.equal(next_batch('classic', [o('complete', 0.1), o('stopped')]), null);
});

test('exports name the method, L, tol and every constant', () => {
  const s = { ...DEFAULTS, method: 'precise', chaos: true, L: 2.5, tol: 1e-10,
    params: { ...DEFAULTS.params, e: 0.55 } };
  const caption = caption_text(s);
  for (const part of ['precise + chaos', 'L = 2.5', 'tol = 1e-10', 'eps = 0.000001', 'h0 = 0.1',
    'n_points = 1000', 'a = 6', 'e = 0.55', 'omega = 1']) {
    assert.ok(caption.includes(part), `${part} in ${caption}`);
  }
  assert.deepEqual(settings_record(s, [[1, 2]]).params, s.params);
  assert.equal(command_line(s, MODEL.defaults), 'trivella --precise --chaos --param e=0.55 DIR');
});

test('stability passes: requests cover each row once, within the server bound', () => {
  const SERVER_MAX_CELLS = 4800; // stability_request.py
  for (const [nx, ny] of LEVELS) {
    for (const n of [1, 300, 301, 1000, 20000]) {
      const rows = pass_rows(nx, ny, n);
      assert.deepEqual(rows.flatMap(([a, b]) => Array.from({ length: b - a }, (_, k) => a + k)),
        Array.from({ length: ny }, (_, k) => k), `${nx} x ${ny}, n_points ${n}`);
      assert.ok(rows.every(([a, b]) => (b - a) * nx <= SERVER_MAX_CELLS), `${nx}, ${n}`);
    }
  }
});
