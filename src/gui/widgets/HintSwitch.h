#pragma once

class QApplication;

namespace qv {

// The application-wide tool-tip switch: while the application's "qvShowHints" property is false,
// no tool tip shows anywhere.
void installHintSwitch(QApplication& app);
void setHintsShown(bool shown);
bool hintsShown();

} // namespace qv
