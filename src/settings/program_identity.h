#pragma once

// Who the program is: the texts that name it and the files it keeps beside itself. The
// settings store, the windows and start-up all take them from here, so each is written once.

// The application title: application and main-window caption, error-box caption, tray hint,
// title label of the splash and about windows, and the default of the Program setting: "Termovel
// v" and the build's version with two decimals ("Termovel v1.00" for version 1.0).
extern const char* const ProgramTitle;

// The program's web site, opened by the Web command and shown in the about window.
inline constexpr const char* ProgramSite = "https://termovel.example.org";

// The program's name to the desktop: the application name and the class of its windows
// (WM_CLASS), the same in every release; and the id of its desktop entry (the AppStream id,
// which names the installed .desktop file without its extension).
inline constexpr const char* kApplicationName = "termovel";
inline constexpr const char* kDesktopEntryId = "org.termovel.Termovel";

// The web site of the program's makers, shown as a link on the splash and in the about
// window, and the address that takes wishes and error reports.
inline constexpr const char* kMakerSite = "https://example.org";
inline constexpr const char* kProgramEmail = "termovel@example.org";

// The short copyright notice of the splash and the about window (UTF-8: it goes only into
// windows); it shares its line with the makers' link, so it stays short.
inline constexpr const char* kCopyrightNotice = "© 2026";

// The defaults of the Version and Copyright settings; the version is the build's project version
// ("1.0"), the one the packages carry.
extern const char* const kProgramVersion;
inline constexpr const char* kProgramCopyright = "Copyright (c) 2026 Termovel developers";

// The settings file and the help file, both in the program folder.
inline constexpr const char* kIniFileName = "termovel.ini";
inline constexpr const char* kHelpFileName = "termovel.chm";
