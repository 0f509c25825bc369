// SPDX-License-Identifier: MIT
#include "htmlview/default_style.h"

namespace htmlview {

const char *const kDefaultStyleSheet = R"css(
html { display: block; position: relative; }
head, meta, title, link, style, script, template, noscript, option, datalist, param { display: none; }
input[type="hidden"], [hidden] { display: none; }
body { display: block; margin: 8px; }

address, article, aside, blockquote, center, dd, details, dialog, dir, div, dl, dt, fieldset,
figcaption, figure, footer, form, h1, h2, h3, h4, h5, h6, header, hgroup, hr, legend, main,
menu, nav, ol, p, pre, section, summary, ul { display: block; }
span, a, abbr, b, bdi, bdo, cite, code, data, del, dfn, em, font, i, ins, kbd, mark, q, s, samp,
small, strike, strong, sub, sup, time, tt, u, var, label { display: inline; }

p, dl, blockquote, figure { margin-top: 1em; margin-bottom: 1em; }
blockquote, figure { margin-left: 40px; margin-right: 40px; }
dd { margin-left: 40px; }
center { text-align: center; }
form { margin-top: 0; }

h1 { font-size: 2em; margin-top: 0.67em; margin-bottom: 0.67em; font-weight: bold; }
h2 { font-size: 1.5em; margin-top: 0.83em; margin-bottom: 0.83em; font-weight: bold; }
h3 { font-size: 1.17em; margin-top: 1em; margin-bottom: 1em; font-weight: bold; }
h4 { margin-top: 1.33em; margin-bottom: 1.33em; font-weight: bold; }
h5 { font-size: 0.83em; margin-top: 1.67em; margin-bottom: 1.67em; font-weight: bold; }
h6 { font-size: 0.67em; margin-top: 2.33em; margin-bottom: 2.33em; font-weight: bold; }

b, strong, th { font-weight: bold; }
i, em, cite, dfn, var, address { font-style: italic; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
small { font-size: smaller; }
big { font-size: larger; }
sub { vertical-align: sub; font-size: smaller; }
sup { vertical-align: super; font-size: smaller; }
tt, code, kbd, samp, pre { font-family: monospace; }
pre { white-space: pre; margin-top: 1em; margin-bottom: 1em; }
mark { background-color: yellow; color: black; }

a:link, a { color: #0000ee; text-decoration: underline; cursor: pointer; }

hr { margin: 0.5em auto; border-style: inset; border-width: 1px; color: gray; }
br { display: inline-block; }
br[clear="all"] { clear: both; }
img { display: inline-block; }
img[align="left"] { float: left; }
img[align="right"] { float: right; }

ul, menu, dir { list-style-type: disc; margin-top: 1em; margin-bottom: 1em; padding-left: 40px; }
ol { list-style-type: decimal; margin-top: 1em; margin-bottom: 1em; padding-left: 40px; }
li { display: list-item; }
ul ul, ol ul { list-style-type: circle; }
ul ul, ul ol, ol ol, ol ul { margin-top: 0; margin-bottom: 0; }

table { display: table; border-collapse: separate; border-spacing: 2px; }
thead, tbody, tfoot { display: table-row-group; vertical-align: middle; }
thead { display: table-header-group; }
tfoot { display: table-footer-group; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
caption { display: table-caption; text-align: center; }
table[border] { border-style: solid; border-width: 1px; border-color: gray; }
table[border] td, table[border] th { border-style: solid; border-width: 1px; border-color: gray; }
table[border="0"], table[border="0"] td, table[border="0"] th { border-style: none; }
td[nowrap], th[nowrap] { white-space: nowrap; }

input, textarea, select, button { display: inline-block; margin: 0; }
)css";

} // namespace htmlview
