#pragma once

#include <QIcon>

namespace qv {

// The pictures of the buttons and the program, drawn here so that no image plug-in is needed.
QIcon searchIcon();
QIcon printIcon();
QIcon stopIcon();
QIcon previousIcon();
QIcon nextIcon();
QIcon programIcon();

} // namespace qv
