// The server's API: one orbit per request, its points streamed back as newline-delimited JSON.
//   POST api/orbit  {method, chaos, n_points, tol, eps, h0, L, params, seed, h_start?}
//   200: lines {"points": [[phi, l/L], ...]} as they are computed, then one line with "end":
//        {"end": "complete", "count", "end_h", "chaos"} or
//        {"end": "failed" | "stopped", "count", "message"}
//   400: {"error": "..."} for a request that is refused before any work starts

export class ApiError extends Error {}

// The request for orbit k of `orbits` under settings s. The classic method carries the step
// size over from one orbit to the next, as the program does from one condition to the next.
export function orbit_request(s, orbits, k) {
  const request = {
    method: s.method, chaos: s.chaos, n_points: s.n_points, tol: s.tol, eps: s.eps, h0: s.h0,
    L: s.L, params: { ...s.params }, seed: [...orbits[k].seed],
  };
  if (s.method === 'classic' && k > 0) {
    request.h_start = orbits[k - 1].end_h;
  }
  return request;
}

// Sends the request and hands each batch of points to on_points as it arrives. Resolves to the
// final "end" record; rejects with ApiError, or with an AbortError when `signal` aborts.
export async function stream_orbit(request, on_points, signal) {
  const response = await fetch('api/orbit', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(request),
    signal,
  });
  if (!response.ok) {
    let message = `the server answered ${response.status}`;
    try {
      message = (await response.json()).error || message;
    } catch {
      // The status line says enough.
    }
    throw new ApiError(message);
  }
  const reader = response.body.getReader();
  const decoder = new TextDecoder();
  let rest = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) {
      throw new ApiError('the server closed the stream before the orbit ended');
    }
    rest += decoder.decode(value, { stream: true });
    let nl;
    while ((nl = rest.indexOf('\n')) >= 0) {
      const line = rest.slice(0, nl);
      rest = rest.slice(nl + 1);
      if (!line) {
        continue;
      }
      const message = JSON.parse(line);
      if (message.points) {
        on_points(message.points);
      }
      if (message.end) {
        reader.cancel().catch(() => {});
        return message;
      }
    }
  }
}
