// Whole states put on the page: from a link, a loaded ini.txt or a settings change. Each is
// checked first (the constants by the server), and its orbits are computed in one request.
import { fetch_model, read_ini } from './api.js';
import { cancel, make_orbit } from './orbit_runner.js';
import { FULL_VIEW } from './plot.js';
import { settings_error, show_settings } from './settings.js';
import { MAX_SEEDS, state_from_hash } from './url_state.js';

// page: { map, form, background_toggle (the stability background's checkbox), defaults,
// compute, changed }.
export function state_actions({ map, form, background_toggle, defaults, compute, changed }) {
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

  // While the server checks, the page counts as busy (map.checking).
  async function apply_checked(settings, seeds, view, what) {
    map.checking += 1;
    let problem;
    try {
      problem = settings_error(settings) || await params_problem(settings.params);
    } finally {
      map.checking -= 1;
      changed();
    }
    if (problem) {
      throw new Error(problem);
    }
    map.note = what;
    apply_state(settings, seeds, view);
  }

  function load_hash() {
    let state;
    try {
      state = state_from_hash(location.hash, defaults);
    } catch (error) {
      state = { error };
    }
    if (!state.error) {
      background_toggle.checked = state.background;
    }
    (state.error ? Promise.reject(state.error)
      : apply_checked(state.settings, state.seeds, state.view, '')).catch((error) => {
      map.note = `The link could not be read: ${error.message}.`;
      apply_state(defaults, [], { ...FULL_VIEW });
    });
  }

  function load_ini_file(file) {
    file.text().then(read_ini).then(({ seeds, ...numbers }) => {
      const settings = { ...map.settings, ...numbers };
      return apply_checked(settings, seeds.slice(0, MAX_SEEDS), map.view,
        seeds.length > MAX_SEEDS ? `Only the first ${MAX_SEEDS} conditions were kept.` : '');
    }).catch((error) => {
      map.note = `${file.name} was not loaded: ${error.message}`;
      changed();
    });
  }

  return { apply_state, apply_checked, load_hash, load_ini_file };
}
