// The list of orbits beside the map: colour, seed, progress, the indicator's values, and for
// each orbit its own buttons; and the status line above the map.

function describe(o, n_points) {
  const seed = `φ0 = ${o.seed[0]}, l0 = ${o.seed[1]}`;
  let state = `${o.points.length} / ${n_points}`;
  if (o.status === 'failed' || o.status === 'stopped') {
    state += ` — ${o.status}: ${o.message}`;
  } else if (o.status === 'pending') {
    state = 'waiting';
  }
  if (o.chaos) {
    state += ` — MEGNO ${o.chaos.megno.toFixed(3)}, λ ${o.chaos.lyapunov.toExponential(2)}` +
      (o.chaos.chaotic ? ', chaotic' : ', regular');
  }
  if (o.rotation) {
    const r = o.rotation;
    const kind = r.circulating ? 'circulating' : 'librating';
    state += ` — ρ = ${r.rotation.toFixed(8)} (${kind}, ${r.digits.toFixed(1)} digits)`;
  } else if (o.rotation === null) {
    state += ' — ρ: too few points';
  }
  return `${seed} · ${state}`;
}

function button(action, index, text, title) {
  const b = document.createElement('button');
  b.type = 'button';
  b.className = 'small';
  b.dataset.action = action;
  b.dataset.orbit = String(index);
  b.textContent = text;
  b.title = title;
  return b;
}

// Fills `list`; its buttons carry data-action (retry, remove) and data-orbit (the index).
export function show_orbits(list, orbits, n_points, color_of) {
  list.replaceChildren(...orbits.map((o, i) => {
    const item = document.createElement('li');
    item.dataset.status = o.status;
    const swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = color_of(o, i);
    const text = document.createElement('span');
    text.className = 'text';
    text.textContent = describe(o, n_points);
    item.append(swatch, text);
    if (o.status === 'failed' || o.status === 'stopped') {
      item.append(button('retry', i, 'Retry', `Compute orbit ${i + 1} again`));
    }
    item.append(button('remove', i, 'Remove', `Remove orbit ${i + 1}`));
    return item;
  }));
}

// One line: what is being computed, what went wrong, or what the map holds.
export function status_text(orbits, n_points) {
  if (orbits.length === 0) {
    return 'Click the map to start an orbit there, shift-click to find a periodic orbit; drag ' +
      'to pan, scroll to zoom.';
  }
  const total = orbits.reduce((n, o) => n + o.points.length, 0);
  const k = orbits.findIndex((o) => o.status === 'running');
  if (k >= 0) {
    return `Computing orbit ${k + 1} of ${orbits.length}: ` +
      `${orbits[k].points.length} / ${n_points} points.`;
  }
  const held = `${orbits.length} orbit${orbits.length > 1 ? 's' : ''}, ${total} points.`;
  const bad = orbits.filter((o) => o.status === 'failed' || o.status === 'stopped');
  if (bad.length) {
    const first = orbits.indexOf(bad[0]);
    const more = bad.length > 1 ? ` (and ${bad.length - 1} more)` : '';
    return `${held} Orbit ${first + 1} ${bad[0].status}: ${bad[0].message}${more}; ` +
      'see the list to retry or remove.';
  }
  return held;
}
