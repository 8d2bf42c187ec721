// The fleet page's one script: builds the tables from the page's data block, sorts and
// filters them on the data, and draws a large push's timeline. It only ever sets text.
'use strict';
(() => {
  const data = JSON.parse(document.getElementById('data').textContent);
  const {words, texts} = data;
  const two = (n) => String(n).padStart(2, '0');

  // The same text the page writer gives a duration.
  const duration = (s) => {
    if (!(s >= 0)) s = 0;
    if (s < 60) return s.toFixed(1) + ' s';
    const w = Math.round(s);
    if (w < 3600) return Math.floor(w / 60) + ' min ' + two(w % 60) + ' s';
    if (w < 86400) return Math.floor(w / 3600) + ' h ' + two(Math.floor(w % 3600 / 60)) + ' min';
    return Math.floor(w / 86400) + ' d ' + two(Math.floor(w % 86400 / 3600)) + ' h';
  };
  // A stamp comes as the seconds before the newest (data.newest, on a calendar without
  // time zone, so UTC reads it back unchanged), or as text when it names no moment.
  const stamp = (v) => {
    if (typeof v !== 'number') return v ?? '';
    const t = new Date((data.newest - v) * 1000);
    return `${t.getUTCFullYear()}-${two(t.getUTCMonth() + 1)}-${two(t.getUTCDate())} ` +
        `${two(t.getUTCHours())}:${two(t.getUTCMinutes())}:${two(t.getUTCSeconds())}`;
  };
  const show = {
    name: (v) => v,
    word: (v) => words[v],
    text: (v) => texts[v],
    int: (v) => (v == null ? '' : String(v)),
    sec: (v) => v.toFixed(1),
    stamp,
    age: (v) => (v == null ? '' : duration(v)),
  };

  // Sort keys are numbers: texts become their rank, so each is compared by the
  // collator once per column rather than once per comparison. Made at the first sort:
  // a collator costs tens of milliseconds to set up.
  const ranks = (list) => {
    const collator = new Intl.Collator(undefined, {numeric: true});
    const order = list.map((_, i) => i).sort((a, b) => collator.compare(list[a], list[b]) || a - b);
    const rank = new Float64Array(list.length);
    order.forEach((i, r) => { rank[i] = r; });
    return rank;
  };
  let wordRank = null;
  let textRank = null;
  const number = (v) => (typeof v === 'number' ? v : -Infinity);
  const keyOf = {
    word: (v) => (wordRank ??= ranks(words))[v],
    text: (v) => (textRank ??= ranks(texts))[v],
    int: number, sec: number, age: number,
    stamp: (v) => (typeof v === 'number' ? -v : -Infinity),
  };

  // Forces the layout, so a measure covers what the reader waits for.
  const measure = (name, start, element) => {
    void element.offsetHeight;
    performance.measure(name, {start, end: performance.now()});
  };

  const gap = (columns, px) => {
    const tr = document.createElement('tr');
    tr.className = 'gap';
    const td = tr.insertCell();
    td.colSpan = columns;
    td.style.height = px + 'px';
    return tr;
  };

  // Scrolling re-renders the windowed tables; browsers send scroll events once a frame.
  let tables = [];
  const scrolled = () => {
    for (const t of tables) t.scrolled();
  };

  // One table of the page. On a page of up to data.all terminals every row is in the
  // document (find and print work); above that each table holds only the rows in view,
  // between two gaps of the right height.
  const windowed = data.rows.length > data.all;
  const makeTable = (table) => {
    const rows = data[table.dataset.rows];
    const all = table.dataset.pick ? Int32Array.from(data[table.dataset.pick])
        : Int32Array.from({length: rows.length}, (_, i) => i);
    const heads = Array.from(table.tHead.rows[0].cells);
    const cols = heads.map((th) => ({kind: th.dataset.k, field: Number(th.dataset.f),
      order: th.dataset.o === undefined ? -1 : Number(th.dataset.o),
      num: th.classList.contains('num')}));
    const colour = table.dataset.w === undefined ? -1 : Number(table.dataset.w);
    const body = table.tBodies[0];
    const position = new Int32Array(rows.length);
    all.forEach((i, n) => { position[i] = n; });
    const keys = [];
    let order = all;
    let view = all;
    let hidden = null;
    let column = -1;
    let direction = 1;
    let rowPx = 0;  // measured at the first scroll; until then a guess does
    let shown = [-1, -1];

    // Names sort by the rank the page writer gave them in another field: a collator here
    // would take most of a second for 100,000 names.
    const columnKeys = ({kind, field, order}) => {
      const k = new Float64Array(rows.length);
      for (const i of all) k[i] = order >= 0 ? rows[i][order] : keyOf[kind](rows[i][field]);
      return k;
    };

    const rowOf = (i, n) => {
      const row = rows[i];
      const tr = document.createElement('tr');
      if (colour >= 0) tr.className = 'k-' + words[row[colour]];
      if (windowed) tr.setAttribute('aria-rowindex', n + 2);
      for (const {kind, field, num} of cols) {
        const td = tr.insertCell();
        const v = row[field];
        td.textContent = show[kind](v);
        if (num) {
          td.className = 'num';
          if (kind === 'sec' || kind === 'age') td.dataset.v = v ?? '';
        } else if (kind === 'name' || kind === 'text') {
          td.title = td.textContent;
        }
      }
      return tr;
    };

    // The rows that meet the window, or the table's own scrolling box, and some more.
    const box = table.closest('.box');
    const span = (first) => {
      if (!windowed) return [0, view.length];
      if (first) return [0, Math.min(view.length, Math.ceil(innerHeight / 26) + 20)];
      if (!rowPx && body.rows.length > 2) rowPx = body.rows[1].getBoundingClientRect().height;
      const px = rowPx || 26;
      const seen = box ? box.getBoundingClientRect() : {top: 0, bottom: innerHeight};
      const top = Math.max(0, seen.top);
      const count = Math.ceil(Math.max(0, Math.min(innerHeight, seen.bottom) - top) / px) + 20;
      let from = Math.floor((top - body.getBoundingClientRect().top) / px) - 10;
      from = Math.max(0, Math.min(from, view.length - count));
      return [from, Math.min(view.length, from + count)];
    };
    if (box && windowed) box.addEventListener('scroll', scrolled, {passive: true});

    const render = (force, first) => {
      const [from, to] = span(first);
      const px = rowPx || 26;
      if (!force && from === shown[0] && to === shown[1]) return;
      shown = [from, to];
      const fragment = document.createDocumentFragment();
      if (windowed) fragment.appendChild(gap(cols.length, from * px));
      for (let n = from; n < to; ++n) fragment.appendChild(rowOf(view[n], n));
      if (windowed) fragment.appendChild(gap(cols.length, (view.length - to) * px));
      body.replaceChildren(fragment);
      if (windowed) table.setAttribute('aria-rowcount', view.length + 1);
    };

    const refresh = () => {
      view = hidden ? order.filter((i) => !hidden[rows[i][colour]]) : order;
      render(true);
    };

    const sortBy = (c) => {
      const start = performance.now();
      direction = c === column ? -direction : 1;
      column = c;
      const k = keys[c] ??= columnKeys(cols[c]);
      order = all.slice().sort((a, b) => (k[a] - k[b]) * direction || position[a] - position[b]);
      heads.forEach((h, n) => h.setAttribute('aria-sort',
          n !== c ? 'none' : direction > 0 ? 'ascending' : 'descending'));
      refresh();
      measure('fleet:sort', start, table);
    };
    heads.forEach((h, c) => h.querySelector('button').addEventListener('click', () => sortBy(c)));

    render(true, true);
    return {
      table,
      total: all.length,
      count: () => view.length,
      scrolled: () => windowed && render(!rowPx),
      filter: (h) => { hidden = h; refresh(); },
    };
  };

  // A large push's timeline: one bar per terminal on a canvas over the axis, in the
  // geometry the page writer chose; the bar under the pointer names its terminal.
  const makeTimeline = (canvas) => {
    const d = canvas.dataset;
    const [name, start, len, word, tries] = [d.name, d.start, d.len, d.word, d.tries].map(Number);
    const [left, plot, axis, pitch, thick, total] =
        [d.left, d.plot, d.axis, d.pitch, d.thick, d.total].map(Number);
    const rows = data.rows;
    const order = rows.map((_, i) => i).sort((a, b) => rows[a][start] - rows[b][start] || a - b);
    const swatch = document.body.appendChild(document.createElement('i'));
    const colours = words.map((w) => {
      swatch.className = 'k-' + w;
      return getComputedStyle(swatch).getPropertyValue('--c').trim();
    });
    swatch.remove();
    // Drawn at the screen's pixel density, in the coordinates the page writer gave.
    const [width, height] = [canvas.width, canvas.height];
    const scale = devicePixelRatio || 1;
    [canvas.width, canvas.height] = [Math.round(width * scale), Math.round(height * scale)];
    const context = canvas.getContext('2d');
    context.scale(scale, scale);
    const draw = (hidden) => {
      context.clearRect(0, 0, width, height);
      let drawn = 0;
      colours.forEach((c, w) => {
        if (hidden && hidden[w]) return;
        context.fillStyle = c;
        order.forEach((i, n) => {
          const row = rows[i];
          if (row[word] !== w) return;
          context.fillRect(left + row[start] / total * plot, axis + n * pitch,
              Math.max(row[len] / total * plot, 1), thick);
          ++drawn;
        });
      });
      canvas.dataset.drawn = drawn;
    };
    canvas.addEventListener('mousemove', (e) => {
      const y = e.offsetY * height / canvas.clientHeight;
      const row = rows[order[Math.floor((y - axis) / pitch)]];
      canvas.title = !row ? '' : `${row[name]} \u00b7 ${words[row[word]]} \u00b7 ` +
          `${row[len].toFixed(1)} s` + (row[tries] > 1 ? ` \u00b7 try ${row[tries]}` : '');
    });
    draw(null);
    return draw;
  };

  tables = Array.from(document.querySelectorAll('table[data-rows]'), makeTable);
  const canvas = document.querySelector('canvas.tl');
  const drawTimeline = canvas ? makeTimeline(canvas) : null;
  addEventListener('scroll', scrolled, {passive: true});
  addEventListener('resize', scrolled);

  const main = tables.find((t) => t.table.id === 'rows');
  const filter = document.getElementById('filter');
  if (main && filter) {
    const shown = document.getElementById('shown');
    const update = () => {
      const start = performance.now();
      const hidden = new Uint8Array(words.length);
      for (const box of filter.querySelectorAll('input')) {
        document.body.classList.toggle('hide-' + box.value, !box.checked);
        hidden[words.indexOf(box.value)] = box.checked ? 0 : 1;
      }
      main.filter(hidden);
      if (drawTimeline) drawTimeline(hidden);
      shown.textContent = main.count() + ' of ' + main.total + ' shown';
      measure('fleet:filter', start, main.table);
    };
    filter.addEventListener('change', update);
    filter.hidden = false;
    shown.textContent = main.total + ' of ' + main.total + ' shown';
  }
  if (main) void main.table.offsetHeight;
  performance.mark('fleet:first-screen');
})();
