// The periodic orbits on the map: a filled dot on each point of an elliptic orbit, a cross on
// each point of a hyperbolic one, a hollow ring for a parabolic one. Orbits not found have no
// mark; the list says why.
import { to_pixel } from './plot.js';

const MARK = 5; // half the size of a mark, in CSS pixels
const INK = '#111111';

// Draws the marks of `entries` (from periodic_orbits.js) on painter p over `area` of `view`.
export function draw_periodic_marks(p, area, view, entries) {
  for (const e of entries) {
    const o = e.status === 'done' && e.orbit.converged ? e.orbit : null;
    for (const [x, y] of o ? o.points : []) {
      const [px, py] = to_pixel(area, view, x, y);
      if (o.kind === 'hyperbolic') {
        p.line(px - MARK, py - MARK, px + MARK, py + MARK, INK, 2.5);
        p.line(px - MARK, py + MARK, px + MARK, py - MARK, INK, 2.5);
      } else {
        p.circle(px, py, MARK, o.kind === 'elliptic' ? INK : null, INK);
      }
    }
  }
}
