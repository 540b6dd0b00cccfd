// The orbits' points rasterised once into an offscreen layer for one view. While the view
// moves the layer is drawn scaled and shifted (one image per frame, whatever the number of
// points); once it rests the layer is rasterised again for the new view. Points that arrive
// for an unchanged view are added to the layer without redrawing the others.

// The layer reaches this fraction of the view beyond each edge, so that a drag shows points.
const MARGIN = 0.5;

function widened(v) {
  const dx = (v.x1 - v.x0) * MARGIN;
  const dy = (v.y1 - v.y0) * MARGIN;
  return { x0: v.x0 - dx, x1: v.x1 + dx, y0: v.y0 - dy, y1: v.y1 + dy };
}

function rgba_of(color) {
  const v = parseInt(color.slice(1), 16);
  // Little-endian RGBA bytes of ImageData, read as one 32-bit word.
  return (0xff000000 | ((v & 0xff) << 16) | (v & 0xff00) | ((v >> 16) & 0xff)) >>> 0;
}

export function new_canvas(width, height) {
  if (typeof OffscreenCanvas !== 'undefined') {
    return new OffscreenCanvas(width, height);
  }
  const c = document.createElement('canvas');
  c.width = width;
  c.height = height;
  return c;
}

// An empty layer; `ratio` device pixels per CSS pixel.
export function make_layer() {
  return { canvas: null, image: null, words: null, view: null, base: null, ratio: 1,
    orbits: [], colors: [], drawn: [], size: 0 };
}

function same_view(a, b) {
  return a && b && a.x0 === b.x0 && a.x1 === b.x1 && a.y0 === b.y0 && a.y1 === b.y1;
}

function paint(layer, points, from, rgba, view) {
  const { words, image, size } = layer;
  const w = image.width;
  const h = image.height;
  const sx = w / (view.x1 - view.x0);
  const sy = h / (view.y1 - view.y0);
  const half = size / 2;
  // A million points pass here: plain loops and stores, no calls per point.
  for (let i = from; i < points.length; i += 1) {
    const p = points[i];
    const left = Math.floor((p[0] - view.x0) * sx - half + 0.5);
    const top = Math.floor((view.y1 - p[1]) * sy - half + 0.5);
    if (left >= w || top >= h || left + size <= 0 || top + size <= 0) {
      continue;
    }
    const x0 = left < 0 ? 0 : left;
    const x1 = left + size > w ? w : left + size;
    const y1 = top + size > h ? h : top + size;
    for (let y = top < 0 ? 0 : top; y < y1; y += 1) {
      const row = y * w;
      for (let x = x0; x < x1; x += 1) {
        words[row + x] = rgba;
      }
    }
  }
}

// Brings the layer up to date for `view` over plot `area` (CSS pixels) at `ratio`: orbits are
// { points, color }; dots of `size` CSS pixels. layer.base is the view it was drawn for,
// layer.view the wider one it covers. Returns true when anything was drawn.
export function update_layer(layer, area, view, orbits, size, ratio) {
  const w = Math.max(1, Math.round(area.width * ratio * (1 + 2 * MARGIN)));
  const h = Math.max(1, Math.round(area.height * ratio * (1 + 2 * MARGIN)));
  const dot = Math.max(1, Math.round(size * ratio));
  const full = !layer.canvas || layer.canvas.width !== w || layer.canvas.height !== h ||
    !same_view(layer.base, view) || layer.size !== dot || orbits.length < layer.orbits.length ||
    orbits.some((o, i) => o.points !== layer.orbits[i] || o.color !== layer.colors[i] ||
      o.points.length < (layer.drawn[i] || 0));
  if (full) {
    if (!layer.canvas || layer.canvas.width !== w || layer.canvas.height !== h) {
      layer.canvas = new_canvas(w, h);
      layer.image = new ImageData(w, h);
      layer.words = new Uint32Array(layer.image.data.buffer);
    } else {
      layer.words.fill(0); // transparent: the map's background shows through
    }
    layer.base = { ...view };
    layer.view = widened(view);
    layer.size = dot;
    layer.drawn = [];
  }
  let changed = full;
  orbits.forEach((o, i) => {
    const from = layer.drawn[i] || 0;
    if (from < o.points.length) {
      paint(layer, o.points, from, rgba_of(o.color), layer.view);
      changed = true;
    }
    layer.drawn[i] = o.points.length;
  });
  layer.orbits = orbits.map((o) => o.points);
  layer.colors = orbits.map((o) => o.color);
  layer.ratio = ratio;
  if (changed) {
    layer.canvas.getContext('2d').putImageData(layer.image, 0, 0);
  }
  return changed;
}

// Where the layer, drawn for layer.view, lies in CSS pixels when the plot `area` shows `view`:
// [x, y, width, height].
export function layer_placement(layer, area, view) {
  const v = layer.view;
  const kx = area.width / (view.x1 - view.x0);
  const ky = area.height / (view.y1 - view.y0);
  return [area.left + (v.x0 - view.x0) * kx, area.top + (view.y1 - v.y1) * ky,
    (v.x1 - v.x0) * kx, (v.y1 - v.y0) * ky];
}
