// Exports of the map, all made in the page and downloaded: ini.txt and the command line that
// reproduce it with the program, the points as lL.txt, and the view as PNG or SVG.

// printf("%.<digits>f", x) of glibc: the double's exact binary value rounded half to even,
// with the sign of a negative zero kept.
export function format_fixed(x, digits) {
  if (!Number.isFinite(x)) {
    return Number.isNaN(x) ? 'nan' : x > 0 ? 'inf' : '-inf';
  }
  const view = new DataView(new ArrayBuffer(8));
  view.setFloat64(0, Math.abs(x));
  const bits = view.getBigUint64(0);
  const biased = Number(bits >> 52n);
  let mantissa = bits & ((1n << 52n) - 1n);
  let exponent = -1074;
  if (biased > 0) {
    mantissa |= 1n << 52n;
    exponent = biased - 1075;
  }
  // |x| * 10^digits = mantissa * 10^digits * 2^exponent, rounded to an integer n.
  const scaled = mantissa * 10n ** BigInt(digits);
  let n;
  if (exponent >= 0) {
    n = scaled << BigInt(exponent);
  } else {
    const den = 1n << BigInt(-exponent);
    n = scaled / den;
    const twice = (scaled % den) * 2n;
    if (twice > den || (twice === den && n % 2n === 1n)) {
      n += 1n;
    }
  }
  const s = n.toString().padStart(digits + 1, '0');
  const text = digits ? `${s.slice(0, -digits)}.${s.slice(-digits)}` : s;
  return (x < 0 || Object.is(x, -0) ? '-' : '') + text;
}

// One line per point, "%15.10f %15.10f\n", orbit after orbit: the program's RESULT/lL.txt.
export function points_text(orbits) {
  const lines = [];
  for (const o of orbits) {
    for (const [phi, l] of o.points) {
      lines.push(`${format_fixed(phi, 10).padStart(15)} ${format_fixed(l, 10).padStart(15)}\n`);
    }
  }
  return lines.join('');
}

// ini.txt for the seeds under settings s. Every number is written as the shortest text of the
// double the page holds, which rounds to the same single-precision value the server used.
export function ini_text(s, seeds) {
  const lines = [
    'trivella explorer map',
    `${seeds.length} ${s.n_points} ${s.h0} ${s.tol} ${s.eps}`,
    'reference L',
    String(s.L),
  ];
  seeds.forEach(([phi0, l0], i) => {
    const n = String(i + 1).padStart(2, '0');
    lines.push(`condition ${i + 1} ${i + 1} ${phi0} ${l0} ./RESULT/cond${n}.txt`);
  });
  return lines.join('\n') + '\n';
}

// The command that computes the map from that ini.txt in DIR: the method and the constants
// that differ from the program's own (`defaults`).
export function command_line(s, defaults) {
  const args = ['trivella'];
  if (s.method === 'precise') {
    args.push('--precise');
  }
  if (s.chaos) {
    args.push('--chaos');
  }
  for (const [name, value] of Object.entries(s.params)) {
    if (value !== defaults[name]) {
      args.push(`--param ${name}=${value}`);
    }
  }
  return args.concat('DIR').join(' ');
}

// One line naming everything the map's points depend on, for the caption of an exported
// picture: method, n_points, L, h0, tol, eps and every constant.
export function caption_text(s) {
  const method = s.method + (s.chaos ? ' + chaos' : '');
  const constants = Object.entries(s.params).map(([k, v]) => `${k} = ${v}`).join(', ');
  return `trivella ${method}; n_points = ${s.n_points}, L = ${s.L}, h0 = ${s.h0}, ` +
    `tol = ${s.tol}, eps = ${s.eps}; ${constants}`;
}

// The same as a record, for the metadata of an SVG.
export function settings_record(s, seeds) {
  return { method: s.method, chaos: s.chaos, n_points: s.n_points, L: s.L, h0: s.h0,
    tol: s.tol, eps: s.eps, params: { ...s.params }, seeds };
}

export function download(name, blob) {
  const url = URL.createObjectURL(blob);
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

export function download_text(name, text, type = 'text/plain') {
  download(name, new Blob([text], { type: `${type};charset=utf-8` }));
}

export function download_png(name, canvas) {
  canvas.toBlob((blob) => download(name, blob), 'image/png');
}
