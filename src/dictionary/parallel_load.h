#pragma once

#include <atomic>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dictionary/term_index.h"

class TDictionary;

// One file of a parallel load: the dictionary it gave, or the error its load raised, or
// neither when the file is to be opened through a term index that is still to be made
// (TIndexBuild makes it).
struct TLoadedDictionary {
    std::unique_ptr<TDictionary> dictionary;
    std::exception_ptr error;
    bool indexToMake = false;
};

// Loads each file with TDictionary::LoadFromFile, or with indexFolder opens it through its term
// index kept there (TDictionary::openIndexed; with onlyMadeIndexes, a file whose index is not
// made yet is left with indexToMake set), on up to threads threads (0: as many as the
// machine has processors; the caller's thread is one of them), the largest files first so the
// long loads start at once. Returns one result per path, in the order of paths; a load that
// raises leaves its error there and the others go on. Nothing but the dictionaries is touched,
// so whatever the caller then does with the results happens in the order it chooses, exactly
// as if the files had been loaded one by one.
std::vector<TLoadedDictionary> loadDictionaries(
    const std::vector<std::string>& paths, unsigned threads = 0,
    const std::optional<std::string>& indexFolder = std::nullopt, bool onlyMadeIndexes = false);

// A loadDictionaries run on a thread of its own, so that its starter goes on with other work
// (building a window) while the files are read and parsed.
class TBackgroundLoad {
public:
    // Makes the term comparison ready on the calling thread, then starts loading paths (through
    // their term indexes in indexFolder when given, see loadDictionaries). Where no thread can
    // be had, take() loads them itself.
    explicit TBackgroundLoad(std::vector<std::string> paths,
                             std::optional<std::string> indexFolder = std::nullopt,
                             bool onlyMadeIndexes = false);
    // Waits for the load to end.
    ~TBackgroundLoad();
    TBackgroundLoad(const TBackgroundLoad&) = delete;
    TBackgroundLoad& operator=(const TBackgroundLoad&) = delete;

    const std::vector<std::string>& paths() const { return paths_; }

    // Waits for the load and hands over its results, one per path in order (see
    // loadDictionaries). Call once.
    std::vector<TLoadedDictionary> take();

private:
    std::vector<std::string> paths_;
    std::optional<std::string> indexFolder_;
    bool onlyMadeIndexes_ = false;
    std::vector<TLoadedDictionary> results_;
    std::thread thread_;
    bool started_ = false;
};

// The term index of one dictionary file made on a thread of its own, for a window that goes on
// working meanwhile: progress() can be asked at any time, and once finished() the dictionary
// opened through the new index (or the error) is taken with take(). Destroying it cancels a
// making still under way and waits for the thread.
class TIndexBuild {
public:
    // Starts making the index of path in folder (see TTermFile::open). Where no thread can be
    // had, the index is made here and now.
    TIndexBuild(std::string path, std::string folder);
    ~TIndexBuild();
    TIndexBuild(const TIndexBuild&) = delete;
    TIndexBuild& operator=(const TIndexBuild&) = delete;

    const std::string& path() const { return path_; }
    // How far it has come: 0 to 100.
    int progress() const;
    bool finished() const { return finished_; }
    // Requires finished(). The dictionary, read through its index (or loaded whole when the
    // file cannot have one); raises what opening it raised. Call once.
    std::unique_ptr<TDictionary> take();

private:
    void run();

    std::string path_;
    std::string folder_;
    TIndexProgress progress_;
    std::atomic<bool> finished_{false};
    std::unique_ptr<TDictionary> dictionary_;
    std::exception_ptr error_;
    std::thread thread_;
};
