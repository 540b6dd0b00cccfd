// Periodic orbits sought near a shift-click: one search at a time on the server (api/periodic,
// Newton's method on the precise map), their list beside the map, and the text that says what
// each one found. A search is cancelled when its entry goes or the settings change; it is then
// made again under the new settings.

// The precise method's tol for the searches: the rounding floor of the map is reached well
// before Newton's bound of 1e-11 on the residual.
export const PERIODIC_TOL = 1e-12;

// A search for the orbit of `period` from guess [phi, l] (l not divided by L).
export function make_periodic(guess, period) {
  return { guess, period, status: 'pending', orbit: null, message: '', key: '' };
}

// The settings a search depends on, as one string: a change makes its result stale.
function settings_key(s) {
  return JSON.stringify([s.L, s.h0 > 0, s.params]);
}

export function periodic_request(s, p) {
  return { period: p.period, guess: [...p.guess], tol: PERIODIC_TOL, h0: s.h0, L: s.L,
    params: { ...s.params } };
}

async function post_periodic(request, signal) {
  const response = await fetch('api/periodic', {
    method: 'POST', headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(request), signal,
  });
  let record = null;
  try {
    record = await response.json();
  } catch {
    // the message below names the status instead
  }
  if (!response.ok) {
    throw new Error((record && record.error) || `the server answered ${response.status}`);
  }
  return record;
}

const fixed = (x, digits) => (x === null ? 'NaN' : x.toFixed(digits));

function multiplier_text([re, im]) {
  if (re === null || im === null) {
    return 'NaN';
  }
  return im === 0 ? re.toPrecision(6) : `${re.toPrecision(6)} ${im < 0 ? '−' : '+'} ` +
    `${Math.abs(im).toPrecision(6)}i`;
}

// One line for an entry: what was asked, then what was found or why nothing was.
export function describe_periodic(p) {
  const asked = `period ${p.period} near φ = ${p.guess[0]}, l = ${p.guess[1]}`;
  const o = p.orbit;
  if (p.status === 'pending' || p.status === 'running') {
    return `${asked} · searching`;
  }
  if (p.status === 'failed') {
    return `${asked} · failed: ${p.message}`;
  }
  if (!o.converged) {
    return `${asked} · not converged: ${o.reason}`;
  }
  const [mu1, mu2] = o.multipliers.map(multiplier_text);
  return `${asked} · ${o.kind}, q = ${o.q} at φ = ${fixed(o.phi, 6)}, l = ${fixed(o.l, 6)}; ` +
    `R = ${o.residue.toPrecision(6)}, μ = ${mu1}, ${mu2}`;
}

// What an entry looks like in the list and on the map: elliptic, hyperbolic, parabolic,
// not-converged, or the entry's status while it has no orbit.
export function periodic_kind(p) {
  return p.status === 'done' ? p.orbit.kind : p.status;
}

// state: { periodic (the entries), settings, periodic_controller, periodic_busy }. Searches
// the pending entries one after the other, and the entries made under other settings.
export async function search_pending(state, changed) {
  const key = settings_key(state.settings);
  for (const p of state.periodic) {
    if (p.status === 'running' && p.key !== key) {
      cancel_periodic(state); // superseded: it goes back to pending and is made again
    } else if (p.status !== 'pending' && p.key !== key) {
      Object.assign(p, { status: 'pending', orbit: null, message: '' });
    }
  }
  if (state.periodic_busy) {
    return;
  }
  state.periodic_busy = true;
  try {
    for (let p; (p = state.periodic.find((e) => e.status === 'pending'));) {
      const controller = new AbortController();
      state.periodic_controller = controller;
      Object.assign(p, { status: 'running', message: '', key: settings_key(state.settings) });
      changed();
      try {
        p.orbit = await post_periodic(periodic_request(state.settings, p), controller.signal);
        p.status = 'done';
      } catch (error) {
        // A cancelled search is pending again if its entry is still listed.
        p.status = controller.signal.aborted ? 'pending' : 'failed';
        p.message = error.message;
      }
      changed();
    }
  } finally {
    state.periodic_busy = false;
    state.periodic_controller = null;
  }
}

// Stops the search in progress; the server stops its Newton iteration.
export function cancel_periodic(state) {
  if (state.periodic_controller) {
    state.periodic_controller.abort();
  }
}

// Fills `list`; each entry's button carries data-periodic (its index).
export function show_periodic(list, entries) {
  list.replaceChildren(...entries.map((p, i) => {
    const item = document.createElement('li');
    item.dataset.kind = periodic_kind(p);
    const text = document.createElement('span');
    text.className = 'text';
    text.textContent = describe_periodic(p);
    const b = document.createElement('button');
    Object.assign(b, { type: 'button', className: 'small', textContent: 'Remove',
      title: `Remove periodic orbit ${i + 1}` });
    b.dataset.periodic = String(i);
    item.append(text, b);
    return item;
  }));
}
