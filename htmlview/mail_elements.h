// SPDX-License-Identifier: MIT
#pragma once

#include <litehtml/litehtml.h>

#include <memory>

namespace htmlview {

// Elements made here instead of by the layout engine: the body's colour
// attributes and a block's max-height, which the engine gets wrong in mail
// (max-height hides the preview text at the top of many newsletters), and
// containers that leave out of a paint what lies outside it. Null for any
// other tag: the engine makes those itself.
std::shared_ptr<litehtml::element> createMailElement(const litehtml::tchar_t *tagName,
                                                     const std::shared_ptr<litehtml::document> &document);

// Measures, after a layout, how far each container's content reaches, so
// that painting can pass over what is out of sight.
void measureForDrawing(const litehtml::element::ptr &root);

} // namespace htmlview
