// The stability background's colours: the mean MEGNO on the picture tool's scale (trivella-plot
// --color chaos), in matplotlib's coolwarm. log <Y> from 1 to the threshold fills the lower half
// of the scale and from the threshold to ten times it the upper half, so a cell's side of the
// middle is its verdict; values beyond either end take the end's colour.

// matplotlib's coolwarm (Moreland 2009) at 17 evenly spaced points, blue to red.
const COOLWARM = [
  [59, 76, 192], [78, 104, 216], [98, 130, 234], [119, 154, 247], [141, 176, 254],
  [163, 194, 254], [185, 208, 249], [204, 217, 237], [221, 220, 220], [236, 211, 197],
  [245, 196, 172], [247, 176, 147], [244, 152, 122], [235, 125, 98], [221, 95, 75],
  [202, 59, 55], [180, 4, 38],
];
// The picture tool's greys: a cell without a verdict (too few periods), one whose orbit failed.
const UNDECIDED = [204, 204, 204];
const FAILED = [115, 115, 115];
const FLOOR = 1; // near a stable periodic orbit <Y> tends to 0; the scale starts at 1

// The scale's top for a threshold.
export const scale_top = (threshold) => 10 * threshold;

// Where `megno` lies on the scale, from 0 to 1, the threshold at 1/2.
export function megno_position(megno, threshold) {
  const mid = Math.log(threshold / FLOOR);
  const hi = Math.log(scale_top(threshold) / FLOOR);
  const y = Math.log(Math.min(scale_top(threshold), Math.max(FLOOR, megno)) / FLOOR);
  return y <= mid ? (0.5 * y) / mid : 0.5 + (0.5 * (y - mid)) / (hi - mid);
}

// [r, g, b] of a cell by its verdict and mean MEGNO (null when the engine has none).
export function cell_rgb(verdict, megno, threshold) {
  if (verdict === 'failed') {
    return FAILED;
  }
  if (verdict === 'undecided' || !Number.isFinite(megno)) {
    return UNDECIDED;
  }
  const u = megno_position(megno, threshold) * (COOLWARM.length - 1);
  const k = Math.min(COOLWARM.length - 2, Math.floor(u));
  const w = u - k;
  return COOLWARM[k].map((c, n) => Math.round(c + (COOLWARM[k + 1][n] - c) * w));
}

// The scale as a CSS gradient from its low end (left) to its top.
export function scale_gradient() {
  const stops = COOLWARM.map((c, k) => `rgb(${c.join(',')}) ${(100 * k) / (COOLWARM.length - 1)}%`);
  return `linear-gradient(to right, ${stops.join(', ')})`;
}

// The values marked under the scale, [value, position from 0 to 1].
export function scale_ticks(threshold) {
  const values = [1, 2, threshold, 10, scale_top(threshold)];
  return [...new Set(values)].filter((v) => v >= FLOOR && v <= scale_top(threshold))
    .sort((a, b) => a - b).map((v) => [v, megno_position(v, threshold)]);
}
