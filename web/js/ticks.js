// Axis ticks: nice decimal steps, and multiples of π/4 for the angle while they are enough.

function nice_step(span, count) {
  const raw = span / count;
  const p = 10 ** Math.floor(Math.log10(raw));
  return [1, 2, 5, 10].map((m) => m * p).find((s) => s >= raw);
}

// The nice step below `step` (1, 2, 5 times a power of ten).
function smaller_step(step) {
  const p = 10 ** Math.floor(Math.log10(step) + 1e-9);
  return Math.round(step / p) === 5 ? 2 * p : step / 2;
}

function ticks_in(lo, hi, step) {
  return Math.floor(hi / step + 1e-9) - Math.ceil(lo / step - 1e-9) + 1;
}

// Multiples of a nice step, at most about `count`; a narrow plot still gets three.
export function decimal_ticks(lo, hi, count) {
  let step = nice_step(hi - lo, count);
  while (ticks_in(lo, hi, step) < Math.min(3, count)) {
    step = smaller_step(step);
  }
  // toFixed takes 0 to 100 digits; a view within its bounds needs at most a dozen.
  const digits = Math.min(20, Math.max(0, -Math.floor(Math.log10(step) + 1e-9)));
  const ticks = [];
  for (let k = Math.ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; k += 1) {
    ticks.push([k * step, (k === 0 ? 0 : k * step).toFixed(digits)]);
  }
  return ticks;
}

function gcd(a, b) {
  return b === 0 ? a : gcd(b, a % b);
}

// k quarters of pi as text: "0", "π/4", "π/2", "3π/4", "π", "−π/2" ...
function quarter_pi_label(k) {
  if (k === 0) {
    return '0';
  }
  const g = gcd(Math.abs(k), 4);
  const num = k / g;
  const den = 4 / g;
  const sign = num < 0 ? '\u2212' : '';
  const whole = Math.abs(num) === 1 ? `${sign}π` : `${sign}${Math.abs(num)}π`;
  return den === 1 ? whole : `${whole}/${den}`;
}

// Multiples of π/4, π/2 or π while enough fit (three, and a third of `count`); decimals once
// zoomed in further.
export function phi_ticks(lo, hi, count) {
  for (const quarters of [1, 2, 4]) {
    const step = (quarters * Math.PI) / 4;
    const first = Math.ceil(lo / step - 1e-9);
    const last = Math.floor(hi / step + 1e-9);
    if (last - first + 1 <= count) {
      if (last - first + 1 < Math.max(Math.min(3, count), Math.ceil(count / 3))) {
        break;
      }
      const ticks = [];
      for (let k = first; k <= last; k += 1) {
        ticks.push([k * step, quarter_pi_label(k * quarters)]);
      }
      return ticks;
    }
  }
  return decimal_ticks(lo, hi, count);
}
