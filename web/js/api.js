// The server's API.
//   GET api/model        {names, defaults, megno_threshold}: the model's constants
//   GET api/model?a=0    the same plus "problem": what makes these constants meaningless, or ""
//   POST api/ini    {text}: an ini.txt's settings and seeds as the program reads them,
//        {n_points, h0, tol, eps, L, seeds}; 400 {error} with the program's message
//   POST api/orbit  {method, chaos, n_points, tol, eps, h0, L, params, seeds, h_start?}
//   200: newline-delimited JSON as the orbits are computed, orbit k counting in `seeds`:
//        {"orbit": k, "points": [[phi, l/L], ...]}
//        {"orbit": k, "end": "complete", "count", "chaos", "end_h"?} or
//        {"orbit": k, "end": "failed" | "stopped", "count", "message"}
//        and last {"done": true}; orbits after a stopped one are not reported
//   400: {"error": "..."} for a request that is refused before any work starts
//   POST api/stability  {n_points, tol, h0, L, params, view: [x0, x1, y0, y1], cells: [nx, ny],
//        rows: [first, end]}: the cells' chaos indicator, docs/explorer.md

export class ApiError extends Error {}

async function error_of(response) {
  try {
    return (await response.json()).error || `the server answered ${response.status}`;
  } catch {
    return `the server answered ${response.status}`;
  }
}

// The model's constants as the server's engine has them.
export async function fetch_model(params = null) {
  const query = params ? '?' + new URLSearchParams(Object.entries(params)
    .map(([k, v]) => [k, String(v)])).toString() : '';
  const response = await fetch(`api/model${query}`);
  if (!response.ok) {
    throw new ApiError(await error_of(response));
  }
  return response.json();
}

// An ini.txt's text read by the program's own reader on the server.
export async function read_ini(text) {
  const response = await fetch('api/ini', {
    method: 'POST', headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ text }),
  });
  if (!response.ok) {
    throw new ApiError(await error_of(response));
  }
  return response.json();
}

// The request for `seeds` under settings s; h_start, the step size the classic method carries
// into the first seed, or null for h0.
export function orbit_request(s, seeds, h_start) {
  const request = {
    method: s.method, chaos: s.chaos, n_points: s.n_points, tol: s.tol, eps: s.eps, h0: s.h0,
    L: s.L, params: { ...s.params }, seeds: seeds.map((seed) => [...seed]),
  };
  if (s.method === 'classic' && h_start !== null) {
    request.h_start = h_start;
  }
  return request;
}

// Sends the request and hands each record to on_record as it arrives. Resolves once the
// server says it is done; rejects with ApiError, or with an AbortError when `signal` aborts.
export function stream_orbits(request, on_record, signal) {
  return stream_records('api/orbit', request, on_record, signal);
}

// Posts `request` to `path` and hands each line of the newline-delimited JSON answer to
// on_record as it arrives. Resolves with the last line, {"done": true, ...}.
export async function stream_records(path, request, on_record, signal) {
  const response = await fetch(path, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(request),
    signal,
  });
  if (!response.ok) {
    throw new ApiError(await error_of(response));
  }
  const reader = response.body.getReader();
  const decoder = new TextDecoder();
  let rest = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) {
      throw new ApiError('the server closed the stream before it was done');
    }
    rest += decoder.decode(value, { stream: true });
    let nl;
    while ((nl = rest.indexOf('\n')) >= 0) {
      const line = rest.slice(0, nl);
      rest = rest.slice(nl + 1);
      if (!line) {
        continue;
      }
      const record = JSON.parse(line);
      if (record.done) {
        reader.cancel().catch(() => {});
        return record;
      }
      on_record(record);
    }
  }
}
