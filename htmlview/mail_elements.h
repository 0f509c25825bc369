#pragma once

#include <litehtml/litehtml.h>

#include <memory>

namespace htmlview {

// Elements the layout engine gets wrong in mail and that are made here
// instead: the body's colour attributes, and a block's max-height (what
// hides the preview text at the top of many newsletters). Null for any
// other tag: the engine makes those itself.
std::shared_ptr<litehtml::element> createMailElement(const litehtml::tchar_t *tagName,
                                                     const std::shared_ptr<litehtml::document> &document);

} // namespace htmlview
