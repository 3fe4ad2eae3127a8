#include "dictionary/source.h"

namespace {

TSourceOpener& opener() {
    static TSourceOpener instance;
    return instance;
}

}  // namespace

void setSourceOpener(TSourceOpener value) {
    opener() = std::move(value);
}

const TSourceOpener& sourceOpener() {
    return opener();
}
