#pragma once

#include <memory>
#include <string>
#include <vector>

// The settings store: a complete copy of termovel.ini in memory, read and written by section
// and key. Sections and keys keep insertion order (the order the file is written in); lookups
// ignore letter case, Cyrillic included. Every value is Windows-1251 text.
//
// The file is touched only by LoadIni and SaveIni.
class TRegSetup {
public:
    // Stores the path and fills the defaults (SetDefaults); does not touch the file.
    explicit TRegSetup(std::string iniFileName);
    ~TRegSetup();
    TRegSetup(const TRegSetup&) = delete;
    TRegSetup& operator=(const TRegSetup&) = delete;

    const std::string& IniFileName() const;

    // Appends an empty section unless one of that name exists.
    void AddSection(const std::string& section);
    // Removes every entry of the section; the section stays, empty. Missing: nothing happens.
    void ClearSection(const std::string& section);
    // Main: Program, Version, Copyright, EditMode, ShowLogo, ShowTip; List: Count;
    // History: Count — written in that order.
    void SetDefaults();
    // Adds the section when missing; appends the key at the section's end when missing,
    // otherwise replaces its value in place.
    void WriteValue(const std::string& section, const std::string& key, const std::string& value);
    // The key's value, or "" when the section or the key is missing. Never fails.
    std::string ReadValue(const std::string& section, const std::string& key) const;
    // Whether the switch key of [Main] (EditMode, ShowLogo, ShowTip) is on: its value is "1".
    bool IsOn(const std::string& key) const { return ReadValue("Main", key) == "1"; }
    // The keys of the section in store order, as they are spelled; none when it is missing.
    std::vector<std::string> KeyNames(const std::string& section) const;
    // The numbers i, ascending, for which the section holds the numbered key "N" + i (decimal,
    // no leading zeros) with 1 <= i <= count. Lists are stored as Count plus N1 … NCount, and
    // their readers take these numbers instead of 1 … Count, so a hand-edited Count of two
    // thousand million or a gap in the numbering never yields more entries than the file
    // holds. Costs one pass over the section's keys.
    std::vector<int> NumberedKeys(const std::string& section, int count) const;
    // The values of those keys, in the order of their numbers.
    std::vector<std::string> NumberedValues(const std::string& section, int count) const;
    // Empties the whole store.
    void ClearAll();

    // Whether a file exists at IniFileName.
    bool IniFileExists() const;
    // Replaces the whole store with the file's contents (no defaults are put back).
    void LoadIni();
    // Writes the whole store atomically (temporary file in the same folder, renamed over the
    // old one). Raises TError("Unable to write to %s") with the path; the old file then stays.
    void SaveIni() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// The numbered key of a list's entry number: "N" + number in decimal, as NumberedKeys reads
// them back.
std::string numberedKey(int number);

// Strict decimal conversion of a settings value: optional sign and digits only. Raises
// TError("'%s' is not a valid integer value") with the text otherwise (also for "").
int StrToInt(const std::string& text);
