// The list of orbits beside the map: colour, seed, progress and, with the chaos indicator,
// its values; and the status line above the map.

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
  return [seed, state];
}

export function show_orbits(list, orbits, n_points, color_of) {
  list.replaceChildren(...orbits.map((o, i) => {
    const item = document.createElement('li');
    item.dataset.status = o.status;
    const swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = color_of(o, i);
    const [seed, state] = describe(o, n_points);
    const text = document.createElement('span');
    text.textContent = `${seed} · ${state}`;
    item.append(swatch, text);
    return item;
  }));
}

// One line: what is being computed, what went wrong, or what the map holds.
export function status_text(orbits, n_points) {
  const k = orbits.findIndex((o) => o.status !== 'complete');
  const total = orbits.reduce((n, o) => n + o.points.length, 0);
  if (orbits.length === 0) {
    return 'Click the map to start an orbit there; drag to pan, scroll to zoom.';
  }
  if (k < 0) {
    return `${orbits.length} orbit${orbits.length > 1 ? 's' : ''}, ${total} points.`;
  }
  const o = orbits[k];
  if (o.status === 'failed' || o.status === 'stopped') {
    return `Orbit ${k + 1} ${o.status}: ${o.message}. Undo it or change the settings.`;
  }
  return `Computing orbit ${k + 1} of ${orbits.length}: ${o.points.length} / ${n_points} points.`;
}
