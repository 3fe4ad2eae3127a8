#pragma once

#include <string>
#include <vector>

// The commands of termovel-dic that build a dictionary from another program's databases:
//
//   from-dictd INDEX DATA [INDEX DATA …] OUT.dic [header options]
//   from-stardict FILE.ifo [FILE.ifo …] OUT.dic [header options]
//
// Several databases make one dictionary, equal headwords joined across them. The header
// options --name, --author, --info TEXT and --info-file FILE (UTF-8 text) set the header in
// place of the one the databases give. --form prose or mueller says how the articles are
// written (TArticleForm); --reverse, with --form mueller, builds the Russian–English index of
// Mueller's dictionary instead. An existing OUT.dic is replaced only with --force. Each prints
// what the conversion did.

// Usage lines for the tool's help (UTF-8).
extern const char* const kConvertUsage;

// Runs the command named args[0] when it is one of these and returns the exit code; returns
// -1 for any other command. Raises TFailure for a mistake in the command line or an output
// that is already there, TError when reading or writing fails (messages in UTF-8).
int runConvertCommand(const std::vector<std::string>& args);
