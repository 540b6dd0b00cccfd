// Two painters with one set of drawing calls: a canvas for the screen and PNG, SVG text for the
// vector export. The plot draws through either without knowing which.

const FONT = '12px system-ui, sans-serif';

// ratio: device pixels per CSS pixel. The canvas keeps its buffer while its size holds.
export function canvas_painter(canvas, width, height, ratio) {
  const [w, h] = [Math.round(width * ratio), Math.round(height * ratio)];
  if (canvas.width !== w || canvas.height !== h) {
    canvas.width = w;
    canvas.height = h;
  }
  const ctx = canvas.getContext('2d');
  ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  return {
    // An image (the points' layer) stretched over x, y, w, h; pixels stay square dots.
    image(source, x, y, iw, ih) {
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(source, x, y, iw, ih);
    },
    rect(x, y, w, h, fill, stroke) {
      if (fill) {
        ctx.fillStyle = fill;
        ctx.fillRect(x, y, w, h);
      }
      if (stroke) {
        ctx.strokeStyle = stroke;
        ctx.lineWidth = 1;
        ctx.strokeRect(x + 0.5, y + 0.5, w - 1, h - 1);
      }
    },
    gradient_rect(x, y, w, h, stops) {
      // Offset 0 of the stops sits at the bottom.
      const g = ctx.createLinearGradient(0, y + h, 0, y);
      for (const [u, colour] of stops) {
        g.addColorStop(u, colour);
      }
      ctx.fillStyle = g;
      ctx.fillRect(x, y, w, h);
    },
    // A circle of radius r: filled with `fill` unless null, its edge 1.5 px of `stroke`.
    circle(x, y, r, fill, stroke) {
      ctx.beginPath();
      ctx.arc(x, y, r, 0, 2 * Math.PI);
      if (fill) {
        ctx.fillStyle = fill;
        ctx.fill();
      }
      ctx.strokeStyle = stroke;
      ctx.lineWidth = 1.5;
      ctx.stroke();
    },
    line(x1, y1, x2, y2, stroke, width = 1) {
      ctx.strokeStyle = stroke;
      ctx.lineWidth = width;
      ctx.beginPath();
      ctx.moveTo(x1, y1);
      ctx.lineTo(x2, y2);
      ctx.stroke();
    },
    text(x, y, s, { align = 'center', baseline = 'middle', color = '#222', rotate = false } = {}) {
      ctx.save();
      ctx.font = FONT;
      ctx.fillStyle = color;
      ctx.textAlign = align;
      ctx.textBaseline = baseline;
      ctx.translate(x, y);
      if (rotate) {
        ctx.rotate(-Math.PI / 2);
      }
      ctx.fillText(s, 0, 0);
      ctx.restore();
    },
    // Square dots of side `size` centred on the pixel coordinates xy = [x0, y0, x1, y1, ...].
    dots(color, xy, size) {
      ctx.fillStyle = color;
      const half = size / 2;
      for (let i = 0; i < xy.length; i += 2) {
        ctx.fillRect(xy[i] - half, xy[i + 1] - half, size, size);
      }
    },
    clip(x, y, w, h) {
      ctx.save();
      ctx.beginPath();
      ctx.rect(x, y, w, h);
      ctx.clip();
    },
    unclip() {
      ctx.restore();
    },
    finish() {
      return canvas;
    },
  };
}

function escape_xml(s) {
  const entities = { '<': '&lt;', '>': '&gt;', '&': '&amp;', '"': '&quot;' };
  return String(s).replace(/[<>&"]/g, (c) => entities[c]);
}

const n2 = (v) => (Math.round(v * 100) / 100).toString();

export function svg_painter(width, height) {
  const parts = [];
  let clips = 0;
  let open_groups = 0;
  return {
    // A canvas (the stability background) stretched over x, y, iw, ih as an embedded PNG;
    // copied to a page canvas first, since an OffscreenCanvas has no synchronous PNG.
    image(source, x, y, iw, ih) {
      const copy = document.createElement('canvas');
      [copy.width, copy.height] = [source.width, source.height];
      copy.getContext('2d').drawImage(source, 0, 0);
      parts.push(`<image x="${n2(x)}" y="${n2(y)}" width="${n2(iw)}" height="${n2(ih)}" ` +
        `preserveAspectRatio="none" style="image-rendering:pixelated" ` +
        `href="${copy.toDataURL('image/png')}"/>`);
    },
    rect(x, y, w, h, fill, stroke) {
      parts.push(`<rect x="${n2(x)}" y="${n2(y)}" width="${n2(w)}" height="${n2(h)}" ` +
        `fill="${fill || 'none'}"${stroke ? ` stroke="${stroke}"` : ''}/>`);
    },
    gradient_rect(x, y, w, h, stops) {
      const id = `bar${parts.length}`;
      const s = stops.map(([u, c]) => `<stop offset="${u}" stop-color="${c}"/>`).join('');
      parts.push(`<defs><linearGradient id="${id}" x1="0" y1="1" x2="0" y2="0">${s}` +
        `</linearGradient></defs>`);
      parts.push(`<rect x="${n2(x)}" y="${n2(y)}" width="${n2(w)}" height="${n2(h)}" ` +
        `fill="url(#${id})"/>`);
    },
    circle(x, y, r, fill, stroke) {
      parts.push(`<circle cx="${n2(x)}" cy="${n2(y)}" r="${n2(r)}" fill="${fill || 'none'}" ` +
        `stroke="${stroke}" stroke-width="1.5"/>`);
    },
    line(x1, y1, x2, y2, stroke, width = 1) {
      parts.push(`<line x1="${n2(x1)}" y1="${n2(y1)}" x2="${n2(x2)}" y2="${n2(y2)}" ` +
        `stroke="${stroke}" stroke-width="${width}"/>`);
    },
    text(x, y, s, { align = 'center', baseline = 'middle', color = '#222', rotate = false } = {}) {
      const anchor = { left: 'start', center: 'middle', right: 'end' }[align];
      const shift = { top: '0.8em', middle: '0.35em', bottom: '0' }[baseline];
      const turn = rotate ? ` transform="rotate(-90 ${n2(x)} ${n2(y)})"` : '';
      parts.push(`<text x="${n2(x)}" y="${n2(y)}" dy="${shift}" text-anchor="${anchor}" ` +
        `fill="${color}"${turn}>${escape_xml(s)}</text>`);
    },
    dots(color, xy, size) {
      // A horizontal stroke as long as it is wide: one square dot per point, in one path.
      const half = size / 2;
      const d = [];
      for (let i = 0; i < xy.length; i += 2) {
        d.push(`M${n2(xy[i] - half)} ${n2(xy[i + 1])}h${size}`);
      }
      if (d.length) {
        parts.push(`<path d="${d.join('')}" stroke="${color}" stroke-width="${size}"/>`);
      }
    },
    clip(x, y, w, h) {
      clips += 1;
      parts.push(`<clipPath id="clip${clips}"><rect x="${n2(x)}" y="${n2(y)}" width="${n2(w)}" ` +
        `height="${n2(h)}"/></clipPath><g clip-path="url(#clip${clips})">`);
      open_groups += 1;
    },
    unclip() {
      parts.push('</g>');
      open_groups -= 1;
    },
    // The SVG text; `metadata`, a record, goes into its <metadata> element as JSON.
    finish(metadata = null) {
      while (open_groups > 0) {
        this.unclip();
      }
      const meta = metadata ? `<metadata id="trivella-settings">` +
        `${escape_xml(JSON.stringify(metadata))}</metadata>\n` : '';
      return `<?xml version="1.0" encoding="UTF-8"?>\n` +
        `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}" ` +
        `viewBox="0 0 ${width} ${height}" font-family="system-ui, sans-serif" font-size="12">\n` +
        meta + parts.join('\n') + '\n</svg>\n';
    },
  };
}
