// The settings panel: the method and its numbers, sliders for the model's constants, and the
// checks a number passes before anything is computed. The constants' names, defaults and
// validity are the engine's: the page receives them from the server (api/model).

export const MAX_POINTS = 20000;
const MIN_EPS = 1e-12; // the server's bound: finer crossings take seconds each
const FLOAT_MAX = 3.4028234663852886e38;
export const NUMBER_FIELDS = ['n_points', 'tol', 'eps', 'h0', 'L'];

// The settings of a new map; params come from the model (default_settings).
const BASE_SETTINGS = Object.freeze({
  method: 'classic', chaos: false, n_points: 1000, tol: 1e-9, eps: 1e-6, h0: 0.1, L: 1,
});

// model: { names, defaults } from api/model.
export function default_settings(model) {
  return { ...BASE_SETTINGS, params: { ...model.defaults } };
}

// How a constant's slider looks: its label and range. A range is a convenience of the panel,
// not a rule: a link or the server's check decides what is valid.
const SLIDER_LOOKS = {
  e: { label: 'e', min: 0, max: 2, step: 0.01 },
  omega: { label: 'ω', min: 0.1, max: 4, step: 0.01 },
  a: { label: 'a', min: 0.5, max: 20, step: 0.1 },
  b: { label: 'b', min: 0.5, max: 20, step: 0.1 },
  c: { label: 'c', min: 0, max: 30, step: 0.1 },
  d: { label: 'd', min: 0, max: 30, step: 0.1 },
};

export function slider_look(name) {
  return SLIDER_LOOKS[name] || { label: name, min: -10, max: 10, step: 0.01 };
}

const NUMBER = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;

// A decimal number as ini.txt writes them, or NaN.
export function parse_number(text) {
  const t = String(text).trim();
  return NUMBER.test(t) ? Number(t) : NaN;
}

// What is wrong with one setting, or '' when it may be computed. Numbers are rounded to single
// precision where they are used, so the checks look at the rounded value.
export function setting_error(name, value) {
  if (name === 'n_points') {
    return Number.isInteger(value) && value >= 1 && value <= MAX_POINTS
      ? '' : `n_points must be a whole number from 1 to ${MAX_POINTS}`;
  }
  if (!Number.isFinite(value) || Math.abs(value) > FLOAT_MAX) {
    return `${name} must be a finite number within single precision`;
  }
  const rounded = Math.fround(value);
  if ((name === 'tol' || name === 'eps') && !(rounded > 0)) {
    return `${name} must be greater than 0`;
  }
  if (name === 'eps' && rounded < Math.fround(MIN_EPS)) {
    return `eps must be at least ${MIN_EPS} here`;
  }
  if ((name === 'h0' || name === 'L') && rounded === 0) {
    return `${name} must not be 0`;
  }
  return '';
}

// The first problem of a whole settings record that the page can see, or ''. Whether the
// constants make the equations meaningful is the server's to say.
export function settings_error(s) {
  if (s.method !== 'classic' && s.method !== 'precise') {
    return 'method must be classic or precise';
  }
  if (s.chaos && s.method !== 'precise') {
    return 'the chaos indicator needs the precise method';
  }
  for (const name of NUMBER_FIELDS) {
    const e = setting_error(name, s[name]);
    if (e) {
      return e;
    }
  }
  for (const [name, value] of Object.entries(s.params)) {
    const e = setting_error(name, value);
    if (e) {
      return e;
    }
  }
  return '';
}

// Builds a slider row inside `box` for each of the model's constants.
export function build_sliders(box, names) {
  for (const name of names) {
    const { label, min, max, step } = slider_look(name);
    const row = document.createElement('label');
    row.className = 'slider';
    row.innerHTML = `<span>${label}</span>` +
      `<input type="range" id="param-${name}" name="${name}" ` +
      `min="${min}" max="${max}" step="${step}"><output id="out-${name}"></output>`;
    box.append(row);
  }
}

// Shows settings s in the form. A slider shows the nearest position it has; its output shows
// the exact value in use.
export function show_settings(form, s) {
  form.method.value = s.method;
  form.chaos.checked = s.chaos;
  form.chaos.disabled = s.method !== 'precise';
  for (const name of NUMBER_FIELDS) {
    form[name].value = String(s[name]);
    form[name].classList.remove('invalid');
  }
  for (const [name, value] of Object.entries(s.params)) {
    form.querySelector(`#param-${name}`).value = value;
    form.querySelector(`#out-${name}`).value = String(value);
  }
}

// Calls on_change(new settings) when the user changes a field to a valid value; an invalid one
// is marked and reported through on_error(message) instead.
export function bind_settings(form, names, current, on_change, on_error) {
  const update = (change) => {
    const s = { ...current(), params: { ...current().params }, ...change };
    if (s.method !== 'precise') {
      s.chaos = false;
    }
    const error = settings_error(s);
    if (error) {
      on_error(error);
      return false;
    }
    on_change(s);
    return true;
  };
  form.method.addEventListener('change', () => update({ method: form.method.value }));
  form.chaos.addEventListener('change', () => update({ chaos: form.chaos.checked }));
  for (const name of NUMBER_FIELDS) {
    form[name].addEventListener('change', () => {
      const v = parse_number(form[name].value);
      const error = Number.isNaN(v)
        ? `${name} must be a number such as 1e-9` : setting_error(name, v);
      form[name].classList.toggle('invalid', Boolean(error));
      if (error) {
        on_error(error);
      } else {
        form[name].classList.toggle('invalid', !update({ [name]: v }));
      }
    });
  }
  for (const name of names) {
    const slider = form.querySelector(`#param-${name}`);
    // While dragging only the number follows; the orbits are recomputed once it is let go.
    slider.addEventListener('input', () => {
      form.querySelector(`#out-${name}`).value = slider.value;
    });
    slider.addEventListener('change', () => {
      update({ params: { ...current().params, [name]: Number(slider.value) } });
    });
  }
  form.addEventListener('submit', (event) => event.preventDefault());
}
