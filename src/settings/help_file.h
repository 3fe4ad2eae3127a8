#pragma once

#include <string>

// The application's help file, which the Help command (F1) hands to the desktop. Start-up sets
// it to the program folder's termovel.chm; until then it is empty, and an empty path opens
// nothing.

// Records path as the help file; read back by helpFile() for the rest of the run.
void setHelpFile(std::string path);

// The help file's path as start-up set it, or an empty text.
const std::string& helpFile();
