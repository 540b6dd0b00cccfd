// Colours of the map: one per orbit, and the scale of the chaos indicator with its bar.

// MEGNO <Y> tends to 2 on a regular orbit and grows with time on a chaotic one; the bar spans
// this range and clamps values outside it.
export const INDICATOR_RANGE = { lo: 0, hi: 8, label: 'MEGNO \u27e8Y\u27e9' };

// Stops of a perceptually ordered scale, dark blue to yellow.
const SCALE = [
  [0.0, [68, 1, 84]],
  [0.25, [59, 82, 139]],
  [0.5, [33, 145, 140]],
  [0.75, [94, 201, 98]],
  [1.0, [253, 231, 37]],
];

function hex(rgb) {
  return '#' + rgb.map((c) => Math.round(c).toString(16).padStart(2, '0')).join('');
}

// HSL with h in degrees, s and l in [0, 1], as #rrggbb (SVG readers without CSS Color 4).
function hsl_hex(h, s, l) {
  const a = s * Math.min(l, 1 - l);
  const f = (n) => {
    const k = (n + h / 30) % 12;
    return 255 * (l - a * Math.max(-1, Math.min(k - 3, 9 - k, 1)));
  };
  return hex([f(0), f(8), f(4)]);
}

// Orbit i's own colour: hues a golden angle apart stay distinct for any number of orbits.
export function orbit_color(i) {
  return hsl_hex((i * 137.508 + 215) % 360, 0.72, 0.42);
}

// The colour of an indicator value on the scale; grey while the value is unknown.
export function indicator_color(value) {
  if (!Number.isFinite(value)) {
    return '#9a9a9a';
  }
  const { lo, hi } = INDICATOR_RANGE;
  const u = Math.min(1, Math.max(0, (value - lo) / (hi - lo)));
  let i = 1;
  while (i < SCALE.length - 1 && SCALE[i][0] < u) {
    i += 1;
  }
  const [u0, c0] = SCALE[i - 1];
  const [u1, c1] = SCALE[i];
  const w = (u - u0) / (u1 - u0);
  return hex(c0.map((c, k) => c + (c1[k] - c) * w));
}

// The scale as gradient stops [offset, colour], offset 0 at the low end.
export function indicator_stops() {
  return SCALE.map(([u, c]) => [u, hex(c)]);
}
