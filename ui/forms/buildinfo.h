#pragma once

// What the program was built from and what it carries: the commit of its
// source and the licence notices of everything built into it.

#include <QString>

namespace tolvana::ui {

// The commit the program was built from, 40 hexadecimal digits, or "okänd"
// when it was built outside a git checkout (cmake/commit.cmake).
QString BuildCommit();

// The notices built into the program (the resources under :/licenses), in
// the order of their names: Tolvana's own first, then Qt's with the LGPL and
// the GPL, then every library and runtime that this build carries. Each
// notice ends in a line break, and a blank line stands between two.
QString LicenseNotices();

} // namespace tolvana::ui
