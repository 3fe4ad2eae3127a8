#pragma once

#include <memory>
#include <string>

#include "dictionary/source.h"

// Opens a dictionary of another format to be read where it lies (see TSourceReader), by the
// file it is named by:
//
//   NAME.index         a dictd database, with NAME.dict or NAME.dict.dz beside it
//   NAME.ifo           a StarDict dictionary (NAME.idx[.gz], NAME.dict[.dz], NAME.syn)
//   NAME.dsl[.dz]      a DSL file (not an abbreviation file NAME_abrv.dsl)
//
// Each walks its entries as its converter reads them (readDictd, readStarDict, readDsl without
// abbreviations) and gives each article exactly as the converter takes it, before folding.
// Articles are read from the open files when asked: a dictzip file one chunk at a time, so
// that memory does not grow with the source (plain gzip, which cannot be read at random, only
// when small; see TDataReader).
//
// A DSL file's files() name the files it includes only once it has been walked (they are known
// only from its text); a locator names the file its body lies in, so that articles are read
// from included files by a reader that did not walk.
//
// Returns null for any other path (a .dic, a dictd index with no data beside it). Raises
// TError("Cannot open file %s"), or a TError naming the file, for one that cannot be opened.
std::unique_ptr<TSourceReader> openSourceReader(const std::string& path);

// Why a file named as a dictionary of another format has no reader of its own, so that the
// one who chose it can be told instead of the file being read as a .dic.
enum class TSourceRefusal {
    none,           // not named as such a dictionary, or openSourceReader takes it
    abbreviations,  // a DSL abbreviation file (NAME_abrv.dsl[.dz]): part of NAME.dsl beside it
    noData,         // a dictd index with neither NAME.dict nor NAME.dict.dz beside it
};

// Judged by the name as openSourceReader judges it and, for a dictd index, by the files beside
// it; never opens the file.
TSourceRefusal sourceRefusal(const std::string& path);
