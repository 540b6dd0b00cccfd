// The map as a picture file: PNG from a canvas of its own, SVG from the vector painter. Both
// carry a caption naming the settings, and the SVG carries them as metadata too.
import { caption_text, download_png, download_text, settings_record } from './exports.js';
import { canvas_painter, svg_painter } from './painters.js';
import { dot_size, draw_map, plot_area } from './plot.js';
import { make_layer, update_layer } from './point_layer.js';

// picture: { settings, seeds, orbits (drawn: seed, points, color), view, width, height,
// ratio, threshold, marks (drawn over the points, as draw_map takes them), under (what is
// drawn under them: the stability background, or null) }.
function options_of(picture) {
  const s = picture.settings;
  return { L: s.L, bar: s.chaos, threshold: picture.threshold, caption: caption_text(s),
    marks: picture.marks, under: picture.under };
}

export function export_png(name, picture) {
  const { orbits, view, width, height, ratio } = picture;
  const options = { ...options_of(picture), layer: make_layer() };
  update_layer(options.layer, plot_area(width, height, options.bar, true), view, orbits,
    dot_size(orbits), ratio);
  const canvas = document.createElement('canvas');
  draw_map(canvas_painter(canvas, width, height, ratio), width, height, view, orbits, options);
  download_png(name, canvas);
}

export function export_svg(name, picture) {
  const painter = svg_painter(picture.width, picture.height);
  draw_map(painter, picture.width, picture.height, picture.view, picture.orbits,
    options_of(picture));
  const record = settings_record(picture.settings, picture.seeds);
  download_text(name, painter.finish(record), 'image/svg+xml');
}
