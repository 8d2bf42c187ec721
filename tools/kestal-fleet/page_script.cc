// The page's one script: sorting any table by any column, and filtering by outcome or state,
// with no server. Rows are reordered in one fragment, so thousands sort at once.
#include "page_assets.h"

const std::string_view kPageScript = R"js(
'use strict';
(() => {
  const collator = new Intl.Collator(undefined, {numeric: true});
  const sortable = (table) => {
    const body = table.tBodies[0];
    const heads = Array.from(table.tHead.rows[0].cells);
    const rows = Array.from(body.rows);
    let column = -1;
    let direction = 1;
    const key = (row, i, numeric) => {
      const cell = row.cells[i];
      const text = cell.dataset.v ?? cell.textContent;
      if (!numeric) return text;
      const n = parseFloat(text);
      return Number.isNaN(n) ? -Infinity : n;
    };
    const compare = (numeric) => (a, b) => {
      const d = numeric ? (a[0] === b[0] ? 0 : a[0] < b[0] ? -1 : 1) : collator.compare(a[0], b[0]);
      return d * direction || a[1] - b[1];
    };
    const sortBy = (i) => {
      direction = i === column ? -direction : 1;
      column = i;
      const numeric = heads[i].classList.contains('num');
      const keyed = rows.map((row, n) => [key(row, i, numeric), n, row]);
      keyed.sort(compare(numeric));
      const fragment = document.createDocumentFragment();
      for (const k of keyed) fragment.appendChild(k[2]);
      body.appendChild(fragment);
      heads.forEach((h, n) => h.setAttribute('aria-sort',
          n !== i ? 'none' : direction > 0 ? 'ascending' : 'descending'));
    };
    heads.forEach((h, i) => h.querySelector('button').addEventListener('click', () => sortBy(i)));
  };
  document.querySelectorAll('table').forEach(sortable);

  const filter = document.getElementById('filter');
  const shown = document.getElementById('shown');
  if (!filter) return;
  const total = document.getElementById('rows').tBodies[0].rows.length;
  const update = () => {
    let n = 0;
    for (const box of filter.querySelectorAll('input')) {
      document.body.classList.toggle('hide-' + box.value, !box.checked);
      if (box.checked) n += Number(box.dataset.count);
    }
    shown.textContent = n + ' of ' + total + ' shown';
  };
  filter.addEventListener('change', update);
  filter.hidden = false;
  update();
})();
)js";
