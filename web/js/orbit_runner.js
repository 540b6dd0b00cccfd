// The orbits of the map and their computation, one after another in seed order: with the
// classic method each orbit starts with the step size the one before it left, so the map holds
// the very points of one run of the program over all seeds.
import { orbit_request, stream_orbit } from './api.js';

// An orbit from its seed [phi0, l0]; status: pending, running, complete, failed or stopped.
export function make_orbit(seed) {
  return { seed, points: [], status: 'pending', end_h: null, chaos: null, message: '' };
}

// map: { settings, orbits, busy, controller }. Computes every orbit that is not complete, in
// order, until one fails or stops (those after it wait: they would start from its end).
// Callers that replace or drop orbits call cancel() first; the loop then takes up the rest.
export async function compute_pending(map, changed) {
  if (map.busy) {
    return;
  }
  map.busy = true;
  try {
    for (;;) {
      const k = map.orbits.findIndex((o) => o.status !== 'complete');
      if (k < 0 || map.orbits[k].status === 'failed' || map.orbits[k].status === 'stopped') {
        break;
      }
      const orbit = map.orbits[k];
      const controller = new AbortController();
      map.controller = controller;
      orbit.status = 'running';
      changed();
      try {
        const end = await stream_orbit(orbit_request(map.settings, map.orbits, k), (points) => {
          for (const p of points) {
            orbit.points.push(p);
          }
          changed();
        }, controller.signal);
        orbit.status = end.end;
        orbit.end_h = end.end_h ?? null;
        orbit.chaos = end.chaos ?? null;
        orbit.message = end.message ?? '';
      } catch (error) {
        if (!controller.signal.aborted) {
          orbit.status = 'failed';
          orbit.message = error.message;
        }
      }
      changed();
    }
  } finally {
    map.busy = false;
    map.controller = null;
  }
}

// Stops the orbit being computed; the page stops listening and the server stops the engine.
export function cancel(map) {
  if (map.controller) {
    map.controller.abort();
  }
}
