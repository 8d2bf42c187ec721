// Injected at the end of a copy of a fleet page: drives the page as a reader would
// (sort by every column, filter by each word) and writes what it saw into <pre id=probe>.
(() => {
  const out = [];
  const put = (k, v) => out.push(k + '=' + v);
  const list = (values) => values.map(encodeURIComponent).join('|');
  const table = document.getElementById('rows');
  const rows = () => Array.from(table.tBodies[0].rows);
  const shown = (el) => getComputedStyle(el).display !== 'none';
  const column = (i) => rows().map((r) => r.cells[i].dataset.v ?? r.cells[i].textContent);
  const started = performance.now();
  document.body.getBoundingClientRect();
  put('load_ms', Math.round(started));
  put('rows', rows().length);
  put('first', list(column(0)));
  put('img', document.getElementsByTagName('img').length);
  put('resources', performance.getEntriesByType('resource').length);
  put('facts', list(Array.from(document.querySelectorAll('header dd'), (d) => d.textContent)));
  put('footer', encodeURIComponent(document.querySelector('footer').textContent));
  put('timeline', document.querySelectorAll('svg.tl rect').length);
  for (const g of document.querySelectorAll('svg.chart .bar')) {
    put('count.' + g.dataset.word, g.querySelector('.n').textContent);
  }
  const running = document.getElementById('running');
  if (running) put('running', list(Array.from(running.tBodies[0].rows, (r) => r.cells[0].textContent)));
  Array.from(table.tHead.rows[0].cells).forEach((th, i) => {
    const t0 = performance.now();
    th.querySelector('button').click();
    put('sort_ms.' + i, Math.round(performance.now() - t0));
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
    const bars = Array.from(document.querySelectorAll('svg.tl rect')).filter(shown);
    put('filter.' + only.value, rows().filter(shown).length + ',' + bars.length);
  }
  const pre = document.createElement('pre');
  pre.id = 'probe';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();
