#pragma once

class QCoreApplication;

// How the program presents itself to the desktop, set once the application object exists and
// before any window: the application name "termovel", which is also the class part of every
// window's WM_CLASS (no version, no space, the same in every release), the desktop entry the
// windows belong to, and no settings file of Qt's own (~/.config/QtProject.conf), since the
// program's one settings file is termovel.ini.
void setDesktopIdentity();

// Loads Qt's own Russian texts (qtbase_ru.qm from the system's Qt translations folder) into
// app, so that Qt's dialogs (file dialogs, their questions, standard buttons) speak Russian
// whatever LANG says, as the rest of the program does. Returns false, changing nothing, when
// the system has no such translation.
bool loadQtTranslation(QCoreApplication& app);
