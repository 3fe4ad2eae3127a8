// Loads a dictionary from arbitrary bytes, both as plain layout and as a scrambled file's
// content, and checks what a load promises: no crash, no error other than "Stream read error",
// entries in strictly ascending order, and a loaded dictionary that saves and loads back to
// the same content.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/compare.h"
#include "platform/error.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void loadAndCheck(const uint8_t* data, size_t size) {
    TSecretMemoryStream stream;
    stream.WriteBuffer(data, size);
    stream.setPosition(0);
    TDictionary d;
    bool complete = true;
    try {
        d.LoadFromStream(stream);
    } catch (const TError& e) {
        check(std::string(e.what()) == "Stream read error");
        complete = false;
    }
    for (int i = 1; i < d.Count(); ++i)
        check(compare::terms(d.Term(i - 1), d.Term(i)) < 0);
    if (!complete)
        return;

    TSecretMemoryStream saved;
    d.SaveToStream(saved);
    saved.setPosition(0);
    TDictionary back;
    back.LoadFromStream(saved);
    check(back.Count() == d.Count());
    check(back.Name() == d.Name() && back.Author() == d.Author() && back.Info() == d.Info());
    for (int i = 0; i < d.Count(); ++i)
        check(back.Term(i) == d.Term(i) && back.Article(i) == d.Article(i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool rootOrder = [] {
        compare::setLocale("");
        return true;
    }();
    (void)rootOrder;
    loadAndCheck(data, size);
    std::string scrambled(reinterpret_cast<const char*>(data), size);
    keystream::unscramble(scrambled.data(), scrambled.size());
    loadAndCheck(reinterpret_cast<const uint8_t*>(scrambled.data()), scrambled.size());
    return 0;
}
