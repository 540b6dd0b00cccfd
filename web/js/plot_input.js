// Pointer and wheel on the plot: a click seeds an orbit, a drag pans, the wheel zooms about
// the cursor. Everything is handed over in data coordinates.
import { to_data, view_problem } from './plot.js';

const DRAG_START = 4; // pixels the pointer moves before a press counts as a drag

function local(canvas, event) {
  const box = canvas.getBoundingClientRect();
  return [event.clientX - box.left, event.clientY - box.top];
}

function inside(area, [px, py]) {
  return px >= area.left && px <= area.left + area.width &&
    py >= area.top && py <= area.top + area.height;
}

// area_of() and view_of() give the plot area in CSS pixels and the view {x0, x1, y0, y1};
// set_view(view) is called on pan and zoom, on_click([phi, l/L], event) on a click inside the
// area (the event tells a shift-click).
export function attach_plot_input(canvas, { area_of, view_of, set_view, on_click }) {
  let press = null;
  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) {
      return;
    }
    press = { at: local(canvas, event), view: { ...view_of() }, dragging: false };
    canvas.setPointerCapture(event.pointerId);
  });
  canvas.addEventListener('pointermove', (event) => {
    if (!press) {
      return;
    }
    const [px, py] = local(canvas, event);
    const dx = px - press.at[0];
    const dy = py - press.at[1];
    press.dragging = press.dragging || Math.hypot(dx, dy) > DRAG_START;
    if (press.dragging) {
      const area = area_of();
      const v = press.view;
      const sx = ((v.x1 - v.x0) / area.width) * dx;
      const sy = ((v.y1 - v.y0) / area.height) * dy;
      const next = { x0: v.x0 - sx, x1: v.x1 - sx, y0: v.y0 + sy, y1: v.y1 + sy };
      if (!view_problem(next)) {
        set_view(next);
      }
      canvas.classList.add('dragging');
    }
  });
  const release = (event) => {
    if (press && !press.dragging && event.type === 'pointerup') {
      const area = area_of();
      const at = local(canvas, event);
      if (inside(area, at)) {
        on_click(to_data(area, view_of(), ...at), event);
      }
    }
    press = null;
    canvas.classList.remove('dragging');
  };
  canvas.addEventListener('pointerup', release);
  canvas.addEventListener('pointercancel', release);
  canvas.addEventListener('wheel', (event) => {
    event.preventDefault();
    const area = area_of();
    const v = view_of();
    const [cx, cy] = to_data(area, v, ...local(canvas, event));
    const f = Math.exp(Math.max(-1, Math.min(1, event.deltaY * 0.0015)));
    const next = { x0: cx + (v.x0 - cx) * f, x1: cx + (v.x1 - cx) * f,
      y0: cy + (v.y0 - cy) * f, y1: cy + (v.y1 - cy) * f };
    // Past the views the map can show, the wheel does nothing.
    if (!view_problem(next)) {
      set_view(next);
    }
  }, { passive: false });
}

// A clicked value rounded to a tenth of what one pixel spans, so that seeds read well.
function round_to_pixel(value, per_pixel) {
  const digits = Math.min(12, Math.max(0, Math.ceil(-Math.log10(per_pixel)) + 1));
  return Number(value.toFixed(digits));
}

// The seed [phi0, l0] of a click at data point [x, y/L] of `view` drawn over `area`.
export function seed_at([x, y], view, area, L) {
  return [round_to_pixel(x, (view.x1 - view.x0) / area.width),
    round_to_pixel(y * L, ((view.y1 - view.y0) / area.height) * Math.abs(L))];
}
