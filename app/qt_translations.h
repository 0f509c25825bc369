// SPDX-License-Identifier: MIT
#pragma once

// Loads Qt's own translations (the buttons of its dialogs, the context
// menus of its fields) for the interface's language, Chinese, from where Qt
// keeps them (Debian package qt6-translations-l10n). True when they were
// found; without them Qt's own texts stay in English.
bool installQtTranslations();
