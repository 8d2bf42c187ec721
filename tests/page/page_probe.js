// Injected at the end of a copy of a fleet page: drives the page as a reader would
// (sort by every column, filter by each word) and writes what it saw into <pre id=probe>.
(() => {
  const out = [];
  const put = (k, v) => out.push(k + '=' + v);
  const list = (values) => values.map(encodeURIComponent).join('|');
  const table = document.getElementById('rows');
  // The rows in the document: on a large page only those in view, between two gaps.
  const rows = () => Array.from(table.tBodies[0].rows).filter((r) => r.className !== 'gap');
  const lastMeasure = (name) => Math.round(performance.getEntriesByName(name).pop()?.duration ?? -1);
  const shown = (el) => getComputedStyle(el).display !== 'none';
  const column = (i) => rows().map((r) => r.cells[i].dataset.v ?? r.cells[i].textContent);
  put('first_ms', Math.round(performance.getEntriesByName('fleet:first-screen')[0].startTime));
  put('shown', document.getElementById('shown').textContent);
  put('rows', rows().length);
  put('first', list(column(0)));
  const cells = rows().flatMap((r) => Array.from(r.cells));
  put('heights', new Set(rows().map((r) => Math.round(r.getBoundingClientRect().height))).size);
  put('cut', list(cells.filter((c) => c.scrollWidth > c.clientWidth).map((c) => c.title)));
  put('img', document.getElementsByTagName('img').length);
  put('resources', performance.getEntriesByType('resource').length);
  put('facts', list(Array.from(document.querySelectorAll('header dd'), (d) => d.textContent)));
  put('footer', encodeURIComponent(document.querySelector('footer').textContent));
  const canvas = document.querySelector('canvas.tl');
  const bars = () => (canvas ? Number(canvas.dataset.drawn)
      : Array.from(document.querySelectorAll('svg.tl rect')).filter(shown).length);
  put('timeline', bars());
  for (const g of document.querySelectorAll('svg.chart .bar')) {
    put('count.' + g.dataset.word, g.querySelector('.n').textContent);
  }
  const running = document.getElementById('running');
  if (running) {
    const named = Array.from(running.tBodies[0].rows).filter((r) => r.className !== 'gap');
    put('running', list(named.map((r) => r.cells[0].textContent)));
  }
  Array.from(table.tHead.rows[0].cells).forEach((th, i) => {
    th.querySelector('button').click();
    put('sort_ms.' + i, lastMeasure('fleet:sort'));
    put('sort.' + i + '.' + th.getAttribute('aria-sort'), list(column(i)));
    th.querySelector('button').click();
    put('sort.' + i + '.' + th.getAttribute('aria-sort'), list(column(i)));
    put('numeric.' + i, th.classList.contains('num'));
  });
  const boxes = Array.from(document.querySelectorAll('#filter input'));
  put('filter_shown', shown(document.getElementById('filter')));
  for (const only of boxes) {
    for (const box of boxes) box.checked = box === only;
    only.dispatchEvent(new Event('change', {bubbles: true}));
    put('filter.' + only.value, rows().filter(shown).length + ',' + bars());
    put('filter_ms.' + only.value, lastMeasure('fleet:filter'));
    put('shown.' + only.value, document.getElementById('shown').textContent);
  }
  if (table.hasAttribute('aria-rowcount')) {  // only the rows in view: scroll half-way down
    for (const box of boxes) box.checked = true;
    boxes[0].dispatchEvent(new Event('change', {bubbles: true}));
    const body = table.tBodies[0].getBoundingClientRect();
    scrollTo(0, scrollY + body.top + body.height / 2);
    dispatchEvent(new Event('scroll'));  // headless chromium sends none without frames
    const inView = rows().filter((r) => {
      const box = r.getBoundingClientRect();
      return box.bottom > 0 && box.top < innerHeight;
    });
    put('scrolled', inView.length + ',' + inView[0].getAttribute('aria-rowindex'));
  }
  const pre = document.createElement('pre');
  pre.id = 'probe';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();
