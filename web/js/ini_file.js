// Reading an ini.txt picked by the user: its header settings and its conditions' seeds, by the
// program's rules (blank-separated tokens, free label words, blocks after the last one needed
// are not read).
import { parse_number } from './settings.js';

const INTEGER = /^[+-]?\d+$/;

export class IniError extends Error {}

// Returns { n_points, h0, tol, eps, L, seeds: [[phi0, l0], ...] } or throws IniError.
export function read_ini(text) {
  const tokens = text.split(/[ \t\r\n]+/).filter((t) => t.length > 0);
  let pos = 0;
  let where = 'header';
  const take = (what) => {
    if (pos >= tokens.length) {
      throw new IniError(`ini.txt: ${where}: expected ${what}, found the end of the file`);
    }
    return tokens[pos++];
  };
  const integer = (what) => {
    const t = take(`${what} (an integer)`);
    if (!INTEGER.test(t)) {
      throw new IniError(`ini.txt: ${where}: expected ${what} (an integer), found "${t}"`);
    }
    return Number(t);
  };
  const number = (what) => {
    const t = take(`${what} (a number)`);
    const v = parse_number(t);
    if (Number.isNaN(v)) {
      throw new IniError(`ini.txt: ${where}: expected ${what} (a number), found "${t}"`);
    }
    return v;
  };
  for (let i = 0; i < 3; i += 1) {
    take('a label word');
  }
  const n_conditions = integer('n_conditions');
  const result = { n_points: integer('n_points'), h0: number('h0'), tol: number('tol'),
    eps: number('eps') };
  take('a label word');
  take('a label word');
  result.L = number('L');
  result.seeds = [];
  for (let k = 1; k <= n_conditions; k += 1) {
    where = `condition ${k}`;
    take('a label word');
    take('a label word');
    integer('the condition number');
    const phi0 = number('phi0');
    const l0 = number('l0');
    take("the condition's file name");
    result.seeds.push([phi0, l0]);
  }
  return result;
}
