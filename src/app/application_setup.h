#pragma once

class QApplication;
class QLocale;

namespace ordan {

// What every window relies on, set before the first one is made: the program's names (and no
// display name, so captions stay exactly the windows' own), the system's locale for numbers
// and dates, Qt's own texts (file dialog, context menus, system errors) in the operator's
// language, and the small dialog font of the bench PCs.
void SetUpApplication(QApplication &app);

// Installs Qt's translations (qtbase, qtserialport) for `locale` from Qt's translations
// folder; returns how many were found. English needs none, so 0 is no failure there.
int InstallQtTranslations(const QLocale &locale);

} // namespace ordan
