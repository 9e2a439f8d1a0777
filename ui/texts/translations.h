#pragma once

// Qt's own texts in Swedish: the buttons, the file dialog and its questions.
// The program is Swedish whatever the user's language settings are.

class QCoreApplication;

namespace tolvana::ui {

// Installs Qt's Swedish translation, built into the program, and the
// program's own Swedish texts for the Qt texts that translation lacks.
// Returns false when the built-in translation is missing from this build (the
// program's own texts are installed all the same).
bool InstallSwedishTranslations(QCoreApplication& application);

} // namespace tolvana::ui
