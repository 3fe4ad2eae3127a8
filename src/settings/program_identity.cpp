#include "settings/program_identity.h"

// The build passes the project version as TERMOVEL_VERSION ("1.0") and, with the minor part in
// two digits, as TERMOVEL_TITLE_VERSION ("1.00"), so the version is written in one place only.
const char* const ProgramTitle = "Termovel v" TERMOVEL_TITLE_VERSION;
const char* const kProgramVersion = TERMOVEL_VERSION;
