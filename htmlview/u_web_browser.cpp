#include "htmlview/u_web_browser.h"

u_web_browser::u_web_browser(QWidget *parent) : QWidget(parent) {}
