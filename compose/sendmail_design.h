// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <span>

// The design of the send form: every control with its place and size in
// layout units, tab value, font style, colour and initial text.
namespace compose {

enum class ControlKind { StaticText, SingleLineEdit, MultiLineEdit, CheckBox, CommandButton, GroupBox, ListBox };

// A: the form's Arial; S: the Song-face notes; SB: their bold headings;
// K: the Kai-face banner.
enum class FontStyle { A, S, SB, K };

struct ControlDesign {
    const char *name;
    ControlKind kind;
    int x, y, width, height;  // layout units
    int tab;                  // the design's tab value (0: none; -1: no focus); Tab itself goes in reading order
    FontStyle font;
    bool blue;                // pure blue text
    bool rightAligned;        // the field labels that stand right against their field
    const char *text;         // label, or initial content (UTF-8)
};

// The controls in control order. This is also their stacking order: where
// two boxes overlap, the control listed earlier lies on top.
std::span<const ControlDesign> sendmailControls();

QFont fontFor(FontStyle style);

} // namespace compose
