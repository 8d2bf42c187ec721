// The page's style sheet: system fonts only, nothing fetched.
#include "page_assets.h"

const std::string_view kPageStyle = R"css(
body{font:14px/1.4 system-ui,sans-serif;color:#1a1a1a;margin:1.5em 2em;max-width:1100px}
h1{font-size:1.4em;margin:0 0 .4em}
h2{font-size:1.1em;margin:1.6em 0 .5em}
dl.facts{display:grid;grid-template-columns:max-content 1fr;gap:.15em 1em;margin:0}
dl.facts dt{color:#555}
dl.facts dd{margin:0;font-weight:600;overflow-wrap:anywhere}
svg{max-width:100%;height:auto;font-size:13px}
.chart rect,.tl rect,#filter i{fill:var(--c);background:var(--c)}
.chart rect{stroke:#0006;stroke-width:.5}
.chart .pc{fill:#555}
.tl .grid{stroke:#ddd}
.tl text{fill:#555;text-anchor:middle;font-size:11px}
#filter{border:1px solid #ccc;border-radius:4px;margin:1em 0;padding:.3em .8em}
#filter label{margin-right:1.2em;white-space:nowrap}
#filter i{display:inline-block;width:.8em;height:.8em;margin:0 .3em;border:1px solid #0004}
#shown{color:#555}
table{border-collapse:collapse;width:100%}
th,td{padding:.2em .6em;border-bottom:1px solid #e4e4e4;text-align:left;vertical-align:top}
td{overflow-wrap:anywhere}
td[data-v],th.num{text-align:right;font-variant-numeric:tabular-nums}
th{position:sticky;top:0;background:#f4f4f4}
th button{font:inherit;font-weight:600;border:0;background:none;padding:0;cursor:pointer}
th[aria-sort=ascending] button::after{content:" \25B2"}
th[aria-sort=descending] button::after{content:" \25BC"}
#rows td:nth-child(2){border-left:6px solid var(--c)}
footer{margin-top:2em;color:#777;font-size:.9em}
)css";
