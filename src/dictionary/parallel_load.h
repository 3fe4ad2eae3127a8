#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TDictionary;

// One file of a parallel load: the dictionary it gave, or the error its load raised.
struct TLoadedDictionary {
    std::unique_ptr<TDictionary> dictionary;
    std::exception_ptr error;
};

// Loads each file with TDictionary::LoadFromFile, or with indexFolder opens it through its term
// index kept there (TDictionary::openIndexed), on up to threads threads (0: as many as the
// machine has processors; the caller's thread is one of them), the largest files first so the
// long loads start at once. Returns one result per path, in the order of paths; a load that
// raises leaves its error there and the others go on. Nothing but the dictionaries is touched,
// so whatever the caller then does with the results happens in the order it chooses, exactly
// as if the files had been loaded one by one.
std::vector<TLoadedDictionary> loadDictionaries(
    const std::vector<std::string>& paths, unsigned threads = 0,
    const std::optional<std::string>& indexFolder = std::nullopt);

// A loadDictionaries run on a thread of its own, so that its starter goes on with other work
// (building a window) while the files are read and parsed.
class TBackgroundLoad {
public:
    // Makes the term comparison ready on the calling thread, then starts loading paths (through
    // their term indexes in indexFolder when given, see loadDictionaries). Where no thread can
    // be had, take() loads them itself.
    explicit TBackgroundLoad(std::vector<std::string> paths,
                             std::optional<std::string> indexFolder = std::nullopt);
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
    std::vector<TLoadedDictionary> results_;
    std::thread thread_;
    bool started_ = false;
};
