// The orbits of the map and their computation. Pending orbits go to the server together, one
// request per stretch, so that the precise method fills its lanes. With the classic method an
// orbit starts with the step size the one before it left, so that a map of complete orbits
// holds the very points of one run of the program over all seeds; after a failed or stopped
// orbit the next one starts afresh from h0.
import { orbit_request, stream_orbits } from './api.js';

// An orbit from its seed [phi0, l0]; status: pending, running, complete, failed or stopped.
// end_h: the step size it left, known for a classic orbit that ended its request. rotation:
// undefined until the server sends it (precise orbits only), null for an orbit too short.
export function make_orbit(seed) {
  return { seed, points: [], status: 'pending', end_h: null, chaos: null, message: '',
    rotation: undefined };
}

// The next request: orbits [start, end) and the step size carried into the first (null: h0),
// or null when nothing is pending. A classic stretch reaches back over complete orbits whose
// end step size is unknown: they are computed again, to the same points, to learn it.
export function next_batch(method, orbits) {
  const k = orbits.findIndex((o) => o.status === 'pending');
  if (k < 0) {
    return null;
  }
  let start = k;
  const classic = method === 'classic';
  while (classic && start > 0 && orbits[start - 1].status === 'complete' &&
    orbits[start - 1].end_h === null) {
    start -= 1;
  }
  let end = k;
  while (end < orbits.length && orbits[end].status === 'pending') {
    end += 1;
  }
  const before = orbits[start - 1];
  const h_start = classic && before && before.status === 'complete' ? before.end_h : null;
  return { start, end, h_start };
}

// The orbits whose points change when orbit k changes (is removed, retried or recomputed):
// with the classic method every later orbit, whose step size descends from it.
export function dependents(method, orbits, k) {
  return method === 'classic' ? orbits.slice(k + 1) : [];
}

function reset(o) {
  Object.assign(o, { points: [], status: 'pending', end_h: null, chaos: null, message: '',
    rotation: undefined });
}

export function mark_pending(orbits) {
  for (const o of orbits) {
    reset(o);
  }
}

function take_record(orbits, record) {
  const o = orbits[record.orbit];
  if (!o) {
    return;
  }
  if (record.points) {
    for (const p of record.points) {
      o.points.push(p);
    }
  }
  if ('rotation' in record) {
    o.rotation = record.rotation;
  }
  if (record.end) {
    o.status = record.end;
    o.end_h = record.end_h ?? null;
    o.chaos = record.chaos ?? null;
    o.message = record.message ?? '';
  }
}

// map: { settings, orbits, busy, controller }. Computes pending orbits, batch after batch,
// until none is left. Callers that replace or drop orbits call cancel() first; the orbits of
// the cancelled batch that had not ended are pending again and the loop takes them up.
export async function compute_pending(map, changed) {
  if (map.busy) {
    return;
  }
  map.busy = true;
  try {
    for (let batch; (batch = next_batch(map.settings.method, map.orbits));) {
      const orbits = map.orbits.slice(batch.start, batch.end);
      for (const o of orbits) {
        reset(o);
        o.status = 'running';
      }
      const controller = new AbortController();
      map.controller = controller;
      changed();
      try {
        await stream_orbits(orbit_request(map.settings, orbits.map((o) => o.seed),
          batch.h_start), (record) => {
          take_record(orbits, record);
          changed();
        }, controller.signal);
      } catch (error) {
        const first = orbits.find((o) => o.status === 'running');
        if (!controller.signal.aborted && first) {
          first.status = 'failed';
          first.message = error.message;
        }
      }
      // Orbits the server did not reach (after a stop, or cancelled) are computed again.
      mark_pending(orbits.filter((o) => o.status === 'running'));
      changed();
    }
  } finally {
    map.busy = false;
    map.controller = null;
  }
}

// Stops the request being computed; the page stops listening and the server stops the engine.
export function cancel(map) {
  if (map.controller) {
    map.controller.abort();
  }
}
