#include "app/desktop_identity.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

#include "settings/program_identity.h"

void setDesktopIdentity() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntryId));
    // Qt's file dialogs keep their state (recent folders, view) in a settings file of Qt's own
    // in the user's configuration folder. Pointing Qt's user-wide settings into a path no one
    // can create, not even the superuser, leaves them unwritten.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
}

bool loadQtTranslation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
